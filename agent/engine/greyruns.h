// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_ENGINE_GREYRUNS_H
#define AGENT_ENGINE_GREYRUNS_H

#include <cstddef>
#include <cstdint>
#include <cstring>

// The end of the run of bytes equal to data[from] that starts at `from`, looking no further than
// `end`. Layer images are mostly long runs of 0 and 255, so eight bytes are compared at a time.
inline std::size_t sameRunEnd(const std::uint8_t* data, std::size_t from, std::size_t end)
{
    const std::uint64_t pattern = 0x0101010101010101ull * data[from];
    std::size_t at = from + 1;
    while (at + 8 <= end) {
        std::uint64_t word;
        std::memcpy(&word, data + at, 8);
        const std::uint64_t differ = word ^ pattern;
        if (differ) {
            // Little-endian load: the lowest set byte is the first that differs.
            return at + std::size_t(__builtin_ctzll(differ) / 8);
        }
        at += 8;
    }
    while (at < end && data[at] == data[from])
        ++at;
    return at;
}

// The end of the run from `from` of bytes whose top bits (value >> shift) equal those of
// data[from]: the pixels that one stored grey level of a job file covers.
inline std::size_t levelRunEnd(
    const std::uint8_t* data, std::size_t from, std::size_t end, int shift)
{
    const int level = data[from] >> shift;
    std::size_t at = sameRunEnd(data, from, end);
    while (at < end && data[at] >> shift == level)
        at = sameRunEnd(data, at, end);
    return at;
}

#endif
