// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "islandlist.h"

#include "islandsummary.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QVariantMap>

namespace {

// A plate document is a few kilobytes per thousand islands; a larger file is no plate document.
constexpr qint64 kMaxPlateBytes = 64 * 1024 * 1024;

} // namespace

QVariantList islandRecords(const QByteArray& plateJson)
{
    QVariantList records;
    const QJsonObject plate = QJsonDocument::fromJson(plateJson).object();
    const double layerHeight = plate.value(QStringLiteral("layerHeight")).toDouble();
    for (const QJsonValue& value : plate.value(QStringLiteral("islands")).toArray()) {
        const QJsonObject island = value.toObject();
        const int layer = island.value(QStringLiteral("layer")).toInt(-1);
        const QJsonValue x = island.value(QStringLiteral("x"));
        const QJsonValue y = island.value(QStringLiteral("y"));
        if (layer < 0 || !x.isDouble() || !y.isDouble())
            continue;
        QVariantMap record;
        record.insert(QStringLiteral("layer"), layer);
        record.insert(QStringLiteral("x"), x.toDouble());
        record.insert(QStringLiteral("y"), y.toDouble());
        record.insert(
            QStringLiteral("areaMm2"), island.value(QStringLiteral("areaMm2")).toDouble());
        record.insert(QStringLiteral("height"), (layer + 1) * layerHeight); // its top
        records.append(record);
    }
    return records;
}

IslandList::IslandList(QObject* parent)
    : QObject(parent)
{
}

void IslandList::setFolder(const QString& folder)
{
    if (m_folder == folder)
        return;
    m_folder = folder;
    emit folderChanged();
    reload();
}

void IslandList::reload()
{
    m_plateJson.clear();
    if (!m_folder.isEmpty()) {
        QFile file(QDir(m_folder).filePath(QStringLiteral("plate.json")));
        if (file.open(QIODevice::ReadOnly) && file.size() <= kMaxPlateBytes)
            m_plateJson = file.readAll();
    }
    m_islands = islandRecords(m_plateJson);
    m_summary = islandSummary(m_plateJson);
    emit loaded();
}
