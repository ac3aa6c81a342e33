// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "agentreply.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QTest>

class TestAgentReply : public QObject {
    Q_OBJECT

private slots:
    void fallbackDocumentText()
    {
        const QByteArray text(fallbackPrinterDocument);
        QCOMPARE(text.size(), 162);
        QCOMPARE(text,
            QByteArray(
                "{\"printers_array\":[{\"name\":\"Not Discovered\",\"ip\":\"Not Discovered\","
                "\"port\":\"Not Discovered\",\"profiles_array\":[{\"Title\":\"Not Discovered\","
                "\"ProfileID\":0,\"Depth\":0}]}]}"));
        QVERIFY(!text.contains('\\'));
    }

    void fallbackList()
    {
        const QJsonArray printers = fallbackPrinterList();
        QCOMPARE(printers.size(), 1);
        const QJsonObject printer = printers.at(0).toObject();
        QCOMPARE(printer.keys(),
            QStringList({ QStringLiteral("ip"), QStringLiteral("name"), QStringLiteral("port"),
                QStringLiteral("profiles_array") }));
        QCOMPARE(
            printer.value(QLatin1String("name")), QJsonValue(QStringLiteral("Not Discovered")));
        QCOMPARE(printer.value(QLatin1String("ip")), QJsonValue(QStringLiteral("Not Discovered")));
        // The port is text here, while the profile's numbers are numbers.
        QCOMPARE(
            printer.value(QLatin1String("port")), QJsonValue(QStringLiteral("Not Discovered")));
        const QJsonArray profiles = printer.value(QLatin1String("profiles_array")).toArray();
        QCOMPARE(profiles.size(), 1);
        const QJsonObject profile = profiles.at(0).toObject();
        QCOMPARE(profile.size(), 3);
        QCOMPARE(
            profile.value(QLatin1String("Title")), QJsonValue(QStringLiteral("Not Discovered")));
        QCOMPARE(profile.value(QLatin1String("ProfileID")), QJsonValue(0));
        QCOMPARE(profile.value(QLatin1String("Depth")), QJsonValue(0));
    }

    void errorText_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("expected");
        const QString network = QStringLiteral("Connection refused");
        QTest::newRow("agent's error text")
            << QByteArray("{\"error\":\"printer offline\"}") << QStringLiteral("printer offline");
        QTest::newRow("other members ignored")
            << QByteArray("{\"code\":7,\"error\":\"no such job\"}")
            << QStringLiteral("no such job");
        QTest::newRow("empty body") << QByteArray() << network;
        QTest::newRow("not JSON") << QByteArray("<html>oops</html>") << network;
        QTest::newRow("no error member") << QByteArray("{\"message\":\"x\"}") << network;
        QTest::newRow("error not a string") << QByteArray("{\"error\":42}") << network;
        QTest::newRow("empty error text") << QByteArray("{\"error\":\"\"}") << network;
        QTest::newRow("array body") << QByteArray("[\"error\"]") << network;
    }

    void errorText()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, expected);
        QCOMPARE(agentErrorText(body, QStringLiteral("Connection refused")), expected);
    }
};

QTEST_GUILESS_MAIN(TestAgentReply)
#include "tst_agentreply.moc"
