// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostanswer.h"

#include <QTest>

class TestHostAnswer : public QObject {
    Q_OBJECT

private slots:
    void takesTheHostsOwnMessage_data();
    void takesTheHostsOwnMessage();
    void eachRefusalHasItsStatus_data();
    void eachRefusalHasItsStatus();
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

void TestHostAnswer::eachRefusalHasItsStatus_data()
{
    QTest::addColumn<int>("hostStatus");
    QTest::addColumn<int>("status");
    // Our client must never read a host's refusal as the agent refusing the client's own request
    // for lack of rights: 401 becomes 403, with a sentence naming the printers file.
    QTest::newRow("401") << 401 << 403;
    QTest::newRow("403") << 403 << 403;
    QTest::newRow("409") << 409 << 409;
    QTest::newRow("413") << 413 << 507;
    QTest::newRow("507") << 507 << 507;
    QTest::newRow("415") << 415 << 415;
    QTest::newRow("404") << 404 << 502;
    QTest::newRow("500") << 500 << 502;
    QTest::newRow("503") << 503 << 502;
}

void TestHostAnswer::eachRefusalHasItsStatus()
{
    QFETCH(int, hostStatus);
    QFETCH(int, status);
    const SendOutcome outcome
        = hostRefusalOutcome(hostStatus, "{\"error\":\"why\"}", "10.0.0.7:80", "a.sl1");
    QCOMPARE(outcome.status, status);
    const QString sentence = QString::fromStdString(outcome.sentence);
    QVERIFY2(sentence.startsWith(QStringLiteral("The printer host at 10.0.0.7:80 ")),
        qPrintable(sentence));
    QVERIFY2(sentence.endsWith(QStringLiteral(" The host says: why.")), qPrintable(sentence));
}

QTEST_GUILESS_MAIN(TestHostAnswer)
#include "tst_hostanswer.moc"
