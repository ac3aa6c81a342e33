// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODELBAY_SUPPORTS_SUPPORTGEOMETRY_H
#define MODELBAY_SUPPORTS_SUPPORTGEOMETRY_H

#include "supportplan.h"

class MeshGrid;
class SupportProgress;

// Builds a support under each point (model coordinates) and fills plan.liftMm, plan.supports and
// plan.geometry, lifted so that the model's lowest point stands liftMm above the plate:
// - a cone whose narrow end (the contact diameter) reaches into the model, widening to the shaft;
// - a shaft straight down to the model below (found by a ray) or to the pad on the plate;
// - in the branching style, shafts close to each other lean together and meet on one trunk,
//   where the way down to the plate is free;
// - a flared foot on the pad and a pad under all feet on the plate.
// A point with the model right under it needs nothing and is left out; a point inside the model
// (its ray meets the model from inside first) too. False when cancelled.
bool buildSupportGeometry(const MeshGrid& grid, const std::vector<SupportPoint>& points,
    const SupportSettings& settings, SupportProgress& progress, SupportPlan& plan);

#endif
