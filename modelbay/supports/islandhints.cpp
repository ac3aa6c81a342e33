// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "islandhints.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

std::vector<IslandHint> islandHintsFromPlate(const QByteArray& plateJson, double liftMm)
{
    std::vector<IslandHint> hints;
    const QJsonObject plate = QJsonDocument::fromJson(plateJson).object();
    const double layerHeight = plate.value(QStringLiteral("layerHeight")).toDouble();
    if (!(layerHeight > 0))
        return hints;
    for (const QJsonValue& value : plate.value(QStringLiteral("islands")).toArray()) {
        const QJsonObject island = value.toObject();
        const int layer = island.value(QStringLiteral("layer")).toInt(-1);
        if (layer < 0)
            continue;
        // The layer's image is the cut through the middle of the layer.
        hints.push_back({ island.value(QStringLiteral("x")).toDouble(),
            island.value(QStringLiteral("y")).toDouble(), (layer + 0.5) * layerHeight - liftMm,
            island.value(QStringLiteral("areaMm2")).toDouble() });
    }
    return hints;
}
