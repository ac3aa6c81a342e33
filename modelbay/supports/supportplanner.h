// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODELBAY_SUPPORTS_SUPPORTPLANNER_H
#define MODELBAY_SUPPORTS_SUPPORTPLANNER_H

#include "supportplan.h"

#include <atomic>
#include <functional>

// Automatic supports for a model (a triangle soup in plate coordinates): places the support
// points (lowest points, overhangs, the islands of the last slice) and builds the supports under
// them, the model lifted onto a pad. plan.points stay in the model's own coordinates, so the
// editor can let the user add or remove points and build again with buildSupports().
// Runs on the caller's thread; `progress` gets whole percentages on that thread, and setting
// `cancel` stops the run soon: then false, and the plan is not to be used.
bool planSupports(const TriangleSoup& model, const std::vector<IslandHint>& islands,
    const SupportSettings& settings, SupportPlan& plan,
    const std::function<void(int percent)>& progress = {},
    const std::atomic<bool>* cancel = nullptr);

// Builds the supports under the given points only (model coordinates): after the user edited
// them. plan.points becomes `points`.
bool buildSupports(const TriangleSoup& model, const std::vector<SupportPoint>& points,
    const SupportSettings& settings, SupportPlan& plan,
    const std::function<void(int percent)>& progress = {},
    const std::atomic<bool>* cancel = nullptr);

#endif
