// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakeagent.h"

#include <QTcpSocket>
#include <QUrlQuery>

namespace {

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return QByteArrayLiteral("OK");
    case 404:
        return QByteArrayLiteral("Not Found");
    case 409:
        return QByteArrayLiteral("Conflict");
    case 500:
        return QByteArrayLiteral("Internal Server Error");
    default:
        return QByteArrayLiteral("Status");
    }
}

}

QString formField(const QByteArray& body, const QString& name)
{
    return QUrlQuery(QString::fromUtf8(body)).queryItemValue(name, QUrl::FullyDecoded);
}

FakeAgent::FakeAgent(QObject* parent)
    : QObject(parent)
{
    qRegisterMetaType<AgentRequest>();
    connect(&m_server, &QTcpServer::newConnection, this, &FakeAgent::acceptConnections);
}

bool FakeAgent::listen(quint16 port)
{
    return m_server.listen(QHostAddress(QStringLiteral("127.0.0.1")), port);
}

void FakeAgent::close() { m_server.close(); }

void FakeAgent::setAnswer(const QByteArray& path, int status, const QByteArray& body)
{
    m_answers.insert(path, { AgentAnswer { status, body } });
}

void FakeAgent::setAnswers(const QByteArray& path, const QList<AgentAnswer>& answers)
{
    m_answers.insert(path, answers);
}

void FakeAgent::holdPath(const QByteArray& path) { m_heldPaths.append(path); }

int FakeAgent::heldCount() const { return m_held.size(); }

bool FakeAgent::releaseHeld(const QByteArray& path)
{
    for (int i = 0; i < m_held.size(); ++i) {
        if (m_held.at(i).second != path)
            continue;
        const auto held = m_held.takeAt(i);
        if (held.first)
            answer(held.first, held.second);
        return true;
    }
    return false;
}

QList<AgentRequest> FakeAgent::requests() const
{
    QList<AgentRequest> result;
    for (const AgentRequest& request : m_requests) {
        if (request.path != "/terminate")
            result.append(request);
    }
    return result;
}

QList<AgentRequest> FakeAgent::requestsTo(const QByteArray& path) const
{
    QList<AgentRequest> result;
    for (const AgentRequest& request : m_requests) {
        if (request.path == path)
            result.append(request);
    }
    return result;
}

QList<QByteArray> FakeAgent::paths() const
{
    QList<QByteArray> result;
    for (const AgentRequest& request : requests())
        result.append(request.path);
    return result;
}

void FakeAgent::clearRequests() { m_requests.clear(); }

void FakeAgent::acceptConnections()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequest(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_buffers.remove(socket);
            socket->deleteLater();
        });
        // The request may have arrived with the connection.
        if (socket->bytesAvailable() > 0)
            readRequest(socket);
    }
}

void FakeAgent::readRequest(QTcpSocket* socket)
{
    QByteArray& buffer = m_buffers[socket];
    buffer += socket->readAll();
    const int headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return;

    AgentRequest request;
    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    request.method = requestLine.value(0);
    request.path = requestLine.value(1);
    int contentLength = 0;
    for (int i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        const int colon = line.indexOf(':');
        if (colon < 0)
            continue;
        const QByteArray name = line.left(colon).trimmed();
        const QByteArray value = line.mid(colon + 1).trimmed();
        request.headers.append({ name, value });
        if (name.compare("Content-Type", Qt::CaseInsensitive) == 0)
            request.contentType = value;
        if (name.compare("Content-Length", Qt::CaseInsensitive) == 0)
            contentLength = value.toInt();
    }
    const int bodyStart = headerEnd + 4;
    if (buffer.size() - bodyStart < contentLength)
        return;
    request.body = buffer.mid(bodyStart, contentLength);
    buffer.clear();

    m_requests.append(request);
    if (m_heldPaths.contains(request.path))
        m_held.append({ QPointer<QTcpSocket>(socket), request.path });
    else
        answer(socket, request.path);
    emit requestReceived(request);
}

void FakeAgent::answer(QTcpSocket* socket, const QByteArray& path)
{
    AgentAnswer reply { 404, QByteArrayLiteral("{\"error\":\"unknown endpoint\"}") };
    auto scripted = m_answers.find(path);
    if (scripted != m_answers.end() && !scripted->isEmpty())
        reply = scripted->size() > 1 ? scripted->takeFirst() : scripted->first();

    QByteArray response = "HTTP/1.1 " + QByteArray::number(reply.status) + ' '
        + reasonPhrase(reply.status) + "\r\n";
    response += "Content-Type: application/json\r\n";
    response += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
    response += "Connection: close\r\n\r\n";
    response += reply.body;
    socket->write(response);
    socket->disconnectFromHost();
}
