// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "slicer.h"

bool slicePlate(const Plate &, const std::string &, const std::function<void(int)> &,
                const std::atomic<bool> &, std::string &error)
{
    error = "The slicer is not ready yet.";
    return false;
}
