// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_ENGINE_PRINTTIME_H
#define AGENT_ENGINE_PRINTTIME_H

#include "profile.h"

// The exposure of layer `layer` (0 = the first): bottom layers take the bottom exposure, the
// transition layers after them step linearly from it towards the normal exposure (the k-th of n
// transition layers takes bottom + (normal - bottom) * k / (n + 1)), the rest the normal one.
double layerExposureS(const Profile& profile, int layer);

// The time a printer takes for layerCount layers printed as the profile says. Each layer waits
// after the retract, exposes, waits, lifts, waits and retracts as far as it lifted; bottom layers
// move at the bottom distance and speeds, all others (transition layers too) at the normal ones.
double printTimeS(const Profile& profile, int layerCount);

#endif
