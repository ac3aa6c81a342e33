// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "overhangs.h"

#include <algorithm>
#include <cmath>

OverhangFinder::OverhangFinder(
    double pixelMmX, double pixelMmY, double bridgeMm, long long minPixels)
    : m_minPixels(minPixels)
{
    const int rows = int(std::floor(bridgeMm / pixelMmY + 1e-9));
    for (int dy = 0; dy <= rows; ++dy) {
        const double across = bridgeMm * bridgeMm - (dy * pixelMmY) * (dy * pixelMmY);
        m_reach.push_back(int(std::floor(std::sqrt(std::max(0.0, across)) / pixelMmX + 1e-9)));
    }
}

void OverhangFinder::cut(const PixelRuns& below, int row, int reach)
{
    const int index = row - m_firstRow;
    if (index < 0 || index + 1 >= int(m_rowStart.size()))
        return;
    const int begin = m_rowStart[std::size_t(index)];
    const int end = m_rowStart[std::size_t(index) + 1];
    if (begin == end)
        return;
    m_kept.clear();
    for (const PixelRun& piece : m_pieces) {
        int at = piece.from;
        for (int k = begin; k < end && at < piece.to; ++k) {
            const int from = below[std::size_t(k)].from - reach;
            const int to = below[std::size_t(k)].to + reach;
            if (to <= at)
                continue;
            if (from >= piece.to)
                break;
            if (from > at)
                m_kept.push_back({ piece.row, at, from });
            at = std::max(at, to);
        }
        if (at < piece.to)
            m_kept.push_back({ piece.row, at, piece.to });
    }
    std::swap(m_pieces, m_kept);
}

void OverhangFinder::find(
    const PixelRuns& layer, const PixelRuns& below, std::vector<OverhangRegion>& found)
{
    // With nothing cured below, the whole layer is islands.
    if (layer.empty() || below.empty())
        return;
    m_firstRow = below.front().row;
    m_rowStart.assign(std::size_t(below.back().row - m_firstRow + 2), 0);
    for (const PixelRun& run : below)
        ++m_rowStart[std::size_t(run.row - m_firstRow) + 1];
    for (std::size_t r = 1; r < m_rowStart.size(); ++r)
        m_rowStart[r] += m_rowStart[r - 1];

    // What the row itself leaves out is cut first: most runs end there.
    m_overhang.clear();
    m_source.clear();
    for (std::size_t i = 0; i < layer.size(); ++i) {
        m_pieces.assign(1, layer[i]);
        cut(below, layer[i].row, m_reach[0]);
        for (std::size_t dy = 1; dy < m_reach.size() && !m_pieces.empty(); ++dy) {
            cut(below, layer[i].row - int(dy), m_reach[dy]);
            cut(below, layer[i].row + int(dy), m_reach[dy]);
        }
        for (const PixelRun& piece : m_pieces) {
            m_overhang.push_back(piece);
            m_source.push_back(int(i));
        }
    }
    if (m_overhang.empty())
        return;

    const int regions = m_labels.label(m_overhang, true);
    std::vector<OverhangRegion> region(std::size_t(regions), { 0, 0, 0, 0, 0 });
    std::vector<int> left(std::size_t(regions), 1 << 30), right(std::size_t(regions), -(1 << 30));
    std::vector<int> top(std::size_t(regions), 1 << 30), bottom(std::size_t(regions), -(1 << 30));
    std::vector<int> source(std::size_t(regions), 0);
    for (std::size_t k = 0; k < m_overhang.size(); ++k) {
        const PixelRun& run = m_overhang[k];
        const std::size_t r = std::size_t(m_labels.labels()[k]);
        const long long count = run.to - run.from;
        region[r].pixels += count;
        region[r].x += double(count) * (double(run.from) + double(run.to)) / 2.0;
        region[r].y += double(count) * (double(run.row) + 0.5);
        left[r] = std::min(left[r], run.from);
        right[r] = std::max(right[r], run.to);
        top[r] = std::min(top[r], run.row);
        bottom[r] = std::max(bottom[r], run.row + 1);
        source[r] = m_source[k];
    }
    if (std::none_of(region.begin(), region.end(),
            [this](const OverhangRegion& r) { return r.pixels >= m_minPixels; }))
        return;

    // An overhang of a region that rests on nothing at all is part of an island.
    m_layerLabels.label(layer, true);
    std::vector<char> resting(layer.size(), 0);
    std::size_t b = 0;
    for (std::size_t i = 0; i < layer.size(); ++i) {
        const PixelRun& run = layer[i];
        while (b < below.size()
            && (below[b].row < run.row || (below[b].row == run.row && below[b].to <= run.from)))
            ++b;
        if (b < below.size() && below[b].row == run.row && below[b].from < run.to)
            resting[std::size_t(m_layerLabels.labels()[i])] = 1;
    }
    for (std::size_t r = 0; r < region.size(); ++r) {
        if (region[r].pixels < m_minPixels
            || !resting[std::size_t(m_layerLabels.labels()[std::size_t(source[r])])])
            continue;
        OverhangRegion kept = region[r];
        kept.x /= double(kept.pixels);
        kept.y /= double(kept.pixels);
        kept.width = right[r] - left[r];
        kept.height = bottom[r] - top[r];
        found.push_back(kept);
    }
}
