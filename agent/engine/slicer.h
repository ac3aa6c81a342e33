// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_ENGINE_SLICER_H
#define AGENT_ENGINE_SLICER_H

#include "plate.h"

#include <atomic>
#include <functional>
#include <string>

// Slices the plate into jobDir (an existing empty folder): one 8-bit greyscale PNG per layer,
// then "plate.json" last, written atomically (temp file + rename), so that "plate.json" present
// means every layer image is complete. progress(layersDone) may be called from worker threads
// (the server stores it in an atomic). Returns false with one plain sentence on failure, or when
// cancel becomes true.
bool slicePlate(const Plate& plate, const std::string& jobDir,
    const std::function<void(int layersDone)>& progress, const std::atomic<bool>& cancel,
    std::string& error);

#endif
