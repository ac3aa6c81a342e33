// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_ENGINE_ELEPHANTFOOT_H
#define AGENT_ENGINE_ELEPHANTFOOT_H

#include "raster.h"

#include <vector>

// The first layers, exposed longest, cure wider than their outline: their outline is moved
// inward to make up for it. Works on the closed outline of a layer (segments chained end to
// start, as the cut and OutlineClosure leave them): the outlines are united by the nonzero rule,
// moved inward by `distance` with mitred corners (holes grow as much), and every part narrower
// than twice the distance, which the shrink would erase, is kept as it was: what the inward
// and back outward move does not give back. `yScale` turns y pixels into x pixels (pixels that
// are not square); `distance` is in x pixels. The segments are replaced by the new outline.
class ElephantFoot {
public:
    static void shrink(std::vector<Segment>& segments, double distance, double yScale = 1.0);
};

// How far the outline of `layer` moves in: all of `distance` on layer 0, fading linearly to
// nothing at layer `layers` (at least 1).
double elephantFootAt(double distance, int layer, int layers);

#endif
