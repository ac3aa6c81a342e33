// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_FORM_H
#define AGENT_FORM_H

// No Qt here: everything a client sends us is decoded by these functions, which are fuzzed alone.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// One field of an application/x-www-form-urlencoded body.
struct FormField {
    std::string key;
    std::string value; // "+" read as a space, as the form encoding has it
    // The same value with every "+" kept a plus. Our desktop client writes spaces as %20 and
    // leaves a plus as it is, so for a file path that has a "+" this is the spelling it meant.
    std::string valueWithPlus;
};

// The fields of a form body, in the order sent.
using Form = std::vector<FormField>;

// Decodes %XX escapes (and "+" as a space when plusIsSpace). False on a "%" that is not
// followed by two hexadecimal digits.
bool percentDecode(std::string_view text, bool plusIsSpace, std::string& out);

// True when text is well-formed UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
bool isUtf8(std::string_view text);

// Splits a form body into decoded fields. Empty pieces ("a=1&&b=2") are skipped; a piece without
// "=" is a field with an empty value. A bad escape, text that is not UTF-8, a NUL byte or a field
// name given twice give false and one plain sentence.
bool parseForm(std::string_view body, Form& form, std::string& error);

// The named field, or nullptr when the form lacks it.
const FormField* formField(const Form& form, std::string_view key);
// The value of the named field, or nullptr when the form lacks it.
const std::string* formValue(const Form& form, std::string_view key);

// True when the Content-Type header names a form body (parameters such as charset allowed).
bool isFormContentType(std::string_view contentType);

#endif
