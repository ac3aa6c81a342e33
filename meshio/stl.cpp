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
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t kHeaderSize = 80;
constexpr std::size_t kRecordSize = 50; // normal, three corners, attribute word
constexpr std::size_t kProbeSize = 512; // what decides between text and binary
constexpr std::size_t kChunkSize = std::size_t(4096) * kRecordSize;
// No word of a text STL is longer; a longer one is cut here and then refused as what it is not.
constexpr std::size_t kLongestWord = 1024;

std::uint32_t readUint32LE(const unsigned char* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16
        | std::uint32_t(p[3]) << 24;
}

float readFloatLE(const unsigned char* p)
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

std::string tooManySentence()
{
    return "The STL file holds more than " + std::to_string(kMaxMeshTriangles)
        + " triangles, more than the agent slices.";
}

// A binary file may start with "solid" too; text files hold nothing but printable ASCII and
// white space, while the floats of a binary file almost always bring other bytes.
bool looksLikeText(const unsigned char* data, std::size_t size)
{
    if (size < 5 || std::memcmp(data, "solid", 5) != 0)
        return false;
    if (size > 5 && !isSpace(char(data[5])))
        return false;
    const std::size_t probe = std::min(size, kProbeSize);
    for (std::size_t i = 0; i < probe; ++i) {
        const unsigned char c = data[i];
        if (c >= 127 || (c < 32 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != '\v'))
            return false;
    }
    return true;
}

// The bytes of an STL file in order, from memory or from an open file; a file is held one
// chunk at a time, so that reading never costs more memory than the mesh it gives.
class ByteStream {
public:
    ByteStream(const unsigned char* data, std::size_t size)
        : m_base(data)
        , m_end(size)
    {
    }
    explicit ByteStream(std::FILE* file)
        : m_file(file)
    {
    }

    // Makes up to n bytes available at data(); fewer only when the input ends first.
    std::size_t want(std::size_t n)
    {
        if (m_file && m_end - m_pos < n && !m_atEnd)
            refill(n);
        return std::min(n, m_end - m_pos);
    }
    const unsigned char* data() const { return m_base + m_pos; }
    void skip(std::size_t n) { m_pos += n; }
    bool failed() const { return m_failed; }
    int failure() const { return m_errno; }

private:
    void refill(std::size_t n)
    {
        const std::size_t left = m_end - m_pos;
        if (left > 0)
            std::memmove(m_storage.data(), m_storage.data() + m_pos, left);
        m_pos = 0;
        m_end = left;
        if (m_storage.size() < std::max(n, kChunkSize))
            m_storage.resize(std::max(n, kChunkSize));
        m_base = m_storage.data();
        while (m_end < n) {
            const std::size_t got
                = std::fread(m_storage.data() + m_end, 1, m_storage.size() - m_end, m_file);
            if (got == 0) {
                m_atEnd = true;
                m_failed = std::ferror(m_file) != 0;
                m_errno = errno;
                return;
            }
            m_end += got;
        }
    }

    std::FILE* m_file = nullptr;
    std::vector<unsigned char> m_storage;
    const unsigned char* m_base = nullptr;
    std::size_t m_pos = 0;
    std::size_t m_end = 0;
    bool m_atEnd = false;
    bool m_failed = false;
    int m_errno = 0;
};

bool readBinary(ByteStream& in, std::uint64_t count, Mesh& mesh, std::string& error)
{
    in.skip(kHeaderSize + 4);
    mesh.xyz.resize(std::size_t(count) * 9);
    float* out = mesh.xyz.data();
    for (std::uint64_t done = 0; done < count;) {
        const std::size_t batch = std::size_t(std::min<std::uint64_t>(4096, count - done));
        if (in.want(batch * kRecordSize) < batch * kRecordSize) {
            error = "The STL file ended while being read.";
            return false;
        }
        const unsigned char* record = in.data();
        for (std::size_t t = 0; t < batch; ++t, record += kRecordSize) {
            // The stored normal (first 12 bytes) is ignored: orientation comes from the corner
            // order.
            for (int k = 0; k < 9; ++k) {
                const float v = readFloatLE(record + 12 + 4 * k);
                if (!std::isfinite(v)) {
                    error = notFiniteSentence(done + t);
                    return false;
                }
                *out++ = v;
            }
        }
        in.skip(batch * kRecordSize);
        done += batch;
    }
    return true;
}

// Reads the text form: "solid name", then facets of "facet normal n n n", "outer loop", three
// "vertex x y z", "endloop", "endfacet", closed by "endsolid". Several solids may follow each
// other; they all land in one mesh.
class AsciiReader {
public:
    explicit AsciiReader(ByteStream& in)
        : m_in(in)
    {
    }

