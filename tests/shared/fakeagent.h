// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef TESTS_SHARED_FAKEAGENT_H
#define TESTS_SHARED_FAKEAGENT_H

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QTcpServer>

class QTcpSocket;

// One request as the fake agent received it.
struct AgentRequest {
    QByteArray method;
    QByteArray path;
    QByteArray contentType;
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
};
Q_DECLARE_METATYPE(AgentRequest)

struct AgentAnswer {
    int status;
    QByteArray body;
};

// The value of one field of a form-encoded body, decoded; empty when it is missing.
QString formField(const QByteArray& body, const QString& name);

// An in-process stand-in for the slicer agent: a small HTTP/1.1 server on
// 127.0.0.1 that records every request and answers each path with a scripted
// status and body (one answer per request from a script, the last one kept).
// Unscripted paths get 404. Every answer closes its connection.
class FakeAgent : public QObject {
    Q_OBJECT

public:
    static constexpr quint16 agentPort = 18383;

    explicit FakeAgent(QObject* parent = nullptr);

    bool listen(quint16 port = agentPort);
    void close();
    quint16 port() const { return m_server.serverPort(); }

    // Answers every later request to path with status and body.
    void setAnswer(const QByteArray& path, int status, const QByteArray& body);
    // Answers the next requests to path one after another; the last answer
    // stays for every request after that.
    void setAnswers(const QByteArray& path, const QList<AgentAnswer>& answers);

    // Requests to a held path are recorded but not answered until released.
    void holdPath(const QByteArray& path);
    int heldCount() const;
    // Answers the held request to path that arrived first; false when none
    // is held.
    bool releaseHeld(const QByteArray& path);

    // Every request and its path in order of arrival, except "/terminate":
    // each Netlib sends that as it goes, also one left over from an earlier
    // test case or one in another test program of the tree.
    QList<AgentRequest> requests() const;
    QList<QByteArray> paths() const;
    // The requests to path, "/terminate" included.
    QList<AgentRequest> requestsTo(const QByteArray& path) const;
    void clearRequests();

signals:
    void requestReceived(const AgentRequest& request);

private:
    void acceptConnections();
    void readRequest(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const QByteArray& path);

    QTcpServer m_server;
    QHash<QByteArray, QList<AgentAnswer>> m_answers;
    QHash<QTcpSocket*, QByteArray> m_buffers;
    QList<AgentRequest> m_requests;
    QList<QByteArray> m_heldPaths;
    QList<QPair<QPointer<QTcpSocket>, QByteArray>> m_held;
};

#endif
