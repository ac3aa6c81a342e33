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
