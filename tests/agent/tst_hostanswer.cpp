// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostanswer.h"

#include <QTest>

class TestHostAnswer : public QObject {
    Q_OBJECT

private slots:
    void takesTheHostsOwnMessage_data();
    void takesTheHostsOwnMessage();
};

void TestHostAnswer::takesTheHostsOwnMessage_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("JSON error") << QByteArray("{\"error\":\"File already exists\"}")
                                << QByteArray("File already exists");
    QTest::newRow("JSON message") << QByteArray("{\"message\":\"Printer is busy\"}")
                                  << QByteArray("Printer is busy");
    QTest::newRow("JSON without one") << QByteArray("{\"status\":1}") << QByteArray();
    QTest::newRow("plain text, trimmed")
        << QByteArray("  Busy printing\n") << QByteArray("Busy printing");
    QTest::newRow("a page of markup")
        << QByteArray("<html><body>Error</body></html>") << QByteArray();
    QTest::newRow("line breaks cannot start a new line of ours")
        << QByteArray("{\"error\":\"a\\nb\"}") << QByteArray("a b");
    QTest::newRow("long, cut between characters")
        << QByteArray("{\"error\":\"a") + QString(150, QChar(0xe9)).toUtf8() + "\"}"
        << QByteArray("a") + QString(99, QChar(0xe9)).toUtf8() + "...";
}

void TestHostAnswer::takesTheHostsOwnMessage()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, message);
    QCOMPARE(QByteArray::fromStdString(hostMessage(body.toStdString())), message);
}

QTEST_GUILESS_MAIN(TestHostAnswer)
#include "tst_hostanswer.moc"
