// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_REQUESTHEAD_H
#define AGENT_REQUESTHEAD_H

// No Qt here: fuzzed with the other readers of what clients send.
#include <cstddef>
#include <string_view>
#include <vector>

// The agent reads each request's head (request line and header fields) itself, within limits,
// before the HTTP library parses it: the library would read header lines for as long as a
// client sends them, one slow line at a time, and keep every one of them in memory.
constexpr std::size_t kMostHeadBytes = 16 * 1024;
constexpr std::size_t kMostHeaderFields = 100;

struct RequestHead {
    // BadLineEnd: a CR or LF in the head that is not part of a CR LF pair. The HTTP library
    // splits lines at a bare LF as well, so a head we read otherwise could hide a field from us
    // (a Content-Length, say) that the library then obeys.
    enum class State { Incomplete, Complete, TooLarge, BadLineEnd };
    State state = State::Incomplete;
    std::size_t headLength = 0; // up to and with the empty line, when Complete
    // The body that follows, by Content-Length; bodyKnown is false when the length is missing for
    // a chunked body, given twice or not a number. Such a request is the connection's last.
    std::size_t bodyLength = 0;
    bool bodyKnown = true;
    // The values of the Host fields as sent, when Complete: the library decodes %XX in header
    // values and hands them on as C strings, which would hide a "%3a" or a NUL from the guard.
    std::vector<std::string_view> hosts;
};

// Judges the bytes received so far on a connection, which begin with a request.
RequestHead scanRequestHead(std::string_view received);

#endif
