// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "obj.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <new>
#include <vector>

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

// One line, split into words on blanks.
class Words {
public:
    Words(const char* begin, const char* end)
        : m_at(begin)
        , m_end(end)
    {
    }

    bool next(const char*& begin, const char*& end)
    {
        while (m_at < m_end && isBlank(*m_at))
            ++m_at;
        if (m_at == m_end)
            return false;
        begin = m_at;
        while (m_at < m_end && !isBlank(*m_at))
            ++m_at;
        end = m_at;
        return true;
    }

private:
    const char* m_at;
    const char* m_end;
};

bool equals(const char* begin, const char* end, const char* word)
{
    for (; begin < end && *word; ++begin, ++word) {
        if (*begin != *word)
            return false;
    }
    return begin == end && *word == '\0';
}

std::string atLine(std::size_t line) { return " (line " + std::to_string(line) + ")."; }

bool readObj(const unsigned char* data, std::size_t size, Mesh& mesh, std::string& error)
{
    std::vector<float> positions;
    // Corners as zero-based vertex numbers; faces are fans, so three per triangle.
    std::vector<std::uint32_t> corners;
    std::vector<std::int64_t> face;

    const char* text = reinterpret_cast<const char*>(data);
    const char* const textEnd = text + size;
    std::size_t line = 0;
    for (const char* lineBegin = text; lineBegin < textEnd;) {
        ++line;
        // Lines end in LF, CRLF or, as old Mac programs wrote them, CR alone.
        const char* lineEnd = lineBegin;
        while (lineEnd < textEnd && *lineEnd != '\n' && *lineEnd != '\r')
            ++lineEnd;
        const char* next = lineEnd;
        if (next < textEnd && *next == '\r')
            ++next;
        if (next < textEnd && *next == '\n')
            ++next;
        const char* commentAt = lineBegin;
        while (commentAt < lineEnd && *commentAt != '#')
            ++commentAt;
        Words words(lineBegin, commentAt);
        const char* begin;
        const char* end;
        lineBegin = next;
        if (!words.next(begin, end))
            continue;
        if (equals(begin, end, "v")) {
            for (int axis = 0; axis < 3; ++axis) {
                float value = 0.0f;
                if (!words.next(begin, end)) {
                    error = "The OBJ file has a vertex with fewer than three coordinates"
                        + atLine(line);
                    return false;
                }
                // from_chars, unlike strtod, ignores the locale that the program may have set.
                const auto result = std::from_chars(begin, end, value);
                if (result.ec != std::errc() || result.ptr != end || !std::isfinite(value)) {
                    error = "The OBJ file has a vertex coordinate that is not a finite number"
                        + atLine(line);
                    return false;
                }
                positions.push_back(value);
            }
        } else if (equals(begin, end, "f")) {
            face.clear();
            const std::int64_t defined = std::int64_t(positions.size() / 3);
            while (words.next(begin, end)) {
                // "v", "v/vt", "v//vn" or "v/vt/vn": only the vertex number counts here.
                const char* slash = begin;
                while (slash < end && *slash != '/')
                    ++slash;
                std::int64_t number = 0;
                const auto result = std::from_chars(begin, slash, number);
                if (result.ec != std::errc() || result.ptr != slash || number == 0) {
                    error = "The OBJ file has a face corner that is not a vertex number"
                        + atLine(line);
                    return false;
                }
                // Negative numbers count back from the newest vertex; positive ones may name a
                // vertex defined further down, which is checked once the whole file is read.
                const std::int64_t index = number < 0 ? defined + number : number - 1;
                if (index < 0 || index >= std::int64_t(UINT32_MAX)) {
                    error = "The OBJ file has a face naming vertex " + std::to_string(number)
                        + ", which it does not define" + atLine(line);
                    return false;
                }
                face.push_back(index);
            }
            if (face.size() < 3) {
                error = "The OBJ file has a face with fewer than three corners" + atLine(line);
                return false;
            }
            if (corners.size() / 3 + (face.size() - 2) > kMaxMeshTriangles) {
                error = "The OBJ file holds more than " + std::to_string(kMaxMeshTriangles)
                    + " triangles, more than the agent slices.";
                return false;
            }
            for (std::size_t i = 1; i + 1 < face.size(); ++i) {
                corners.push_back(std::uint32_t(face[0]));
                corners.push_back(std::uint32_t(face[i]));
                corners.push_back(std::uint32_t(face[i + 1]));
            }
        }
    }

    const std::size_t vertexCount = positions.size() / 3;
    for (std::uint32_t corner : corners) {
        if (corner >= vertexCount) {
            error = "The OBJ file has a face naming vertex " + std::to_string(corner + 1)
                + ", which it does not define.";
            return false;
        }
    }
    if (corners.empty()) {
        error = "The OBJ file holds no triangles.";
        return false;
    }
    mesh.xyz.resize(corners.size() * 3);
    float* out = mesh.xyz.data();
    for (std::uint32_t corner : corners) {
        const float* p = positions.data() + std::size_t(corner) * 3;
        *out++ = p[0];
        *out++ = p[1];
        *out++ = p[2];
    }
    return true;
}

} // namespace

bool parseObj(const unsigned char* data, std::size_t size, Mesh& mesh, std::string& error)
{
    mesh.xyz.clear();
    bool ok = false;
    try {
        ok = readObj(data, size, mesh, error);
    } catch (const std::bad_alloc&) {
        error = "The OBJ file is too large for the memory available.";
    }
    if (!ok)
        std::vector<float>().swap(mesh.xyz);
    return ok;
}
