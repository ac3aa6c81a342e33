// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_REQUESTGUARD_H
#define AGENT_REQUESTGUARD_H

// No Qt here: fuzzed together with the form decoder.
#include <string>
#include <string_view>

// Why a request must be refused, or an empty text when it may be served.
//
// A web page in the user's browser can send requests to 127.0.0.1 too. Browsers add an Origin
// header to such requests, and a page that reaches us through a name of its own (DNS rebinding)
// carries that name in Host. So we serve only requests without Origin whose one Host header
// names this very socket: 127.0.0.1:port or localhost:port.
//
// A page can still make the browser send a plain GET without Origin (an image's address, say),
// and "/terminate" is a GET. Browsers mark every request they send with Sec-Fetch-* headers,
// which our desktop client never sends, so a request that carries them is refused as well.
//
// `host` is the value as sent, byte for byte: decoded ("127.0.0.1%3a18383") or cut at a NUL
// ("127.0.0.1:18383\0.evil.example") it would pass for ours, which as sent it is not.
std::string requestRefusal(
    bool hasOrigin, bool hasFetchMetadata, std::size_t hostCount, std::string_view host, int port);

#endif
