// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MESHIO_XMLSCANNER_H
#define MESHIO_XMLSCANNER_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The tags of an XML document with their attributes, in order, as far as a model file needs them:
// text, comments, processing instructions and CDATA are passed over; a document type is refused
// (model files have none, and its entities could expand without end). Text is UTF-8 and never
// turned into anything else. Fed a piece at a time: a tag cut by the end of a piece is read again
// whole once the next piece has come, so only an unfinished tag is ever kept.
class XmlScanner {
public:
    struct Attribute {
        std::string_view name; // as written, prefix included
        std::string_view value; // as written: see decoded()
    };
    struct Tag {
        std::string_view name; // local part, without a prefix
        bool closing = false; // </name>
        bool empty = false; // <name/>
        std::vector<Attribute> attributes;
    };
    enum class Step { Tag, NeedMore, Broken };

    // What next() gives stays valid until add() is called.
    void add(const char* data, std::size_t size);
    Step next(Tag& tag);
    // The line the scanner stands on, counted from 1.
    std::size_t line() const;
    // Elements open at the moment.
    std::size_t depth() const { return m_open.size(); }

    // An attribute value with its character and entity references replaced; false when one of
    // them is not XML's.
    static bool decoded(std::string_view value, std::string& text);

private:
    enum class Markup { Tag, Skipped, NeedMore, Broken };
    Markup markup(std::size_t at, Tag& tag, std::size_t& end);
    Markup element(std::size_t at, Tag& tag, std::size_t& end);
    std::size_t skipSpace(std::size_t at) const;
    std::size_t nameEnd(std::size_t at) const;

    std::string m_text;
    std::size_t m_at = 0;
    std::size_t m_linesBefore = 1; // lines in the text already let go, plus one
    std::vector<std::string> m_open;
};

#endif
