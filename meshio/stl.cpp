// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "stl.h"

#include <algorithm>
#include <cerrno>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t kHeaderSize = 80;
constexpr std::size_t kRecordSize = 50; // normal, three corners, attribute word

std::uint32_t readUint32LE(const unsigned char *p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16
        | std::uint32_t(p[3]) << 24;
}

float readFloatLE(const unsigned char *p)
{
    const std::uint32_t bits = readUint32LE(p);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

std::string notFiniteSentence(std::size_t triangle)
{
    return "The STL file has a coordinate that is not a finite number (triangle "
        + std::to_string(triangle + 1) + ").";
}

// A binary file may start with "solid" too; text files hold nothing but printable ASCII and
// white space, while the floats of a binary file almost always bring other bytes.
bool looksLikeText(const unsigned char *data, std::size_t size)
{
    if (size < 5 || std::memcmp(data, "solid", 5) != 0)
        return false;
    if (size > 5 && !isSpace(char(data[5])))
        return false;
    const std::size_t probe = size < 512 ? size : 512;
    for (std::size_t i = 0; i < probe; ++i) {
        const unsigned char c = data[i];
        if (c >= 127 || (c < 32 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != '\v'))
            return false;
    }
    return true;
}

// Decodes `count` 50-byte records into 9 floats each; `first` numbers the first of them in
// sentences.
bool decodeRecords(const unsigned char *record, std::size_t count, std::size_t first, float *out,
                   std::string &error)
{
    for (std::size_t t = 0; t < count; ++t, record += kRecordSize) {
        // The stored normal (first 12 bytes) is ignored: orientation comes from the corner order.
        for (int k = 0; k < 9; ++k) {
            const float v = readFloatLE(record + 12 + 4 * k);
            if (!std::isfinite(v)) {
                error = notFiniteSentence(first + t);
                return false;
            }
            *out++ = v;
        }
    }
    return true;
}

bool parseBinary(const unsigned char *data, std::size_t size, Mesh &mesh, std::string &error)
{
    if (size < kHeaderSize + 4) {
        error = "The STL file is truncated: " + std::to_string(size)
            + " bytes are too few for a binary STL header and triangle count.";
        return false;
    }
    const std::uint64_t count = readUint32LE(data + kHeaderSize);
    const std::uint64_t expected = kHeaderSize + 4 + count * kRecordSize;
    if (size < expected) {
        error = "The STL file is truncated: it declares " + std::to_string(count)
            + " triangles, which need " + std::to_string(expected) + " bytes, but it has "
            + std::to_string(size) + ".";
        return false;
    }
    if (size > expected) {
        error = "The STL file declares " + std::to_string(count) + " triangles, but its size of "
            + std::to_string(size) + " bytes does not match (" + std::to_string(expected)
            + " expected).";
        return false;
    }
    if (count == 0) {
        error = "The STL file holds no triangles.";
        return false;
    }
    mesh.xyz.resize(count * 9);
    return decodeRecords(data + kHeaderSize + 4, count, 0, mesh.xyz.data(), error);
}

// Reads the text form: "solid name", then facets of "facet normal n n n", "outer loop", three
// "vertex x y z", "endloop", "endfacet", closed by "endsolid". Several solids may follow each
// other; they all land in one mesh.
class AsciiReader {
public:
    AsciiReader(const unsigned char *data, std::size_t size)
        : m_p(reinterpret_cast<const char *>(data))
        , m_end(m_p + size)
    {
    }

    bool read(Mesh &mesh, std::string &error)
    {
        std::size_t solids = 0;
        while (nextToken()) {
            if (m_token != "solid")
                return fail("expected \"solid\"", error);
            ++solids;
            skipLine(); // the solid's name
            if (!readFacets(mesh, error))
                return false;
        }
        if (solids == 0)
            return fail("expected \"solid\"", error);
        if (mesh.xyz.empty()) {
            error = "The STL file holds no triangles.";
            return false;
        }
        return true;
    }

private:
    bool readFacets(Mesh &mesh, std::string &error)
    {
        for (;;) {
            if (!nextToken())
                return fail("the file ends before \"endsolid\"", error);
            if (m_token == "endsolid") {
                skipLine();
                return true;
            }
            if (m_token != "facet")
                return fail("expected \"facet\" or \"endsolid\"", error);
            float ignored = 0;
            if (!expect("normal", error) || !number(ignored, error) || !number(ignored, error)
                || !number(ignored, error))
                return false;
            if (!expect("outer", error) || !expect("loop", error))
                return false;
            for (int corner = 0; corner < 3; ++corner) {
                if (!expect("vertex", error))
                    return false;
                for (int k = 0; k < 3; ++k) {
                    float v = 0;
                    if (!number(v, error))
                        return false;
                    if (!std::isfinite(v)) {
                        error = notFiniteSentence(mesh.triangleCount());
                        mesh.xyz.clear();
                        return false;
                    }
                    mesh.xyz.push_back(v);
                }
            }
            if (!expect("endloop", error) || !expect("endfacet", error))
                return false;
        }
    }

    bool nextToken()
    {
        while (m_p < m_end && isSpace(*m_p)) {
            if (*m_p == '\n')
                ++m_line;
            ++m_p;
        }
        if (m_p == m_end)
            return false;
        const char *start = m_p;
        while (m_p < m_end && !isSpace(*m_p))
            ++m_p;
        m_token = std::string_view(start, std::size_t(m_p - start));
        return true;
    }

    void skipLine()
    {
        while (m_p < m_end && *m_p != '\n')
            ++m_p;
    }

    bool expect(const char *word, std::string &error)
    {
        if (nextToken() && m_token == word)
            return true;
        return fail(std::string("expected \"") + word + "\"", error);
    }

    bool number(float &value, std::string &error)
    {
        if (!nextToken())
            return fail("expected a number", error);
        std::string_view text = m_token;
        if (!text.empty() && text.front() == '+')
            text.remove_prefix(1);
        // from_chars, unlike strtod, ignores the locale that the program may have set.
        double parsed = 0;
        const auto result = std::from_chars(text.data(), text.data() + text.size(), parsed);
        if (text.empty() || result.ptr != text.data() + text.size()) {
            if (result.ec == std::errc::result_out_of_range
                && result.ptr == text.data() + text.size()) {
                value = INFINITY;
                return true;
            }
            return fail("expected a number", error);
        }
        // Beyond the float range the coordinate cannot be kept: report it as not finite.
        value = std::fabs(parsed) <= double(FLT_MAX) ? float(parsed) : INFINITY;
        return true;
    }

    bool fail(const std::string &what, std::string &error) const
    {
        error = "The ASCII STL file is not valid at line " + std::to_string(m_line) + ": " + what
            + ".";
        return false;
    }

    const char *m_p;
    const char *m_end;
    std::string_view m_token;
    std::size_t m_line = 1;
};

} // namespace

