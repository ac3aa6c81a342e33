// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_ENGINE_PNGWRITER_H
#define AGENT_ENGINE_PNGWRITER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <zlib.h>

// Encodes 8-bit PNG images (greyscale or RGB) from rows that already start with their filter
// byte. Layer images are mostly long runs of one value, and encoding them is the slicer's main
// cost: run-length deflate at level 1 with no filtering is several times faster than the usual
// settings and gives files of about the same size. One encoder per thread; it keeps its
// compressor and output buffer from one image to the next.
class PngWriter {
public:
    PngWriter();
    ~PngWriter();
    PngWriter(const PngWriter &) = delete;
    PngWriter &operator=(const PngWriter &) = delete;

    // channels: 1 (greyscale) or 3 (RGB). rows: height * (1 + width * channels) bytes.
    bool encode(const std::uint8_t *rows, int width, int height, int channels);
    const std::vector<std::uint8_t> &data() const { return m_out; }

    // Writes the last encoded image to path (a new file); false with a sentence on failure.
    bool save(const std::string &path, std::string &error) const;

private:
    z_stream m_stream;
    bool m_ready = false;
    std::vector<std::uint8_t> m_out;
};

#endif
