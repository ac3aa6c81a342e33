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

void Rasterizer::setAntiAliasing(int levels, double gamma)
{
    m_levels = levels <= 1 ? 1 : levels >= 16 ? 16 : levels;
    m_grey.resize(kCoverSteps + 1);
    for (int k = 0; k <= kCoverSteps; ++k)
        m_grey[std::size_t(k)]
            = std::uint8_t(std::lround(255.0 * std::pow(double(k) / kCoverSteps, gamma)));
}

std::size_t Rasterizer::fill(
    const std::vector<Segment>& segments, LayerImage& image, std::uint8_t* cover)
{
    m_crossings.clear();
    m_spans.clear();
    m_touched.clear();
    m_greyTotal = 0;
    return m_levels == 1 ? fillSharp(segments, image, cover) : fillSmooth(segments, image, cover);
}

std::size_t Rasterizer::fillSharp(
    const std::vector<Segment>& segments, LayerImage& image, std::uint8_t* cover)
{
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
                    m_touched.push_back({ r, from, to });
                }
            }
        }
    }
    m_greyTotal = 255ULL * cured;
    return cured;
}

namespace {

// A sub-row's span through a whole pixel adds this much to the pixel's cover.
constexpr std::int32_t kSubRowCover = Rasterizer::kCoverSteps;

// Cover differences of the row being filled, and where they are: each place listed once.
struct RowCover {
    std::int32_t* cover;
    std::uint8_t* listed;
    std::vector<long>& changes;

    void add(long c, std::int32_t v)
    {
        cover[c] += v;
        if (!listed[c]) {
            listed[c] = 1;
            changes.push_back(c);
        }
    }
};

// Adds the span [a, b) of one sub-row to a row's cover differences: the pixel where it starts
// and the one where it ends by the length inside them, those between by kSubRowCover.
inline void addSpan(RowCover& row, double a, double b, long width)
{
    a = std::max(a, 0.0);
    b = std::min(b, double(width));
    if (!(b > a))
        return;
    const long first = long(a), last = long(b);
    const auto part = [](double length) { return std::int32_t(length * kSubRowCover + 0.5); };
    if (first == last) {
        const std::int32_t v = part(b - a);
        row.add(first, v);
        row.add(first + 1, -v);
    } else {
        const std::int32_t v = part(double(first + 1) - a);
        row.add(first, v);
        row.add(first + 1, kSubRowCover - v);
        row.add(last, -kSubRowCover);
        if (last < width) {
            const std::int32_t w = part(b - double(last));
            row.add(last, w);
            row.add(last + 1, -w);
        }
    }
}

} // namespace

