// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_ENGINE_ISLANDCHECK_H
#define AGENT_ENGINE_ISLANDCHECK_H

#include "islands.h"

#include <map>
#include <mutex>
#include <vector>

// A layer's island found while slicing, in pixel units of the layer image.
struct LayerIsland {
    int layer;
    IslandRegion region;
};

// Finds the islands of every layer while the workers slice, in the same pass as the images.
// Each layer is compared with the one below it. A worker that slices a run of layers keeps the
// runs of its previous layer itself; only where two workers meet (the first layer of a worker's
// group and the last one below it) the runs wait here until the other side arrives, so at most a
// few layers' runs are held at any time, whatever the order the workers finish in.
// Of the islands found it keeps only the lowest `kept` and counts the others, so a model of
// millions of islands takes no more memory than one of a few.
class IslandCheck {
public:
    explicit IslandCheck(std::size_t kept);

    // One per worker thread: the runs of its previous layer and the finder's scratch space.
    struct Worker {
        IslandFinder finder;
        PixelRuns runs;
        PixelRuns previous;
        int previousLayer = -1;
        std::vector<IslandRegion> found;
    };

    // Call after a worker has filled `worker.runs` with the runs of `layer`. `continues` tells
    // that the same worker slices layer + 1 next.
    void layerDone(Worker& worker, int layer, int layerCount, bool continues);

    // The lowest `kept` islands found, bottom layer first, then by y and x; call after the
    // workers have ended.
    std::vector<LayerIsland> islands();
    long long count(); // every island found

private:
    struct Seam {
        PixelRuns below; // the runs of the lower layer, once it is sliced
        PixelRuns layer; // the runs of the upper layer, once it is sliced
        bool haveBelow = false;
        bool haveLayer = false;
    };

    void check(Worker& worker, int layer, const PixelRuns& runs, const PixelRuns& below);

    std::mutex m_mutex;
    const std::size_t m_kept;
    std::map<int, Seam> m_seams; // by the upper layer
    std::vector<LayerIsland> m_islands; // a heap, the highest of the kept islands on top
    long long m_count = 0;
};

#endif
