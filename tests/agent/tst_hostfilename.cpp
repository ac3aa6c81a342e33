// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostfilename.h"

#include <QTest>

class TestHostFileName : public QObject {
    Q_OBJECT

private slots:
    void makesNamesHostsTake_data();
    void makesNamesHostsTake();
};

void TestHostFileName::makesNamesHostsTake_data()
{
    QTest::addColumn<QByteArray>("jobName");
    QTest::addColumn<QByteArray>("fileName");
    QTest::newRow("plain") << QByteArray("plate 1") << QByteArray("plate 1.sl1");
    QTest::newRow("extension kept once") << QByteArray("plate.SL1") << QByteArray("plate.sl1");
    QTest::newRow("slash would name a folder") << QByteArray("a/b") << QByteArray("a_b.sl1");
    QTest::newRow("backslash") << QByteArray("a\\b") << QByteArray("a_b.sl1");
    QTest::newRow("parent folder") << QByteArray("../x") << QByteArray("job.._x.sl1");
    QTest::newRow("control characters")
        << QByteArray("a\tb\r\nc\x7f", 7) << QByteArray("a_b__c_.sl1");
    QTest::newRow("empty") << QByteArray() << QByteArray("job.sl1");
    QTest::newRow("hidden") << QByteArray(".plate") << QByteArray("job.plate.sl1");
    QTest::newRow("other characters stay")
        << QByteArray("50% \"fine\" + \xc3\xa9") << QByteArray("50% \"fine\" + \xc3\xa9.sl1");
    QTest::newRow("exactly 200 bytes") << QByteArray(196, 'a') << QByteArray(196, 'a') + ".sl1";
    QTest::newRow("cut to 200 bytes") << QByteArray(300, 'a') << QByteArray(196, 'a') + ".sl1";
    // 98 two-byte characters fit in 196 bytes; the 99th would be split.
    QTest::newRow("cut between characters")
        << QByteArray("a") + QString(150, QChar(0xe9)).toUtf8()
        << QByteArray("a") + QString(97, QChar(0xe9)).toUtf8() + ".sl1";
}

void TestHostFileName::makesNamesHostsTake()
{
    QFETCH(QByteArray, jobName);
    QFETCH(QByteArray, fileName);
    const std::string made = hostFileName(jobName.toStdString());
    QCOMPARE(QByteArray::fromStdString(made), fileName);
    QVERIFY(made.size() <= 200);
}

QTEST_GUILESS_MAIN(TestHostFileName)
#include "tst_hostfilename.moc"
