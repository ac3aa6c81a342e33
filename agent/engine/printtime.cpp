// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "printtime.h"

#include <algorithm>

double layerExposureS(const Profile& profile, int layer)
{
    const int bottom = std::max(0, profile.bottomLayers);
    const int transition = std::max(0, profile.transitionLayers);
    if (layer < bottom)
        return profile.bottomExposureS;
    if (layer < bottom + transition) {
        const double step = double(layer - bottom + 1) / (transition + 1);
        return profile.bottomExposureS + (profile.exposureS - profile.bottomExposureS) * step;
    }
    return profile.exposureS;
}

double printTimeS(const Profile& profile, int layerCount)
{
    // Speeds are in mm/min: a move of d mm at v mm/min takes 60 d / v seconds.
    const auto moveS = [](double mm, double speed) { return speed > 0 ? 60.0 * mm / speed : 0.0; };
    const double waitsS
        = profile.waitAfterRetractS + profile.waitBeforeLiftS + profile.waitAfterLiftS;
    const double bottomMoveS = moveS(profile.bottomLiftMm, profile.bottomLiftSpeed)
        + moveS(profile.bottomLiftMm, profile.bottomRetractSpeed);
    const double moveSeconds
        = moveS(profile.liftMm, profile.liftSpeed) + moveS(profile.liftMm, profile.retractSpeed);
    double total = 0;
    for (int layer = 0; layer < layerCount; ++layer) {
        total += layerExposureS(profile, layer) + waitsS
            + (layer < profile.bottomLayers ? bottomMoveS : moveSeconds);
    }
    return total;
}
