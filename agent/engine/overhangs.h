// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_ENGINE_OVERHANGS_H
#define AGENT_ENGINE_OVERHANGS_H

#include "islands.h"
#include "runlabels.h"

#include <vector>

// A region of a layer that reaches farther out over uncured resin than the film can bridge,
// while joined to parts of the layer that do rest on the layer below. Pixel units.
struct OverhangRegion {
    double x, y; // centroid
    long long pixels;
    int width, height; // bounding box
};

// Finds the overhangs of a layer: its cured pixels farther than the bridging distance from
// every cured pixel of the layer below (centre to centre, in millimetres through the pixel size),
// joined through their 8 neighbours into regions of at least `minPixels`, leaving out those of
// an island (a region of the layer with no cured pixel below at all: the island check lists it).
// Keeps its scratch space between calls.
class OverhangFinder {
public:
    OverhangFinder(double pixelMmX, double pixelMmY, double bridgeMm, long long minPixels);

    // Appends the overhangs of `layer` to `found`.
    void find(const PixelRuns& layer, const PixelRuns& below, std::vector<OverhangRegion>& found);

private:
    // Removes from m_pieces what lies within reach of the runs of `row` of the layer below.
    void cut(const PixelRuns& below, int row, int reach);

    std::vector<int> m_reach; // per row offset: how many columns away the bridging reaches
    long long m_minPixels;
    std::vector<int> m_rowStart; // first run of each row of the layer below
    int m_firstRow = 0;
    std::vector<PixelRun> m_pieces;
    std::vector<PixelRun> m_kept;
    PixelRuns m_overhang;
    std::vector<int> m_source; // the layer's run each overhang run is part of
    RunLabels m_labels;
    RunLabels m_layerLabels;
};

#endif
