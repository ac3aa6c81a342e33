// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_HOSTANSWER_H
#define AGENT_HOSTANSWER_H

#include <string>

// What the agent answers its client after trying to store a job on a printer host: 200 with the
// name the host stored it under, or a status and one sentence that says what went wrong.
struct SendOutcome {
    int status = 0;
    std::string sentence; // empty on success
    std::string storedName; // on success
    bool fileExists = false; // refused because the host has a file of that name already
};

// Ways a transfer can fail before the host answers.
enum class TransportFailure {
    Unreachable, // no connection: refused, no route, name unknown
    TimedOut, // no connection within the connect time-out, or no progress for too long
    Closed, // the host hung up before it answered
    AnswerTimedOut, // the answer after the upload took longer than its deadline
    TooLarge, // the answer went past the bound on what is read of it
    Garbled, // what came back was no HTTP answer the agent can read
};

// host is "ip:port" as the user knows it.
SendOutcome transportFailureOutcome(TransportFailure failure, const std::string& host);

// The answer for an HTTP status of the host that is not a success: its own message (from a JSON
// "error" or "message", or a short plain text body) rides along where it gives one.
SendOutcome hostRefusalOutcome(int hostStatus, const std::string& hostBody, const std::string& host,
    const std::string& fileName);

// The host's own message from an answer body, made safe to show: one line, at most 200 bytes.
std::string hostMessage(const std::string& body);

#endif
