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
    QTest::addColumn<bool>("fetchMetadata");
    QTest::addColumn<int>("hostCount");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("refusal");

    const QString wrongHost = QStringLiteral(
        "The agent serves only requests addressed to 127.0.0.1:18383 or localhost:18383.");
    const QString none;
    QTest::newRow("client's host")
        << false << false << 1 << QStringLiteral("127.0.0.1:18383") << 18383 << none;
    QTest::newRow("localhost") << false << false << 1 << QStringLiteral("localhost:18383") << 18383
                               << none;
    QTest::newRow("LocalHost") << false << false << 1 << QStringLiteral("LocalHost:18383") << 18383
                               << none;
    QTest::newRow("other port served")
        << false << false << 1 << QStringLiteral("127.0.0.1:40001") << 40001 << none;
    QTest::newRow("origin")
        << true << false << 1 << QStringLiteral("127.0.0.1:18383") << 18383
        << QStringLiteral("The agent does not serve requests that carry an Origin header.");
    QTest::newRow("browser fetch")
        << false << true << 1 << QStringLiteral("127.0.0.1:18383") << 18383
        << QStringLiteral("The agent does not serve requests sent by a web browser.");
    QTest::newRow("no host") << false << false << 0 << QString() << 18383
                             << QStringLiteral(
                                    "The agent serves only requests with exactly one Host header.");
    QTest::newRow("two hosts")
        << false << false << 2 << QStringLiteral("127.0.0.1:18383") << 18383
        << QStringLiteral("The agent serves only requests with exactly one Host header.");
    QTest::newRow("rebound name") << false << false << 1 << QStringLiteral("evil.example:18383")
                                  << 18383 << wrongHost;
    QTest::newRow("name ending in localhost")
        << false << false << 1 << QStringLiteral("evil-localhost:18383") << 18383 << wrongHost;
    QTest::newRow("no port") << false << false << 1 << QStringLiteral("127.0.0.1") << 18383
                             << wrongHost;
    QTest::newRow("wrong port") << false << false << 1 << QStringLiteral("127.0.0.1:18384") << 18383
                                << wrongHost;
    QTest::newRow("port prefix") << false << false << 1 << QStringLiteral("127.0.0.1:183830")
                                 << 18383 << wrongHost;
    QTest::newRow("other loopback")
        << false << false << 1 << QStringLiteral("127.0.0.2:18383") << 18383 << wrongHost;
    QTest::newRow("ipv6 loopback")
        << false << false << 1 << QStringLiteral("[::1]:18383") << 18383 << wrongHost;
    QTest::newRow("port only") << false << false << 1 << QStringLiteral(":18383") << 18383
                               << wrongHost;
    QTest::newRow("trailing dot") << false << false << 1 << QStringLiteral("localhost.:18383")
                                  << 18383 << wrongHost;
}

void TestRequestGuard::judgesRequests()
{
    QFETCH(bool, origin);
    QFETCH(bool, fetchMetadata);
    QFETCH(int, hostCount);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(QString, refusal);
    QCOMPARE(QString::fromStdString(requestRefusal(origin, fetchMetadata,
                 static_cast<std::size_t>(hostCount), host.toStdString(), port)),
        refusal);
}

QTEST_GUILESS_MAIN(TestRequestGuard)
#include "tst_requestguard.moc"
