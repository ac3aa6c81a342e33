// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "supportgeometry.h"
#include "frustum.h"
#include "meshgrid.h"
#include "supportprogress.h"

#include <algorithm>
#include <cmath>

namespace {

// A point that still needs its way down to the pad.
struct PadBound {
    double contact[3]; // model coordinates
    double coneBottom[3];
    bool done = false;
};

struct Builder {
    const MeshGrid& grid;
    const SupportSettings& settings;
    SupportPlan& plan;
    double lift; // model coordinates to plate coordinates
    double padTop; // in model coordinates
    double contactRadius;
    double shaftRadius;
    double padX0 = 1e300, padY0 = 1e300, padX1 = -1e300, padY1 = -1e300;

    // Everything is worked out in model coordinates; the soup gets plate coordinates.
    void frustum(const double* top, double topRadius, const double* bottom, double bottomRadius)
    {
        const double t[3] = { top[0], top[1], top[2] + lift };
        const double b[3] = { bottom[0], bottom[1], bottom[2] + lift };
        appendFrustum(plan.geometry, t, topRadius, b, bottomRadius);
    }

    void foot(const double* contact, const double* at, bool onModel)
    {
        plan.supports.push_back(
            { { float(contact[0]), float(contact[1]), float(contact[2] + lift) },
                { float(at[0]), float(at[1]), float(at[2] + lift) }, onModel });
    }

    // A shaft that ends in the pad, with a flared foot, and the pad made wide enough for it.
    void standOnPad(const double* from, double radius)
    {
        const double footTop[3] = { from[0], from[1], padTop + 2 * radius };
        const double inPad[3] = { from[0], from[1], padTop - (settings.padMm / 2) };
        if (from[2] > footTop[2])
            frustum(from, radius, footTop, radius);
        frustum(footTop, radius, inPad, 2 * radius);
        const double reach = 2 * radius + 1.0;
        padX0 = std::min(padX0, from[0] - reach);
        padY0 = std::min(padY0, from[1] - reach);
        padX1 = std::max(padX1, from[0] + reach);
        padY1 = std::max(padY1, from[1] + reach);
    }

    // Whether the way straight down from every point of the segment is free of the model.
    bool clearBelow(const double* a, const double* b) const
    {
        for (double f : { 0.0, 0.25, 0.5, 0.75, 1.0 }) {
            double hit;
            const double x = a[0] + f * (b[0] - a[0]), y = a[1] + f * (b[1] - a[1]);
            const double z = a[2] + f * (b[2] - a[2]);
            if (grid.castDown(x, y, z + shaftRadius, hit))
                return false;
        }
        return true;
    }

    // Pillars close together share one trunk: each leans at 45° towards the middle of its group
    // and meets the trunk there. Members whose way is blocked keep their own shaft.
    void branch(std::vector<PadBound>& bound)
    {
        const double reach = 6 * settings.shaftDiameterMm;
        const double lowestJoin = padTop + 4 * shaftRadius + 0.5;
        for (std::size_t seed = 0; seed < bound.size(); ++seed) {
            if (bound[seed].done)
                continue;
            std::vector<std::size_t> group;
            double cx = 0, cy = 0;
            for (std::size_t j = seed; j < bound.size() && group.size() < 8; ++j) {
                const double dx = bound[j].coneBottom[0] - bound[seed].coneBottom[0];
                const double dy = bound[j].coneBottom[1] - bound[seed].coneBottom[1];
                if (bound[j].done || dx * dx + dy * dy > reach * reach)
                    continue;
                group.push_back(j);
                cx += bound[j].coneBottom[0];
                cy += bound[j].coneBottom[1];
            }
            if (group.size() < 2)
                continue;
            cx /= double(group.size());
            cy /= double(group.size());
            std::vector<std::size_t> members;
            std::vector<double> joins;
            for (std::size_t j : group) {
                const double* c = bound[j].coneBottom;
                const double z = c[2] - std::hypot(c[0] - cx, c[1] - cy);
                const double join[3] = { cx, cy, z };
                if (z >= lowestJoin && clearBelow(c, join)) {
                    members.push_back(j);
                    joins.push_back(z);
                }
            }
            if (members.size() < 2)
                continue;
            const double top[3] = { cx, cy, *std::max_element(joins.begin(), joins.end()) };
            double hit;
            if (grid.castDown(cx, cy, top[2] + shaftRadius, hit))
                continue;
            const double trunkRadius = shaftRadius * 1.25;
            for (std::size_t m = 0; m < members.size(); ++m) {
                PadBound& b = bound[members[m]];
                const double join[3] = { cx, cy, joins[m] };
                frustum(b.coneBottom, shaftRadius, join, shaftRadius);
                const double at[3] = { cx, cy, padTop };
                foot(b.contact, at, false);
                b.done = true;
            }
            standOnPad(top, trunkRadius);
        }
    }
};

} // namespace

