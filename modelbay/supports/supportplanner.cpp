// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "supportplanner.h"
#include "meshgrid.h"
#include "supportgeometry.h"
#include "supportpoints.h"
#include "supportprogress.h"

bool planSupports(const TriangleSoup& model, const std::vector<IslandHint>& islands,
    const SupportSettings& settings, SupportPlan& plan, const std::function<void(int)>& progress,
    const std::atomic<bool>* cancel)
{
    SupportProgress steps(progress, cancel);
    steps.stage(0, 10);
    const MeshGrid grid(model);
    if (steps.cancelled())
        return false;
    // Placing the points is most of the work on a large model.
    steps.window(10, 80);
    std::vector<SupportPoint> points;
    if (!placeSupportPoints(model, grid, islands, settings, steps, points))
        return false;
    steps.window(80, 100);
    plan.points = points;
    return buildSupportGeometry(grid, points, settings, steps, plan);
}

bool buildSupports(const TriangleSoup& model, const std::vector<SupportPoint>& points,
    const SupportSettings& settings, SupportPlan& plan, const std::function<void(int)>& progress,
    const std::atomic<bool>* cancel)
{
    SupportProgress steps(progress, cancel);
    steps.stage(0, 30);
    const MeshGrid grid(model);
    if (steps.cancelled())
        return false;
    steps.window(30, 100);
    plan.points = points;
    return buildSupportGeometry(grid, points, settings, steps, plan);
}
