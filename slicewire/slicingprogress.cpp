// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "slicingprogress.h"

#include <QFileInfo>

bool isSlicingFinished(const QString& percentage, const QString& pathOfLayerImages)
{
    if (percentage == QLatin1String("100"))
        return true;
    if (percentage != QLatin1String("99"))
        return false;
    // An empty folder text tests "/plate.json" on purpose: the path is formed
    // as it stands, with nothing normalised.
    const QFileInfo plate(pathOfLayerImages + QLatin1String("/plate.json"));
    return plate.exists() && plate.isFile();
}
