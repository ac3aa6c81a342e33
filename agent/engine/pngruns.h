// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_ENGINE_PNGRUNS_H
#define AGENT_ENGINE_PNGRUNS_H

#include <cstddef>
#include <cstdint>
#include <vector>

// A stretch of equal greys in a layer image, row-major and continuing from one row into the next.
struct GreyRun {
    std::uint8_t grey;
    std::uint32_t length;
};

// Reads an 8-bit greyscale PNG straight into runs, without the image: the layer images the slicer
// writes are runs of one byte value (a literal, then copies one byte back), so decoding only the
// code words gives the runs at a small part of the cost of inflating every pixel. Takes only what
// it can do that way: width x height, every row unfiltered, copies at distance 1. Anything else
// (or a damaged stream) gives false, and the caller decodes the image the ordinary way.
class PngRunReader {
public:
    bool decode(const std::uint8_t* png, std::size_t size, int width, int height);
    const std::vector<GreyRun>& runs() const { return m_runs; }

private:
    bool inflateRuns(int width, int height);

    std::vector<std::uint8_t> m_stream;
    std::vector<GreyRun> m_runs;
};

#endif