bool buildSupportGeometry(const MeshGrid& grid, const std::vector<SupportPoint>& points,
    const SupportSettings& settings, SupportProgress& progress, SupportPlan& plan)
{
    progress.stage(0, 100);
    const double contactRadius = std::max(0.05, settings.contactDiameterMm / 2);
    const double shaftRadius = std::max(contactRadius, settings.shaftDiameterMm / 2);
    const double coneLength = std::max(1.0, 3 * (shaftRadius - contactRadius));
    const double pad = std::max(0.0, settings.padMm);
    // The cone and the flared foot need room between the pad and the model.
    const double lift = std::max(settings.liftMm, pad + coneLength + 4 * shaftRadius);
    plan.liftMm = lift - grid.minZ();
    plan.supports.clear();
    plan.geometry.clear();
    Builder b { grid, settings, plan, plan.liftMm, grid.minZ() - lift + pad, contactRadius,
        shaftRadius };
    // How far the narrow end reaches into the model: deep enough to share a layer or two with
    // the part it holds, however that part's first layer falls.
    const double reachIn = std::max(contactRadius, settings.contactDiameterMm);

    std::vector<PadBound> bound;
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (!progress.step(i, points.size() * 2))
            return false;
        const SupportPoint& p = points[i];
        const double contact[3] = { p.x, p.y, p.z };
        const double tip[3] = { p.x, p.y, p.z + reachIn };
        const double coneBottom[3] = { p.x, p.y, p.z - coneLength };
        double hit;
        bool facingUp = false;
        if (grid.castDown(p.x, p.y, p.z - 1e-4, hit, &facingUp)) {
            const double gap = p.z - hit;
            if (!facingUp || gap < 0.1)
                continue; // inside the model, or resting on it already
            // The shaft reaches into the part below, but never through a thin one: a stub under
            // it would hang in the air.
            double under;
            const double depth = grid.castDown(p.x, p.y, hit - 1e-4, under)
                ? std::min(contactRadius, (hit - under) / 2)
                : contactRadius;
            const double end[3] = { p.x, p.y, hit - depth };
            const double at[3] = { p.x, p.y, hit };
            if (gap < coneLength + shaftRadius) {
                b.frustum(tip, contactRadius, end, std::min(shaftRadius, contactRadius + gap / 3));
            } else {
                b.frustum(tip, contactRadius, coneBottom, shaftRadius);
                b.frustum(coneBottom, shaftRadius, end, shaftRadius);
            }
            b.foot(contact, at, true);
            continue;
        }
        b.frustum(tip, contactRadius, coneBottom, shaftRadius);
        PadBound pb;
        std::copy(contact, contact + 3, pb.contact);
        std::copy(coneBottom, coneBottom + 3, pb.coneBottom);
        bound.push_back(pb);
    }

    if (settings.style == SupportSettings::Style::Branching) {
        // Highest first: their branches have the most room to lean.
        std::sort(bound.begin(), bound.end(),
            [](const PadBound& a, const PadBound& c) { return a.coneBottom[2] > c.coneBottom[2]; });
        b.branch(bound);
    }
    for (std::size_t i = 0; i < bound.size(); ++i) {
        if (!progress.step(points.size() + i, points.size() + bound.size()))
            return false;
        if (bound[i].done)
            continue;
        b.standOnPad(bound[i].coneBottom, shaftRadius);
        const double at[3] = { bound[i].contact[0], bound[i].contact[1], b.padTop };
        b.foot(bound[i].contact, at, false);
    }
    if (b.padX1 > b.padX0 && pad > 0)
        appendBox(plan.geometry, b.padX0, b.padY0, 0, b.padX1, b.padY1, pad); // on the plate
    return progress.step(1, 1);
}
