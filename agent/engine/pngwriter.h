// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_ENGINE_PNGWRITER_H
#define AGENT_ENGINE_PNGWRITER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Encodes 8-bit PNG images (greyscale or RGB) from rows that already start with their filter
// byte. Layer images (greyscale) are a few long runs of 0 and 255, and encoding them would be
// the slicer's main cost with a general compressor: they go through runDeflate, which is many
// times faster. RGB pictures (thumbnails) use zlib. One writer per thread; it keeps its buffers
// from one image to the next.
class PngWriter {
public:
    // channels: 1 (greyscale) or 3 (RGB). rows: height * (1 + width * channels) bytes.
    bool encode(const std::uint8_t* rows, int width, int height, int channels);
    const std::vector<std::uint8_t>& data() const { return m_out; }

    // Writes the last encoded image to path (a new file); false with a sentence on failure.
    bool save(const std::string& path, std::string& error) const;

private:
    std::vector<std::uint8_t> m_out;
    std::vector<std::uint8_t> m_compressed;
};

#endif
