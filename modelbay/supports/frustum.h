// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODELBAY_SUPPORTS_FRUSTUM_H
#define MODELBAY_SUPPORTS_FRUSTUM_H

#include "supportplan.h"

// Closed solids for supports, appended to a soup with their faces looking outward.

// A truncated cone from the disc of radius `topRadius` around `top` to the disc of radius
// `bottomRadius` around `bottom` (any direction; a cylinder when the radii agree).
void appendFrustum(TriangleSoup& soup, const double top[3], double topRadius,
    const double bottom[3], double bottomRadius, int sides = 12);

// An axis-aligned box.
void appendBox(
    TriangleSoup& soup, double x0, double y0, double z0, double x1, double y1, double z1);

#endif
