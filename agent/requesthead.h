// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_REQUESTHEAD_H
#define AGENT_REQUESTHEAD_H

// No Qt here: fuzzed with the other readers of what clients send.
#include <cstddef>
#include <string_view>

// The agent reads each request's head (request line and header fields) itself, within limits,
// before the HTTP library parses it: the library would read header lines for as long as a
// client sends them, one slow line at a time, and keep every one of them in memory.
constexpr std::size_t kMostHeadBytes = 16 * 1024;
constexpr std::size_t kMostHeaderFields = 100;

struct RequestHead {
    enum class State { Incomplete, Complete, TooLarge };
    State state = State::Incomplete;
    std::size_t headLength = 0; // up to and with the empty line, when Complete
    // The body that follows, by Content-Length; bodyKnown is false when the length is missing for
    // a chunked body, given twice or not a number. Such a request is the connection's last.
    std::size_t bodyLength = 0;
    bool bodyKnown = true;
};

// Judges the bytes received so far on a connection, which begin with a request.
RequestHead scanRequestHead(std::string_view received);

#endif
