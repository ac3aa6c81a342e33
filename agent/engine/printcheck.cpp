// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "printcheck.h"
#include "platedocument.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// The film peels off a cured edge that overhangs uncured resin by up to about a millimetre.
constexpr double kBridgeMm = 1.0;
// Overhangs smaller than this are left to the edge's own strength.
constexpr double kMinOverhangMm2 = 1.0;
// Cavities smaller than this are pores of the model's surface, not pockets of resin.
constexpr double kMinCavityMm3 = 1.0;

} // namespace

PrintCheck::PrintCheck(double pixelUmX, double pixelUmY, double layerUm, std::size_t kept)
    : m_pixelMmX(pixelUmX / 1000.0)
    , m_pixelMmY(pixelUmY / 1000.0)
    , m_layerMm(layerUm / 1000.0)
    , m_kept(kept)
    , m_cavities([this](const Cavity& cavity) { cavityDone(cavity); })
    , m_overhangFinder(m_pixelMmX, m_pixelMmY, kBridgeMm,
          (long long)std::ceil(kMinOverhangMm2 / (m_pixelMmX * m_pixelMmY) - 1e-9))
{
}

void PrintCheck::layerDone(int layer, const PixelRuns& runs)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_waiting.emplace(layer, runs);
        if (m_checking)
            return;
        m_checking = true;
    }
    for (;;) {
        PixelRuns next;
        int index;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            const auto waiting = m_waiting.find(m_next);
            if (waiting == m_waiting.end()) {
                m_checking = false;
                return;
            }
            next = std::move(waiting->second);
            m_waiting.erase(waiting);
            index = m_next++;
        }
        check(index, std::move(next));
    }
}

void PrintCheck::check(int layer, PixelRuns runs)
{
    m_cavities.addLayer(runs);
    m_foundOverhangs.clear();
    if (layer > 0)
        m_overhangFinder.find(runs, m_below, m_foundOverhangs);
    for (const OverhangRegion& r : m_foundOverhangs)
        keep(m_overhangs, { layer, layer, r.x, r.y, r.pixels, r.width, r.height });
    m_below = std::move(runs);
}

void PrintCheck::cavityDone(const Cavity& cavity)
{
    const double voxelMm3 = m_pixelMmX * m_pixelMmY * m_layerMm;
    if (double(cavity.pixels) * voxelMm3 < kMinCavityMm3 || cavity.drainsBelow)
        return;
    const Found found { cavity.layerFrom, cavity.layerTo, cavity.bottomX, cavity.bottomY,
        cavity.opensAbove ? cavity.topPixels : cavity.pixels, 0, 0 };
    keep(cavity.opensAbove ? m_suctionCups : m_traps, found);
}

bool PrintCheck::lower(const Found& a, const Found& b)
{
    // Lower layer first, then by y and x; the size only makes the order of twins certain.
    if (a.layer != b.layer)
        return a.layer < b.layer;
    if (a.y != b.y)
        return a.y < b.y;
    if (a.x != b.x)
        return a.x < b.x;
    return a.pixels < b.pixels;
}

void PrintCheck::keep(Kept& kept, const Found& found)
{
    ++kept.count;
    if (kept.heap.size() < m_kept) {
        kept.heap.push_back(found);
        std::push_heap(kept.heap.begin(), kept.heap.end(), lower);
    } else if (!kept.heap.empty() && lower(found, kept.heap.front())) {
        std::pop_heap(kept.heap.begin(), kept.heap.end(), lower);
        kept.heap.back() = found;
        std::push_heap(kept.heap.begin(), kept.heap.end(), lower);
    }
}

void PrintCheck::report(
    PlateDocument& d, double centreX, double centreY, double scaleX, double scaleY)
{
    m_cavities.finish();
    const double areaMm2 = m_pixelMmX * m_pixelMmY;
    const auto sorted = [](Kept& kept) {
        std::vector<Found> list = kept.heap;
        std::sort_heap(list.begin(), list.end(), lower);
        return list;
    };
    const auto plateX = [&](double x) { return (x - centreX) / scaleX; };
    const auto plateY = [&](double y) { return (y - centreY) / scaleY; };
    // Cavities are marked at the middle of their lowest layer, where resin would drain.
    for (const Found& f : sorted(m_traps))
        d.resinTraps.push_back({ f.layer, f.layerTo, plateX(f.x), plateY(f.y),
            (f.layer + 0.5) * m_layerMm, double(f.pixels) * areaMm2 * m_layerMm / 1000.0 });
    for (const Found& f : sorted(m_suctionCups))
        d.suctionCups.push_back({ f.layer, f.layerTo, plateX(f.x), plateY(f.y),
            (f.layer + 0.5) * m_layerMm, double(f.pixels) * areaMm2 });
    for (const Found& f : sorted(m_overhangs))
        d.overhangs.push_back({ f.layer, plateX(f.x), plateY(f.y), (f.layer + 0.5) * m_layerMm,
            double(f.pixels) * areaMm2,
            std::max(double(f.span) * m_pixelMmX, double(f.spanY) * m_pixelMmY) });
    d.resinTrapCount = m_traps.count;
    d.suctionCupCount = m_suctionCups.count;
    d.overhangCount = m_overhangs.count;
}
