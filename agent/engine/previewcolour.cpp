// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "previewcolour.h"

#include <cstddef>

std::uint16_t rgb565(std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    return std::uint16_t((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
}

std::uint16_t rgb15(std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    return std::uint16_t((r >> 3) << 11 | (g >> 3) << 6 | (b >> 3));
}

namespace {

template <typename Convert>
std::vector<std::uint16_t> convert(const std::uint8_t* rgb, int width, int height, Convert word)
{
    const std::size_t count = std::size_t(width) * std::size_t(height);
    std::vector<std::uint16_t> words(count);
    for (std::size_t i = 0; i < count; ++i)
        words[i] = word(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]);
    return words;
}

} // namespace

std::vector<std::uint16_t> toRgb565(const std::uint8_t* rgb, int width, int height)
{
    return convert(rgb, width, height, rgb565);
}

std::vector<std::uint16_t> toRgb15(const std::uint8_t* rgb, int width, int height)
{
    return convert(rgb, width, height, rgb15);
}

namespace {

std::uint8_t widen(unsigned value, int bits)
{
    return std::uint8_t(value << (8 - bits) | value >> (2 * bits - 8));
}

} // namespace

std::vector<std::uint8_t> fromRgb565(const std::vector<std::uint16_t>& words)
{
    std::vector<std::uint8_t> rgb;
    rgb.reserve(3 * words.size());
    for (const std::uint16_t w : words) {
        rgb.push_back(widen(w >> 11, 5));
        rgb.push_back(widen((w >> 5) & 0x3F, 6));
        rgb.push_back(widen(w & 0x1F, 5));
    }
    return rgb;
}

std::vector<std::uint8_t> fromRgb15(const std::vector<std::uint16_t>& words)
{
    std::vector<std::uint8_t> rgb;
    rgb.reserve(3 * words.size());
    for (const std::uint16_t w : words) {
        rgb.push_back(widen(w >> 11, 5));
        rgb.push_back(widen((w >> 6) & 0x1F, 5));
        rgb.push_back(widen(w & 0x1F, 5));
    }
    return rgb;
}