bool parseStl(const unsigned char *data, std::size_t size, Mesh &mesh, std::string &error)
{
    mesh.xyz.clear();
    if (size == 0) {
        error = "The STL file is empty.";
        return false;
    }
    // An exact binary size wins even when the header starts with "solid".
    const bool binarySizeFits = size >= kHeaderSize + 4
        && kHeaderSize + 4 + std::uint64_t(readUint32LE(data + kHeaderSize)) * kRecordSize == size;
    bool ok;
    if (!binarySizeFits && looksLikeText(data, size)) {
        AsciiReader reader(data, size);
        ok = reader.read(mesh, error);
    } else {
        ok = parseBinary(data, size, mesh, error);
    }
    if (!ok)
        mesh.xyz.clear();
    return ok;
}

bool readStlFile(const std::string &path, Mesh &mesh, std::string &error)
{
    mesh.xyz.clear();
    // Without O_NONBLOCK, opening a named pipe waits for a writer that may never come, and the
    // agent could not end while a request waits on it; for a regular file the flag changes nothing.
    const int descriptor = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        error = "Cannot open the STL file " + path + ": " + std::strerror(errno) + ".";
        return false;
    }
    struct stat info;
    if (fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(descriptor);
        error = "The STL path " + path + " is not a regular file.";
        return false;
    }
    std::FILE *file = fdopen(descriptor, "rb");
    if (!file) {
        error = "Cannot open the STL file " + path + ": " + std::strerror(errno) + ".";
        close(descriptor);
        return false;
    }
    // A binary file whose size fits its count (the usual case, and the large one) is decoded
    // while it is read, so it never sits in memory twice; anything else is read whole and judged
    // by parseStl, which has the sentences for every fault.
    unsigned char header[kHeaderSize + 4];
    const std::size_t headerRead = std::fread(header, 1, sizeof header, file);
    const std::uint64_t size = std::uint64_t(info.st_size);
    const std::uint64_t count = headerRead == sizeof header ? readUint32LE(header + kHeaderSize) : 0;
    bool ok = true;
    if (count > 0 && size == kHeaderSize + 4 + count * kRecordSize) {
        mesh.xyz.resize(count * 9);
        std::vector<unsigned char> records(std::size_t(4096) * kRecordSize);
        for (std::uint64_t done = 0; ok && done < count;) {
            const std::size_t batch = std::size_t(std::min<std::uint64_t>(4096, count - done));
            if (std::fread(records.data(), kRecordSize, batch, file) != batch) {
                error = "Cannot read the STL file " + path + ": it ended while being read.";
                std::fclose(file);
                mesh.xyz.clear();
                return false;
            }
            ok = decodeRecords(records.data(), batch, done, mesh.xyz.data() + done * 9, error);
            done += batch;
        }
    } else {
        std::vector<unsigned char> data(header, header + headerRead);
        data.reserve(std::size_t(info.st_size));
        unsigned char buffer[1 << 16];
        std::size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            data.insert(data.end(), buffer, buffer + got);
        if (std::ferror(file) == 0)
            ok = parseStl(data.data(), data.size(), mesh, error);
    }
    const bool readError = std::ferror(file) != 0;
    const int readErrno = errno;
    std::fclose(file);
    if (readError) {
        mesh.xyz.clear();
        error = "Cannot read the STL file " + path + ": " + std::strerror(readErrno) + ".";
        return false;
    }
    if (!ok) {
        mesh.xyz.clear();
        // Name the file: the sentence reaches a user who may have sent several.
        error = error.substr(0, error.size() - 1) + " (" + path + ").";
        return false;
    }
    return true;
}
