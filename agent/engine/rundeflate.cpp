// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "rundeflate.h"

#include <cstring>

namespace {

constexpr std::uint32_t kAdlerModulus = 65521;

// Base length and number of extra bits of the length symbols 257..285.
constexpr int kLengthBase[29] = { 3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 15, 17, 19, 23, 27, 31, 35, 43,
    51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258 };
constexpr int kLengthExtra[29]
    = { 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0 };

struct Code {
    std::uint32_t bits; // already reversed: deflate sends Huffman codes most significant bit first
    int length;
};

std::uint32_t reversed(std::uint32_t code, int length)
{
    std::uint32_t r = 0;
    for (int i = 0; i < length; ++i)
        r |= ((code >> i) & 1u) << (length - 1 - i);
    return r;
}

// Canonical Huffman codes for the given code lengths (RFC 1951, 3.2.2).
void canonicalCodes(const int* lengths, int count, Code* codes)
{
    int perLength[16] = {};
    for (int i = 0; i < count; ++i)
        ++perLength[lengths[i]];
    perLength[0] = 0;
    std::uint32_t next[16] = {};
    std::uint32_t code = 0;
    for (int bits = 1; bits < 16; ++bits) {
        code = (code + std::uint32_t(perLength[bits - 1])) << 1;
        next[bits] = code;
    }
    for (int i = 0; i < count; ++i)
        codes[i] = { lengths[i] ? reversed(next[lengths[i]]++, lengths[i]) : 0u, lengths[i] };
}

// One code table for every layer, sent once per image (a dynamic block whose table never
// changes): a copy of 258 bytes costs 1 bit, the bytes 0 and 255 that start runs 3 bits, and
// everything else 10 or 11 bits. The lengths fill the code space exactly, as decoders demand:
// 1/2 + 2/8 + 229/1024 + 54/2048 = 1.
constexpr int kLiteralCodes = 286; // 0..255 bytes, 256 end of block, 257..285 lengths
constexpr int kDistanceCodes = 2; // distance 1 (the only one used) and 2, 1 bit each

struct Tables {
    int literalLengths[kLiteralCodes];
    int distanceLengths[kDistanceCodes] = { 1, 1 };
    Code literal[kLiteralCodes];
    Code distance[kDistanceCodes];
    Code length[259]; // a copy of that many bytes: length symbol, extra bits, distance 1

    Tables()
    {
        for (int symbol = 0; symbol < kLiteralCodes; ++symbol)
            literalLengths[symbol] = symbol >= 201 && symbol <= 254 ? 11 : 10;
        literalLengths[0] = 3;
        literalLengths[255] = 3;
        literalLengths[285] = 1; // length 258
        canonicalCodes(literalLengths, kLiteralCodes, literal);
        canonicalCodes(distanceLengths, kDistanceCodes, distance);
        for (int symbol = 0; symbol < 29; ++symbol) {
            const int last = symbol == 28 ? 258 : kLengthBase[symbol + 1] - 1;
            const Code code = literal[257 + symbol];
            for (int len = kLengthBase[symbol]; len <= last && len <= 258; ++len) {
                const std::uint32_t extra = std::uint32_t(len - kLengthBase[symbol]);
                const int extraBits = kLengthExtra[symbol];
                length[len] = { code.bits | extra << code.length
                        | distance[0].bits << (code.length + extraBits),
                    code.length + extraBits + distance[0].length };
            }
        }
    }
};

const Tables& tables()
{
    static const Tables t;
    return t;
}

class BitWriter {
public:
    explicit BitWriter(std::vector<std::uint8_t>& out)
        : m_out(out)
    {
    }
    void put(std::uint32_t bits, int count)
    {
        m_buffer |= std::uint64_t(bits) << m_count;
        m_count += count;
        if (m_count >= 32) {
            for (int i = 0; i < 4; ++i)
                m_out.push_back(std::uint8_t(m_buffer >> (8 * i)));
            m_buffer >>= 32;
            m_count -= 32;
        }
    }
    void flush() // to a whole byte, zero-padded
    {
        while (m_count > 0) {
            m_out.push_back(std::uint8_t(m_buffer));
            m_buffer >>= 8;
            m_count -= 8;
        }
        m_buffer = 0;
        m_count = 0;
    }

private:
    std::vector<std::uint8_t>& m_out;
    std::uint64_t m_buffer = 0;
    int m_count = 0;
};

// Length of the run of data[0] starting at data, at most size; eight bytes at a time.
std::size_t runLength(const std::uint8_t* data, std::size_t size)
{
    const std::uint8_t value = data[0];
    const std::uint64_t pattern = 0x0101010101010101ull * value;
    std::size_t i = 1;
    while (i + 8 <= size) {
        std::uint64_t word;
        std::memcpy(&word, data + i, 8);
        const std::uint64_t diff = word ^ pattern;
        if (diff != 0) {
            // The lowest differing byte comes first in memory on little-endian machines; others
            // take the byte loop below.
            if (__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__)
                return i + std::size_t(__builtin_ctzll(diff) / 8);
            break;
        }
        i += 8;
    }
    while (i < size && data[i] == value)
        ++i;
    return i;
}

} // namespace

