// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "pngruns.h"

#include <algorithm>
#include <cstring>

namespace {

std::uint32_t be32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

// Deflate's tables (RFC 1951, 3.2.5).
const std::uint16_t kLengthBase[29] = { 3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 15, 17, 19, 23, 27, 31, 35,
    43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258 };
const std::uint8_t kLengthExtra[29]
    = { 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0 };
const std::uint8_t kCodeLengthOrder[19]
    = { 16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15 };

// Bits least significant first, as deflate packs them. Reading past the end yields zeros and is
// noticed afterwards.
class Bits {
public:
    Bits(const std::uint8_t* data, std::size_t size)
        : m_at(data)
        , m_end(data + size)
    {
    }
    // At least 56 bits in the buffer from here on (zeros past the end).
    void refill()
    {
        if (m_end - m_at >= 8) {
            std::uint64_t word;
            std::memcpy(&word, m_at, 8); // little-endian machines, as the build targets
            m_buffer |= word << m_count;
            m_at += (63 - m_count) >> 3;
            m_count |= 56;
            return;
        }
        while (m_count <= 56) {
            m_buffer |= std::uint64_t(m_at < m_end ? *m_at : 0) << m_count;
            m_pastEnd += m_at >= m_end;
            ++m_at;
            m_count += 8;
        }
    }
    std::uint32_t peek(int n)
    {
        if (m_count < n)
            refill();
        return std::uint32_t(m_buffer & ((1ull << n) - 1));
    }
    std::uint64_t peekBits(int n) // n up to 56
    {
        if (m_count < n)
            refill();
        return m_buffer & ((1ull << n) - 1);
    }
    void drop(int n)
    {
        m_buffer >>= n;
        m_count -= n;
    }
    std::uint32_t take(int n)
    {
        const std::uint32_t v = peek(n);
        drop(n);
        return v;
    }
    void toByte() { drop(m_count % 8); }
    bool overran() const { return m_pastEnd * 8 > std::size_t(m_count) + 8; }

private:
    const std::uint8_t* m_at;
    const std::uint8_t* m_end;
    std::uint64_t m_buffer = 0;
    int m_count = 0;
    std::size_t m_pastEnd = 0;
};

// A canonical Huffman code as one lookup table indexed by the next maxLength bits.
class Huffman {
public:
    bool build(const std::uint8_t* lengths, int count)
    {
        int counts[16] = {};
        m_maxLength = 1;
        for (int i = 0; i < count; ++i) {
            ++counts[lengths[i]];
            if (lengths[i] > m_maxLength)
                m_maxLength = lengths[i];
        }
        counts[0] = 0;
        int next[16] = {};
        int code = 0;
        for (int length = 1; length < 16; ++length) {
            code = (code + counts[length - 1]) << 1;
            next[length] = code;
            if (counts[length] > (1 << length))
                return false;
        }
        m_table.assign(std::size_t(1) << m_maxLength, 0);
        m_codes.assign(std::size_t(count), 0);
        for (int symbol = 0; symbol < count; ++symbol) {
            const int length = lengths[symbol];
            if (length == 0)
                continue;
            const int c = next[length]++;
            if (c >= (1 << length))
                return false; // over-subscribed
            int reversed = 0;
            for (int k = 0; k < length; ++k)
                reversed |= ((c >> k) & 1) << (length - 1 - k);
            m_codes[std::size_t(symbol)] = std::uint32_t(reversed << 4 | length);
            for (int fill = reversed; fill < (1 << m_maxLength); fill += 1 << length)
                m_table[std::size_t(fill)] = std::uint16_t(symbol << 4 | length);
        }
        return true;
    }
    // The bits of a symbol's code as they lie in the stream, and how many; 0 bits when the
    // symbol has no code.
    int codeOf(int symbol, std::uint32_t& bits) const
    {
        bits = m_codes[std::size_t(symbol)] >> 4;
        return m_codes[std::size_t(symbol)] & 15;
    }
    // The next symbol, or -1 for bits that are no code.
    int decode(Bits& bits) const
    {
        const std::uint16_t entry = m_table[bits.peek(m_maxLength)];
        if ((entry & 15) == 0)
            return -1;
        bits.drop(entry & 15);
        return entry >> 4;
    }

private:
    std::vector<std::uint16_t> m_table;
    std::vector<std::uint32_t> m_codes; // per symbol: its bits as they lie in the stream, length
    int m_maxLength = 1;
};

// Collects the inflated bytes as runs of pixels, dropping each row's filter byte (which must be
// 0: an unfiltered row).
class RunSink {
public:
    RunSink(std::vector<GreyRun>& runs, int width, int height)
        : m_runs(runs)
        , m_stride(std::size_t(width) + 1)
        , m_rowsLeft(std::size_t(height))
    {
        m_runs.clear();
    }
    bool put(std::uint8_t value, std::size_t count)
    {
        m_last = value;
        while (count > 0) {
            if (m_column == 0) {
                if (value != 0 || m_rowsLeft == 0)
                    return false; // a filtered row, or more rows than the image has
                --m_rowsLeft;
                ++m_column;
                --count;
                continue;
            }
            const std::size_t n = std::min(count, m_stride - m_column);
            if (!m_runs.empty() && m_runs.back().grey == value
                && m_runs.back().length <= 0xFFFFFFFFu - n)
                m_runs.back().length += std::uint32_t(n);
            else
                addRun(value, std::uint32_t(n));
            m_column += n;
            count -= n;
            if (m_column == m_stride)
                m_column = 0;
        }
        return true;
    }
    bool any() const { return m_any; }
    // Field by field: a whole run built on the stack and copied costs a stalled load each time.
    void addRun(std::uint8_t value, std::uint32_t length)
    {
        m_runs.emplace_back();
        m_runs.back().grey = value;
        m_runs.back().length = length;
    }
    std::uint8_t last() const { return m_last; }
    void started() { m_any = true; }
    bool complete() const { return m_rowsLeft == 0 && m_column == 0; }

private:
    std::vector<GreyRun>& m_runs;
    std::size_t m_stride;
    std::size_t m_rowsLeft;
    std::size_t m_column = 0;
    std::uint8_t m_last = 0;
    bool m_any = false;
};

} // namespace

