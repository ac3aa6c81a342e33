// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_ENGINE_PRINTERMODELS_H
#define AGENT_ENGINE_PRINTERMODELS_H

#include "profile.h"

// Printers people own, by the names their owners know them ("Elegoo Saturn 3 Ultra"): each one
// with its display (pixel sizes in x and y apart), build height, mirroring and the job file it
// reads, and a 0.05 mm and a 0.03 mm profile whose exposures are starting points for a standard
// resin. Built in beside the generic printers: jobs are saved as files.
std::vector<Printer> catalogPrinters();

#endif
