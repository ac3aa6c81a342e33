// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostexchange.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <netdb.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// More header fields than any printer host sends; each costs a few allocations.
constexpr std::size_t mostFields = 100;

long long nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string lowered(std::string text)
{
    for (char& c : text)
        c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return text;
}

std::string trimmed(const std::string& text)
{
    const std::size_t start = text.find_first_not_of(" \t");
    if (start == std::string::npos)
        return {};
    return text.substr(start, text.find_last_not_of(" \t") - start + 1);
}

enum class Wait { Ready, Stopped, TimedOut };

// Waits until the socket is ready for events, stop is signalled or the time (steady-clock
// milliseconds) has come. An error or a hang-up counts as ready: the next call says which.
Wait waitFor(int socket, short events, int stopEvent, long long until)
{
    for (;;) {
        const long long left = until - nowMs();
        if (left <= 0)
            return Wait::TimedOut;
        pollfd fds[2] = { { socket, events, 0 }, { stopEvent, POLLIN, 0 } };
        const int count = poll(fds, 2, static_cast<int>(std::min<long long>(left, INT_MAX)));
        if (count < 0 && errno != EINTR)
            return Wait::Stopped;
        if (fds[1].revents != 0)
            return Wait::Stopped;
        if (count > 0)
            return Wait::Ready;
    }
}

bool holdsLineBreak(const std::string& text)
{
    return text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
}

} // namespace

std::vector<std::string> HostReply::values(const std::string& name) const
{
    std::vector<std::string> result;
    const std::string wanted = lowered(name);
    for (const auto& field : fields) {
        if (lowered(field.first) == wanted)
            result.push_back(field.second);
    }
    return result;
}

HostExchange::HostExchange(std::string host, int port, const ExchangeLimits& limits)
    : m_host(std::move(host))
    , m_port(port)
    , m_limits(limits)
    , m_stopEvent(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
}

HostExchange::~HostExchange()
{
    if (m_stopEvent >= 0)
        close(m_stopEvent);
}

void HostExchange::stop()
{
    // Stays readable: every wait of this exchange from now on ends at once.
    const uint64_t one = 1;
    if (write(m_stopEvent, &one, sizeof one) < 0) {
        // Only a counter at its maximum refuses, and then it is readable already.
    }
}

bool HostExchange::stopped() const
{
    pollfd event { m_stopEvent, POLLIN, 0 };
    return m_stopEvent < 0 || poll(&event, 1, 0) != 0;
}

bool HostExchange::fail(ExchangeFailure failure)
{
    m_failure = stopped() ? ExchangeFailure::Stopped : failure;
    return false;
}

bool HostExchange::connectToHost()
{
    addrinfo hints {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(m_host.c_str(), std::to_string(m_port).c_str(), &hints, &found) != 0 || !found)
        return fail(ExchangeFailure::Unreachable);
    m_socket = socket(
        found->ai_family, found->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, found->ai_protocol);
    const int connected = m_socket < 0 ? -1 : connect(m_socket, found->ai_addr, found->ai_addrlen);
    const int error = errno;
    freeaddrinfo(found);
    if (m_socket < 0 || (connected != 0 && error != EINPROGRESS))
        return fail(ExchangeFailure::Unreachable);
    if (connected == 0)
        return true;
    switch (waitFor(m_socket, POLLOUT, m_stopEvent, nowMs() + m_limits.connectSeconds * 1000LL)) {
    case Wait::Stopped:
        return fail(ExchangeFailure::Stopped);
    case Wait::TimedOut:
        return fail(ExchangeFailure::ConnectTimedOut);
    case Wait::Ready:
        break;
    }
    int result = 0;
    socklen_t length = sizeof result;
    if (getsockopt(m_socket, SOL_SOCKET, SO_ERROR, &result, &length) != 0 || result != 0)
        return fail(ExchangeFailure::Unreachable);
    return true;
}

bool HostExchange::sendAll(const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t sent = send(m_socket, data, size, MSG_NOSIGNAL);
        if (sent > 0) {
            data += sent;
            size -= static_cast<std::size_t>(sent);
            continue;
        }
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            switch (
                waitFor(m_socket, POLLOUT, m_stopEvent, nowMs() + m_limits.stallSeconds * 1000LL)) {
            case Wait::Stopped:
                return fail(ExchangeFailure::Stopped);
            case Wait::TimedOut:
                return fail(ExchangeFailure::Stalled);
            case Wait::Ready:
                continue;
            }
        }
        return fail(ExchangeFailure::Closed);
    }
    return true;
}

