// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "raster.h"

#include <algorithm>
#include <cmath>
#include <cstring>

void LayerImage::resize(int w, int h)
{
    width = w;
    height = h;
    bytes.assign(std::size_t(h) * (std::size_t(w) + 1), 0);
}

namespace {

// First pixel index whose centre is at or right of (below) v.
// Clamped so that no coordinate, however far off the image, overflows the conversion.
long firstCentreAtOrAfter(double v) { return long(std::ceil(std::clamp(v, -1e9, 1e9) - 0.5)); }

} // namespace

std::size_t Rasterizer::fill(
    const std::vector<Segment>& segments, LayerImage& image, std::uint8_t* cover)
{
    m_crossings.clear();
    m_spans.clear();
    const double height = image.height;
    for (const Segment& s : segments) {
        if (s.y0 == s.y1)
            continue; // parallel to the scanlines: its neighbours carry the crossing
        const bool down = s.y1 > s.y0;
        const double yLow = down ? s.y0 : s.y1;
        const double yHigh = down ? s.y1 : s.y0;
        if (yHigh <= 0 || yLow >= height)
            continue;
        const long first = std::max(0L, firstCentreAtOrAfter(yLow));
        const long end = std::min(long(image.height), firstCentreAtOrAfter(yHigh));
        const double slope = (s.x1 - s.x0) / (s.y1 - s.y0);
        for (long r = first; r < end; ++r) {
            const double x = s.x0 + (double(r) + 0.5 - s.y0) * slope;
            m_crossings.push_back({ int(r), down ? 1 : -1, x });
        }
    }
    std::sort(m_crossings.begin(), m_crossings.end(), [](const Crossing& a, const Crossing& b) {
        return a.row != b.row ? a.row < b.row : a.x < b.x;
    });

    std::size_t cured = 0;
    const long width = image.width;
    std::size_t i = 0;
    while (i < m_crossings.size()) {
        const int r = m_crossings[i].row;
        std::uint8_t* pixels = image.row(r);
        std::uint8_t* coverRow = cover ? cover + std::size_t(r) * std::size_t(width) : nullptr;
        int winding = 0;
        double spanStart = 0;
        for (; i < m_crossings.size() && m_crossings[i].row == r; ++i) {
            const Crossing& c = m_crossings[i];
            const int before = winding;
            winding += c.winding;
            if (before == 0 && winding != 0) {
                spanStart = c.x;
            } else if (before != 0 && winding == 0) {
                const long from = std::max(0L, firstCentreAtOrAfter(spanStart));
                const long to = std::min(width, firstCentreAtOrAfter(c.x));
                if (to > from) {
                    std::memset(pixels + from, 255, std::size_t(to - from));
                    if (coverRow)
                        std::memset(coverRow + from, 255, std::size_t(to - from));
                    cured += std::size_t(to - from);
                    m_spans.push_back({ r, from, to });
                }
            }
        }
    }
    return cured;
}

void Rasterizer::erase(LayerImage& image) const
{
    for (const Span& span : m_spans)
        std::memset(image.row(span.row) + span.from, 0, std::size_t(span.to - span.from));
}
