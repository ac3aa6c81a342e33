// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_ENGINE_PREVIEWCOLOUR_H
#define AGENT_ENGINE_PREVIEWCOLOUR_H

#include <cstdint>
#include <vector>

// The 16-bit colours job-file previews are stored in, from 8-bit RGB pictures (3 bytes a pixel,
// rows top first, no filter bytes). Each format stores the words in its own byte order.

// 5 bits red, 6 green, 5 blue, red on top.
std::uint16_t rgb565(std::uint8_t r, std::uint8_t g, std::uint8_t b);
std::vector<std::uint16_t> toRgb565(const std::uint8_t* rgb, int width, int height);

// 5 bits each of red (bits 15..11), green (10..6) and blue (4..0); bit 5 stays clear (CTB uses
// it to mark a run).
std::uint16_t rgb15(std::uint8_t r, std::uint8_t g, std::uint8_t b);
std::vector<std::uint16_t> toRgb15(const std::uint8_t* rgb, int width, int height);

// Back to 8-bit RGB (3 bytes a pixel), each channel's top bits repeated below to fill it.
std::vector<std::uint8_t> fromRgb565(const std::vector<std::uint16_t>& words);
std::vector<std::uint8_t> fromRgb15(const std::vector<std::uint16_t>& words);

#endif
