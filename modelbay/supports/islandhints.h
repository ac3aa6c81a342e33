// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODELBAY_SUPPORTS_ISLANDHINTS_H
#define MODELBAY_SUPPORTS_ISLANDHINTS_H

#include "supportplan.h"

#include <QByteArray>

// The islands of a sliced job, from the bytes of its "plate.json": each at the top of the layer
// it appeared in, where the part it belongs to has begun at the latest. A job sliced with
// supports had the model lifted: `liftMm` (SupportPlan::liftMm) takes the islands back to the
// model's own coordinates. Empty when the document lists none or is no plate document.
std::vector<IslandHint> islandHintsFromPlate(const QByteArray& plateJson, double liftMm = 0);

#endif
