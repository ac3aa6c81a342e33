// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_DIGESTAUTH_H
#define AGENT_DIGESTAUTH_H

#include <cstddef>
#include <string>

// HTTP Digest access authentication (RFC 7616, and RFC 2617 before it) as a client: printer hosts
// that take a user name and password answer 401 with a challenge, and every later request carries
// an Authorization header computed from it. Only what such hosts use: qop "auth" (or none), and
// the algorithms MD5 and SHA-256.
struct DigestChallenge {
    std::string realm;
    std::string nonce;
    std::string opaque; // echoed back when given
    std::string algorithm = "MD5";
    bool qopAuth = false; // the host offered qop="auth"
};

// The longest realm, nonce or opaque value answered: real hosts send a few dozen bytes, and
// each goes back in every request's head.
constexpr std::size_t longestChallengeValue = 1024;

// Reads a WWW-Authenticate header value ("Digest realm=..., nonce=..."), also where the Digest
// challenge follows another one in the same value. False when it holds no Digest challenge this
// client can answer (another scheme, no nonce, an unknown algorithm, only qop="auth-int", or a
// value with a control character or longer than longestChallengeValue; tooLong tells the last).
bool parseDigestChallenge(const std::string& header, DigestChallenge& challenge, bool& tooLong);
bool parseDigestChallenge(const std::string& header, DigestChallenge& challenge);

// The hexadecimal "response" value: H(H(user:realm:password):nonce:nc:cnonce:qop:H(method:uri)),
// or without nc, cnonce and qop when the host offered no qop.
std::string digestResponse(const DigestChallenge& challenge, const std::string& user,
    const std::string& password, const std::string& method, const std::string& uri,
    unsigned nonceCount, const std::string& cnonce);

// The whole Authorization header value for one request.
std::string digestAuthorization(const DigestChallenge& challenge, const std::string& user,
    const std::string& password, const std::string& method, const std::string& uri,
    unsigned nonceCount, const std::string& cnonce);

#endif
