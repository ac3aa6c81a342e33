// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "digestauth.h"

#include <QByteArray>
#include <QCryptographicHash>

#include <cctype>
#include <cstdio>
#include <map>

namespace {

std::string lowered(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// name=value and name="quoted value" pairs, separated by commas; names in lower case.
std::map<std::string, std::string> parameters(const std::string& text)
{
    std::map<std::string, std::string> result;
    std::size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && (text[at] == ' ' || text[at] == ',' || text[at] == '\t'))
            ++at;
        const std::size_t equals = text.find('=', at);
        if (equals == std::string::npos)
            break;
        std::string name = text.substr(at, equals - at);
        while (!name.empty() && name.back() == ' ')
            name.pop_back();
        at = equals + 1;
        while (at < text.size() && text[at] == ' ')
            ++at;
        std::string value;
        if (at < text.size() && text[at] == '"') {
            for (++at; at < text.size() && text[at] != '"'; ++at) {
                if (text[at] == '\\' && at + 1 < text.size())
                    ++at;
                value += text[at];
            }
            ++at; // the closing quote
        } else {
            const std::size_t comma = text.find(',', at);
            value = text.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
            while (!value.empty() && value.back() == ' ')
                value.pop_back();
            at = comma == std::string::npos ? text.size() : comma;
        }
        result[lowered(name)] = value;
    }
    return result;
}

std::string hashHex(const std::string& algorithm, const std::string& text)
{
    const auto method
        = algorithm == "SHA-256" ? QCryptographicHash::Sha256 : QCryptographicHash::Md5;
    return QCryptographicHash::hash(QByteArray::fromStdString(text), method).toHex().toStdString();
}

// Quotes a value for a header parameter; user names may hold quotes or backslashes.
std::string quoted(const std::string& value)
{
    std::string result = "\"";
    for (const char c : value) {
        if (c == '"' || c == '\\')
            result += '\\';
        result += c;
    }
    return result + '"';
}

// Where the parameters of the Digest challenge begin, just after its scheme name, or npos. The
// field may list several challenges ("Basic realm=..., Digest realm=..."); quoted values are
// skipped, so a realm that reads "Digest " is no challenge of its own.
std::size_t digestSchemeStart(const std::string& header)
{
    const std::string scheme = "digest ";
    bool quoted = false;
    bool atToken = true; // at the start, or after a comma and spaces
    for (std::size_t at = 0; at < header.size(); ++at) {
        const char c = header[at];
        if (quoted) {
            if (c == '\\')
                ++at;
            else if (c == '"')
                quoted = false;
            continue;
        }
        if (c == '"') {
            quoted = true;
            atToken = false;
        } else if (c == ',') {
            atToken = true;
        } else if (c != ' ' && c != '\t') {
            if (atToken && lowered(header.substr(at, scheme.size())) == scheme)
                return at + scheme.size();
            atToken = false;
        }
    }
    return std::string::npos;
}

} // namespace

bool parseDigestChallenge(const std::string& header, DigestChallenge& challenge)
{
    bool tooLong = false;
    return parseDigestChallenge(header, challenge, tooLong);
}

bool parseDigestChallenge(const std::string& header, DigestChallenge& challenge, bool& tooLong)
{
    tooLong = false;
    const std::size_t start = digestSchemeStart(header);
    if (start == std::string::npos)
        return false;
    std::map<std::string, std::string> fields = parameters(header.substr(start));
    DigestChallenge result;
    result.realm = fields["realm"];
    result.nonce = fields["nonce"];
    result.opaque = fields["opaque"];
    if (!fields["algorithm"].empty())
        result.algorithm = fields["algorithm"];
    for (const std::string* value : { &result.realm, &result.nonce, &result.opaque }) {
        // Echoed into our next request's head: a control character there could end a line.
        for (const char c : *value) {
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
                return false;
        }
        if (value->size() > longestChallengeValue) {
            tooLong = true;
            return false;
        }
    }
    if (result.nonce.empty() || (result.algorithm != "MD5" && result.algorithm != "SHA-256"))
        return false;
    const std::string qop = fields["qop"];
    if (!qop.empty()) {
        // A list such as "auth,auth-int": we answer with "auth" when it is among them.
        std::map<std::string, std::string> offered;
        std::size_t at = 0;
        while (at <= qop.size()) {
            const std::size_t comma = std::min(qop.find(',', at), qop.size());
            std::string one = qop.substr(at, comma - at);
            one.erase(0, one.find_first_not_of(' '));
            one.erase(one.find_last_not_of(' ') + 1);
            if (one == "auth")
                result.qopAuth = true;
            at = comma + 1;
        }
        if (!result.qopAuth)
            return false;
    }
    challenge = result;
    return true;
}

std::string digestResponse(const DigestChallenge& challenge, const std::string& user,
    const std::string& password, const std::string& method, const std::string& uri,
    unsigned nonceCount, const std::string& cnonce)
{
    const std::string& algorithm = challenge.algorithm;
    const std::string ha1 = hashHex(algorithm, user + ":" + challenge.realm + ":" + password);
    const std::string ha2 = hashHex(algorithm, method + ":" + uri);
    if (!challenge.qopAuth)
        return hashHex(algorithm, ha1 + ":" + challenge.nonce + ":" + ha2);
    char count[9];
    std::snprintf(count, sizeof count, "%08x", nonceCount);
    return hashHex(
        algorithm, ha1 + ":" + challenge.nonce + ":" + count + ":" + cnonce + ":auth:" + ha2);
}

std::string digestAuthorization(const DigestChallenge& challenge, const std::string& user,
    const std::string& password, const std::string& method, const std::string& uri,
    unsigned nonceCount, const std::string& cnonce)
{
    std::string header = "Digest username=" + quoted(user) + ", realm=" + quoted(challenge.realm)
        + ", nonce=" + quoted(challenge.nonce) + ", uri=" + quoted(uri)
        + ", algorithm=" + challenge.algorithm + ", response=\""
        + digestResponse(challenge, user, password, method, uri, nonceCount, cnonce) + "\"";
    if (challenge.qopAuth) {
        char count[9];
        std::snprintf(count, sizeof count, "%08x", nonceCount);
        header += std::string(", qop=auth, nc=") + count + ", cnonce=" + quoted(cnonce);
    }
    if (!challenge.opaque.empty())
        header += ", opaque=" + quoted(challenge.opaque);
    return header;
}
