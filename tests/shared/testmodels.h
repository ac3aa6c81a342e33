// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef TESTS_SHARED_TESTMODELS_H
#define TESTS_SHARED_TESTMODELS_H

#include <QString>

#include <vector>

// Models that fail to print without supports, as triangle soups in plate coordinates (9 floats
// per triangle, mm, faces looking outward, corners shared bit for bit within each part). Each
// has a part that begins in mid-air, where slicing finds an island; `hanging` names where.
struct TestModel {
    QString name;
    std::vector<float> triangles;
    float hanging[3]; // the lowest point of a part that starts in mid-air
};

// A T tilted by 30° in its plane, standing on a corner of its stem: one end of the bar hangs.
TestModel tiltedTShape();
// A sphere of 8 mm radius 3 mm above the plate: its bottom pole hangs.
TestModel liftedSphere();
// A half ring tilted by 20°, standing on one foot: the other foot hangs.
TestModel tiltedArch();
// A wall with a slab at its top that leans out and down at `degrees` from vertical; its free
// end hangs. At 30° its underside needs no support by the overhang rule, at 60° it does.
TestModel ledge(double degrees);
// A stem under a flat cap whose rim hangs down below the cap: the rim's edge hangs all round.
TestModel mushroom();

std::vector<TestModel> allTestModels();

// Two blocks of 1 mm, 3 mm above the plate and 0.5 mm apart: two parts that hang side by side,
// closer than the points on one flat bottom. `hanging` is the first one's bottom corner.
TestModel twinBlocks();

#endif
