// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODELBAY_SUPPORTS_ISLANDSUMMARY_H
#define MODELBAY_SUPPORTS_ISLANDSUMMARY_H

#include <QByteArray>
#include <QString>

// The line the layer preview shows about a sliced job's islands, from the bytes of its
// "plate.json": "3 islands, first at layer 41, 2.05 mm", "1 island at layer 7, 0.35 mm" or
// "No islands". The height is where the layer begins above the plate. Empty for a document
// that says nothing about islands (sliced before they were looked for, or no plate document).
QString islandSummary(const QByteArray& plateJson);

#endif
