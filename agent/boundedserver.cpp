// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "boundedserver.h"

#include "connectionpool.h"
#include "requesthead.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <string>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Most connections served at once; each lasts a few seconds at most while idle or slow.
constexpr std::size_t kMostConnections = 64;
constexpr int kMostRequestsPerConnection = 100;
constexpr std::chrono::seconds kWriteTime { 5 };
constexpr std::chrono::milliseconds kDrainTime { 500 };
constexpr std::size_t kMostDrained = 1 << 20;

// Waits until the socket can be read (or written) or the deadline passes. Past the deadline it
// still tells whether the socket is ready now: a request that waited for a thread longer than its
// head may take has sent its head all the same.
bool waitFor(int socket, short events, Clock::time_point deadline)
{
    for (;;) {
        const auto left
            = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd entry { socket, events, 0 };
        const int ready = poll(
            &entry, 1, int(std::max<long long>(0, std::min<long long>(left.count(), 1000 * 1000))));
        if (ready > 0)
            return true;
        if (left.count() <= 0 || (ready < 0 && errno != EINTR))
            return false;
    }
}

bool sendAll(int socket, const char* data, std::size_t size)
{
    const Clock::time_point deadline = Clock::now() + kWriteTime;
    while (size > 0) {
        if (!waitFor(socket, POLLOUT, deadline))
            return false;
        const ssize_t sent = send(socket, data, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        data += sent;
        size -= std::size_t(sent);
    }
    return true;
}

// For requests the library never sees: a JSON sentence, and the connection ends.
void answerAndClose(int socket, const char* status, const std::string& sentence)
{
    const std::string body = "{\"error\":\"" + sentence + "\"}";
    const std::string response = std::string("HTTP/1.1 ") + status
        + "\r\nContent-Type: application/json; charset=utf-8\r\nContent-Length: "
        + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    sendAll(socket, response.data(), response.size());
}

void addressOf(int socket, bool peer, std::string& ip, int& port)
{
    sockaddr_in address {};
    socklen_t length = sizeof address;
    const int got = peer ? getpeername(socket, reinterpret_cast<sockaddr*>(&address), &length)
                         : getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length);
    char text[INET_ADDRSTRLEN] = {};
    if (got == 0 && address.sin_family == AF_INET
        && inet_ntop(AF_INET, &address.sin_addr, text, sizeof text)) {
        ip = text;
        port = ntohs(address.sin_port);
    }
}

// One request as the library reads it: the head already received, then the body from the
// socket, never past the request's end, within the body's deadline. What the library writes
// back is watched for "Connection: close".
class RequestStream : public httplib::Stream {
public:
    RequestStream(int socket, const std::string& received, std::size_t requestLength)
        : m_socket(socket)
        , m_received(received)
        , m_requestLength(requestLength)
        , m_deadline(Clock::now() + BoundedServer::kBodyTime)
    {
    }

    bool is_readable() const override
    {
        return m_consumed < std::min(m_received.size(), m_requestLength)
            || waitFor(m_socket, POLLIN, m_deadline);
    }
    bool is_writable() const override
    {
        return waitFor(m_socket, POLLOUT, Clock::now() + kWriteTime);
    }

    ssize_t read(char* data, size_t size) override
    {
        // Bytes of a request pipelined behind this one stay for the next round.
        const std::size_t buffered = std::min(m_received.size(), m_requestLength);
        if (m_consumed < buffered) {
            const std::size_t n = std::min(size, buffered - m_consumed);
            std::memcpy(data, m_received.data() + m_consumed, n);
            m_consumed += n;
            return ssize_t(n);
        }
        if (m_consumed >= m_requestLength)
            return 0;
        if (!waitFor(m_socket, POLLIN, m_deadline))
            return -1;
        const ssize_t got = recv(m_socket, data, std::min(size, m_requestLength - m_consumed), 0);
        if (got > 0)
            m_consumed += std::size_t(got);
        return got;
    }

    ssize_t write(const char* data, size_t size) override
    {
        if (m_responseHead.find("\r\n\r\n") == std::string::npos && m_responseHead.size() < 8192)
            m_responseHead.append(data, std::min<std::size_t>(size, 8192));
        return sendAll(m_socket, data, size) ? ssize_t(size) : -1;
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override
    {
        addressOf(m_socket, true, ip, port);
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override
    {
        addressOf(m_socket, false, ip, port);
    }
    socket_t socket() const override { return m_socket; }

    std::size_t consumed() const { return m_consumed; }
    bool answerCloses() const
    {
        std::string head = m_responseHead.substr(0, m_responseHead.find("\r\n\r\n") + 2);
        std::transform(head.begin(), head.end(), head.begin(),
            [](unsigned char c) { return char(std::tolower(c)); });
        return head.find("\r\nconnection: close\r\n") != std::string::npos;
    }

private:
    const int m_socket;
    const std::string& m_received;
    const std::size_t m_requestLength;
    const Clock::time_point m_deadline;
    std::size_t m_consumed = 0;
    std::string m_responseHead;
};

// The library's accepting thread hands each connection straight to our pool (see
// process_and_close_socket), which knows the sockets and so can close the ones that wait too long.
class HandOver : public httplib::TaskQueue {
public:
    void enqueue(std::function<void()> task) override { task(); }
    void shutdown() override { }
};

} // namespace

BoundedServer::BoundedServer()
    : m_pool(std::make_unique<ConnectionPool>(kMostConnections, kMostWaiting, kHeadTime,
        [this](int socket, ConnectionPool::Clock::time_point accepted) {
            serveConnection(socket, accepted);
        }))
{
    new_task_queue = [] { return new HandOver; };
}

BoundedServer::~BoundedServer() = default;

void BoundedServer::serve()
{
    // Cuts what is left of the connections once the server stops: idle ones at once, busy ones
    // after the grace, so that a slow client can delay the end by the grace at most.
    std::thread closer([this] {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return m_stopping; });
        lock.unlock();
        closeConnections(false);
        lock.lock();
        if (!m_changed.wait_for(lock, kGrace, [this] { return m_connections.empty(); })) {
            lock.unlock();
            closeConnections(true);
        }
    });
    listen_after_bind();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_pool->shutdown();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_connections.clear(); // every connection thread has ended with the pool
    }
    m_changed.notify_all();
    closer.join();
}

