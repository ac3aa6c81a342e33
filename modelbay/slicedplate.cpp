// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "slicedplate.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// A plate document is a few kilobytes per thousand islands; a larger file is no plate document.
constexpr qint64 kMaxPlateBytes = 64 * 1024 * 1024;

} // namespace

SlicedPlate parseSlicedPlate(const QByteArray& plateJson, const QString& folder)
{
    SlicedPlate plate;
    plate.folder = folder;
    const QJsonDocument document = QJsonDocument::fromJson(plateJson);
    if (!document.isObject())
        return plate;
    const QJsonObject root = document.object();
    plate.valid = true;
    plate.layerHeightMm = root.value(QStringLiteral("layerHeight")).toDouble();
    for (const QJsonValue& value : root.value(QStringLiteral("layers")).toArray())
        plate.layerFiles.append(value.toString());
    for (const QJsonValue& value : root.value(QStringLiteral("islands")).toArray()) {
        const QJsonObject record = value.toObject();
        const int layer = record.value(QStringLiteral("layer")).toInt(-1);
        const QJsonValue x = record.value(QStringLiteral("x"));
        const QJsonValue y = record.value(QStringLiteral("y"));
        if (layer < 0 || !x.isDouble() || !y.isDouble())
            continue;
        plate.islands.append({ layer, x.toDouble(), y.toDouble(),
            record.value(QStringLiteral("areaMm2")).toDouble() });
    }
    const QJsonValue count = root.value(QStringLiteral("islandCount"));
    plate.islandCount = count.isDouble() ? qMax(0, count.toInt()) : -1;
    for (const QJsonValue& value : root.value(QStringLiteral("peelWarningLayers")).toArray())
        plate.peelWarningLayers.append(value.toInt());
    plate.usedMaterialMl = root.value(QStringLiteral("usedMaterial")).toDouble();
    plate.printTimeS = root.value(QStringLiteral("printTime")).toDouble();
    return plate;
}

SlicedPlate readSlicedPlate(const QString& folder)
{
    SlicedPlate plate;
    plate.folder = folder;
    if (folder.isEmpty())
        return plate;
    QFile file(QDir(folder).filePath(QStringLiteral("plate.json")));
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxPlateBytes)
        return plate;
    return parseSlicedPlate(file.readAll(), folder);
}

QUrl layerImageUrl(const SlicedPlate& plate, int layer)
{
    if (layer < 0 || layer >= plate.layerFiles.size() || plate.folder.isEmpty())
        return QUrl();
    // Only a plain name inside the folder: the document is no licence to show other files.
    const QString name = plate.layerFiles.at(layer);
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name == QLatin1String("..")
        || name == QLatin1String("."))
        return QUrl();
    return QUrl::fromLocalFile(QDir(plate.folder).filePath(name));
}

QString islandSummary(const SlicedPlate& plate)
{
    if (plate.islandCount < 0)
        return QString();
    if (plate.islandCount == 0)
        return QStringLiteral("No islands");
    const int layer = plate.islands.isEmpty() ? 1 : plate.islands.first().layer + 1;
    const QString height = QString::number(layer * plate.layerHeightMm, 'f', 2);
    if (plate.islandCount == 1)
        return QStringLiteral("1 island at layer %1, %2 mm").arg(layer).arg(height);
    return QStringLiteral("%1 islands, first at layer %2, %3 mm")
        .arg(plate.islandCount)
        .arg(layer)
        .arg(height);
}

QString islandQuestion(const SlicedPlate& plate, bool sending)
{
    if (plate.islandCount <= 0)
        return QString();
    const int layer = plate.islands.isEmpty() ? 1 : plate.islands.first().layer + 1;
    const QString height = QString::number(layer * plate.layerHeightMm, 'f', 2);
    const QString question
        = sending ? QStringLiteral("Send it anyway?") : QStringLiteral("Save it anyway?");
    if (plate.islandCount == 1)
        return QStringLiteral("The job has 1 island, at layer %1 (%2 mm). %3")
            .arg(layer)
            .arg(height, question);
    return QStringLiteral("The job has %1 islands, the first at layer %2 (%3 mm). %4")
        .arg(plate.islandCount)
        .arg(layer)
        .arg(height, question);
}

std::vector<IslandHint> islandHints(const SlicedPlate& plate, double liftMm)
{
    std::vector<IslandHint> hints;
    if (!(plate.layerHeightMm > 0))
        return hints;
    for (const SlicedIsland& island : plate.islands)
        hints.push_back({ island.x, island.y, (island.layer + 0.5) * plate.layerHeightMm - liftMm,
            island.areaMm2 });
    return hints;
}
