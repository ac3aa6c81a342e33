// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "plate.h"

bool loadPlate(const std::string &, const Printer &,
               const std::vector<std::pair<std::string, Profile>> &, Plate &, std::string &error)
{
    error = "The slicer is not ready yet.";
    return false;
}
