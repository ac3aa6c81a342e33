// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_ENGINE_PLATE_H
#define AGENT_ENGINE_PLATE_H

#include "profile.h"
#include "stl.h"

#include <string>
#include <utility>
#include <vector>

struct PlateItem {
    std::string stlPath;
    Profile profile;
    Mesh mesh;
};

struct Plate {
    std::string jobName;
    Printer printer; // profiles not needed here
    std::vector<PlateItem> items;
    int layerCount = 0;
    bool findIslands = true; // off only to measure what the check costs
};

// Reads every item's STL and checks that the items can share one plate: profiles agree on layer
// height and resolution (and pixel size), every model lies inside the plate (x, y within the
// display area centred at the origin, z from 0 up to MaxHeight). On failure: false and one
// plain sentence that names the problem (and the file, where one is at fault).
bool loadPlate(const std::string& jobName, const Printer& printer,
    const std::vector<std::pair<std::string, Profile>>& items, Plate& plate, std::string& error);

#endif
