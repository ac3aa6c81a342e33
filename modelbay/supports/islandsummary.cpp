// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "islandsummary.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

QString islandSummary(const QByteArray& plateJson)
{
    const QJsonObject plate = QJsonDocument::fromJson(plateJson).object();
    const QJsonValue count = plate.value(QStringLiteral("islandCount"));
    if (!count.isDouble())
        return {};
    if (count.toInt() <= 0)
        return QStringLiteral("No islands");
    // "islands" is ordered bottom layer first.
    const QJsonObject first = plate.value(QStringLiteral("islands")).toArray().first().toObject();
    // plate.json counts layers from 0; people count them from 1, as the layer slider does, and
    // a layer's height is that of its top.
    const int layer = first.value(QStringLiteral("layer")).toInt() + 1;
    const QString height
        = QString::number(layer * plate.value(QStringLiteral("layerHeight")).toDouble(), 'f', 2);
    if (count.toInt() == 1)
        return QStringLiteral("1 island at layer %1, %2 mm").arg(layer).arg(height);
    return QStringLiteral("%1 islands, first at layer %2, %3 mm")
        .arg(count.toInt())
        .arg(layer)
        .arg(height);
}
