// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "cavities.h"

#include <algorithm>
#include <utility>

namespace {

// Columns beyond the image on either side: uncured runs that reach them are open to the vat.
constexpr int kNear = -1;
constexpr int kFar = 1 << 30;

// While a cavity is followed its bottom point holds sums of pixel centres, not the centroid.
void combine(Cavity& a, const Cavity& b)
{
    if (b.layerFrom < a.layerFrom) {
        a.bottomX = b.bottomX;
        a.bottomY = b.bottomY;
        a.bottomPixels = b.bottomPixels;
    } else if (b.layerFrom == a.layerFrom) {
        a.bottomX += b.bottomX;
        a.bottomY += b.bottomY;
        a.bottomPixels += b.bottomPixels;
    }
    if (b.layerTo > a.layerTo)
        a.topPixels = b.topPixels;
    else if (b.layerTo == a.layerTo)
        a.topPixels += b.topPixels;
    a.layerFrom = std::min(a.layerFrom, b.layerFrom);
    a.layerTo = std::max(a.layerTo, b.layerTo);
    a.pixels += b.pixels;
    a.drainsBelow = a.drainsBelow || b.drainsBelow;
    a.opensAbove = a.opensAbove || b.opensAbove;
}

} // namespace

CavityTracker::CavityTracker(std::function<void(const Cavity&)> done)
    : m_done(std::move(done))
{
}

void CavityTracker::split(const PixelRuns& cured, Layer& layer)
{
    layer.open.clear();
    layer.walled.clear();
    layer.label.clear();
    layer.count = 0;
    layer.firstRow = 0;
    layer.lastRow = -1;
    if (cured.empty())
        return;
    layer.firstRow = cured.front().row;
    layer.lastRow = cured.back().row;

    // A row of one cured run has no uncured pixel between cured ones; when no row has more,
    // the layer walls nothing in and its uncured pixels all lie open.
    bool gaps = false;
    for (std::size_t i = 1; i < cured.size() && !gaps; ++i)
        gaps = cured[i].row == cured[i - 1].row;
    if (!gaps) {
        for (std::size_t i = 0; i < cured.size(); ++i) {
            const PixelRun& run = cured[i];
            for (int row = i > 0 ? cured[i - 1].row + 1 : run.row; row < run.row; ++row)
                layer.open.push_back({ row, kNear, kFar }); // a blank row between cured ones
            layer.open.push_back({ run.row, kNear, run.from });
            layer.open.push_back({ run.row, run.to, kFar });
        }
        return;
    }

    // The uncured runs of the rows with cured pixels, framed by a blank row above and below.
    m_uncured.clear();
    m_uncured.push_back({ layer.firstRow - 1, kNear, kFar });
    std::size_t i = 0;
    for (int row = layer.firstRow; row <= layer.lastRow; ++row) {
        int from = kNear;
        for (; i < cured.size() && cured[i].row == row; ++i) {
            if (cured[i].from > from)
                m_uncured.push_back({ row, from, cured[i].from });
            from = cured[i].to;
        }
        m_uncured.push_back({ row, from, kFar });
    }
    m_uncured.push_back({ layer.lastRow + 1, kNear, kFar });

    const int regions = m_labels.label(m_uncured, false);
    const std::vector<int>& label = m_labels.labels();
    std::vector<char> open(std::size_t(regions), 0);
    for (std::size_t k = 0; k < m_uncured.size(); ++k) {
        if (m_uncured[k].from == kNear || m_uncured[k].to == kFar)
            open[std::size_t(label[k])] = 1;
    }
    std::vector<int> walledLabel(std::size_t(regions), -1);
    for (std::size_t k = 1; k + 1 < m_uncured.size(); ++k) {
        const PixelRun& run = m_uncured[k];
        const std::size_t region = std::size_t(label[k]);
        if (open[region]) {
            layer.open.push_back(run);
            continue;
        }
        if (walledLabel[region] < 0) {
            walledLabel[region] = layer.count++;
            layer.pixels.push_back(0);
            layer.sumX.push_back(0);
            layer.sumY.push_back(0);
        }
        const std::size_t w = std::size_t(walledLabel[region]);
        const long long count = run.to - run.from;
        layer.pixels[w] += count;
        layer.sumX[w] += double(count) * (double(run.from) + double(run.to)) / 2.0;
        layer.sumY[w] += double(count) * (double(run.row) + 0.5);
        layer.walled.push_back(run);
        layer.label.push_back(int(w));
    }
}

