// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "requestguard.h"

#include <cctype>

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i]))
            != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

} // namespace

std::string requestRefusal(
    bool hasOrigin, bool hasFetchMetadata, std::size_t hostCount, std::string_view host, int port)
{
    if (hasOrigin)
        return "The agent does not serve requests that carry an Origin header.";
    if (hasFetchMetadata)
        return "The agent does not serve requests sent by a web browser.";
    if (hostCount != 1)
        return "The agent serves only requests with exactly one Host header.";
    const std::string suffix = ":" + std::to_string(port);
    // Host names are case-insensitive; the port must be written as we serve it.
    if (host.size() > suffix.size() && host.substr(host.size() - suffix.size()) == suffix) {
        const std::string_view name = host.substr(0, host.size() - suffix.size());
        if (name == "127.0.0.1" || equalsIgnoringCase(name, "localhost"))
            return {};
    }
    return "The agent serves only requests addressed to 127.0.0.1" + suffix + " or localhost"
        + suffix + ".";
}
