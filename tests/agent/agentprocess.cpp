// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "agentprocess.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileSystemWatcher>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

#include "formbody.h"

namespace {
constexpr int answerTimeout = 120000; // sanitizers make big jobs slow; no assertion on time
}

QJsonObject HttpAnswer::object() const { return QJsonDocument::fromJson(body).object(); }

QString agentProgram() { return QStringLiteral(AGENT_PROGRAM); }

AgentProcess::AgentProcess(const QString& dataDir)
    : m_dataDir(dataDir)
{
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
}

AgentProcess::~AgentProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(answerTimeout);
    }
}

bool AgentProcess::start()
{
    return start(
        { QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--data-dir"), m_dataDir },
        withoutDiscovery());
}

QProcessEnvironment withoutDiscovery()
{
    // No system bus there, so no Avahi daemon: an agent under test never has one browse the
    // machine's own network.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"),
        QStringLiteral("unix:path=/nonexistent/corvane-test-bus"));
    return environment;
}

bool AgentProcess::start(const QStringList& arguments, const QProcessEnvironment& environment)
{
    m_process.setProcessEnvironment(environment);
    m_process.start(agentProgram(), arguments);
    if (!m_process.waitForStarted(answerTimeout))
        return false;
    const QRegularExpression serving(
        QStringLiteral("^agent: serving http://127\\.0\\.0\\.1:(\\d+)$"));
    // Wait for the first line, or for the end of an agent that could not start serving.
    QEventLoop loop;
    QObject::connect(&m_process, &QProcess::readyReadStandardOutput, &loop, &QEventLoop::quit);
    QObject::connect(&m_process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished),
        &loop, &QEventLoop::quit);
    bool timedOut = false;
    QTimer::singleShot(answerTimeout, &loop, [&] {
        timedOut = true;
        loop.quit();
    });
    while (!m_process.canReadLine() && m_process.state() == QProcess::Running && !timedOut)
        loop.exec();
    if (!m_process.canReadLine())
        return false;
    const QRegularExpressionMatch match
        = serving.match(QString::fromUtf8(m_process.readLine()).trimmed());
    m_port = match.hasMatch() ? match.captured(1).toInt() : 0;
    return m_port > 0;
}

HttpAnswer AgentProcess::finish(QNetworkReply* reply)
{
    QSignalSpy finished(reply, &QNetworkReply::finished);
    HttpAnswer answer;
    if (reply->isFinished() || finished.wait(answerTimeout)) {
        answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        answer.body = reply->readAll();
    }
    reply->deleteLater();
    return answer;
}

HttpAnswer AgentProcess::get(const QString& path)
{
    QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path)));
    request.setHeader(
        QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json; charset=utf-8"));
    return finish(m_network.get(request));
}

HttpAnswer AgentProcess::post(
    const QString& path, const QByteArray& body, const QByteArray& contentType)
{
    QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path)));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QString::fromLatin1(contentType));
    return finish(m_network.post(request, body));
}

HttpAnswer AgentProcess::postForm(const QString& path, const FormFields& fields)
{
    return post(path, formBody(FormItems(fields.begin(), fields.end())));
}

HttpAnswer AgentProcess::raw(const QByteArray& request)
{
    QTcpSocket socket;
    QSignalSpy connected(&socket, &QTcpSocket::connected);
    QSignalSpy disconnected(&socket, &QTcpSocket::disconnected);
    socket.connectToHost(QStringLiteral("127.0.0.1"), static_cast<quint16>(m_port));
    HttpAnswer answer;
    if (!connected.wait(answerTimeout))
        return answer;
    socket.write(request);
    if (!disconnected.wait(answerTimeout))
        return answer;
    const QByteArray all = socket.readAll();
    const int headerEnd = all.indexOf("\r\n\r\n");
    const QList<QByteArray> statusLine = all.left(all.indexOf("\r\n")).split(' ');
    if (headerEnd < 0 || statusLine.size() < 2 || statusLine.at(0) != "HTTP/1.1")
        return answer;
    answer.status = statusLine.at(1).toInt();
    answer.body = all.mid(headerEnd + 4);
    return answer;
}

HttpAnswer AgentProcess::waitForJob(const QString& jobFolder, QStringList* percentages)
{
    QFileSystemWatcher watcher({ jobFolder });
    QSignalSpy changed(&watcher, &QFileSystemWatcher::directoryChanged);
    HttpAnswer answer;
    for (;;) {
        answer = get(QStringLiteral("/slice"));
        const QString percentage = answer.object().value(QStringLiteral("percentage")).toString();
        if (percentages)
            percentages->append(percentage);
        if (answer.status != 200 || percentage == QLatin1String("100"))
            return answer;
        // A quiet spell ends the wait too: the folder stops changing once "plate.json" is there.
        changed.wait(200);
        changed.clear();
    }
}

bool AgentProcess::waitForExit(int milliseconds)
{
    if (m_process.state() == QProcess::NotRunning)
        return true;
    QSignalSpy finished(&m_process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished));
    return finished.wait(milliseconds) || m_process.state() == QProcess::NotRunning;
}

bool writeTestPrinters(const QString& dataDir)
{
    const auto profile = [](int id, const char* title, int depth, int pixelsX, double exposure) {
        return QJsonObject { { QStringLiteral("Title"), QString::fromLatin1(title) },
            { QStringLiteral("ProfileID"), id }, { QStringLiteral("Depth"), depth },
            { QStringLiteral("PixelsX"), pixelsX }, { QStringLiteral("PixelsY"), testPixelsY },
            { QStringLiteral("PixelSizeX"), testPixelMm * 1000 },
            { QStringLiteral("PixelSizeY"), testPixelMm * 1000 },
            { QStringLiteral("Exposure"), exposure }, { QStringLiteral("BottomExposure"), 30 },
            { QStringLiteral("BottomLayers"), 3 }, { QStringLiteral("MirrorX"), false },
            { QStringLiteral("MirrorY"), false }, { QStringLiteral("MaxHeight"), 40 } };
    };
    const QJsonObject host { { QStringLiteral("name"), QStringLiteral("Test host") },
        { QStringLiteral("ip"), QStringLiteral("192.0.2.10") },
        { QStringLiteral("port"), QStringLiteral("8080") },
        { QStringLiteral("profiles_array"),
            QJsonArray { profile(1, "Coarse", 100, testPixelsX, 5),
                profile(2, "Coarse long", 100, testPixelsX, 8),
                profile(3, "Fine", 50, testPixelsX, 5),
                profile(4, "Small panel", 100, 100, 5) } } };
    QFile file(dataDir + QStringLiteral("/printers.json"));
    const QByteArray bytes
        = QJsonDocument(QJsonObject { { QStringLiteral("printers_array"), QJsonArray { host } } })
              .toJson();
    return QDir().mkpath(dataDir) && file.open(QIODevice::WriteOnly)
        && file.write(bytes) == bytes.size();
}