void CavityTracker::overOpen(const Layer& layer, const Layer& other, std::vector<char>& flags)
{
    flags.assign(std::size_t(layer.count), 0);
    std::size_t k = 0;
    for (std::size_t i = 0; i < layer.walled.size(); ++i) {
        const PixelRun& w = layer.walled[i];
        if (w.row < other.firstRow || w.row > other.lastRow) {
            flags[std::size_t(layer.label[i])] = 1; // a row of the other layer with no cured pixel
            continue;
        }
        while (k < other.open.size()
            && (other.open[k].row < w.row
                || (other.open[k].row == w.row && other.open[k].to <= w.from)))
            ++k;
        if (k < other.open.size() && other.open[k].row == w.row && other.open[k].from < w.to)
            flags[std::size_t(layer.label[i])] = 1;
    }
}

void CavityTracker::addLayer(const PixelRuns& cured)
{
    m_layer.pixels.clear();
    m_layer.sumX.clear();
    m_layer.sumY.clear();
    split(cured, m_layer);
    const int layer = m_layerIndex++;

    std::vector<char> drains, opens;
    if (layer > 0) {
        overOpen(m_layer, m_below, drains);
        overOpen(m_below, m_layer, opens);
        for (std::size_t p = 0; p < opens.size(); ++p) {
            if (opens[p])
                m_active[std::size_t(m_activeOf[p])].opensAbove = true;
        }
    } else {
        drains.assign(std::size_t(m_layer.count), 0); // the plate seals the bottom layer
    }

    // Regions of this layer join the cavities of the regions below that they overlap.
    const std::size_t m = m_active.size();
    const std::size_t n = std::size_t(m_layer.count);
    m_parent.resize(m + n);
    for (std::size_t i = 0; i < m + n; ++i)
        m_parent[i] = int(i);
    const auto root = [this](int i) {
        while (m_parent[std::size_t(i)] != i) {
            m_parent[std::size_t(i)] = m_parent[std::size_t(m_parent[std::size_t(i)])];
            i = m_parent[std::size_t(i)];
        }
        return i;
    };
    if (m > 0 && n > 0) {
        std::size_t k = 0;
        const PixelRuns& below = m_below.walled;
        for (std::size_t i = 0; i < m_layer.walled.size(); ++i) {
            const PixelRun& w = m_layer.walled[i];
            while (k < below.size()
                && (below[k].row < w.row || (below[k].row == w.row && below[k].to <= w.from)))
                ++k;
            for (std::size_t j = k;
                 j < below.size() && below[j].row == w.row && below[j].from < w.to; ++j) {
                const int a = root(m_activeOf[std::size_t(m_below.label[j])]);
                const int b = root(int(m + std::size_t(m_layer.label[i])));
                if (a != b)
                    m_parent[std::size_t(std::max(a, b))] = std::min(a, b);
            }
        }
    }

    m_merged.clear();
    m_mergedOf.assign(m + n, -1);
    std::vector<char> continues;
    for (std::size_t i = 0; i < m + n; ++i) {
        Cavity cavity;
        if (i < m) {
            cavity = m_active[i];
        } else {
            const std::size_t c = i - m;
            cavity = { layer, layer, m_layer.pixels[c], m_layer.sumX[c], m_layer.sumY[c],
                m_layer.pixels[c], m_layer.pixels[c], drains[c] != 0, false };
        }
        const std::size_t r = std::size_t(root(int(i)));
        if (m_mergedOf[r] < 0) {
            m_mergedOf[r] = int(m_merged.size());
            m_merged.push_back(cavity);
            continues.push_back(0);
        } else {
            combine(m_merged[std::size_t(m_mergedOf[r])], cavity);
        }
        if (i >= m)
            continues[std::size_t(m_mergedOf[r])] = 1;
    }

    m_active.clear();
    std::vector<int> activeIndex(m_merged.size(), -1);
    for (std::size_t k = 0; k < m_merged.size(); ++k) {
        if (continues[k]) {
            activeIndex[k] = int(m_active.size());
            m_active.push_back(m_merged[k]);
        } else {
            Cavity done = m_merged[k];
            done.bottomX /= double(done.bottomPixels);
            done.bottomY /= double(done.bottomPixels);
            m_done(done);
        }
    }
    m_activeOf.resize(n);
    for (std::size_t c = 0; c < n; ++c)
        m_activeOf[c] = activeIndex[std::size_t(m_mergedOf[std::size_t(root(int(m + c)))])];
    std::swap(m_below, m_layer);
}

void CavityTracker::finish()
{
    for (Cavity& cavity : m_active) {
        cavity.opensAbove = true;
        cavity.bottomX /= double(cavity.bottomPixels);
        cavity.bottomY /= double(cavity.bottomPixels);
        m_done(cavity);
    }
    m_active.clear();
    m_activeOf.clear();
}
