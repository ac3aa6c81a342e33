// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_ENGINE_PNGREADER_H
#define AGENT_ENGINE_PNGREADER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Decodes the PNGs the slicer writes: 8-bit greyscale or RGB, not interlaced, any row filter.
// pixels becomes width * height * channels bytes, rows top first, no filter bytes. The buffers
// are kept from one image to the next. False with the reason (a phrase) otherwise.
class PngReader {
public:
    bool decode(const std::uint8_t* png, std::size_t size, std::string& why);
    int width() const { return m_width; }
    int height() const { return m_height; }
    int channels() const { return m_channels; }
    const std::vector<std::uint8_t>& pixels() const { return m_pixels; }

private:
    int m_width = 0;
    int m_height = 0;
    int m_channels = 0;
    std::vector<std::uint8_t> m_pixels;
    std::vector<std::uint8_t> m_compressed;
    std::vector<std::uint8_t> m_row;
};

#endif
