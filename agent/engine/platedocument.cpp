// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "platedocument.h"
#include "profile_p.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace {

QString qs(const std::string& text) { return QString::fromStdString(text); }
std::string ss(const QJsonValue& value) { return value.toString().toStdString(); }

QJsonArray stringArray(const std::vector<std::string>& list)
{
    QJsonArray array;
    for (const std::string& entry : list)
        array.append(qs(entry));
    return array;
}

} // namespace

bool writePlateDocument(const PlateDocument& d, const std::string& path, std::string& error)
{
    QJsonObject printer;
    printer.insert(QStringLiteral("name"), qs(d.printerName));
    printer.insert(QStringLiteral("model"), qs(d.printerModel));
    printer.insert(QStringLiteral("ip"), qs(d.printerIp));
    printer.insert(QStringLiteral("port"), qs(d.printerPort));
    printer.insert(QStringLiteral("local"), d.printerLocal);
    printer.insert(QStringLiteral("format"), qs(d.format));
    printer.insert(QStringLiteral("formatVersion"), d.formatVersion);

    QJsonArray items;
    for (const PlateDocument::Item& item : d.items) {
        QJsonObject record;
        record.insert(QStringLiteral("stl"), qs(item.stlPath));
        record.insert(QStringLiteral("profile"), profileRecord(item.profile));
        record.insert(QStringLiteral("exposure"), item.profile.exposureS);
        record.insert(QStringLiteral("bottomExposure"), item.profile.bottomExposureS);
        record.insert(QStringLiteral("bottomLayers"), item.profile.bottomLayers);
        items.append(record);
    }
    QJsonArray cured;
    for (long long count : d.curedPixels)
        cured.append(double(count));

    QJsonArray islands;
    for (const PlateDocument::Island& island : d.islands) {
        QJsonObject record;
        record.insert(QStringLiteral("layer"), island.layer);
        record.insert(QStringLiteral("x"), island.x);
        record.insert(QStringLiteral("y"), island.y);
        record.insert(QStringLiteral("areaMm2"), island.areaMm2);
        islands.append(record);
    }
    const auto cavities = [](const std::vector<PlateDocument::Cavity>& list, const char* size) {
        QJsonArray array;
        for (const PlateDocument::Cavity& cavity : list) {
            QJsonObject record;
            record.insert(QStringLiteral("layerFrom"), cavity.layerFrom);
            record.insert(QStringLiteral("layerTo"), cavity.layerTo);
            record.insert(QStringLiteral("x"), cavity.x);
            record.insert(QStringLiteral("y"), cavity.y);
            record.insert(QStringLiteral("z"), cavity.z);
            record.insert(QLatin1String(size), cavity.size);
            array.append(record);
        }
        return array;
    };
    QJsonArray overhangs;
    for (const PlateDocument::Overhang& overhang : d.overhangs) {
        QJsonObject record;
        record.insert(QStringLiteral("layer"), overhang.layer);
        record.insert(QStringLiteral("x"), overhang.x);
        record.insert(QStringLiteral("y"), overhang.y);
        record.insert(QStringLiteral("z"), overhang.z);
        record.insert(QStringLiteral("areaMm2"), overhang.areaMm2);
        record.insert(QStringLiteral("spanMm"), overhang.spanMm);
        overhangs.append(record);
    }
    QJsonArray peelLayers;
    for (int layer : d.peelWarningLayers)
        peelLayers.append(layer);

    QJsonObject root;
    root.insert(QStringLiteral("name"), qs(d.name));
    root.insert(QStringLiteral("jobDir"), qs(d.jobDir));
    root.insert(QStringLiteral("printer"), printer);
    root.insert(QStringLiteral("layerCount"), d.layerCount);
    root.insert(QStringLiteral("layerHeight"), d.depthUm / 1000.0);
    root.insert(QStringLiteral("depth"), d.depthUm);
    root.insert(QStringLiteral("pixelsX"), d.pixelsX);
    root.insert(QStringLiteral("pixelsY"), d.pixelsY);
    root.insert(QStringLiteral("pixelSizeX"), d.pixelUmX);
    root.insert(QStringLiteral("pixelSizeY"), d.pixelUmY);
    root.insert(QStringLiteral("displayWidth"), d.pixelsX * d.pixelUmX / 1000.0);
    root.insert(QStringLiteral("displayHeight"), d.pixelsY * d.pixelUmY / 1000.0);
    root.insert(QStringLiteral("mirrorX"), d.mirrorX);
    root.insert(QStringLiteral("mirrorY"), d.mirrorY);
    root.insert(QStringLiteral("maxHeight"), d.maxHeightMm);
    root.insert(QStringLiteral("exposure"), d.exposureS);
    root.insert(QStringLiteral("bottomExposure"), d.bottomExposureS);
    root.insert(QStringLiteral("bottomLayers"), d.bottomLayers);
    root.insert(QStringLiteral("settings"), profileRecord(d.settings));
    root.insert(QStringLiteral("usedMaterial"), d.usedMaterialMl);
    root.insert(QStringLiteral("printTime"), d.printTimeS);
    root.insert(QStringLiteral("created"), qs(d.created));
    root.insert(QStringLiteral("items"), items);
    root.insert(QStringLiteral("layers"), stringArray(d.layers));
    root.insert(QStringLiteral("curedPixels"), cured);
    root.insert(QStringLiteral("thumbnails"), stringArray(d.thumbnails));
    root.insert(QStringLiteral("islands"), islands);
    root.insert(QStringLiteral("islandCount"), d.islandCount);
    root.insert(QStringLiteral("resinTraps"), cavities(d.resinTraps, "volumeMl"));
    root.insert(QStringLiteral("resinTrapCount"), double(d.resinTrapCount));
    root.insert(QStringLiteral("suctionCups"), cavities(d.suctionCups, "areaMm2"));
    root.insert(QStringLiteral("suctionCupCount"), double(d.suctionCupCount));
    root.insert(QStringLiteral("overhangs"), overhangs);
    root.insert(QStringLiteral("overhangCount"), double(d.overhangCount));
    root.insert(QStringLiteral("peelWarningCount"), int(d.peelWarningLayers.size()));
    root.insert(QStringLiteral("peelWarningLayers"), peelLayers);

    QSaveFile file(qs(path));
    const QByteArray bytes = QJsonDocument(root).toJson(QJsonDocument::Indented);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        error = "Cannot write " + path + ": " + file.errorString().toStdString() + ".";
        return false;
    }
    return true;
}

