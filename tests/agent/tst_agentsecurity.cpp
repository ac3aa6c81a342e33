// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "agentprocess.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>
#include <vector>

class TestAgentSecurity : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void judgesOriginAndHost_data();
    void judgesOriginAndHost();
    void unknownRoutesAnswerJson_data();
    void unknownRoutesAnswerJson();
    void clientRequestsPass();
    void refusalEndsTheConnection_data();
    void refusalEndsTheConnection();
    void slowClientsCannotHoldTheAgent();
    void idleConnectionsCannotHoldTheAgent();

private:
    QTemporaryDir m_dir;
    AgentProcess* m_agent = nullptr;
};

void TestAgentSecurity::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_agent = new AgentProcess(m_dir.filePath(QStringLiteral("data")));
    QVERIFY(m_agent->start());
}

void TestAgentSecurity::cleanupTestCase() { delete m_agent; }

void TestAgentSecurity::judgesOriginAndHost_data()
{
    QTest::addColumn<QByteArray>("request"); // %PORT stands for the port served
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("sentence");

    const QString origin
        = QStringLiteral("The agent does not serve requests that carry an Origin header.");
    const QString host = QStringLiteral(
        "The agent serves only requests addressed to 127.0.0.1:%PORT or localhost:%PORT.");
    const QString hostCount
        = QStringLiteral("The agent serves only requests with exactly one Host header.");
    const QByteArray end = "Connection: close\r\n\r\n";
    QTest::newRow("plain") << QByteArray(
        "GET /printer-details HTTP/1.1\r\nHost: 127.0.0.1:%PORT\r\n" + end)
                           << 200 << QString();
    QTest::newRow("localhost") << QByteArray(
        "GET /printer-details HTTP/1.1\r\nHost: localhost:%PORT\r\n" + end)
                               << 200 << QString();
    QTest::newRow("origin") << QByteArray(
        "GET /printer-details HTTP/1.1\r\nHost: 127.0.0.1:%PORT\r\nOrigin: https://evil.example\r\n"
        + end) << 403 << origin;
    QTest::newRow("null origin") << QByteArray(
        "GET /printer-details HTTP/1.1\r\nHost: 127.0.0.1:%PORT\r\nOrigin: null\r\n" + end)
                                 << 403 << origin;
    QTest::newRow("origin of ourselves") << QByteArray(
        "GET /slice HTTP/1.1\r\nHost: 127.0.0.1:%PORT\r\nOrigin: http://127.0.0.1:%PORT\r\n" + end)
                                         << 403 << origin;
    QTest::newRow("origin on terminate") << QByteArray(
        "GET /terminate HTTP/1.1\r\nHost: 127.0.0.1:%PORT\r\nOrigin: https://evil.example\r\n"
        + end) << 403 << origin;
    QTest::newRow("origin on a form") << QByteArray(
        "POST /slice/download HTTP/1.1\r\nHost: 127.0.0.1:%PORT\r\nOrigin: https://evil.example\r\n"
        "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 7\r\n"
        + end + "path=/x") << 403 << origin;
    QTest::newRow("browser image") << QByteArray(
        "GET /terminate HTTP/1.1\r\nHost: 127.0.0.1:%PORT\r\nSec-Fetch-Site: cross-site\r\n"
        "Sec-Fetch-Mode: no-cors\r\nSec-Fetch-Dest: image\r\n"
        + end) << 403 << QStringLiteral("The agent does not serve requests sent by a web browser.");
    QTest::newRow("rebound name") << QByteArray(
        "GET /printer-details HTTP/1.1\r\nHost: evil.example:%PORT\r\n" + end)
                                  << 403 << host;
    QTest::newRow("other port") << QByteArray(
        "GET /printer-details HTTP/1.1\r\nHost: 127.0.0.1:1\r\n" + end)
                                << 403 << host;
    QTest::newRow("no port") << QByteArray("GET /printer-details HTTP/1.1\r\nHost: 127.0.0.1\r\n"
        + end) << 403 << host;
    QTest::newRow("no host") << QByteArray("GET /printer-details HTTP/1.1\r\n" + end) << 403
                             << hostCount;
    QTest::newRow("two hosts") << QByteArray(
        "GET /printer-details HTTP/1.1\r\nHost: 127.0.0.1:%PORT\r\nHost: evil.example\r\n" + end)
                               << 403 << hostCount;
    QTest::newRow("body too large") << QByteArray(
        "POST /slice/preview HTTP/1.1\r\nHost: 127.0.0.1:%PORT\r\n"
        "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 2000000\r\n"
        + end) << 413 << QStringLiteral("The request is too large for the agent.");
    QTest::newRow("post without length")
        << QByteArray("POST /slice/preview HTTP/1.1\r\nHost: 127.0.0.1:%PORT\r\n"
                      "Content-Type: application/x-www-form-urlencoded\r\n"
               + end)
        << 411
        << QStringLiteral(
               "The agent reads only request bodies of a stated length (Content-Length).");
    // Bodies the size limit cannot hold to: chunked, or compressed and unpacked by the server.
    QTest::newRow("chunked body")
        << QByteArray(
               "POST /slice/preview HTTP/1.1\r\nHost: 127.0.0.1:%PORT\r\n"
               "Content-Type: application/x-www-form-urlencoded\r\nTransfer-Encoding: chunked\r\n"
               + end + "6\r\nname=x\r\n0\r\n\r\n")
        << 411
        << QStringLiteral(
               "The agent reads only request bodies of a stated length (Content-Length).");
    const QByteArray deflated = qCompress(QByteArray("name=x")).mid(4); // a zlib stream
    QTest::newRow("compressed body") << QByteArray(
        "POST /slice/preview HTTP/1.1\r\nHost: 127.0.0.1:%PORT\r\n"
        "Content-Type: application/x-www-form-urlencoded\r\nContent-Encoding: deflate\r\n"
        "Content-Length: "
        + QByteArray::number(deflated.size()) + "\r\n" + end
        + deflated) << 415 << QStringLiteral("The agent does not read compressed request bodies.");
    // The library hands header values on decoded and as C strings; the guard sees them as sent.
    QTest::newRow("host cut at a NUL") << QByteArray("GET /printer-details HTTP/1.1\r\n"
                                                     "Host: 127.0.0.1:%PORT"
        + QByteArray(1, '\0') + ".evil.example\r\n" + end)
                                       << 403 << host;
    QTest::newRow("host with an escaped colon")
        << QByteArray("GET /printer-details HTTP/1.1\r\nHost: 127.0.0.1%3a%PORT\r\n" + end) << 403
        << host;
    QTest::newRow("host on unknown route")
        << QByteArray("GET /nowhere HTTP/1.1\r\nHost: evil.example\r\n" + end) << 403 << host;
}