bool PngRunReader::decode(const std::uint8_t* png, std::size_t size, int width, int height)
{
    static const std::uint8_t signature[8] = { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n' };
    if (size < 8 || std::memcmp(png, signature, 8) != 0 || width <= 0 || height <= 0)
        return false;
    m_stream.clear();
    bool header = false;
    for (std::size_t at = 8; at + 12 <= size;) {
        const std::uint32_t length = be32(png + at);
        if (length > size - at - 12)
            return false;
        const std::uint8_t* type = png + at + 4;
        const std::uint8_t* data = png + at + 8;
        if (std::memcmp(type, "IHDR", 4) == 0) {
            // 8-bit greyscale, not interlaced, the display's size.
            if (length < 13 || be32(data) != std::uint32_t(width)
                || be32(data + 4) != std::uint32_t(height) || data[8] != 8 || data[9] != 0
                || data[12] != 0)
                return false;
            header = true;
        } else if (std::memcmp(type, "IDAT", 4) == 0) {
            m_stream.insert(m_stream.end(), data, data + length);
        } else if (std::memcmp(type, "IEND", 4) == 0) {
            break;
        }
        at += 12 + length;
    }
    return header && inflateRuns(width, height);
}

bool PngRunReader::inflateRuns(int width, int height)
{
    // zlib header: deflate, no preset dictionary.
    if (m_stream.size() < 2 || (m_stream[0] & 0x0F) != 8 || (m_stream[1] & 0x20) != 0
        || (m_stream[0] * 256u + m_stream[1]) % 31 != 0)
        return false;
    Bits bits(m_stream.data() + 2, m_stream.size() - 2);
    RunSink sink(m_runs, width, height);
    Huffman literals, distances;
    bool last = false;
    while (!last) {
        last = bits.take(1) != 0;
        const std::uint32_t type = bits.take(2);
        if (type == 0) {
            bits.toByte();
            const std::uint32_t length = bits.take(16);
            if ((bits.take(16) ^ 0xFFFF) != length)
                return false;
            for (std::uint32_t i = 0; i < length; ++i) {
                if (!sink.put(std::uint8_t(bits.take(8)), 1))
                    return false;
                sink.started();
            }
            if (bits.overran())
                return false;
            continue;
        }
        std::uint8_t lengths[288 + 32];
        int literalCount = 288, distanceCount = 32;
        if (type == 1) {
            std::memset(lengths, 8, 144);
            std::memset(lengths + 144, 9, 112);
            std::memset(lengths + 256, 7, 24);
            std::memset(lengths + 280, 8, 8);
            std::memset(lengths + 288, 5, 32);
        } else if (type == 2) {
            literalCount = int(bits.take(5)) + 257;
            distanceCount = int(bits.take(5)) + 1;
            const int codeLengthCount = int(bits.take(4)) + 4;
            std::uint8_t codeLengths[19] = {};
            for (int i = 0; i < codeLengthCount; ++i)
                codeLengths[kCodeLengthOrder[i]] = std::uint8_t(bits.take(3));
            Huffman lengthCode;
            if (!lengthCode.build(codeLengths, 19))
                return false;
            const int total = literalCount + distanceCount;
            for (int i = 0; i < total;) {
                const int symbol = lengthCode.decode(bits);
                int repeat = 1;
                std::uint8_t value = 0;
                if (symbol < 0) {
                    return false;
                } else if (symbol < 16) {
                    value = std::uint8_t(symbol);
                } else if (symbol == 16) {
                    if (i == 0)
                        return false;
                    value = lengths[i - 1];
                    repeat = 3 + int(bits.take(2));
                } else if (symbol == 17) {
                    repeat = 3 + int(bits.take(3));
                } else {
                    repeat = 11 + int(bits.take(7));
                }
                if (i + repeat > total)
                    return false;
                std::memset(lengths + i, value, std::size_t(repeat));
                i += repeat;
            }
            // Distance lengths follow the literal lengths directly.
            std::memmove(lengths + 288, lengths + literalCount, std::size_t(distanceCount));
        } else {
            return false;
        }
        if (!literals.build(lengths, literalCount)
            || !distances.build(lengths + 288, distanceCount))
            return false;
        // A long run is a literal and then copies of 258 bytes at distance 1, each the same few
        // bits: as many of those as fit in 56 bits are recognised with one comparison.
        std::uint32_t copyCode = 0, distanceCode = 0;
        const int copyLength = literals.codeOf(285, copyCode);
        const int distanceLength = distances.codeOf(0, distanceCode);
        const int pairBits = copyLength + distanceLength;
        const int pairs = copyLength && distanceLength ? 56 / pairBits : 0;
        std::uint64_t pattern = 0;
        std::uint8_t wholePairs[64]; // pairs before the first differing bit, without a division
        for (int k = 0; k < pairs; ++k)
            pattern |= std::uint64_t(copyCode | distanceCode << copyLength) << (k * pairBits);
        for (int bit = 0; bit < 64; ++bit)
            wholePairs[bit] = std::uint8_t(pairs ? std::min(pairs, bit / pairBits) : 0);
        for (;;) {
            if (pairs > 1 && sink.any()) {
                const std::uint64_t differ = bits.peekBits(pairs * pairBits) ^ pattern;
                const int same = differ ? wholePairs[__builtin_ctzll(differ)] : pairs;
                if (same > 0) {
                    bits.drop(same * pairBits);
                    if (!sink.put(sink.last(), 258 * std::size_t(same)))
                        return false;
                    continue;
                }
            }
            const int symbol = literals.decode(bits);
            if (symbol < 0 || bits.overran())
                return false;
            if (symbol < 256) {
                if (!sink.put(std::uint8_t(symbol), 1))
                    return false;
                sink.started();
                continue;
            }
            if (symbol == 256)
                break;
            if (symbol > 285)
                return false;
            const std::size_t length
                = kLengthBase[symbol - 257] + bits.take(kLengthExtra[symbol - 257]);
            // Only copies of the byte just written make runs; anything else is left to zlib.
            if (distances.decode(bits) != 0 || !sink.any() || !sink.put(sink.last(), length))
                return false;
        }
    }
    return !bits.overran() && sink.complete();
}
