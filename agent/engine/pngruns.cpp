// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "pngruns.h"

#include <cstring>

namespace {

std::uint32_t be32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

constexpr int kLengthBase[29] = { 3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 15, 17, 19, 23, 27, 31, 35, 43,
    51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258 };
constexpr int kLengthExtra[29]
    = { 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0 };
constexpr int kDistanceBase[30] = { 1, 2, 3, 4, 5, 7, 9, 13, 17, 25, 33, 49, 65, 97, 129, 193, 257,
    385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577 };
constexpr int kDistanceExtra[30] = { 0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9,
    9, 10, 10, 11, 11, 12, 12, 13, 13 };

// Deflate's bits, least significant first.
struct Bits {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 0;
    std::uint64_t buffer = 0;
    int count = 0;
    bool overrun = false;

    void fill()
    {
        if (at + 8 <= size) { // whole bytes up to 56 bits or more, at once
            std::uint64_t word;
            std::memcpy(&word, data + at, 8);
            buffer |= word << count;
            at += std::size_t(63 - count) / 8;
            count |= 56;
            return;
        }
        while (count <= 56) {
            if (at < size)
                buffer |= std::uint64_t(data[at]) << count;
            else
                overrun = at > size + 8; // a few bytes past the end are only looked at
            ++at;
            count += 8;
        }
    }
    int get(int n)
    {
        if (count < n)
            fill();
        const int value = int(buffer & ((std::uint64_t(1) << n) - 1));
        buffer >>= n;
        count -= n;
        return value;
    }
};

// A canonical Huffman code (RFC 1951, 3.2.2). Codes of up to kFastBits bits are found with one
// look at a table; longer ones a bit at a time.
constexpr int kFastBits = 10;

struct Huffman {
    int counts[16] = {};
    int symbols[288] = {};
    // For each kFastBits-bit pattern as it arrives: symbol << 4 | code length, or 0 when longer.
    std::uint16_t fast[1 << kFastBits] = {};

    void build(const int* lengths, int n)
    {
        std::memset(counts, 0, sizeof counts);
        std::memset(fast, 0, sizeof fast);
        for (int i = 0; i < n; ++i)
            ++counts[lengths[i]];
        counts[0] = 0;
        int offsets[16] = {};
        for (int bits = 1; bits < 16; ++bits)
            offsets[bits] = offsets[bits - 1] + counts[bits - 1];
        for (int i = 0; i < n; ++i) {
            if (lengths[i])
                symbols[offsets[lengths[i]]++] = i;
        }
        int code = 0, index = 0;
        for (int length = 1; length <= kFastBits; ++length) {
            for (int k = 0; k < counts[length]; ++k, ++code, ++index) {
                // Codes arrive most significant bit first: the table is indexed reversed.
                int reversed = 0;
                for (int b = 0; b < length; ++b)
                    reversed |= ((code >> b) & 1) << (length - 1 - b);
                for (int fill = reversed; fill < (1 << kFastBits); fill += 1 << length)
                    fast[fill] = std::uint16_t(symbols[index] << 4 | length);
            }
            code <<= 1;
        }
    }

    __attribute__((always_inline)) int decode(Bits& bits) const
    {
        if (bits.count < 16)
            bits.fill();
        const std::uint16_t entry = fast[bits.buffer & ((1u << kFastBits) - 1)];
        if (entry) {
            bits.buffer >>= entry & 15;
            bits.count -= entry & 15;
            return entry >> 4;
        }
        int code = 0, first = 0, index = 0;
        for (int length = 1; length < 16; ++length) {
            code |= bits.get(1);
            const int count = counts[length];
            if (code - first < count)
                return symbols[index + code - first];
            index += count;
            first = (first + count) << 1;
            code <<= 1;
        }
        return -1;
    }
};

// Runs of the inflated bytes (filter bytes included) turned into runs of pixels.
class RunSink {
public:
    RunSink(int width, int height, std::vector<LayerRun>& runs)
        : m_stride(std::size_t(width) + 1)
        , m_total(m_stride * std::size_t(height))
        , m_runs(runs)
    {
        m_runs.clear();
    }

