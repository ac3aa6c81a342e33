// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef TESTS_AGENT_ENGINE_JOBFILETESTLAYERS_H
#define TESTS_AGENT_ENGINE_JOBFILETESTLAYERS_H

// Layer images and bytes shared by the tests of the binary job files.
#include "enginetestutil.h"
#include "jobfile.h"
#include "plate.h"
#include "platedocument.h"
#include "printermodels.h"
#include "slicer.h"

#include <QByteArray>
#include <QDir>
#include <QImage>

#include <atomic>
#include <cstdio>
#include <cstdint>
#include <vector>

// Layer `index` of a small plate: black with a white square that moves up the layers, a band of
// every grey level, and a white run that crosses a row end.
inline std::vector<std::uint8_t> testLayer(int width, int height, int index)
{
    std::vector<std::uint8_t> grey(std::size_t(width) * std::size_t(height), 0);
    for (int y = 2 + index; y < 12 + index && y < height; ++y) {
        for (int x = 3; x < 15 && x < width; ++x)
            grey[std::size_t(y * width + x)] = 255;
    }
    for (int x = 0; x < width; ++x)
        grey[std::size_t((height - 2) * width + x)] = std::uint8_t(x * 255 / (width - 1));
    for (int x = width - 5; x < width + 7; ++x)
        grey[std::size_t((height / 2) * width + x)] = 255;
    return grey;
}

inline QByteArray bytes(const std::vector<std::uint8_t>& data)
{
    return QByteArray(reinterpret_cast<const char*>(data.data()), int(data.size()));
}

inline std::vector<std::uint8_t> vec(const QByteArray& data)
{
    return std::vector<std::uint8_t>(data.begin(), data.end());
}

// The 8 x 4 image both format notes use as their worked example.
inline QByteArray workedExample()
{
    QByteArray image(10, char(0));
    image += QByteArray(4, char(255)) + QByteArray(4, char(0));
    image += QByteArray::fromHex("ff8088ff") + QByteArray(10, char(0));
    return image;
}

// Slices a small box for a printer that reads `format`, its images mirrored left-right, pixels
// 50 x pixelUmY micrometres; the job folder, or an empty string with the slicer's sentence.
inline QString sliceTestJob(
    const QString& folder, const std::string& format, double pixelUmY, std::string& error)
{
    QDir().mkpath(folder + QStringLiteral("/layers"));
    const QString stl = folder + QStringLiteral("/part.stl");
    writeFile(stl, binaryStl(box(-6, -2, 0, 2, 3, 0.6f) + box(3, -5, 0.2f, 5, 5, 0.5f)));
    Profile profile = testProfile(1);
    profile.mirrorX = true;
    profile.pixelUmY = pixelUmY;
    Printer printer;
    printer.name = "Test printer";
    printer.model = "TEST";
    printer.format = format;
    Plate plate;
    std::atomic<bool> cancel { false };
    if (!loadPlate("part", printer, { { stl.toStdString(), profile } }, plate, error)
        || !slicePlate(
            plate, (folder + QStringLiteral("/layers")).toStdString(), {}, cancel, error))
        return QString();
    return folder + QStringLiteral("/layers");
}

// Slices the same small parts for the catalogue printer of that name with its first profile, in a
// folder of its own; the job folder and the extension its file takes, or an empty string.
inline QString sliceCatalogueJob(const QString& folder, const std::string& printerName,
    const std::string& out, std::string& extension, std::string& error)
{
    for (const Printer& printer : catalogPrinters()) {
        if (printer.name != printerName)
            continue;
        QDir().mkpath(folder + QStringLiteral("/layers"));
        const QString stl = folder + QStringLiteral("/part.stl");
        writeFile(stl, binaryStl(box(-6, -2, 0, 2, 3, 0.2f) + box(3, -5, 0.05f, 5, 5, 0.15f)));
        Plate plate;
        std::atomic<bool> cancel { false };
        const std::string jobDir = (folder + QStringLiteral("/layers")).toStdString();
        std::string temporary;
        if (!loadPlate(
                "part", printer, { { stl.toStdString(), printer.profiles.front() } }, plate, error)
            || !slicePlate(plate, jobDir, {}, cancel, error)
            || !packJobFile(jobDir, out, temporary, extension, error)
            || std::rename(temporary.c_str(), out.c_str()) != 0)
            return QString();
        return QString::fromStdString(jobDir);
    }
    error = "no catalogue printer " + printerName;
    return QString();
}

// The job folder's layer images, as the slicer wrote them, bottom layer first.
inline std::vector<std::vector<std::uint8_t>> jobLayers(const QString& jobDir)
{
    PlateDocument d;
    std::string error;
    std::vector<std::vector<std::uint8_t>> layers;
    if (!readPlateDocument((jobDir + QStringLiteral("/plate.json")).toStdString(), d, error))
        return layers;
    for (const std::string& name : d.layers) {
        const QImage image = QImage(jobDir + QLatin1Char('/') + QString::fromStdString(name))
                                 .convertToFormat(QImage::Format_Grayscale8);
        std::vector<std::uint8_t> grey;
        for (int y = 0; y < image.height(); ++y)
            grey.insert(grey.end(), image.constScanLine(y), image.constScanLine(y) + image.width());
        layers.push_back(grey);
    }
    return layers;
}

#endif
