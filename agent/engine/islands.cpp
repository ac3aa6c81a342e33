// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "islands.h"

void curedRuns(
    const std::uint8_t* pixels, int width, int height, std::ptrdiff_t stride, PixelRuns& runs)
{
    runs.clear();
    for (int r = 0; r < height; ++r) {
        const std::uint8_t* row = pixels + std::ptrdiff_t(r) * stride;
        int c = 0;
        while (c < width) {
            while (c < width && row[c] < 128)
                ++c;
            const int from = c;
            while (c < width && row[c] >= 128)
                ++c;
            if (c > from)
                runs.push_back({ r, from, c });
        }
    }
}

int IslandFinder::root(int run)
{
    while (m_parent[std::size_t(run)] != run) {
        // Path halving keeps the trees flat without a second pass.
        m_parent[std::size_t(run)] = m_parent[std::size_t(m_parent[std::size_t(run)])];
        run = m_parent[std::size_t(run)];
    }
    return run;
}

void IslandFinder::join(int a, int b)
{
    a = root(a);
    b = root(b);
    if (a != b)
        m_parent[std::size_t(a > b ? a : b)] = a < b ? a : b;
}

void IslandFinder::find(
    const PixelRuns& layer, const PixelRuns& below, std::vector<IslandRegion>& found)
{
    const std::size_t n = layer.size();
    if (n == 0)
        return;
    m_parent.resize(n);
    m_resting.assign(n, 0);
    for (std::size_t i = 0; i < n; ++i)
        m_parent[i] = int(i);

    // Runs of one row that touch, and runs of neighbouring rows that overlap or meet at a corner
    // (columns [from - 1, to] of the row above), belong to one region.
    std::size_t rowBegin = 0; // first run of the current run's row
    std::size_t aboveBegin = 0, aboveEnd = 0; // runs of the row just above it
    for (std::size_t i = 0; i < n; ++i) {
        const PixelRun& run = layer[i];
        if (i == 0 || layer[i - 1].row != run.row) {
            const bool adjacent = i > 0 && layer[i - 1].row == run.row - 1;
            aboveBegin = adjacent ? rowBegin : i;
            aboveEnd = i;
            rowBegin = i;
        } else if (layer[i - 1].to >= run.from) {
            join(int(i - 1), int(i));
        }
        // Runs of a row grow to the right, so runs above that end before this one's reach end
        // before every later run's reach too.
        while (aboveBegin < aboveEnd && layer[aboveBegin].to < run.from)
            ++aboveBegin;
        for (std::size_t j = aboveBegin; j < aboveEnd && layer[j].from <= run.to; ++j)
            join(int(j), int(i));
    }

    // A region rests when one of its runs shares a pixel with a run of the layer below.
    std::size_t b = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const PixelRun& run = layer[i];
        while (b < below.size()
            && (below[b].row < run.row || (below[b].row == run.row && below[b].to <= run.from)))
            ++b;
        for (std::size_t k = b;
             k < below.size() && below[k].row == run.row && below[k].from < run.to; ++k) {
            if (below[k].to > run.from) {
                m_resting[std::size_t(root(int(i)))] = 1;
                break;
            }
        }
    }

    m_sumX.assign(n, 0);
    m_sumY.assign(n, 0);
    m_pixels.assign(n, 0);
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t r = std::size_t(root(int(i)));
        if (m_resting[r])
            continue;
        const PixelRun& run = layer[i];
        const long long count = run.to - run.from;
        m_pixels[r] += count;
        m_sumX[r] += double(count) * (double(run.from) + double(run.to)) / 2.0;
        m_sumY[r] += double(count) * (double(run.row) + 0.5);
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (m_parent[i] == int(i) && !m_resting[i] && m_pixels[i] > 0)
            found.push_back(
                { m_sumX[i] / double(m_pixels[i]), m_sumY[i] / double(m_pixels[i]), m_pixels[i] });
    }
}

std::vector<int> peelWarningLayers(
    const std::vector<long long>& curedPixels, double pixelAreaMm2, double thresholdMm2)
{
    std::vector<int> layers;
    for (std::size_t i = 1; i < curedPixels.size(); ++i) {
        if (double(curedPixels[i] - curedPixels[i - 1]) * pixelAreaMm2 > thresholdMm2)
            layers.push_back(int(i));
    }
    return layers;
}
