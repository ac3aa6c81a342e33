// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODELBAY_SUPPORTS_SUPPORTPOINTS_H
#define MODELBAY_SUPPORTS_SUPPORTPOINTS_H

#include "supportplan.h"

class MeshGrid;
class SupportProgress;

// Where the model needs holding, in the model's own coordinates:
// - its lowest points: every corner of the surface with no lower corner next to it, where a
//   part of the model begins in mid-air (on a flat bottom, one point per spacing);
// - downward faces tilted more than the overhang angle from vertical, sampled on a grid whose
//   spacing follows the density;
// - every island that slicing reported and that no point holds yet.
// False when cancelled.
bool placeSupportPoints(const TriangleSoup& model, const MeshGrid& grid,
    const std::vector<IslandHint>& islands, const SupportSettings& settings,
    SupportProgress& progress, std::vector<SupportPoint>& points);

// Distance between neighbouring points on an overhanging surface, from the density.
double supportSpacingMm(const SupportSettings& settings);

#endif
