// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_ENGINE_LEBYTES_H
#define AGENT_ENGINE_LEBYTES_H

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// Little-endian fields for the binary job files that store them so: appended to a growing record
// while writing, taken from a byte pointer while reading. Floats are IEEE-754 singles.
namespace lebytes {

inline void putU8(std::vector<std::uint8_t>& out, std::uint8_t v) { out.push_back(v); }

inline void putU16(std::vector<std::uint8_t>& out, std::uint16_t v)
{
    out.push_back(std::uint8_t(v));
    out.push_back(std::uint8_t(v >> 8));
}

inline void putU32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    putU16(out, std::uint16_t(v));
    putU16(out, std::uint16_t(v >> 16));
}

inline void putF32(std::vector<std::uint8_t>& out, float v)
{
    std::uint32_t bits;
    std::memcpy(&bits, &v, 4);
    putU32(out, bits);
}

// Text in a field of `size` bytes, cut to fit and padded with NUL bytes.
inline void putText(std::vector<std::uint8_t>& out, const std::string& text, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i)
        out.push_back(i < text.size() ? std::uint8_t(text[i]) : 0);
}

inline void putZeros(std::vector<std::uint8_t>& out, std::size_t count)
{
    out.insert(out.end(), count, 0);
}

inline std::uint16_t u16(const std::uint8_t* p) { return std::uint16_t(p[0] | p[1] << 8); }

inline std::uint32_t u32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16
        | std::uint32_t(p[3]) << 24;
}

inline float f32(const std::uint8_t* p)
{
    const std::uint32_t bits = u32(p);
    float v;
    std::memcpy(&v, &bits, 4);
    return v;
}

// A NUL-padded text field; the text ends at the first NUL.
inline std::string text(const std::uint8_t* p, std::size_t size)
{
    std::size_t length = 0;
    while (length < size && p[length])
        ++length;
    return std::string(reinterpret_cast<const char*>(p), length);
}

} // namespace lebytes

#endif
