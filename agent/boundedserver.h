// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_BOUNDEDSERVER_H
#define AGENT_BOUNDEDSERVER_H

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>

class ConnectionPool;

// The HTTP library's server with the agent's own connection handling, so that no client can
// hold the agent: a request's head must arrive whole within a few seconds and stay within size
// and field-count limits (431 otherwise), every line ending in CR LF (400 otherwise); the Host
// fields reach the handlers as sent; a connection serves its next request only when the
// last one was read to its end and answered without "Connection: close", so the body of a
// request refused before it was read never runs as a request of its own; a connection waits
// for a thread only in a bounded line (see ConnectionPool), so no number of idle ones keeps a
// request waiting; and an ending server cuts the connections still open after a short grace.
class BoundedServer : public httplib::Server {
public:
    BoundedServer();
    ~BoundedServer() override;

    // Listens on the bound socket until stopServing(), then waits for the connections: the ones
    // between requests are closed at once, the others get the grace to finish their answer.
    void serve();
    // Stops accepting connections. May be called from any thread, any number of times.
    void stopServing();

    static constexpr std::chrono::seconds kHeadTime { 5 };
    static constexpr std::chrono::seconds kBodyTime { 10 };
    static constexpr std::chrono::seconds kIdleTime { 1 };
    static constexpr std::chrono::seconds kGrace { 2 };
    // Connections that wait for a thread: silent ones (without a thread), and ones that have
    // sent something while every thread is busy; over this many, the oldest is closed.
    static constexpr std::size_t kMostWaiting = 256;

private:
    bool process_and_close_socket(socket_t socket) override; // hands it to the pool
    void serveConnection(socket_t socket, std::chrono::steady_clock::time_point accepted);
    // Marks the connection as waiting between requests (idle) or busy with one; false when the
    // server is stopping and an idle connection should close.
    bool setIdle(socket_t socket, bool idle);
    void closeConnections(bool busyToo);

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<socket_t, bool> m_connections; // socket -> idle
    bool m_stopping = false;
    std::unique_ptr<ConnectionPool> m_pool;
};

#endif
