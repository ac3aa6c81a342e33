// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODELBAY_SUPPORTS_SUPPORTPLAN_H
#define MODELBAY_SUPPORTS_SUPPORTPLAN_H

#include <vector>

// Models and supports travel as triangle soups in plate coordinates: 9 floats per triangle
// (three corners x, y, z in mm), corners counter-clockwise seen from outside, z up from the plate.
using TriangleSoup = std::vector<float>;

struct SupportSettings {
    enum class Style { Pillars, Branching };
    // Downward faces tilted further than this from vertical need supports: a wall is 0°, a
    // ceiling 90°.
    double overhangAngleDeg = 45.0;
    double density = 10.0; // support points per cm² of overhanging surface
    double contactDiameterMm = 0.4;
    double shaftDiameterMm = 1.0;
    double liftMm = 5.0; // the model's lowest point above the plate
    double padMm = 1.0; // thickness of the pad that joins the feet on the plate
    Style style = Style::Pillars;
};

// Where a support touches the model.
struct SupportPoint {
    enum class Reason { LowestPoint, Overhang, Island, User };
    float x, y, z;
    Reason reason;
};

// An island that slicing reported: the centroid of the region and the height of the layer it
// appeared in, in the same coordinates as the model that was sliced.
struct IslandHint {
    double x, y, z;
    double areaMm2;
};

// One support as built: where it touches the model and where it stands.
struct SupportFoot {
    float contact[3];
    float foot[3];
    bool onModel; // on the model below; otherwise on the pad
};

struct SupportPlan {
    double liftMm = 0; // how far the model moved up; add it to every z of the model
    std::vector<SupportPoint> points; // on the lifted model
    std::vector<SupportFoot> supports; // one per point that needed one
    TriangleSoup geometry; // cones, shafts, branches, feet and pad
};

#endif
