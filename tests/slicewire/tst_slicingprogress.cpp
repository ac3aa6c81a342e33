// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "slicingprogress.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestSlicingProgress : public QObject {
    Q_OBJECT

private slots:
    void finished_data()
    {
        QTest::addColumn<QString>("percentage");
        QTest::addColumn<QString>("plate");
        QTest::addColumn<bool>("expected");
        // plate: "file", "dir" or "none" for plate.json in the folder.
        QTest::newRow("100") << QStringLiteral("100") << QStringLiteral("none") << true;
        QTest::newRow("100 with plate") << QStringLiteral("100") << QStringLiteral("file") << true;
        QTest::newRow("99 with plate file")
            << QStringLiteral("99") << QStringLiteral("file") << true;
        QTest::newRow("99 without plate")
            << QStringLiteral("99") << QStringLiteral("none") << false;
        QTest::newRow("99 with plate directory")
            << QStringLiteral("99") << QStringLiteral("dir") << false;
        QTest::newRow("100.0") << QStringLiteral("100.0") << QStringLiteral("file") << false;
        QTest::newRow("99.9") << QStringLiteral("99.9") << QStringLiteral("file") << false;
        QTest::newRow("98 with plate") << QStringLiteral("98") << QStringLiteral("file") << false;
        QTest::newRow("space before 100")
            << QStringLiteral(" 100") << QStringLiteral("none") << false;
        QTest::newRow("space before 99")
            << QStringLiteral(" 99") << QStringLiteral("file") << false;
        QTest::newRow("no percentage") << QString() << QStringLiteral("file") << false;
    }

    void finished()
    {
        QFETCH(QString, percentage);
        QFETCH(QString, plate);
        QFETCH(bool, expected);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString platePath = folder.filePath(QStringLiteral("plate.json"));
        if (plate == QLatin1String("file")) {
            QFile file(platePath);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("{}");
        } else if (plate == QLatin1String("dir")) {
            QVERIFY(QDir().mkdir(platePath));
        }
        QCOMPARE(isSlicingFinished(percentage, folder.path()), expected);
    }

    void emptyFolderTestsTheRoot()
    {
        // Without a folder the tested path is "/plate.json", which a test
        // machine does not have: "99" then keeps the job going.
        QVERIFY(!QFile::exists(QStringLiteral("/plate.json")));
        QVERIFY(!isSlicingFinished(QStringLiteral("99"), QString()));
        QVERIFY(isSlicingFinished(QStringLiteral("100"), QString()));
    }
};

QTEST_GUILESS_MAIN(TestSlicingProgress)
#include "tst_slicingprogress.moc"