bool readPlateDocument(const std::string& path, PlateDocument& d, std::string& error)
{
    QFile file(qs(path));
    if (!file.open(QIODevice::ReadOnly)) {
        error = "The job has no readable plate.json (" + path + "): it was not sliced completely.";
        return false;
    }
    const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
    PlateDocument read;
    read.name = ss(root.value(QStringLiteral("name")));
    read.jobDir = ss(root.value(QStringLiteral("jobDir")));
    const QJsonObject printer = root.value(QStringLiteral("printer")).toObject();
    read.printerName = ss(printer.value(QStringLiteral("name")));
    read.printerModel = ss(printer.value(QStringLiteral("model")));
    read.printerIp = ss(printer.value(QStringLiteral("ip")));
    read.printerPort = ss(printer.value(QStringLiteral("port")));
    read.printerLocal = printer.value(QStringLiteral("local")).toBool(true);
    read.format = ss(printer.value(QStringLiteral("format")));
    read.formatVersion = printer.value(QStringLiteral("formatVersion")).toInt();
    read.layerCount = root.value(QStringLiteral("layerCount")).toInt();
    read.depthUm = root.value(QStringLiteral("depth")).toInt();
    read.pixelsX = root.value(QStringLiteral("pixelsX")).toInt();
    read.pixelsY = root.value(QStringLiteral("pixelsY")).toInt();
    read.pixelUmX = root.value(QStringLiteral("pixelSizeX")).toDouble();
    read.pixelUmY = root.value(QStringLiteral("pixelSizeY")).toDouble();
    read.mirrorX = root.value(QStringLiteral("mirrorX")).toBool();
    read.mirrorY = root.value(QStringLiteral("mirrorY")).toBool();
    read.maxHeightMm = root.value(QStringLiteral("maxHeight")).toDouble();
    read.exposureS = root.value(QStringLiteral("exposure")).toDouble();
    read.bottomExposureS = root.value(QStringLiteral("bottomExposure")).toDouble();
    read.bottomLayers = root.value(QStringLiteral("bottomLayers")).toInt();
    read.usedMaterialMl = root.value(QStringLiteral("usedMaterial")).toDouble();
    read.printTimeS = root.value(QStringLiteral("printTime")).toDouble();
    read.created = ss(root.value(QStringLiteral("created")));
    const QJsonArray items = root.value(QStringLiteral("items")).toArray();
    for (const QJsonValue& value : items) {
        const QJsonObject record = value.toObject();
        PlateDocument::Item item;
        item.stlPath = ss(record.value(QStringLiteral("stl")));
        std::string why;
        if (!profileFromRecord(
                record.value(QStringLiteral("profile")).toObject(), item.profile, why)) {
            error
                = "The job's plate.json (" + path + ") is damaged: an item's profile is unusable.";
            return false;
        }
        read.items.push_back(item);
    }
    // Jobs sliced before the job carried its own settings print with their first item's.
    std::string why;
    if (!read.items.empty()
        && !profileFromRecord(
            root.value(QStringLiteral("settings")).toObject(), read.settings, why))
        read.settings = read.items.front().profile;
    read.settings.exposureS = read.exposureS;
    read.settings.bottomExposureS = read.bottomExposureS;
    read.settings.bottomLayers = read.bottomLayers;
    for (const QJsonValue& value : root.value(QStringLiteral("layers")).toArray())
        read.layers.push_back(ss(value));
    for (const QJsonValue& value : root.value(QStringLiteral("curedPixels")).toArray()) {
        const double count = value.toDouble();
        read.curedPixels.push_back(count >= 0 && count < 1e15 ? static_cast<long long>(count) : 0);
    }
    for (const QJsonValue& value : root.value(QStringLiteral("thumbnails")).toArray())
        read.thumbnails.push_back(ss(value));
    for (const QJsonValue& value : root.value(QStringLiteral("islands")).toArray()) {
        const QJsonObject record = value.toObject();
        read.islands.push_back({ record.value(QStringLiteral("layer")).toInt(),
            record.value(QStringLiteral("x")).toDouble(),
            record.value(QStringLiteral("y")).toDouble(),
            record.value(QStringLiteral("areaMm2")).toDouble() });
    }
    read.islandCount = (long long)root.value(QStringLiteral("islandCount")).toDouble();
    const auto readCavities
        = [&root](const char* key, const char* size, std::vector<PlateDocument::Cavity>& list) {
              for (const QJsonValue& value : root.value(QLatin1String(key)).toArray()) {
                  const QJsonObject record = value.toObject();
                  list.push_back({ record.value(QStringLiteral("layerFrom")).toInt(),
                      record.value(QStringLiteral("layerTo")).toInt(),
                      record.value(QStringLiteral("x")).toDouble(),
                      record.value(QStringLiteral("y")).toDouble(),
                      record.value(QStringLiteral("z")).toDouble(),
                      record.value(QLatin1String(size)).toDouble() });
              }
          };
    readCavities("resinTraps", "volumeMl", read.resinTraps);
    read.resinTrapCount = (long long)root.value(QStringLiteral("resinTrapCount")).toDouble();
    readCavities("suctionCups", "areaMm2", read.suctionCups);
    read.suctionCupCount = (long long)root.value(QStringLiteral("suctionCupCount")).toDouble();
    for (const QJsonValue& value : root.value(QStringLiteral("overhangs")).toArray()) {
        const QJsonObject record = value.toObject();
        read.overhangs.push_back({ record.value(QStringLiteral("layer")).toInt(),
            record.value(QStringLiteral("x")).toDouble(),
            record.value(QStringLiteral("y")).toDouble(),
            record.value(QStringLiteral("z")).toDouble(),
            record.value(QStringLiteral("areaMm2")).toDouble(),
            record.value(QStringLiteral("spanMm")).toDouble() });
    }
    read.overhangCount = (long long)root.value(QStringLiteral("overhangCount")).toDouble();
    for (const QJsonValue& value : root.value(QStringLiteral("peelWarningLayers")).toArray())
        read.peelWarningLayers.push_back(value.toInt());

    if (read.jobDir.empty() || read.layerCount <= 0 || int(read.layers.size()) != read.layerCount
        || read.pixelsX <= 0 || read.pixelsY <= 0 || read.depthUm <= 0 || read.items.empty()) {
        error
            = "The job's plate.json (" + path + ") is damaged: it does not describe a sliced job.";
        return false;
    }
    // The prefix names entries of the job file: plain characters only, so no entry can point
    // outside the folder it is unpacked into.
    if (read.jobDir.find_first_not_of(
            "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-")
        != std::string::npos) {
        error = "The job's plate.json (" + path + ") is damaged: its jobDir is no plain name.";
        return false;
    }
    for (const std::string& name : read.layers) {
        // Entries are names inside the job folder, never paths that lead elsewhere.
        if (name.empty() || name.find('/') != std::string::npos
            || name.find('\\') != std::string::npos || name == "." || name == "..") {
            error = "The job's plate.json (" + path
                + ") is damaged: it names a layer image outside the job.";
            return false;
        }
    }
    d = read;
    return true;
}
