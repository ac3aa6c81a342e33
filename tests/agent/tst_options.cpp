// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "options.h"

#include <QTest>

class TestOptions : public QObject {
    Q_OBJECT

private slots:
    void withoutArgumentsServesTheClientsPort();
    void readsOptions();
    void refusesBadOptions_data();
    void refusesBadOptions();
    void findsDefaultDataFolder_data();
    void findsDefaultDataFolder();
};

void TestOptions::withoutArgumentsServesTheClientsPort()
{
    AgentOptions options;
    options.port = 1;
    std::string error;
    QVERIFY(parseOptions({}, options, error));
    QCOMPARE(options.port, 18383);
    QVERIFY(options.dataDir.empty());
}

void TestOptions::readsOptions()
{
    AgentOptions options;
    std::string error;
    QCOMPARE(options.hostAnswerSeconds, 60);
    QVERIFY(parseOptions(
        { "--data-dir", "/tmp/x y", "--port", "0", "--host-answer-seconds", "3" }, options, error));
    QCOMPARE(options.port, 0);
    QCOMPARE(options.hostAnswerSeconds, 3);
    QCOMPARE(options.dataDir, std::string("/tmp/x y"));
}

void TestOptions::refusesBadOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("sentence");
    const QString port = QStringLiteral("The port must be a number from 0 to 65535.");
    QTest::newRow("unknown")
        << QStringList { QStringLiteral("--verbose") }
        << QStringLiteral(
               "Unknown option \"--verbose\" (the agent takes --port N and --data-dir DIR).");
    QTest::newRow("port without value") << QStringList { QStringLiteral("--port") }
                                        << QStringLiteral("The option --port needs a value.");
    QTest::newRow("port too big") << QStringList { QStringLiteral("--port"),
        QStringLiteral("65536") } << port;
    QTest::newRow("port negative")
        << QStringList { QStringLiteral("--port"), QStringLiteral("-1") } << port;
    QTest::newRow("port words") << QStringList { QStringLiteral("--port"), QStringLiteral("http") }
                                << port;
    QTest::newRow("relative folder") << QStringList { QStringLiteral("--data-dir"),
        QStringLiteral("data") } << QStringLiteral("The data folder must be an absolute path.");
}

void TestOptions::refusesBadOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, sentence);
    std::vector<std::string> list;
    for (const QString& argument : arguments)
        list.push_back(argument.toStdString());
    AgentOptions options;
    std::string error;
    QVERIFY(!parseOptions(list, options, error));
    QCOMPARE(QString::fromStdString(error), sentence);
}

void TestOptions::findsDefaultDataFolder_data()
{
    QTest::addColumn<QByteArray>("xdg"); // "-" stands for an unset variable
    QTest::addColumn<QByteArray>("home");
    QTest::addColumn<QString>("folder");
    QTest::newRow("xdg wins") << QByteArray("/x/data") << QByteArray("/home/u")
                              << QStringLiteral("/x/data/corvane/agent");
    QTest::newRow("xdg unset") << QByteArray("-") << QByteArray("/home/u")
                               << QStringLiteral("/home/u/.local/share/corvane/agent");
    QTest::newRow("xdg empty") << QByteArray("") << QByteArray("/home/u")
                               << QStringLiteral("/home/u/.local/share/corvane/agent");
    QTest::newRow("xdg relative") << QByteArray("data") << QByteArray("/home/u")
                                  << QStringLiteral("/home/u/.local/share/corvane/agent");
    QTest::newRow("nothing known") << QByteArray("-") << QByteArray("-") << QString();
}

void TestOptions::findsDefaultDataFolder()
{
    QFETCH(QByteArray, xdg);
    QFETCH(QByteArray, home);
    QFETCH(QString, folder);
    const char* xdgValue = xdg == "-" ? nullptr : xdg.constData();
    const char* homeValue = home == "-" ? nullptr : home.constData();
    QCOMPARE(QString::fromStdString(defaultDataFolder(xdgValue, homeValue)), folder);
}

QTEST_GUILESS_MAIN(TestOptions)
#include "tst_options.moc"
