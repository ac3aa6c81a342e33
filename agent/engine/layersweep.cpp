// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "layersweep.h"

#include <algorithm>
#include <cmath>

std::vector<LayerSpan> layerSpans(const Plate& plate, double layerHeight, int layerCount)
{
    std::size_t triangles = 0;
    for (const PlateItem& item : plate.items)
        triangles += item.mesh.triangleCount();
    std::vector<LayerSpan> spans;
    spans.reserve(triangles);
    for (const PlateItem& item : plate.items) {
        for (std::size_t i = 0; i < item.mesh.xyz.size(); i += 9) {
            const float* t = item.mesh.xyz.data() + i;
            const double low = std::min({ t[2], t[5], t[8] });
            const double high = std::max({ t[2], t[5], t[8] });
            // Layer i is cut at (i + 0.5) * layerHeight.
            const int first = std::max(0, int(std::floor(low / layerHeight - 0.5)) - 1);
            const int last
                = std::min(layerCount - 1, int(std::floor(high / layerHeight - 0.5)) + 1);
            if (first <= last)
                spans.push_back({ first, last, t });
        }
    }
    std::sort(spans.begin(), spans.end(),
        [](const LayerSpan& a, const LayerSpan& b) { return a.first < b.first; });
    return spans;
}

LayerSweep::LayerSweep(const std::vector<LayerSpan>& spans, int start)
    : m_spans(spans)
{
    // The triangles that began below the band and still reach into it.
    for (; m_next < m_spans.size() && m_spans[m_next].first < start; ++m_next) {
        if (m_spans[m_next].last >= start)
            m_active.push_back(&m_spans[m_next]);
    }
}

const std::vector<const float*>& LayerSweep::advance(int layer)
{
    for (; m_next < m_spans.size() && m_spans[m_next].first <= layer; ++m_next)
        m_active.push_back(&m_spans[m_next]);
    m_active.erase(std::remove_if(m_active.begin(), m_active.end(),
                       [layer](const LayerSpan* span) { return span->last < layer; }),
        m_active.end());
    m_triangles.clear();
    for (const LayerSpan* span : m_active)
        m_triangles.push_back(span->triangle);
    return m_triangles;
}
