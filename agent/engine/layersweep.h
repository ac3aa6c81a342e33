// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_ENGINE_LAYERSWEEP_H
#define AGENT_ENGINE_LAYERSWEEP_H

#include "plate.h"

#include <cstddef>
#include <vector>

// The layers a triangle may cross: from its lowest to its highest corner, with one layer of
// slack on each side (the cut itself decides exactly), clamped to the job's layers.
struct LayerSpan {
    int first;
    int last;
    const float* triangle; // 9 floats inside one of the plate's meshes
};

// Every triangle of the plate that reaches a layer, once, sorted by its first layer. Its size
// grows with the triangles only, never with the layers they span.
std::vector<LayerSpan> layerSpans(const Plate& plate, double layerHeight, int layerCount);

// Walks up through the layers of a band, keeping the triangles that may cross the current one:
// each triangle enters at its first layer and leaves after its last.
class LayerSweep {
public:
    // spans as layerSpans() gives them; the sweep starts at layer `start`.
    LayerSweep(const std::vector<LayerSpan>& spans, int start);

    // The triangles that may cross `layer`, which is never below the one before.
    const std::vector<const float*>& advance(int layer);

private:
    const std::vector<LayerSpan>& m_spans;
    std::size_t m_next = 0; // the first span not yet entered
    std::vector<const LayerSpan*> m_active;
    std::vector<const float*> m_triangles;
};

#endif