void TestAgentSecurity::judgesOriginAndHost()
{
    QFETCH(QByteArray, request);
    QFETCH(int, status);
    QFETCH(QString, sentence);
    const QByteArray port = QByteArray::number(m_agent->port());
    const HttpAnswer answer = m_agent->raw(request.replace("%PORT", port));
    QCOMPARE(answer.status, status);
    QCOMPARE(answer.error(), sentence.replace(QStringLiteral("%PORT"), QString::fromLatin1(port)));
    if (status == 200)
        QVERIFY(answer.object().value(QStringLiteral("printers_array")).isArray());
}

void TestAgentSecurity::unknownRoutesAnswerJson_data()
{
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("sentence");
    QTest::newRow("unknown") << QByteArray("GET") << QStringLiteral("/nowhere")
                             << QStringLiteral("The agent has no endpoint GET /nowhere.");
    QTest::newRow("slice by POST") << QByteArray("POST") << QStringLiteral("/slice")
                                   << QStringLiteral("The agent has no endpoint POST /slice.");
    QTest::newRow("preview by GET")
        << QByteArray("GET") << QStringLiteral("/slice/preview")
        << QStringLiteral("The agent has no endpoint GET /slice/preview.");
    QTest::newRow("discovery by POST")
        << QByteArray("POST") << QStringLiteral("/printer-details")
        << QStringLiteral("The agent has no endpoint POST /printer-details.");
    QTest::newRow("trailing slash")
        << QByteArray("GET") << QStringLiteral("/printer-details/")
        << QStringLiteral("The agent has no endpoint GET /printer-details/.");
}

void TestAgentSecurity::unknownRoutesAnswerJson()
{
    QFETCH(QByteArray, method);
    QFETCH(QString, path);
    QFETCH(QString, sentence);
    const HttpAnswer answer = method == "GET" ? m_agent->get(path) : m_agent->postForm(path, {});
    QCOMPARE(answer.status, 404);
    QCOMPARE(answer.error(), sentence);
}

void TestAgentSecurity::clientRequestsPass()
{
    // What the desktop client sends: Qt's own Host header, a content type, no Origin.
    const HttpAnswer answer = m_agent->get(QStringLiteral("/printer-details"));
    QCOMPARE(answer.status, 200);
    QVERIFY(answer.error().isEmpty());
}

void TestAgentSecurity::refusalEndsTheConnection_data()
{
    QTest::addColumn<QByteArray>("head"); // %PORT stands for the port served
    QTest::addColumn<int>("status");
    const QByteArray form = "POST /slice/download HTTP/1.1\r\nContent-Type: text/plain\r\n";
    const QByteArray length = "Content-Length: %LENGTH\r\n\r\n";
    QTest::newRow("origin") << form + "Host: 127.0.0.1:%PORT\r\nOrigin: https://evil.example\r\n"
            + length << 403;
    QTest::newRow("chunked") << form + "Host: 127.0.0.1:%PORT\r\nTransfer-Encoding: chunked\r\n\r\n"
                             << 411;
    QTest::newRow("compressed") << form + "Host: 127.0.0.1:%PORT\r\nContent-Encoding: gzip\r\n"
            + length << 415;
    // The library ends a line at a bare LF too: a length hidden from a reader that splits only at
    // CR LF would make it read the next request as this one's body, or the other way round.
    QTest::newRow("bare LF") << form + "Host: 127.0.0.1:%PORT\r\nX-Note: a\n" + length << 400;
}

