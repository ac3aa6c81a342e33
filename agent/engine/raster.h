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

// Without anti-aliasing, sets to 255 every pixel whose centre lies inside the outline by the
// nonzero winding rule, so overlapping outlines unite and inner outlines running the other way
// make holes. Scanlines run through the pixel centres; each segment counts on rows whose centre
// lies in [ymin, ymax), so joined segments are counted once.
// Anti-aliased with L levels, each pixel row is cut by L sub-rows through their centres; a
// sub-row's spans cover each pixel by exactly the length they run through it, and the pixel's
// grey is its mean cover (the covered area: exact for straight edges crossing it, to 1/L of a
// pixel for edges along the rows), raised to the gamma, times 255. A pixel fully inside is 255,
// one fully outside 0.
// When `cover` is given (width * height bytes, no filter bytes), the pixels of grey >= 128 are
// set to 255 there too. fill() returns the number of pixels of grey >= 128.
class Rasterizer {
public:
    static constexpr int kCoverSteps = 4096; // a pixel's cover is counted in these
    void setAntiAliasing(int levels, double gamma = 1.0); // levels 1 (off), 2, 4, 8 or 16
    std::size_t fill(
        const std::vector<Segment>& segments, LayerImage& image, std::uint8_t* cover = nullptr);
    // Sets the pixels of the last fill back to 0: cheaper than clearing a whole image that
    // is mostly empty.
    void erase(LayerImage& image) const;
    // The sum of grey / 255 over the pixels of the last fill: the covered area in pixels.
    double greySum() const { return double(m_greyTotal) / 255.0; }

    // The pixels of grey >= 128 of the last fill, as runs of columns [from, to) per row, rows in
    // order and columns in order within a row.
    struct Span {
        int row;
        long from, to;
    };
    const std::vector<Span>& spans() const { return m_spans; }

private:
    std::size_t fillSharp(
        const std::vector<Segment>& segments, LayerImage& image, std::uint8_t* cover);
    std::size_t fillSmooth(
        const std::vector<Segment>& segments, LayerImage& image, std::uint8_t* cover);
    std::size_t finishRow(LayerImage& image, std::uint8_t* cover, int row);

    std::vector<Span> m_spans;
    std::vector<Span> m_touched; // what erase() clears
    struct Crossing {
        int row; // pixel row, or sub-row when anti-aliased
        int winding;
        double x;
    };
    std::vector<Crossing> m_crossings; // kept between layers to avoid reallocations
    std::vector<Crossing> m_sorted;
    std::vector<std::size_t> m_rowStarts; // per sub-row, where its crossings go
    std::vector<std::int32_t> m_cover; // per pixel, differences along the row being filled
    std::vector<long> m_changes; // where m_cover holds differences
    std::vector<std::uint8_t> m_listed; // per pixel: in m_changes
    int m_levels = 1;
    std::vector<std::uint8_t> m_grey = { 0, 255 }; // grey of cover k / kCoverSteps
    unsigned long long m_greyTotal = 0;
};

#endif
