// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_ENGINE_RASTER_H
#define AGENT_ENGINE_RASTER_H

#include <cstddef>
#include <cstdint>
#include <vector>

// One oriented piece of a layer's outline, in pixel units: x to the right, y downwards, the
// pixel (c, r) covering [c, c+1) x [r, r+1).
struct Segment {
    double x0, y0, x1, y1;
};

// An 8-bit greyscale layer image laid out the way PNG compresses it: every row starts with its
// filter byte (0, "none"), so the encoder takes the buffer as it is.
struct LayerImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bytes; // height * (width + 1)

    void resize(int w, int h); // all pixels 0 (not cured)
    std::uint8_t* row(int r)
    {
        return bytes.data() + std::size_t(r) * (std::size_t(width) + 1) + 1;
    }
    const std::uint8_t* row(int r) const
    {
        return bytes.data() + std::size_t(r) * (std::size_t(width) + 1) + 1;
    }
};

// Sets to 255 every pixel whose centre lies inside the outline by the nonzero winding rule, so
// overlapping outlines unite and inner outlines running the other way make holes. Scanlines run
// through the pixel centres; each segment counts on rows whose centre lies in [ymin, ymax), so
// joined segments are counted once. When `cover` is given (width * height bytes, no filter
// bytes), the same pixels are set there too. Returns the number of pixels set.
class Rasterizer {
public:
    std::size_t fill(
        const std::vector<Segment>& segments, LayerImage& image, std::uint8_t* cover = nullptr);
    // Sets the pixels of the last fill back to 0: cheaper than clearing a whole image that
    // is mostly empty.
    void erase(LayerImage& image) const;

    // The pixels of the last fill, as runs of columns [from, to) per row, rows in order and
    // columns in order within a row.
    struct Span {
        int row;
        long from, to;
    };
    const std::vector<Span>& spans() const { return m_spans; }

private:
    std::vector<Span> m_spans;
    struct Crossing {
        int row;
        int winding;
        double x;
    };
    std::vector<Crossing> m_crossings; // kept between layers to avoid reallocations
};

#endif
