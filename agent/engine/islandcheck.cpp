// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "islandcheck.h"

#include <algorithm>
#include <utility>

namespace {

// Lower layer first, then by y and x; the size only makes the order of twins certain.
bool lower(const LayerIsland& a, const LayerIsland& b)
{
    if (a.layer != b.layer)
        return a.layer < b.layer;
    if (a.region.y != b.region.y)
        return a.region.y < b.region.y;
    if (a.region.x != b.region.x)
        return a.region.x < b.region.x;
    return a.region.pixels < b.region.pixels;
}

} // namespace

IslandCheck::IslandCheck(std::size_t kept)
    : m_kept(kept)
{
}

void IslandCheck::layerDone(Worker& worker, int layer, int layerCount, bool continues)
{
    // The bottom layer rests on the plate.
    if (layer > 0) {
        if (worker.previousLayer == layer - 1) {
            check(worker, layer, worker.runs, worker.previous);
        } else {
            PixelRuns below;
            bool haveBelow = false;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                Seam& seam = m_seams[layer];
                if (seam.haveBelow) {
                    below = std::move(seam.below);
                    haveBelow = true;
                    m_seams.erase(layer);
                } else {
                    seam.layer = worker.runs;
                    seam.haveLayer = true;
                }
            }
            if (haveBelow)
                check(worker, layer, worker.runs, below);
        }
    }
    if (!continues && layer + 1 < layerCount) {
        PixelRuns above;
        bool haveAbove = false;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            Seam& seam = m_seams[layer + 1];
            if (seam.haveLayer) {
                above = std::move(seam.layer);
                haveAbove = true;
                m_seams.erase(layer + 1);
            } else {
                seam.below = worker.runs;
                seam.haveBelow = true;
            }
        }
        if (haveAbove)
            check(worker, layer + 1, above, worker.runs);
    }
    std::swap(worker.previous, worker.runs);
    worker.previousLayer = layer;
}

void IslandCheck::check(Worker& worker, int layer, const PixelRuns& runs, const PixelRuns& below)
{
    worker.found.clear();
    worker.finder.find(runs, below, worker.found);
    if (worker.found.empty())
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_count += (long long)worker.found.size();
    for (const IslandRegion& region : worker.found) {
        const LayerIsland island { layer, region };
        if (m_islands.size() < m_kept) {
            m_islands.push_back(island);
            std::push_heap(m_islands.begin(), m_islands.end(), lower);
        } else if (!m_islands.empty() && lower(island, m_islands.front())) {
            std::pop_heap(m_islands.begin(), m_islands.end(), lower);
            m_islands.back() = island;
            std::push_heap(m_islands.begin(), m_islands.end(), lower);
        }
    }
}

std::vector<LayerIsland> IslandCheck::islands()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<LayerIsland> sorted = m_islands;
    std::sort_heap(sorted.begin(), sorted.end(), lower);
    return sorted;
}

long long IslandCheck::count()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_count;
}
