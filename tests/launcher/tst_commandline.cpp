// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "commandline.h"
#include "startup.h"

#include <QtTest>

Q_DECLARE_METATYPE(CommandLine::Action)

class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    void parses_data();
    void parses();
    void helpNamesWhatItOpens();
};

void TestCommandLine::parses_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<CommandLine::Action>("action");
    QTest::addColumn<QStringList>("files");

    using A = CommandLine::Action;
    const QString program = QStringLiteral("corvane");
    QTest::newRow("nothing") << QStringList { program } << A::Run << QStringList();
    QTest::newRow("files in order")
        << QStringList { program, QStringLiteral("b.stl"), QStringLiteral("a b.3mf") } << A::Run
        << QStringList { QStringLiteral("b.stl"), QStringLiteral("a b.3mf") };
    QTest::newRow("--help") << QStringList { program, QStringLiteral("--help") } << A::ShowHelp
                            << QStringList();
    QTest::newRow("-h") << QStringList { program, QStringLiteral("-h") } << A::ShowHelp
                        << QStringList();
    QTest::newRow("--version") << QStringList { program, QStringLiteral("--version") }
                               << A::ShowVersion << QStringList();
    // Qt's own options must not be taken for mistakes, nor their values for files.
    QTest::newRow("qt options") << QStringList { program, QStringLiteral("-platform"),
        QStringLiteral("xcb"), QStringLiteral("-reverse"), QStringLiteral("m.obj") }
                                << A::Run << QStringList { QStringLiteral("m.obj") };
    QTest::newRow("after --") << QStringList { program, QStringLiteral("--"),
        QStringLiteral("--odd name.stl") }
                              << A::Run << QStringList { QStringLiteral("--odd name.stl") };
    QTest::newRow("unknown long") << QStringList { program, QStringLiteral("--fullscreen") }
                                  << A::Refuse << QStringList();
    QTest::newRow("unknown short")
        << QStringList { program, QStringLiteral("-x"), QStringLiteral("a.stl") } << A::Refuse
        << QStringList();
}

void TestCommandLine::parses()
{
    QFETCH(QStringList, arguments);
    QFETCH(CommandLine::Action, action);
    QFETCH(QStringList, files);

    const CommandLine::Request request = CommandLine::parse(arguments);
    QCOMPARE(request.action, action);
    if (action == CommandLine::Action::Refuse) {
        // The sentence names what was wrong and where to look.
        QVERIFY2(request.refusal.contains(
                     arguments.at(1).mid(arguments.at(1).lastIndexOf(QLatin1Char('-')) + 1)),
            qPrintable(request.refusal));
        QVERIFY(request.refusal.contains(QLatin1String("--help")));
    } else {
        QCOMPARE(request.files, files);
    }
}

void TestCommandLine::helpNamesWhatItOpens()
{
    Startup::setNames();
    const QString help = CommandLine::helpText();
    for (const char* word : { ".stl", ".obj", ".3mf", "--version", "files" })
        QVERIFY2(help.contains(QLatin1String(word)), word);
    QVERIFY(!help.contains(QLatin1String("platform")));
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
