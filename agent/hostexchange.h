// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_HOSTEXCHANGE_H
#define AGENT_HOSTEXCHANGE_H

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// How long one exchange with a printer host may take and how much of its answer is read. A host
// is any device on the network: what it sends is read only within these bounds.
struct ExchangeLimits {
    int connectSeconds = 5; // a host that does not take the connection by then is given up
    int stallSeconds = 30; // nothing moving either way for this long ends the exchange
    int answerSeconds = 60; // the whole answer, counted from the request's last byte
    // The answer's head, and its body as sent and as inflated: printer hosts answer with a few
    // hundred bytes of JSON.
    std::size_t answerBytes = 256 * 1024;
};

using HeaderFields = std::vector<std::pair<std::string, std::string>>;

struct HostReply {
    int status = 0;
    HeaderFields fields;
    std::string body; // inflated when the host compressed it
    // The values of every header field of this name (in any case), in the order they came.
    std::vector<std::string> values(const std::string& name) const;
};

enum class ExchangeFailure {
    None,
    Unreachable, // no connection: refused, no route, name unknown
    ConnectTimedOut,
    Stalled, // nothing moved for stallSeconds
    AnswerTimedOut, // the answer began but took longer than answerSeconds
    TooLarge, // the answer went past answerBytes
    Garbled, // no HTTP answer, or one compressed in a way we cannot read
    Closed, // the host hung up before its answer was whole
    BodyUnreadable, // the request body's reader failed
    Stopped, // stop() was called
    BadField, // a header field to send holds a line break or a NUL
};

// Fills out with up to room bytes of the request body from offset on: the count, or -1 when the
// body cannot be read.
using BodyReader = std::function<long(std::size_t offset, char* out, std::size_t room)>;

// An HTTP/1.1 client for printer hosts, one connection per request. It reads answers itself,
// not through an HTTP library, so that everything a host sends is bounded: the head with its
// lines and fields, the body before and after inflating, and the time the answer takes. Header
// fields go out byte for byte as given.
class HostExchange {
public:
    HostExchange(std::string host, int port, const ExchangeLimits& limits);
    ~HostExchange();
    HostExchange(const HostExchange&) = delete;
    HostExchange& operator=(const HostExchange&) = delete;

    // From any thread: the request under way fails at once with Stopped, and so does every
    // later one.
    void stop();

    // Sends one request and reads its whole answer; Host, Content-Length and Connection are
    // added. False with failure() set when no whole answer came within the limits.
    bool request(const std::string& method, const std::string& target, const HeaderFields& fields,
        std::size_t bodySize, const BodyReader& body, HostReply& reply);
    ExchangeFailure failure() const { return m_failure; }

private:
    bool stopped() const;
    bool connectToHost();
    bool sendAll(const char* data, std::size_t size);
    bool sendRequest(const std::string& head, std::size_t bodySize, const BodyReader& body);
    bool fill();
    bool fillBody(std::size_t bodyStart);
    bool readHead(HostReply& reply, std::size_t& bodyStart);
    bool readBody(const std::string& method, std::size_t bodyStart, HostReply& reply);
    bool readChunked(std::size_t bodyStart, std::string& body);
    bool fail(ExchangeFailure failure);

    const std::string m_host;
    const int m_port;
    const ExchangeLimits m_limits;
    int m_stopEvent = -1; // an eventfd: readable once stop() was called
    int m_socket = -1;
    std::string m_in; // what has come of the answer so far
    bool m_ended = false; // the host closed its side
    long long m_deadline = 0; // of the answer, in steady-clock milliseconds
    ExchangeFailure m_failure = ExchangeFailure::None;
};

#endif
