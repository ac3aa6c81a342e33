// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "requesthead.h"

#include <cctype>

namespace {

bool startsWithName(std::string_view line, std::string_view name)
{
    if (line.size() <= name.size() || line[name.size()] != ':')
        return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(line[i])) != name[i])
            return false;
    }
    return true;
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

} // namespace

RequestHead scanRequestHead(std::string_view received)
{
    RequestHead head;
    const std::size_t end = received.find("\r\n\r\n");
    const std::size_t available = end == std::string_view::npos ? received.size() : end + 4;
    // Counted over what has come so far, so a flood is cut as soon as it passes a limit.
    std::size_t lines = 0;
    for (std::size_t at = received.find('\n'); at != std::string_view::npos && at < available;
         at = received.find('\n', at + 1))
        ++lines;
    if (available > kMostHeadBytes || lines > kMostHeaderFields + 2) {
        head.state = RequestHead::State::TooLarge;
        return head;
    }
    // A CR last in what has come may yet be followed by its LF.
    for (std::size_t at = received.find_first_of("\r\n"); at < available;
         at = received.find_first_of("\r\n", at + 1)) {
        const bool pairedLf = received[at] == '\n' && at > 0 && received[at - 1] == '\r';
        const bool pairedCr
            = received[at] == '\r' && (at + 1 == received.size() || received[at + 1] == '\n');
        if (!pairedLf && !pairedCr) {
            head.state = RequestHead::State::BadLineEnd;
            return head;
        }
    }
    if (end == std::string_view::npos)
        return head;
    head.state = RequestHead::State::Complete;
    head.headLength = end + 4;

    bool lengthSeen = false;
    std::size_t lineStart = received.find("\r\n") + 2; // after the request line
    while (lineStart < end) {
        const std::size_t lineEnd = received.find("\r\n", lineStart);
        const std::string_view line = received.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 2;
        if (startsWithName(line, "host")) {
            head.hosts.push_back(trimmed(line.substr(5)));
        } else if (startsWithName(line, "transfer-encoding")) {
            head.bodyKnown = false;
        } else if (startsWithName(line, "content-length")) {
            const std::string_view value = trimmed(line.substr(15));
            std::size_t length = 0;
            bool number = !value.empty() && value.size() <= 12;
            for (const char c : value) {
                number = number && c >= '0' && c <= '9';
                length = length * 10 + std::size_t(c - '0');
            }
            if (!number || lengthSeen)
                head.bodyKnown = false;
            lengthSeen = true;
            head.bodyLength = number ? length : 0;
        }
    }
    if (!head.bodyKnown)
        head.bodyLength = 0;
    return head;
}
