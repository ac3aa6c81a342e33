// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_ENGINE_CAVITIES_H
#define AGENT_ENGINE_CAVITIES_H

#include "islands.h"
#include "runlabels.h"

#include <functional>
#include <vector>

// A hollow of uncured resin walled in by cured material at its sides in every layer it spans,
// joined from layer to layer where its pixels overlap. Pixel units of the layer images.
struct Cavity {
    int layerFrom;
    int layerTo;
    long long pixels; // its volume in voxels
    double bottomX, bottomY; // centroid of its lowest layer: where a drain hole goes
    long long bottomPixels;
    long long topPixels; // area of its highest layer
    bool drainsBelow; // some pixel of it lies over uncured resin that reaches the open vat
    bool opensAbove; // some pixel of it lies under such resin, or it reaches the last layer
};

// Follows cavities upward through the layers, given one at a time from the bottom. Each layer's
// uncured pixels are split into the resin open to the vat (connected to the image's border) and
// the walled-in regions; a walled-in region joins those of the layer below that it overlaps, and
// learns whether it lies over or under open resin. A cavity is handed to `done` as soon as a
// layer no longer continues it, so only the cavities of the last layer are held.
// Below the bottom layer is the build plate, which seals what rests on it.
class CavityTracker {
public:
    explicit CavityTracker(std::function<void(const Cavity&)> done);

    // The cured runs of the next layer, bottom layer first.
    void addLayer(const PixelRuns& cured);
    // Above the last layer is the open vat: every cavity still followed opens there.
    void finish();

private:
    struct Layer {
        PixelRuns open; // uncured, connected to the border (only rows that have cured pixels)
        PixelRuns walled; // uncured, walled in
        std::vector<int> label; // of each walled run
        int count = 0; // walled regions
        std::vector<long long> pixels; // per walled region
        std::vector<double> sumX, sumY;
        int firstRow = 0, lastRow = -1; // rows with cured pixels
    };

    void split(const PixelRuns& cured, Layer& layer);
    // Marks in `flags` each region of `layer` with a walled run over open resin of `other`.
    static void overOpen(const Layer& layer, const Layer& other, std::vector<char>& flags);

    std::function<void(const Cavity&)> m_done;
    RunLabels m_labels;
    Layer m_below;
    Layer m_layer;
    PixelRuns m_uncured;
    int m_layerIndex = 0;
    std::vector<Cavity> m_active; // the cavities that reach the previous layer
    std::vector<int> m_activeOf; // the previous layer's regions: their cavity in m_active
    std::vector<int> m_parent; // union-find over m_active then the new layer's regions
    std::vector<Cavity> m_merged;
    std::vector<int> m_mergedOf;
};

#endif
