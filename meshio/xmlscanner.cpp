// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "xmlscanner.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <utility>

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool startsWith(std::string_view text, std::size_t at, std::string_view word)
{
    return text.size() >= at + word.size() && text.compare(at, word.size(), word) == 0;
}

void appendUtf8(unsigned long code, std::string& out)
{
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

} // namespace

void XmlScanner::add(const char* data, std::size_t size)
{
    // What was read is let go; only the unfinished tag stays.
    m_linesBefore += std::size_t(std::count(m_text.begin(), m_text.begin() + long(m_at), '\n'));
    m_text.erase(0, m_at);
    m_at = 0;
    m_text.append(data, size);
}

std::size_t XmlScanner::line() const
{
    return m_linesBefore
        + std::size_t(std::count(m_text.begin(), m_text.begin() + long(m_at), '\n'));
}

XmlScanner::Step XmlScanner::next(Tag& tag)
{
    for (;;) {
        const void* found = std::memchr(m_text.data() + m_at, '<', m_text.size() - m_at);
        if (!found) {
            m_at = m_text.size(); // text between tags is passed over
            return Step::NeedMore;
        }
        m_at = std::size_t(static_cast<const char*>(found) - m_text.data());
        std::size_t end = m_at;
        switch (markup(m_at, tag, end)) {
        case Markup::NeedMore:
            return Step::NeedMore;
        case Markup::Broken:
            return Step::Broken;
        case Markup::Skipped:
            m_at = end;
            break;
        case Markup::Tag:
            m_at = end;
            return Step::Tag;
        }
    }
}

XmlScanner::Markup XmlScanner::markup(std::size_t at, Tag& tag, std::size_t& end)
{
    const std::string_view text = m_text;
    // Passes over the construct opened at `at` up to `close`.
    const auto skipTo = [&](std::string_view open, std::string_view close) {
        const std::size_t found = text.find(close, at + open.size());
        if (found == std::string_view::npos)
            return Markup::NeedMore;
        end = found + close.size();
        return Markup::Skipped;
    };
    if (text.size() - at < 2)
        return Markup::NeedMore;
    if (text[at + 1] == '?')
        return skipTo("<?", "?>");
    if (text[at + 1] == '!') {
        const std::string_view rest = text.substr(at);
        for (const auto& [open, close] :
            { std::pair<std::string_view, std::string_view>("<!--", "-->"),
                std::pair<std::string_view, std::string_view>("<![CDATA[", "]]>") }) {
            if (startsWith(rest, 0, open))
                return skipTo(open, close);
            if (rest.size() < open.size() && open.substr(0, rest.size()) == rest)
                return Markup::NeedMore;
        }
        return Markup::Broken; // "<!DOCTYPE" and the like
    }
    return element(at, tag, end);
}

std::size_t XmlScanner::skipSpace(std::size_t at) const
{
    while (at < m_text.size() && isSpace(m_text[at]))
        ++at;
    return at;
}

std::size_t XmlScanner::nameEnd(std::size_t at) const
{
    while (at < m_text.size()) {
        const char c = m_text[at];
        if (isSpace(c) || c == '/' || c == '>' || c == '=' || c == '<' || c == '"' || c == '\'')
            break;
        ++at;
    }
    return at;
}

XmlScanner::Markup XmlScanner::element(std::size_t at, Tag& tag, std::size_t& end)
{
    const std::string_view text = m_text;
    std::size_t i = at + 1;
    if (i >= text.size())
        return Markup::NeedMore;
    tag.closing = text[i] == '/';
    tag.empty = false;
    tag.attributes.clear();
    if (tag.closing)
        ++i;
    const std::size_t nameStart = i;
    i = nameEnd(i);
    if (i >= text.size())
        return Markup::NeedMore;
    const std::string_view qualified = text.substr(nameStart, i - nameStart);
    if (qualified.empty())
        return Markup::Broken;
    for (;;) {
        const std::size_t before = i;
        i = skipSpace(i);
        if (i >= text.size())
            return Markup::NeedMore;
        if (text[i] == '>')
            break;
        if (text[i] == '/' && !tag.closing) {
            if (i + 1 >= text.size())
                return Markup::NeedMore;
            if (text[i + 1] != '>')
                return Markup::Broken;
            tag.empty = true;
            ++i;
            break;
        }
        // An attribute: name, "=", a quoted value; blanks before it, none in a closing tag.
        if (tag.closing || i == before)
            return Markup::Broken;
        const std::size_t attributeStart = i;
        i = nameEnd(i);
        const std::string_view name = text.substr(attributeStart, i - attributeStart);
        i = skipSpace(i);
        if (i >= text.size())
            return Markup::NeedMore;
        if (name.empty() || text[i] != '=')
            return Markup::Broken;
        i = skipSpace(i + 1);
        if (i >= text.size())
            return Markup::NeedMore;
        const char quote = text[i];
        if (quote != '"' && quote != '\'')
            return Markup::Broken;
        const std::size_t valueEnd = text.find(quote, i + 1);
        if (valueEnd == std::string_view::npos)
            return Markup::NeedMore;
        const std::string_view value = text.substr(i + 1, valueEnd - i - 1);
        if (value.find('<') != std::string_view::npos)
            return Markup::Broken;
        tag.attributes.push_back({ name, value });
        i = valueEnd + 1;
    }
    end = i + 1;
    const std::size_t colon = qualified.rfind(':');
    tag.name = colon == std::string_view::npos ? qualified : qualified.substr(colon + 1);
    // Every element closes where it opened.
    if (tag.closing) {
        if (m_open.empty() || m_open.back() != qualified)
            return Markup::Broken;
        m_open.pop_back();
    } else if (!tag.empty) {
        m_open.emplace_back(qualified);
    }
    return Markup::Tag;
}

bool XmlScanner::decoded(std::string_view value, std::string& text)
{
    text.clear();
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '&') {
            text += value[i];
            continue;
        }
        const std::size_t semicolon = value.find(';', i);
        if (semicolon == std::string_view::npos)
            return false;
        const std::string_view name = value.substr(i + 1, semicolon - i - 1);
        if (name == "lt")
            text += '<';
        else if (name == "gt")
            text += '>';
        else if (name == "amp")
            text += '&';
        else if (name == "quot")
            text += '"';
        else if (name == "apos")
            text += '\'';
        else if (name.size() > 1 && name[0] == '#') {
            const bool hex = name[1] == 'x';
            const std::string_view digits = name.substr(hex ? 2 : 1);
            unsigned long code = 0;
            const auto result = std::from_chars(
                digits.data(), digits.data() + digits.size(), code, hex ? 16 : 10);
            if (digits.empty() || result.ec != std::errc()
                || result.ptr != digits.data() + digits.size() || code == 0 || code > 0x10FFFF)
                return false;
            appendUtf8(code, text);
        } else {
            return false;
        }
        i = semicolon;
    }
    return true;
}
