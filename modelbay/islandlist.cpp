// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "islandlist.h"

#include <QVariantMap>

IslandList::IslandList(QObject* parent)
    : QObject(parent)
{
}

void IslandList::setPlate(const SlicedPlate& plate)
{
    m_plate = plate;
    m_islands.clear();
    for (const SlicedIsland& island : plate.islands) {
        QVariantMap record;
        record.insert(QStringLiteral("layer"), island.layer);
        record.insert(QStringLiteral("x"), island.x);
        record.insert(QStringLiteral("y"), island.y);
        record.insert(QStringLiteral("areaMm2"), island.areaMm2);
        record.insert(QStringLiteral("height"), (island.layer + 1) * plate.layerHeightMm);
        m_islands.append(record);
    }
    m_summary = islandSummary(plate);
    m_peelWarnings.clear();
    for (int layer : plate.peelWarningLayers) {
        m_peelWarnings.append(QVariantMap { { QStringLiteral("layer"), layer },
            { QStringLiteral("height"), (layer + 1) * plate.layerHeightMm } });
    }
    emit loaded();
}

QVariantList IslandList::islandsOfLayer(int layer) const
{
    QVariantList found;
    for (const QVariant& island : m_islands) {
        if (island.toMap().value(QStringLiteral("layer")).toInt() == layer)
            found.append(island);
    }
    return found;
}
