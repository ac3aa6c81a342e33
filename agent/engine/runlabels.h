// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_ENGINE_RUNLABELS_H
#define AGENT_ENGINE_RUNLABELS_H

#include "islands.h"

#include <vector>

// Labels the connected regions of a list of runs (sorted by row, then column). Runs of
// neighbouring rows join when they share a column, and with `diagonal` also when they meet at a
// corner: cured pixels join through all 8 neighbours, uncured resin flows only through the 4
// sides of a pixel. Keeps its scratch space between calls.
class RunLabels {
public:
    // Sets labels()[i] to the region of runs[i], numbered 0, 1, ... in the order of the regions'
    // first runs; returns the number of regions.
    int label(const PixelRuns& runs, bool diagonal);
    const std::vector<int>& labels() const { return m_labels; }

private:
    int root(int run);

    std::vector<int> m_parent;
    std::vector<int> m_labels;
};

#endif