void TestAgentSecurity::refusalEndsTheConnection()
{
    // A web page's request whose body, sent a moment after its head as browsers do with larger
    // bodies, reads as a request of its own: it must never be served.
    QFETCH(QByteArray, head);
    QFETCH(int, status);
    const QByteArray port = QByteArray::number(m_agent->port());
    const QByteArray smuggled = "GET /terminate HTTP/1.1\r\nHost: 127.0.0.1:" + port + "\r\n\r\n";
    head.replace("%PORT", port).replace("%LENGTH", QByteArray::number(smuggled.size()));

    QTcpSocket socket;
    QSignalSpy disconnected(&socket, &QTcpSocket::disconnected);
    socket.connectToHost(QStringLiteral("127.0.0.1"), quint16(m_agent->port()));
    QVERIFY(socket.waitForConnected());
    socket.write(head);
    QByteArray received;
    while (!received.contains('}')) {
        QVERIFY(socket.bytesAvailable() > 0 || socket.waitForReadyRead(30000));
        received += socket.readAll();
    }
    QVERIFY2(received.startsWith("HTTP/1.1 " + QByteArray::number(status)), received.constData());
    socket.write(smuggled);
    QVERIFY(disconnected.count() > 0 || disconnected.wait(30000));
    received += socket.readAll();
    QCOMPARE(received.count("HTTP/1.1"), 1);
    QCOMPARE(m_agent->get(QStringLiteral("/printer-details")).status, 200);
    QCOMPARE(m_agent->process().state(), QProcess::Running);
}

void TestAgentSecurity::slowClientsCannotHoldTheAgent()
{
    // More clients than the agent once had threads, each sending one more header line every
    // half second and never ending the head.
    const QByteArray port = QByteArray::number(m_agent->port());
    std::vector<std::unique_ptr<QTcpSocket>> slow;
    for (int i = 0; i < 12; ++i) {
        slow.push_back(std::make_unique<QTcpSocket>());
        slow.back()->connectToHost(QStringLiteral("127.0.0.1"), quint16(m_agent->port()));
        QVERIFY(slow.back()->waitForConnected());
        slow.back()->write("GET /slice HTTP/1.1\r\nHost: 127.0.0.1:" + port + "\r\n");
    }
    QTimer drip;
    connect(&drip, &QTimer::timeout, this, [&slow] {
        for (const auto& socket : slow) {
            if (socket->state() == QAbstractSocket::ConnectedState)
                socket->write("X-Slow: 1\r\n");
        }
    });
    drip.start(500);

    // The desktop client's poll is answered meanwhile.
    QVERIFY(m_agent->get(QStringLiteral("/slice")).status != 0);
    // And the slow heads are cut off, told why.
    const auto allClosed = [&slow] {
        for (const auto& socket : slow) {
            if (socket->state() != QAbstractSocket::UnconnectedState)
                return false;
        }
        return true;
    };
    QTRY_VERIFY_WITH_TIMEOUT(allClosed(), 30000);
    QVERIFY(slow.front()->readAll().startsWith("HTTP/1.1 408"));

    // A head that never ends in lines is refused once past the limit, not kept in memory.
    QTcpSocket flood;
    QSignalSpy disconnected(&flood, &QTcpSocket::disconnected);
    flood.connectToHost(QStringLiteral("127.0.0.1"), quint16(m_agent->port()));
    QVERIFY(flood.waitForConnected());
    flood.write("GET /slice HTTP/1.1\r\nHost: 127.0.0.1:" + port + "\r\n");
    for (int i = 0; i < 300; ++i)
        flood.write("X-Flood-" + QByteArray::number(i) + ": " + QByteArray(100, 'a') + "\r\n");
    flood.write("\r\n");
    QVERIFY(disconnected.count() > 0 || disconnected.wait(30000));
    const QByteArray answer = flood.readAll();
    QVERIFY2(answer.startsWith("HTTP/1.1 431"), answer.constData());
}

void TestAgentSecurity::idleConnectionsCannotHoldTheAgent()
{
    // Far more connections than threads, each silent. Served in turn, each holding a thread for
    // as long as a head may take to come, they would keep a poll waiting half a minute.
    std::vector<std::unique_ptr<QTcpSocket>> idle;
    for (int i = 0; i < 400; ++i) {
        idle.push_back(std::make_unique<QTcpSocket>());
        idle.back()->connectToHost(QStringLiteral("127.0.0.1"), quint16(m_agent->port()));
        QVERIFY(idle.back()->waitForConnected());
    }
    QNetworkAccessManager network;
    std::unique_ptr<QNetworkReply> poll(network.get(
        QNetworkRequest(QUrl(QStringLiteral("http://127.0.0.1:%1/slice").arg(m_agent->port())))));
    QSignalSpy finished(poll.get(), &QNetworkReply::finished);
    // Generous for a loaded machine, far below what a poll queued behind them waits.
    QVERIFY(finished.wait(10000));
    QVERIFY(poll->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() != 0);
}

QTEST_GUILESS_MAIN(TestAgentSecurity)
#include "tst_agentsecurity.moc"
