// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "agenturls.h"

#include <QTest>

class TestAgentUrls : public QObject {
    Q_OBJECT

private slots:
    void templates_data()
    {
        QTest::addColumn<QString>("urlTemplate");
        QTest::addColumn<QString>("expected");
        QTest::newRow("printer details")
            << AgentUrls::urlPrinterDetails
            << QStringLiteral("http://127.0.0.1:18383/printer-details");
        QTest::newRow("slice preview")
            << AgentUrls::urlSlicePreview << QStringLiteral("http://127.0.0.1:18383/slice/preview");
        QTest::newRow("advanced slice") << AgentUrls::urlAdvancedSlice
                                        << QStringLiteral("http://127.0.0.1:18383/advanced-slice");
        QTest::newRow("progress") << AgentUrls::urlSlice
                                  << QStringLiteral("http://127.0.0.1:18383/slice");
        QTest::newRow("send") << AgentUrls::urlSliceSend
                              << QStringLiteral("http://127.0.0.1:18383/slice/send");
        QTest::newRow("download") << AgentUrls::urlSliceDownload
                                  << QStringLiteral("http://127.0.0.1:18383/slice/download");
        QTest::newRow("terminate")
            << AgentUrls::urlTerminate << QStringLiteral("http://127.0.0.1:18383/terminate");
    }

    void templates()
    {
        QFETCH(QString, urlTemplate);
        QFETCH(QString, expected);
        const QUrl url = AgentUrls::agentUrl(
            urlTemplate, QStringLiteral("127.0.0.1"), QStringLiteral("18383"));
        QVERIFY(url.isValid());
        QCOMPARE(url.toString(QUrl::FullyEncoded), expected);
    }

    void hostAndPortFillInOrder()
    {
        const QUrl url = AgentUrls::agentUrl(
            AgentUrls::urlSliceSend, QStringLiteral("192.0.2.1"), QStringLiteral("8080"));
        QCOMPARE(url.host(), QStringLiteral("192.0.2.1"));
        QCOMPARE(url.port(), 8080);
        QCOMPARE(url.path(), QStringLiteral("/slice/send"));
    }

    void printerProfiles_data()
    {
        QTest::addColumn<QString>("ip");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("expected");
        QTest::newRow("address and port as last segment")
            << QStringLiteral("192.168.0.10") << QStringLiteral("80")
            << QStringLiteral("http://127.0.0.1:18383/printer-profiles/192.168.0.10:80");
        QTest::newRow("other host")
            << QStringLiteral("10.0.0.7") << QStringLiteral("80")
            << QStringLiteral("http://127.0.0.1:18383/printer-profiles/10.0.0.7:80");
        QTest::newRow("empty arguments unaltered")
            << QString() << QString()
            << QStringLiteral("http://127.0.0.1:18383/printer-profiles/:");
        QTest::newRow("space parsed tolerantly")
            << QStringLiteral("my printer") << QStringLiteral("81")
            << QStringLiteral("http://127.0.0.1:18383/printer-profiles/my%20printer:81");
    }

    void printerProfiles()
    {
        QFETCH(QString, ip);
        QFETCH(QString, port);
        QFETCH(QString, expected);
        const QUrl url = AgentUrls::printerProfilesUrl(
            QStringLiteral("127.0.0.1"), QStringLiteral("18383"), ip, port);
        QCOMPARE(url.toString(QUrl::FullyEncoded), expected);
    }
};

QTEST_GUILESS_MAIN(TestAgentUrls)
#include "tst_agenturls.moc"