    bool read(Mesh& mesh, std::string& error)
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
    bool readFacets(Mesh& mesh, std::string& error)
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
            if (mesh.triangleCount() >= kMaxMeshTriangles) {
                error = tooManySentence();
                return false;
            }
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
                        return false;
                    }
                    mesh.xyz.push_back(v);
                }
            }
            if (!expect("endloop", error) || !expect("endfacet", error))
                return false;
        }
    }

    // The token stays valid until the next call that reads the input.
    bool nextToken()
    {
        for (;;) {
            if (m_in.want(1) == 0)
                return false;
            const char c = char(*m_in.data());
            if (!isSpace(c))
                break;
            if (c == '\n')
                ++m_line;
            m_in.skip(1);
        }
        std::size_t length = 1;
        while (length < kLongestWord && m_in.want(length + 1) > length
            && !isSpace(char(m_in.data()[length])))
            ++length;
        m_token = std::string_view(reinterpret_cast<const char*>(m_in.data()), length);
        m_in.skip(length);
        return true;
    }

    void skipLine()
    {
        while (m_in.want(1) > 0 && *m_in.data() != '\n')
            m_in.skip(1);
    }

    bool expect(const char* word, std::string& error)
    {
        if (nextToken() && m_token == word)
            return true;
        return fail(std::string("expected \"") + word + "\"", error);
    }

    bool number(float& value, std::string& error)
    {
        if (!nextToken())
            return fail("expected a number", error);
        std::string_view text = m_token;
        if (!text.empty() && text.front() == '+')
            text.remove_prefix(1);
        // from_chars, unlike strtod, ignores the locale that the program may have set.
        double parsed = 0;
        const auto result = std::from_chars(text.data(), text.data() + text.size(), parsed);
        if (text.empty() || result.ptr != text.data() + text.size())
            return fail("expected a number", error);
        if (result.ec == std::errc::result_out_of_range) {
            // Out of range leaves the number unread: too small for a double is as good as 0,
            // too large is not a finite coordinate.
            const std::size_t exponent = text.find_first_of("eE");
            const bool tiny = exponent != std::string_view::npos && exponent + 1 < text.size()
                && text[exponent + 1] == '-';
            value = tiny ? 0.f : INFINITY;
            return true;
        }
        // Beyond the float range the coordinate cannot be kept: report it as not finite.
        value = std::fabs(parsed) <= double(FLT_MAX) ? float(parsed) : INFINITY;
        return true;
    }

    bool fail(const std::string& what, std::string& error) const
    {
        error = "The ASCII STL file is not valid at line " + std::to_string(m_line) + ": " + what
            + ".";
        return false;
    }

    ByteStream& m_in;
    std::string_view m_token;
    std::size_t m_line = 1;
};

// Words: printable characters, white space and the bytes of UTF-8, and something besides white
// space (a blank header is still a binary STL's). A binary STL has a NUL in its triangle count
// (below 16 777 216) at byte 83 at the latest.
bool isText(const unsigned char* data, std::size_t size)
{
    bool visible = false;
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char c = data[i];
        if (c == 127 || (c < 32 && !isSpace(char(c))))
            return false;
        visible = visible || c > 32;
    }
    return visible;
}

// Decides between binary and text from the first bytes and the size alone, and refuses what is
// neither before reading on: a count that does not fit the size is never allocated.
bool readStl(ByteStream& in, std::uint64_t size, Mesh& mesh, std::string& error)
{
    if (size == 0) {
        error = "The STL file is empty.";
        return false;
    }
    const std::size_t probed = in.want(kProbeSize);
    const std::uint64_t count
        = probed >= kHeaderSize + 4 ? readUint32LE(in.data() + kHeaderSize) : 0;
    // An exact binary size wins even when the header starts with "solid".
    if (probed >= kHeaderSize + 4 && size == kHeaderSize + 4 + count * kRecordSize) {
        if (count == 0) {
            error = "The STL file holds no triangles.";
            return false;
        }
        if (count > kMaxMeshTriangles) {
            error = tooManySentence();
            return false;
        }
        return readBinary(in, count, mesh, error);
    }
    if (looksLikeText(in.data(), probed)) {
        AsciiReader reader(in);
        return reader.read(mesh, error);
    }
    // A note or a listing given the ending ".stl" by mistake is not a broken STL.
    if (isText(in.data(), probed)) {
        error = "The file is text, not an STL file.";
        return false;
    }
    if (size < kHeaderSize + 4) {
        error = "The STL file is truncated: " + std::to_string(size)
            + " bytes are too few for a binary STL header and triangle count.";
        return false;
    }
    // The count is not quoted: these may be any file's bytes.
    error = "The STL file is neither binary STL (its size of " + std::to_string(size)
        + " bytes does not match the triangle count in its header) nor ASCII STL.";
    return false;
}

// Every failure, running out of memory too, is one sentence and an empty mesh.
bool readGuarded(ByteStream& in, std::uint64_t size, Mesh& mesh, std::string& error)
{
    mesh.xyz.clear();
    bool ok = false;
    try {
        ok = readStl(in, size, mesh, error);
    } catch (const std::bad_alloc&) {
        error = "There is not enough memory to read the STL file.";
    }
    if (!ok)
        std::vector<float>().swap(mesh.xyz);
    return ok;
}

} // namespace

bool parseStl(const unsigned char* data, std::size_t size, Mesh& mesh, std::string& error)
{
    ByteStream in(data, size);
    return readGuarded(in, size, mesh, error);
}

bool readStlFile(const std::string& path, Mesh& mesh, std::string& error)
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
    std::FILE* file = fdopen(descriptor, "rb");
    if (!file) {
        error = "Cannot open the STL file " + path + ": " + std::strerror(errno) + ".";
        close(descriptor);
        return false;
    }
    ByteStream in(file);
    const bool ok = readGuarded(in, std::uint64_t(info.st_size), mesh, error);
    std::fclose(file);
    if (in.failed()) {
        std::vector<float>().swap(mesh.xyz);
        error = "Cannot read the STL file " + path + ": " + std::strerror(in.failure()) + ".";
        return false;
    }
    if (!ok) {
        // Name the file: the sentence reaches a user who may have sent several.
        error = error.substr(0, error.size() - 1) + " (" + path + ").";
        return false;
    }
    return true;
}