void BoundedServer::stopServing()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    stop();
}

void BoundedServer::closeConnections(bool busyToo)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    // Shutting a socket down wakes its thread, which then closes it; the descriptor stays ours
    // until that thread has taken it out of the list, under this lock.
    for (const auto& connection : m_connections) {
        if (busyToo || connection.second)
            ::shutdown(connection.first, SHUT_RDWR);
    }
}

bool BoundedServer::setIdle(socket_t socket, bool idle)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_connections[socket] = idle;
    return !(idle && m_stopping);
}

bool BoundedServer::process_and_close_socket(socket_t socket)
{
    m_pool->add(socket);
    return true;
}

void BoundedServer::serveConnection(socket_t socket, Clock::time_point accepted)
{
    std::string received;
    Clock::time_point headDeadline = accepted + kHeadTime;
    for (int served = 0; served < kMostRequestsPerConnection; ++served) {
        if (!setIdle(socket, true))
            break;
        // Between requests a connection may stay only briefly; the first request's head counts
        // from the connection's start.
        if (served > 0) {
            // While other connections wait for a thread, an idle one gives its thread up at once.
            const Clock::time_point idleEnd
                = m_pool->othersWaiting() ? Clock::now() : Clock::now() + kIdleTime;
            if (received.empty() && !waitFor(socket, POLLIN, idleEnd))
                break;
            headDeadline = Clock::now() + kHeadTime;
        }
        if (!setIdle(socket, false))
            break;
        RequestHead head = scanRequestHead(received);
        while (head.state == RequestHead::State::Incomplete) {
            if (!waitFor(socket, POLLIN, headDeadline)) {
                if (!received.empty())
                    answerAndClose(socket, "408 Request Timeout",
                        "The request's header did not arrive in time.");
                break;
            }
            char buffer[4096];
            const ssize_t got = recv(socket, buffer, sizeof buffer, 0);
            if (got <= 0 && !(got < 0 && errno == EINTR))
                break;
            if (got > 0)
                received.append(buffer, std::size_t(got));
            head = scanRequestHead(received);
        }
        if (head.state == RequestHead::State::TooLarge)
            answerAndClose(socket, "431 Request Header Fields Too Large",
                "The request's header is too large for the agent.");
        if (head.state == RequestHead::State::BadLineEnd)
            answerAndClose(socket, "400 Bad Request",
                "The request's header has a line that does not end in CR LF.");
        if (head.state != RequestHead::State::Complete)
            break;
        // The library would read such a body to throw it away, for as long as it takes.
        if (head.bodyLength > payload_max_length_) {
            answerAndClose(
                socket, "413 Payload Too Large", "The request is too large for the agent.");
            break;
        }

        const std::size_t requestLength = head.bodyKnown ? head.headLength + head.bodyLength
                                                         : std::numeric_limits<std::size_t>::max();
        RequestStream stream(socket, received, requestLength);
        bool closed = false;
        const bool answered = process_request(stream, served + 1 == kMostRequestsPerConnection,
            closed, [&head](httplib::Request& request) {
                // The guard judges Host as it was sent, not as the library decoded it.
                request.headers.erase("Host");
                for (const std::string_view host : head.hosts)
                    request.headers.emplace("Host", std::string(host));
            });
        if (!answered || closed || !head.bodyKnown || stream.consumed() < requestLength
            || stream.answerCloses())
            break;
        received.erase(0, stream.consumed());
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_connections.erase(socket);
    }
    m_changed.notify_all();
    // Closing a socket with unread bytes resets the connection, and the client could lose the
    // answer it has not read yet: end our side first and let the rest drain for a moment.
    ::shutdown(socket, SHUT_WR);
    const Clock::time_point drainEnd = Clock::now() + kDrainTime;
    char discarded[4096];
    for (std::size_t total = 0; total < kMostDrained && waitFor(socket, POLLIN, drainEnd);) {
        const ssize_t got = recv(socket, discarded, sizeof discarded, 0);
        if (got <= 0)
            break;
        total += std::size_t(got);
    }
    ::close(socket);
}
