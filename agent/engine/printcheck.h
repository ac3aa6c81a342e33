// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_ENGINE_PRINTCHECK_H
#define AGENT_ENGINE_PRINTCHECK_H

#include "cavities.h"
#include "islands.h"
#include "overhangs.h"

#include <map>
#include <mutex>
#include <vector>

struct PlateDocument;

// Finds, while the workers slice, the resin traps, suction cups and overhangs of a job from the
// cured runs of its layers. Workers hand in layers in any order; whichever worker hands in the
// next layer due goes through every waiting layer in order, so only the layers sliced ahead of
// the lowest unfinished one wait, and each layer is compared with the one below it.
// Of each kind it keeps only the lowest `kept` and counts the others.
class PrintCheck {
public:
    PrintCheck(double pixelUmX, double pixelUmY, double layerUm, std::size_t kept);

    // The cured runs of `layer`; every layer from 0 up must come once.
    void layerDone(int layer, const PixelRuns& runs);

    // After the last layer: fills the document's traps, suction cups and overhangs. The pixel
    // (c, r) has its centre at plate x = (c + 0.5 - centreX) / scaleX, likewise y.
    void report(
        PlateDocument& document, double centreX, double centreY, double scaleX, double scaleY);

private:
    struct Found {
        int layer;
        int layerTo;
        double x, y;
        long long pixels; // area or volume in pixels or voxels
        int span; // overhangs: the width of the region, pixels
        int spanY; // and its height
    };
    struct Kept {
        std::vector<Found> heap; // the highest of the kept on top
        long long count = 0;
    };

    static bool lower(const Found& a, const Found& b);
    void check(int layer, PixelRuns runs);
    void keep(Kept& kept, const Found& found);
    void cavityDone(const Cavity& cavity);

    const double m_pixelMmX, m_pixelMmY, m_layerMm;
    const std::size_t m_kept;
    std::mutex m_mutex;
    std::map<int, PixelRuns> m_waiting; // layers handed in ahead of m_next
    int m_next = 0;
    bool m_checking = false; // a worker is going through the waiting layers

    // Used only by the worker that checks.
    CavityTracker m_cavities;
    OverhangFinder m_overhangFinder;
    std::vector<OverhangRegion> m_foundOverhangs;
    PixelRuns m_below;
    Kept m_traps, m_suctionCups, m_overhangs;
};

#endif
