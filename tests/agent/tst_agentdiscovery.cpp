// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "agentprocess.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

namespace {

// The four printer classes and the fifteen printers people own that the agent offers by name.
constexpr int kBuiltinPrinters = 19;

QJsonArray printersOf(const HttpAnswer& answer)
{
    return answer.object().value(QStringLiteral("printers_array")).toArray();
}

QStringList namesOf(const QJsonArray& printers)
{
    QStringList names;
    for (const QJsonValue& printer : printers)
        names << printer.toObject().value(QStringLiteral("name")).toString();
    return names;
}

} // namespace

class TestAgentDiscovery : public QObject {
    Q_OBJECT

private slots:
    void listsBuiltinPrinters();
    void profilesComeBackForEveryPrinter();
    void configuredPrintersJoinTheList();
    void brokenPrintersFileKeepsBuiltins();
    void refusesUnknownPrinters_data();
    void refusesUnknownPrinters();
};

void TestAgentDiscovery::listsBuiltinPrinters()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    AgentProcess agent(dir.filePath(QStringLiteral("data")));
    QVERIFY(agent.start());
    const HttpAnswer answer = agent.get(QStringLiteral("/printer-details"));
    QCOMPARE(answer.status, 200);
    const QJsonArray printers = printersOf(answer);
    // The 2K, 4K and 6K masked-LCD classes, the 1080p DLP and the printers people own, all local.
    QCOMPARE(printers.size(), kBuiltinPrinters);
    for (const QJsonValue& value : printers) {
        const QJsonObject printer = value.toObject();
        // The client hands these on as text: they must be JSON strings.
        QVERIFY(printer.value(QStringLiteral("name")).isString());
        QVERIFY(printer.value(QStringLiteral("ip")).isString());
        QVERIFY(printer.value(QStringLiteral("port")).isString());
        QVERIFY(!printer.value(QStringLiteral("ip")).toString().isEmpty());
        QVERIFY(!printer.value(QStringLiteral("port")).toString().isEmpty());
        const QJsonArray profiles = printer.value(QStringLiteral("profiles_array")).toArray();
        QVERIFY(!profiles.isEmpty());
        for (const QJsonValue& profileValue : profiles) {
            const QJsonObject profile = profileValue.toObject();
            QVERIFY(profile.value(QStringLiteral("Title")).isString());
            QVERIFY(profile.value(QStringLiteral("ProfileID")).isDouble());
            QVERIFY(profile.value(QStringLiteral("Depth")).isDouble());
            QVERIFY(profile.value(QStringLiteral("Depth")).toDouble() > 0);
        }
    }
    // Addresses tell the printers apart: they are how slicing requests name them.
    QSet<QString> addresses;
    for (const QJsonValue& value : printers)
        addresses << value.toObject().value(QStringLiteral("ip")).toString() + QLatin1Char(':')
                + value.toObject().value(QStringLiteral("port")).toString();
    QCOMPARE(addresses.size(), printers.size());
}

void TestAgentDiscovery::profilesComeBackForEveryPrinter()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString data = dir.filePath(QStringLiteral("data"));
    QVERIFY(writeTestPrinters(data));
    AgentProcess agent(data);
    QVERIFY(agent.start());
    const QJsonArray printers = printersOf(agent.get(QStringLiteral("/printer-details")));
    QCOMPARE(printers.size(), kBuiltinPrinters + 1);
    for (const QJsonValue& value : printers) {
        const QJsonObject printer = value.toObject();
        // Exactly the client's URL: "/printer-profiles/" + ip + ":" + port, tolerantly parsed.
        const QString address = printer.value(QStringLiteral("ip")).toString() + QLatin1Char(':')
            + printer.value(QStringLiteral("port")).toString();
        const HttpAnswer answer = agent.get(QStringLiteral("/printer-profiles/") + address);
        QCOMPARE(answer.status, 200);
        const QJsonDocument profiles = QJsonDocument::fromJson(answer.body);
        QVERIFY(profiles.isArray());
        QCOMPARE(profiles.array(), printer.value(QStringLiteral("profiles_array")).toArray());
    }
}

