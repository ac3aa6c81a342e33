// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_ENGINE_JOBFILE_H
#define AGENT_ENGINE_JOBFILE_H

#include <string>

// Packs the sliced job in jobDir (which holds "plate.json") into one job file at outPath: a zip in
// the SL1 layout (config.ini, prusaslicer.ini, layer PNGs named jobDir + five digits, thumbnails,
// plus our "plate.json"), written atomically. False with one plain sentence on failure.
bool writeJobFile(const std::string &jobDir, const std::string &outPath, std::string &error);

#endif
