// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef SLICEWIRE_SLICINGPROGRESS_H
#define SLICEWIRE_SLICINGPROGRESS_H

#include "slicewire_export.h"

#include <QString>

// Whether a progress answer ends the slicing job: exactly "100", or exactly
// "99" once "plate.json" lies as a regular file in the folder of layer images
// (the agent may stop at 99 while it writes that last file).
SLICEWIRE_EXPORT bool isSlicingFinished(
    const QString& percentage, const QString& pathOfLayerImages);

#endif