bool HostExchange::sendRequest(
    const std::string& head, std::size_t bodySize, const BodyReader& body)
{
    if (!sendAll(head.data(), head.size()))
        return false;
    std::vector<char> buffer(std::min<std::size_t>(bodySize, std::size_t(1) << 18));
    for (std::size_t offset = 0; offset < bodySize;) {
        const long count = body(offset, buffer.data(), std::min(buffer.size(), bodySize - offset));
        if (count <= 0)
            return fail(ExchangeFailure::BodyUnreadable);
        if (!sendAll(buffer.data(), static_cast<std::size_t>(count)))
            return false;
        offset += static_cast<std::size_t>(count);
    }
    return true;
}

bool HostExchange::fill()
{
    char piece[16384];
    for (;;) {
        const ssize_t count = recv(m_socket, piece, sizeof piece, 0);
        if (count > 0) {
            m_in.append(piece, static_cast<std::size_t>(count));
            return true;
        }
        if (count == 0) {
            m_ended = true;
            return fail(ExchangeFailure::Closed);
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return fail(ExchangeFailure::Closed);
        const long long stall = nowMs() + m_limits.stallSeconds * 1000LL;
        switch (waitFor(m_socket, POLLIN, m_stopEvent, std::min(stall, m_deadline))) {
        case Wait::Stopped:
            return fail(ExchangeFailure::Stopped);
        case Wait::TimedOut:
            // A host that has said nothing at all by the deadline has stopped answering.
            return fail(m_deadline <= stall && !m_in.empty() ? ExchangeFailure::AnswerTimedOut
                                                             : ExchangeFailure::Stalled);
        case Wait::Ready:
            break;
        }
    }
}

// One more piece of the body, unless it has grown past the bound already.
bool HostExchange::fillBody(std::size_t bodyStart)
{
    if (m_in.size() - bodyStart > m_limits.answerBytes)
        return fail(ExchangeFailure::TooLarge);
    return fill();
}

bool HostExchange::readHead(HostReply& reply, std::size_t& bodyStart)
{
    std::size_t at = 0;
    for (;;) {
        // One answer head; a 1xx one is followed by the real one, within the same bound.
        reply = HostReply();
        std::string statusLine;
        for (;;) {
            const std::size_t lineEnd = m_in.find('\n', at);
            if (lineEnd == std::string::npos) {
                if (m_in.size() > m_limits.answerBytes)
                    return fail(ExchangeFailure::TooLarge);
                if (!fill())
                    return false;
                continue;
            }
            if (lineEnd > m_limits.answerBytes)
                return fail(ExchangeFailure::TooLarge);
            std::string line = m_in.substr(at, lineEnd - at);
            at = lineEnd + 1;
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (statusLine.empty()) {
                if (line.empty())
                    return fail(ExchangeFailure::Garbled);
                statusLine = line;
                continue;
            }
            if (line.empty())
                break;
            const std::size_t colon = line.find(':');
            if (colon == std::string::npos || colon == 0)
                return fail(ExchangeFailure::Garbled);
            if (reply.fields.size() == mostFields)
                return fail(ExchangeFailure::TooLarge);
            reply.fields.emplace_back(line.substr(0, colon), trimmed(line.substr(colon + 1)));
        }
        // "HTTP/1.1 200 OK"
        if (statusLine.compare(0, 5, "HTTP/") != 0)
            return fail(ExchangeFailure::Garbled);
        const std::size_t space = statusLine.find(' ');
        if (space == std::string::npos || statusLine.size() < space + 4)
            return fail(ExchangeFailure::Garbled);
        int status = 0;
        for (std::size_t i = space + 1; i < space + 4; ++i) {
            if (statusLine[i] < '0' || statusLine[i] > '9')
                return fail(ExchangeFailure::Garbled);
            status = status * 10 + (statusLine[i] - '0');
        }
        reply.status = status;
        if (status >= 200 || status < 100) {
            bodyStart = at;
            return true;
        }
    }
}

bool HostExchange::readChunked(std::size_t bodyStart, std::string& body)
{
    std::size_t at = bodyStart;
    // The line that starts at `at`, without its end; false when none comes within the bound.
    const auto nextLine = [&](std::string& line) {
        std::size_t lineEnd;
        while ((lineEnd = m_in.find('\n', at)) == std::string::npos) {
            if (!fillBody(bodyStart))
                return false;
        }
        line = m_in.substr(at, lineEnd - at);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        at = lineEnd + 1;
        return true;
    };
    std::string line;
    for (;;) {
        if (!nextLine(line))
            return false;
        // "1a3;extension"
        const std::string digits = trimmed(line.substr(0, line.find(';')));
        char* end = nullptr;
        const unsigned long long size = std::strtoull(digits.c_str(), &end, 16);
        if (digits.empty() || *end != '\0' || digits.find('-') != std::string::npos)
            return fail(ExchangeFailure::Garbled);
        if (size > m_limits.answerBytes)
            return fail(ExchangeFailure::TooLarge);
        if (size == 0)
            break;
        while (m_in.size() < at + size) {
            if (!fillBody(bodyStart))
                return false;
        }
        body.append(m_in, at, size);
        at += size;
        if (!nextLine(line))
            return false;
        if (!line.empty())
            return fail(ExchangeFailure::Garbled);
    }
    // The trailer fields, up to the empty line.
    do {
        if (!nextLine(line))
            return false;
    } while (!line.empty());
    return true;
}

bool HostExchange::readBody(const std::string& method, std::size_t bodyStart, HostReply& reply)
{
    if (method == "HEAD" || reply.status == 204 || reply.status == 304)
        return true;
    const std::vector<std::string> transfer = reply.values("Transfer-Encoding");
    const std::vector<std::string> length = reply.values("Content-Length");
    if (!transfer.empty() && lowered(transfer.back()).find("chunked") != std::string::npos) {
        if (!readChunked(bodyStart, reply.body))
            return false;
    } else if (!length.empty()) {
        const std::string& digits = length.front();
        if (digits.empty() || digits.size() > 18
            || digits.find_first_not_of("0123456789") != std::string::npos)
            return fail(ExchangeFailure::Garbled);
        const auto size = std::stoull(digits);
        if (size > m_limits.answerBytes)
            return fail(ExchangeFailure::TooLarge);
        while (m_in.size() - bodyStart < size) {
            if (!fill())
                return false;
        }
        reply.body = m_in.substr(bodyStart, size);
    } else {
        // Until the host closes the connection.
        while (fillBody(bodyStart)) { }
        if (!m_ended)
            return false;
        m_failure = ExchangeFailure::None;
        reply.body = m_in.substr(bodyStart);
    }
    m_in.clear();

    const std::vector<std::string> encoding = reply.values("Content-Encoding");
    const std::string coding = encoding.empty() ? std::string() : lowered(encoding.back());
    if (coding.empty() || coding == "identity")
        return true;
    if (coding != "gzip" && coding != "x-gzip" && coding != "deflate")
        return fail(ExchangeFailure::Garbled);
    // 32 more than the window's bits: a gzip or a zlib header, whichever it is.
    z_stream stream {};
    if (inflateInit2(&stream, 15 + 32) != Z_OK)
        return fail(ExchangeFailure::Garbled);
    std::string inflated;
    stream.next_in = reinterpret_cast<Bytef*>(&reply.body[0]);
    stream.avail_in = static_cast<uInt>(reply.body.size());
    int result = Z_OK;
    char piece[16384];
    while (result == Z_OK && inflated.size() <= m_limits.answerBytes) {
        stream.next_out = reinterpret_cast<Bytef*>(piece);
        stream.avail_out = sizeof piece;
        result = inflate(&stream, Z_NO_FLUSH);
        inflated.append(piece, sizeof piece - stream.avail_out);
    }
    inflateEnd(&stream);
    if (inflated.size() > m_limits.answerBytes)
        return fail(ExchangeFailure::TooLarge);
    if (result != Z_STREAM_END)
        return fail(ExchangeFailure::Garbled);
    reply.body = std::move(inflated);
    return true;
}

bool HostExchange::request(const std::string& method, const std::string& target,
    const HeaderFields& fields, std::size_t bodySize, const BodyReader& body, HostReply& reply)
{
    m_failure = ExchangeFailure::None;
    m_in.clear();
    m_ended = false;
    reply = HostReply();
    if (stopped())
        return fail(ExchangeFailure::Stopped);

    const bool numericV6 = m_host.find(':') != std::string::npos;
    std::string head = method + " " + target + " HTTP/1.1\r\nHost: "
        + (numericV6 ? "[" + m_host + "]" : m_host) + ":" + std::to_string(m_port) + "\r\n";
    for (const auto& field : fields) {
        if (holdsLineBreak(field.first) || holdsLineBreak(field.second))
            return fail(ExchangeFailure::BadField);
        head += field.first + ": " + field.second + "\r\n";
    }
    if (bodySize > 0 || method == "POST" || method == "PUT")
        head += "Content-Length: " + std::to_string(bodySize) + "\r\n";
    head += "Accept-Encoding: identity\r\nConnection: close\r\n\r\n";

    if (!connectToHost()) {
        if (m_socket >= 0)
            close(m_socket);
        m_socket = -1;
        return false;
    }
    // A host that hangs up while the request goes out may have answered already (a refusal
    // before the body, say): its answer is read all the same.
    const bool sent = sendRequest(head, bodySize, body);
    bool answered = false;
    if (sent || m_failure == ExchangeFailure::Closed) {
        const ExchangeFailure sending = m_failure;
        m_failure = ExchangeFailure::None;
        m_deadline = nowMs() + m_limits.answerSeconds * 1000LL;
        std::size_t bodyStart = 0;
        answered = readHead(reply, bodyStart) && readBody(method, bodyStart, reply);
        if (!answered && !sent)
            m_failure = sending;
    }
    close(m_socket);
    m_socket = -1;
    m_in.clear();
    m_in.shrink_to_fit();
    return answered;
}