void runDeflate(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& out)
{
    const Tables& t = tables();
    out.clear();
    out.push_back(0x78); // zlib header: deflate, 32 KiB window
    out.push_back(0x01); // no dictionary, fastest; header check bits make 0x7801 divisible by 31
    BitWriter writer(out);
    writer.put(1, 1); // BFINAL: the only block
    writer.put(2, 2); // BTYPE 10: codes given in the block
    writer.put(kLiteralCodes - 257, 5); // HLIT
    writer.put(kDistanceCodes - 1, 5); // HDIST
    // The code lengths themselves are sent with a code of their own, in which the four lengths
    // used (1, 3, 10, 11) get 2 bits each. Its lengths come in this order, up to the last used.
    static const int order[18] = { 16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1 };
    writer.put(18 - 4, 4); // HCLEN
    for (int symbol : order)
        writer.put(symbol == 1 || symbol == 3 || symbol == 10 || symbol == 11 ? 2 : 0, 3);
    auto putLength = [&writer](int length) {
        // Canonical order of the 2-bit codes: 1 -> 00, 3 -> 01, 10 -> 10, 11 -> 11.
        const std::uint32_t code = length == 1 ? 0 : length == 3 ? 1 : length == 10 ? 2 : 3;
        writer.put(reversed(code, 2), 2);
    };
    for (int length : t.literalLengths)
        putLength(length);
    for (int length : t.distanceLengths)
        putLength(length);

    std::uint64_t a = 1, b = 0; // Adler-32 halves
    std::size_t unreduced = 0; // bytes added to a and b since they were last reduced
    std::size_t i = 0;
    while (i < size) {
        const std::uint8_t value = data[i];
        const std::size_t n = runLength(data + i, size - i);
        if (n < 3) {
            // Short runs (grey edges): plain sums, reduced only every few thousand bytes, since
            // b gains at most 2^21 per byte and stays far below 2^64.
            for (std::size_t k = 0; k < n; ++k) {
                a += value;
                b += a;
            }
            unreduced += n;
            if (unreduced >= 4096) {
                a %= kAdlerModulus;
                b %= kAdlerModulus;
                unreduced = 0;
            }
        } else {
            a %= kAdlerModulus;
            b %= kAdlerModulus;
            unreduced = 0;
            // Adler-32 over n equal bytes: a grows by n*v, b by n*a + v*n(n+1)/2.
            const std::uint64_t nm = n % kAdlerModulus;
            const std::uint64_t triangle = (n % 2 == 0)
                ? (n / 2 % kAdlerModulus) * ((n + 1) % kAdlerModulus)
                : (n % kAdlerModulus) * ((n + 1) / 2 % kAdlerModulus);
            b = (b + nm * a + (triangle % kAdlerModulus) * value) % kAdlerModulus;
            a = (a + nm * value) % kAdlerModulus;
        }

        writer.put(t.literal[value].bits, t.literal[value].length);
        std::size_t left = n - 1;
        while (left >= 3) {
            // Copies of at most 258 bytes; never leave a rest of 1 or 2 behind a full copy.
            std::size_t len = left > 258 ? 258 : left;
            if (left > 258 && left - 258 < 3)
                len = left - 3;
            writer.put(t.length[len].bits, t.length[len].length);
            left -= len;
        }
        for (; left > 0; --left)
            writer.put(t.literal[value].bits, t.literal[value].length);
        i += n;
    }
    writer.put(t.literal[256].bits, t.literal[256].length); // end of block
    writer.flush();
    a %= kAdlerModulus;
    b %= kAdlerModulus;
    const std::uint32_t adler = std::uint32_t(b << 16 | a);
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(std::uint8_t(adler >> shift));
}