std::size_t Rasterizer::fillSmooth(
    const std::vector<Segment>& segments, LayerImage& image, std::uint8_t* cover)
{
    const int levels = m_levels;
    const double subRows = double(image.height) * levels;
    for (const Segment& s : segments) {
        if (s.y0 == s.y1)
            continue;
        const bool down = s.y1 > s.y0;
        const double yLow = (down ? s.y0 : s.y1) * levels;
        const double yHigh = (down ? s.y1 : s.y0) * levels;
        if (yHigh <= 0 || yLow >= subRows)
            continue;
        const long first = std::max(0L, firstCentreAtOrAfter(yLow));
        const long end = std::min(long(subRows), firstCentreAtOrAfter(yHigh));
        const double slope = (s.x1 - s.x0) / (s.y1 - s.y0);
        for (long j = first; j < end; ++j) {
            const double x = s.x0 + ((double(j) + 0.5) / levels - s.y0) * slope;
            m_crossings.push_back({ int(j), down ? 1 : -1, x });
        }
    }
    // L times the crossings of a sharp fill: placed by sub-row (counting), then each sub-row,
    // a handful of crossings, sorted along x.
    m_rowStarts.assign(std::size_t(subRows) + 1, 0);
    for (const Crossing& c : m_crossings)
        ++m_rowStarts[std::size_t(c.row) + 1];
    for (std::size_t j = 1; j < m_rowStarts.size(); ++j)
        m_rowStarts[j] += m_rowStarts[j - 1];
    m_sorted.resize(m_crossings.size());
    for (const Crossing& c : m_crossings)
        m_sorted[m_rowStarts[std::size_t(c.row)]++] = c;
    m_crossings.swap(m_sorted);
    for (std::size_t begin = 0; begin < m_crossings.size();) {
        std::size_t end = begin + 1;
        while (end < m_crossings.size() && m_crossings[end].row == m_crossings[begin].row)
            ++end;
        for (std::size_t k = begin + 1; k < end; ++k) { // insertion sort: few, nearly in order
            const Crossing c = m_crossings[k];
            std::size_t at = k;
            for (; at > begin && m_crossings[at - 1].x > c.x; --at)
                m_crossings[at] = m_crossings[at - 1];
            m_crossings[at] = c;
        }
        begin = end;
    }

    const long width = image.width;
    m_cover.assign(std::size_t(width) + 2, 0);
    m_listed.assign(std::size_t(width) + 2, 0);
    RowCover row { m_cover.data(), m_listed.data(), m_changes };
    std::size_t cured = 0;
    std::size_t i = 0;
    while (i < m_crossings.size()) {
        const int r = m_crossings[i].row / levels;
        m_changes.clear();
        while (i < m_crossings.size() && m_crossings[i].row / levels == r) {
            const int j = m_crossings[i].row;
            int winding = 0;
            double spanStart = 0;
            for (; i < m_crossings.size() && m_crossings[i].row == j; ++i) {
                const Crossing& c = m_crossings[i];
                const int before = winding;
                winding += c.winding;
                if (before == 0 && winding != 0)
                    spanStart = c.x;
                else if (before != 0 && winding == 0)
                    addSpan(row, spanStart, c.x, width);
            }
        }
        if (!m_changes.empty())
            cured += finishRow(image, cover, r);
    }
    return cured;
}

// Turns the cover differences of row r into greys and clears them. Between two changes the
// cover stays the same, so each stretch is one grey.
std::size_t Rasterizer::finishRow(LayerImage& image, std::uint8_t* cover, int r)
{
    std::sort(m_changes.begin(), m_changes.end());
    const long width = image.width;
    std::uint8_t* pixels = image.row(r);
    std::int32_t* sums = m_cover.data();
    const int levels = m_levels;
    const std::size_t spansBefore = m_spans.size();
    std::int32_t sum = 0;
    unsigned long long total = 0;
    long runStart = -1;
    const long from = m_changes.front();
    long to = from;
    for (std::size_t e = 0; e < m_changes.size(); ++e) {
        const long c = m_changes[e];
        sum += sums[c];
        sums[c] = 0;
        m_listed[std::size_t(c)] = 0;
        if (c >= width)
            continue;
        to = e + 1 < m_changes.size() ? std::min(m_changes[e + 1], width) : width;
        const int k = std::min(kCoverSteps, int((sum + levels / 2) / levels));
        const std::uint8_t grey = m_grey[std::size_t(k)];
        std::memset(pixels + c, grey, std::size_t(to - c));
        total += (unsigned long long)grey * std::size_t(to - c);
        if (grey >= 128) {
            if (runStart < 0)
                runStart = c;
        } else if (runStart >= 0) {
            m_spans.push_back({ r, runStart, c });
            runStart = -1;
        }
    }
    if (runStart >= 0)
        m_spans.push_back({ r, runStart, to });
    m_touched.push_back({ r, from, to });
    m_greyTotal += total;
    std::size_t cured = 0;
    for (std::size_t s = spansBefore; s < m_spans.size(); ++s) {
        const Span& span = m_spans[s];
        cured += std::size_t(span.to - span.from);
        if (cover)
            std::memset(cover + std::size_t(r) * std::size_t(width) + span.from, 255,
                std::size_t(span.to - span.from));
    }
    return cured;
}

void Rasterizer::erase(LayerImage& image) const
{
    for (const Span& span : m_touched)
        std::memset(image.row(span.row) + span.from, 0, std::size_t(span.to - span.from));
}
