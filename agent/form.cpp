// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "form.h"

#include <cctype>

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string quoted(std::string_view text)
{
    // Names in our sentences are cut short so that an error never echoes a whole request.
    constexpr std::size_t shown = 40;
    std::string out = "\"";
    out += text.substr(0, shown);
    if (text.size() > shown)
        out += "...";
    out += '"';
    return out;
}

} // namespace

bool percentDecode(std::string_view text, bool plusIsSpace, std::string& out)
{
    out.clear();
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '%') {
            if (text.size() - i < 3)
                return false;
            const int high = hexValue(text[i + 1]);
            const int low = hexValue(text[i + 2]);
            if (high < 0 || low < 0)
                return false;
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else if (c == '+' && plusIsSpace) {
            out += ' ';
        } else {
            out += c;
        }
    }
    return true;
}

bool isUtf8(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        int length = 0;
        unsigned int codePoint = 0;
        unsigned int smallest = 0;
        if ((lead & 0xE0) == 0xC0) {
            length = 2;
            codePoint = lead & 0x1F;
            smallest = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            codePoint = lead & 0x0F;
            smallest = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            codePoint = lead & 0x07;
            smallest = 0x10000;
        } else {
            return false;
        }
        if (text.size() - i < static_cast<std::size_t>(length))
            return false;
        for (int k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            codePoint = (codePoint << 6) | (next & 0x3F);
        }
        if (codePoint < smallest || codePoint > 0x10FFFF
            || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

bool parseForm(std::string_view body, Form& form, std::string& error)
{
    form.clear();
    std::size_t start = 0;
    while (start <= body.size()) {
        std::size_t end = body.find('&', start);
        if (end == std::string_view::npos)
            end = body.size();
        const std::string_view piece = body.substr(start, end - start);
        start = end + 1;
        if (piece.empty())
            continue;
        const std::size_t equals = piece.find('=');
        const std::string_view rawKey = piece.substr(0, equals);
        const std::string_view rawValue
            = equals == std::string_view::npos ? std::string_view() : piece.substr(equals + 1);
        std::string key;
        std::string value;
        std::string valueWithPlus;
        if (!percentDecode(rawKey, true, key) || !percentDecode(rawValue, true, value)
            || !percentDecode(rawValue, false, valueWithPlus)) {
            error = "The form has a \"%\" that is not followed by two hexadecimal digits.";
            return false;
        }
        if (!isUtf8(key) || !isUtf8(valueWithPlus)) { // a plus and a space are both ASCII
            error = "The form holds text that is not UTF-8.";
            return false;
        }
        // The system would end a path at a NUL, so that "/a.stl%00x" names "/a.stl".
        if (key.find('\0') != std::string::npos || value.find('\0') != std::string::npos) {
            error = "The form holds a NUL byte (%00).";
            return false;
        }
        if (formValue(form, key)) {
            error = "The form gives the field " + quoted(key) + " more than once.";
            return false;
        }
        form.push_back({ std::move(key), std::move(value), std::move(valueWithPlus) });
    }
    return true;
}

const FormField* formField(const Form& form, std::string_view key)
{
    for (const FormField& field : form) {
        if (field.key == key)
            return &field;
    }
    return nullptr;
}

const std::string* formValue(const Form& form, std::string_view key)
{
    const FormField* field = formField(form, key);
    return field ? &field->value : nullptr;
}

bool isFormContentType(std::string_view contentType)
{
    static constexpr std::string_view expected = "application/x-www-form-urlencoded";
    std::size_t end = contentType.find(';');
    if (end == std::string_view::npos)
        end = contentType.size();
    std::string_view type = contentType.substr(0, end);
    while (!type.empty() && (type.back() == ' ' || type.back() == '\t'))
        type.remove_suffix(1);
    while (!type.empty() && (type.front() == ' ' || type.front() == '\t'))
        type.remove_prefix(1);
    if (type.size() != expected.size())
        return false;
    for (std::size_t i = 0; i < type.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(type[i])) != expected[i])
            return false;
    }
    return true;
}