    __attribute__((always_inline)) bool add(std::uint8_t value, std::size_t n)
    {
        if (n > m_total - m_at)
            return false;
        // Most often: more of the same grey within the row.
        if (m_column != 0 && m_column + n < m_stride && !m_runs.empty()
            && m_runs.back().grey == value && m_runs.back().length < 0xF0000000u) {
            m_runs.back().length += std::uint32_t(n);
            m_at += n;
            m_column += n;
            m_last = value;
            return true;
        }
        while (n > 0) {
            if (m_column == 0) { // a row's filter byte: only "none" is read here
                if (value != 0)
                    return false;
                ++m_at;
                --n;
                m_column = 1;
                continue;
            }
            const std::size_t take = std::min(n, m_stride - m_column);
            if (!m_runs.empty() && m_runs.back().grey == value
                && m_runs.back().length + take <= 0xFFFFFFFFu)
                m_runs.back().length += std::uint32_t(take);
            else
                m_runs.push_back({ std::uint32_t(take), value });
            m_at += take;
            n -= take;
            m_column += take;
            if (m_column == m_stride)
                m_column = 0;
        }
        m_last = value;
        return true;
    }

    bool any() const { return m_at > 0; }
    std::uint8_t last() const { return m_last; }
    bool complete() const { return m_at == m_total; }

private:
    const std::size_t m_stride;
    const std::size_t m_total;
    std::vector<LayerRun>& m_runs;
    std::size_t m_at = 0;
    std::size_t m_column = 0;
    std::uint8_t m_last = 0;
};

bool inflateRuns(const std::uint8_t* data, std::size_t size, RunSink& sink)
{
    if (size < 2 || (data[0] & 0x0F) != 8 || (data[1] & 0x20) || (data[0] * 256 + data[1]) % 31)
        return false;
    Bits bits { data + 2, size - 2 };
    Huffman literal, distance;
    std::uint64_t lastPattern = 0, repeated = 0;
    int lastUsed = 0;
    for (;;) {
        const int final = bits.get(1);
        const int type = bits.get(2);
        if (type == 0) { // stored
            // To the next byte boundary, then back over the bytes read ahead.
            bits.get(bits.count % 8);
            bits.at -= std::size_t(bits.count / 8);
            bits.buffer = 0;
            bits.count = 0;
            if (bits.at + 4 > bits.size)
                return false;
            const std::size_t length = bits.data[bits.at] | bits.data[bits.at + 1] << 8;
            bits.at += 4;
            if (bits.at + length > bits.size)
                return false;
            for (std::size_t i = 0; i < length; ++i) {
                if (!sink.add(bits.data[bits.at + i], 1))
                    return false;
            }
            bits.at += length;
        } else if (type == 1) {
            int lengths[288];
            for (int i = 0; i < 288; ++i)
                lengths[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
            literal.build(lengths, 288);
            for (int i = 0; i < 30; ++i)
                lengths[i] = 5;
            distance.build(lengths, 30);
        } else if (type == 2) {
            const int literals = bits.get(5) + 257;
            const int distances = bits.get(5) + 1;
            const int codeLengths = bits.get(4) + 4;
            static const int order[19]
                = { 16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15 };
            int lengths[320] = {};
            for (int i = 0; i < codeLengths; ++i)
                lengths[order[i]] = bits.get(3);
            Huffman lengthCode;
            lengthCode.build(lengths, 19);
            int lengthsOf[320] = {};
            for (int i = 0; i < literals + distances;) {
                const int symbol = lengthCode.decode(bits);
                if (symbol < 0)
                    return false;
                if (symbol < 16) {
                    lengthsOf[i++] = symbol;
                    continue;
                }
                int repeat = 0, value = 0;
                if (symbol == 16) {
                    if (i == 0)
                        return false;
                    value = lengthsOf[i - 1];
                    repeat = 3 + bits.get(2);
                } else {
                    repeat = symbol == 17 ? 3 + bits.get(3) : 11 + bits.get(7);
                }
                if (i + repeat > literals + distances)
                    return false;
                while (repeat--)
                    lengthsOf[i++] = value;
            }
            literal.build(lengthsOf, literals);
            distance.build(lengthsOf + literals, distances);
        } else {
            return false;
        }
        if (type != 0) {
            for (;;) {
                if (bits.count < 32)
                    bits.fill();
                const std::uint64_t before = bits.buffer;
                const int countBefore = bits.count;
                const int symbol = literal.decode(bits);
                if (symbol < 0 || bits.overrun)
                    return false;
                if (symbol < 256) {
                    if (!sink.add(std::uint8_t(symbol), 1))
                        return false;
                    continue;
                }
                if (symbol == 256)
                    break;
                if (symbol > 285)
                    return false;
                const int length = kLengthBase[symbol - 257] + bits.get(kLengthExtra[symbol - 257]);
                const int d = distance.decode(bits);
                if (d < 0 || d > 29)
                    return false;
                // Only copies of the byte before are runs; anything else is read the usual way.
                if (kDistanceBase[d] + bits.get(kDistanceExtra[d]) != 1 || !sink.any())
                    return false;
                // A long run is the same copy over and over: the same few bits, which need not
                // be decoded again.
                const int used = countBefore - bits.count;
                std::size_t copies = 1;
                if (bits.count < used)
                    bits.fill();
                if (used <= 16
                    && (bits.buffer & ((std::uint64_t(1) << used) - 1))
                        == (before & ((std::uint64_t(1) << used) - 1))) {
                    const std::uint64_t mask = (std::uint64_t(1) << used) - 1;
                    const std::uint64_t pattern = before & mask;
                    // The pattern as often as it fits in 48 bits, compared at once; made again
                    // only when another copy repeats.
                    const int times = 48 / used;
                    if (pattern != lastPattern || used != lastUsed) {
                        lastPattern = pattern;
                        lastUsed = used;
                        repeated = 0;
                        for (int k = 0; k < times; ++k)
                            repeated |= pattern << (k * used);
                    }
                    const int width = times * used;
                    const std::uint64_t all = (std::uint64_t(1) << width) - 1;
                    for (;;) {
                        if (bits.count < width)
                            bits.fill();
                        const std::uint64_t differ = (bits.buffer ^ repeated) & all;
                        const int same = differ ? __builtin_ctzll(differ) / used : times;
                        bits.buffer >>= same * used;
                        bits.count -= same * used;
                        copies += std::size_t(same);
                        if (same < times)
                            break;
                    }
                }
                if (!sink.add(sink.last(), std::size_t(length) * copies))
                    return false;
            }
        }
        if (bits.overrun)
            return false;
        if (final)
            return sink.complete();
    }
}

} // namespace

bool pngLayerRuns(
    const std::uint8_t* png, std::size_t size, int width, int height, std::vector<LayerRun>& runs)
{
    static const std::uint8_t signature[8] = { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n' };
    if (size < 8 || std::memcmp(png, signature, 8) != 0)
        return false;
    const std::uint8_t* idat = nullptr;
    std::size_t idatSize = 0;
    bool header = false;
    for (std::size_t at = 8; at + 12 <= size;) {
        const std::uint32_t length = be32(png + at);
        if (length > size - at - 12)
            return false;
        const std::uint8_t* type = png + at + 4;
        const std::uint8_t* data = png + at + 8;
        if (std::memcmp(type, "IHDR", 4) == 0) {
            // 8-bit greyscale, not interlaced, of the display's size.
            header = length >= 13 && int(be32(data)) == width && int(be32(data + 4)) == height
                && data[8] == 8 && data[9] == 0 && data[12] == 0;
        } else if (std::memcmp(type, "IDAT", 4) == 0) {
            if (idat) // data split over chunks: read the usual way
                return false;
            idat = data;
            idatSize = length;
        } else if (std::memcmp(type, "IEND", 4) == 0) {
            break;
        }
        at += 12 + length;
    }
    if (!header || !idat)
        return false;
    RunSink sink(width, height, runs);
    return inflateRuns(idat, idatSize, sink);
}