void TestAgentDiscovery::configuredPrintersJoinTheList()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString data = dir.filePath(QStringLiteral("data"));
    AgentProcess agent(data);
    QVERIFY(agent.start());
    const QStringList builtins = namesOf(printersOf(agent.get(QStringLiteral("/printer-details"))));
    // The file is read for each request: no restart needed.
    QVERIFY(writeTestPrinters(data));
    const QJsonArray printers = printersOf(agent.get(QStringLiteral("/printer-details")));
    QCOMPARE(namesOf(printers), builtins + QStringList { QStringLiteral("Test host") });
    const QJsonObject host = printers.last().toObject();
    QCOMPARE(host.value(QStringLiteral("ip")), QJsonValue(QStringLiteral("192.0.2.10")));
    QCOMPARE(host.value(QStringLiteral("port")), QJsonValue(QStringLiteral("8080")));
    const QJsonArray profiles = host.value(QStringLiteral("profiles_array")).toArray();
    QCOMPARE(profiles.size(), 4);
    QCOMPARE(profiles.at(0).toObject().value(QStringLiteral("Title")),
        QJsonValue(QStringLiteral("Coarse")));
    QCOMPARE(profiles.at(0).toObject().value(QStringLiteral("ProfileID")), QJsonValue(1));
    QCOMPARE(profiles.at(0).toObject().value(QStringLiteral("Depth")), QJsonValue(100));
    QCOMPARE(profiles.at(2).toObject().value(QStringLiteral("Depth")), QJsonValue(50));
}

void TestAgentDiscovery::brokenPrintersFileKeepsBuiltins()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString data = dir.filePath(QStringLiteral("data"));
    AgentProcess agent(data);
    QVERIFY(agent.start());
    QFile file(data + QStringLiteral("/printers.json"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.write("{\"printers_array\": [") > 0);
    file.close();
    const HttpAnswer answer = agent.get(QStringLiteral("/printer-details"));
    QCOMPARE(answer.status, 200);
    QCOMPARE(printersOf(answer).size(), kBuiltinPrinters);
    const QString why = answer.object().value(QStringLiteral("printers_file_error")).toString();
    QVERIFY2(why.contains(data + QStringLiteral("/printers.json")), qPrintable(why));
}

void TestAgentDiscovery::refusesUnknownPrinters_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("sentence");
    QTest::newRow("unknown host") << QStringLiteral("/printer-profiles/192.168.0.10:80") << 404
                                  << QStringLiteral("No printer is known at 192.168.0.10:80.");
    QTest::newRow("known ip, other port")
        << QStringLiteral("/printer-profiles/192.0.2.10:8081") << 404
        << QStringLiteral("No printer is known at 192.0.2.10:8081.");
    QTest::newRow("fallback record")
        << QStringLiteral("/printer-profiles/Not%20Discovered:Not%20Discovered") << 404
        << QStringLiteral("No printer is known at Not Discovered:Not Discovered.");
    const QString shape
        = QStringLiteral("The printer must be given as /printer-profiles/address:port.");
    QTest::newRow("no port") << QStringLiteral("/printer-profiles/192.0.2.10") << 400 << shape;
    QTest::newRow("empty") << QStringLiteral("/printer-profiles/") << 400 << shape;
    QTest::newRow("bad escape") << QStringLiteral("/printer-profiles/a%zz:1") << 400 << shape;
}

void TestAgentDiscovery::refusesUnknownPrinters()
{
    QFETCH(QString, path);
    QFETCH(int, status);
    QFETCH(QString, sentence);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString data = dir.filePath(QStringLiteral("data"));
    QVERIFY(writeTestPrinters(data));
    AgentProcess agent(data);
    QVERIFY(agent.start());
    // Sent as raw bytes: the path must reach the agent exactly as written here.
    const HttpAnswer answer = agent.raw("GET " + path.toLatin1() + " HTTP/1.1\r\nHost: 127.0.0.1:"
        + QByteArray::number(agent.port()) + "\r\nConnection: close\r\n\r\n");
    QCOMPARE(answer.status, status);
    QCOMPARE(answer.error(), sentence);
}

QTEST_GUILESS_MAIN(TestAgentDiscovery)
#include "tst_agentdiscovery.moc"
