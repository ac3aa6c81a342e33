// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "requestguard.h"

#include <QTest>

class TestRequestGuard : public QObject {
    Q_OBJECT

private slots:
    void judgesRequests_data();
    void judgesRequests();
};

void TestRequestGuard::judgesRequests_data()
{
    QTest::addColumn<bool>("origin");
    QTest::addColumn<int>("hostCount");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("refusal");

    const QString wrongHost = QStringLiteral(
            "The agent serves only requests addressed to 127.0.0.1:18383 or localhost:18383.");
    const QString none;
    QTest::newRow("client's host") << false << 1 << QStringLiteral("127.0.0.1:18383") << 18383 << none;
    QTest::newRow("localhost") << false << 1 << QStringLiteral("localhost:18383") << 18383 << none;
    QTest::newRow("LocalHost") << false << 1 << QStringLiteral("LocalHost:18383") << 18383 << none;
    QTest::newRow("other port served") << false << 1 << QStringLiteral("127.0.0.1:40001") << 40001 << none;
    QTest::newRow("origin") << true << 1 << QStringLiteral("127.0.0.1:18383") << 18383
                            << QStringLiteral("The agent does not serve requests that carry an Origin header.");
    QTest::newRow("no host") << false << 0 << QString() << 18383
                             << QStringLiteral("The agent serves only requests with exactly one Host header.");
    QTest::newRow("two hosts") << false << 2 << QStringLiteral("127.0.0.1:18383") << 18383
                               << QStringLiteral("The agent serves only requests with exactly one Host header.");
    QTest::newRow("rebound name") << false << 1 << QStringLiteral("evil.example:18383") << 18383 << wrongHost;
    QTest::newRow("name ending in localhost")
            << false << 1 << QStringLiteral("evil-localhost:18383") << 18383 << wrongHost;
    QTest::newRow("no port") << false << 1 << QStringLiteral("127.0.0.1") << 18383 << wrongHost;
    QTest::newRow("wrong port") << false << 1 << QStringLiteral("127.0.0.1:18384") << 18383 << wrongHost;
    QTest::newRow("port prefix") << false << 1 << QStringLiteral("127.0.0.1:183830") << 18383 << wrongHost;
    QTest::newRow("other loopback") << false << 1 << QStringLiteral("127.0.0.2:18383") << 18383 << wrongHost;
    QTest::newRow("ipv6 loopback") << false << 1 << QStringLiteral("[::1]:18383") << 18383 << wrongHost;
    QTest::newRow("port only") << false << 1 << QStringLiteral(":18383") << 18383 << wrongHost;
    QTest::newRow("trailing dot") << false << 1 << QStringLiteral("localhost.:18383") << 18383 << wrongHost;
}

void TestRequestGuard::judgesRequests()
{
    QFETCH(bool, origin);
    QFETCH(int, hostCount);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(QString, refusal);
    QCOMPARE(QString::fromStdString(requestRefusal(origin, static_cast<std::size_t>(hostCount),
                                                   host.toStdString(), port)),
             refusal);
}

QTEST_GUILESS_MAIN(TestRequestGuard)
#include "tst_requestguard.moc"
