// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Packs the slicing benchmark's job (a one-million-triangle sphere of 60 mm, 2560 x 1440 pixels,
// 0.05 mm layers: 1200 layers) into each job file format, each packing a child process of its
// own, so that its time and peak memory are its own; the slicing's peak memory is measured the
// same way. Prints medians over the rounds.
//
//   bench_packing [--rounds N] [--keep DIR] [format ...]   (formats: sl1 pwmb px6s pm5s ctb ...)
//   bench_packing --greys DIR [format[:version] ...]
// The second form writes a small job of every grey level (DIR/job) and packs it into each format
// (DIR/greys-<format>[-<version>].<extension>), for a reader of those files to compare with the
// job's images.
#include "jobfile.h"
#include "jobformat.h"
#include "plate.h"
#include "platedocument.h"
#include "pngwriter.h"
#include "slicer.h"
#include "childrun.h"
#include "spherestl.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The child sides: the slicing benchmark's job, and the packing of one job folder.
int slice(const std::string& stl, const std::string& jobDir)
{
    Profile profile;
    profile.title = "bench 0.05 mm";
    profile.profileId = 1;
    profile.depthUm = 50;
    profile.pixelsX = 2560;
    profile.pixelsY = 1440;
    profile.pixelUmX = 120.0 * 1000.0 / 2560;
    profile.pixelUmY = 68.0 * 1000.0 / 1440;
    profile.exposureS = 2.5;
    profile.bottomExposureS = 25;
    profile.bottomLayers = 5;
    profile.mirrorX = true;
    profile.maxHeightMm = 150;
    Printer printer;
    printer.name = "bench";
    printer.model = "bench";
    Plate plate;
    std::string error;
    std::atomic<bool> cancel { false };
    if (!loadPlate("sphere", printer, { { stl, profile } }, plate, error)
        || !slicePlate(plate, jobDir, {}, cancel, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    return 0;
}

int pack(const std::string& jobDir, const std::string& out)
{
    std::string error;
    if (!writeJobFile(jobDir, out, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    return 0;
}

// A job folder that names `format` as its printer's, its layer images linked from `jobDir`.
bool jobFor(const QString& jobDir, const QString& folder, const std::string& format)
{
    PlateDocument d;
    std::string error;
    if (!readPlateDocument((jobDir + QStringLiteral("/plate.json")).toStdString(), d, error))
        return false;
    QDir(folder).removeRecursively();
    QDir().mkpath(folder + QStringLiteral("/thumbnail"));
    d.format = format;
    QStringList names;
    for (const std::string& name : d.layers)
        names << QString::fromStdString(name);
    for (const std::string& name : d.thumbnails)
        names << QString::fromStdString(name);
    for (const QString& name : names) {
        if (!QFile::link(jobDir + QLatin1Char('/') + name, folder + QLatin1Char('/') + name))
            return false;
    }
    return writePlateDocument(d, (folder + QStringLiteral("/plate.json")).toStdString(), error);
}

// Five layers of 256 x 64 pixels: every grey in every row, bands that cross row ends, a white
// block that climbs; each layer shifted so that no two are alike.
bool greyJob(const QString& dir, const std::vector<std::string>& formats)
{
    const int width = 256, height = 64, layers = 5;
    const QString jobDir = dir + QStringLiteral("/job");
    QDir(jobDir).removeRecursively();
    QDir().mkpath(jobDir);
    PlateDocument d;
    d.name = d.jobDir = "greys";
    d.printerName = "grey levels";
    d.printerModel = "bench";
    d.layerCount = layers;
    d.depthUm = 50;
    d.pixelsX = width;
    d.pixelsY = height;
    d.pixelUmX = 50;
    d.pixelUmY = 40;
    d.mirrorX = true;
    d.maxHeightMm = 100;
    d.exposureS = 2;
    d.bottomExposureS = 20;
    d.bottomLayers = 2;
    d.created = "2026-12-09T04:00:00Z";
    PlateDocument::Item item;
    item.profile.title = "grey levels";
    item.profile.profileId = 1;
    item.profile.depthUm = d.depthUm;
    item.profile.pixelsX = width;
    item.profile.pixelsY = height;
    item.profile.pixelUmX = d.pixelUmX;
    item.profile.pixelUmY = d.pixelUmY;
    item.profile.exposureS = d.exposureS;
    item.profile.bottomExposureS = d.bottomExposureS;
    item.profile.bottomLayers = d.bottomLayers;
    item.profile.mirrorX = true;
    item.profile.maxHeightMm = d.maxHeightMm;
    d.items.push_back(item);
    std::string error;
    PngWriter png;
    for (int layer = 0; layer < layers; ++layer) {
        std::vector<std::uint8_t> rows;
        for (int y = 0; y < height; ++y) {
            rows.push_back(0); // unfiltered
            for (int x = 0; x < width; ++x) {
                int grey = (x + 7 * layer + y) % 256;
                if (y % 8 == 3)
                    grey = x > width - 20 ? 255 : 0; // white from here into the next row
                if (y % 8 == 4)
                    grey = x < 30 ? 255 : grey;
                if (y >= 10 + 5 * layer && y < 30 + 5 * layer && x >= 100 && x < 180)
                    grey = 255;
                rows.push_back(std::uint8_t(grey));
            }
        }
        const std::string name = "greys" + std::to_string(10000 + layer).substr(1) + ".png";
        if (!png.encode(rows.data(), width, height, 1)
            || !png.save((jobDir + QLatin1Char('/')).toStdString() + name, error))
            return false;
        d.layers.push_back(name);
        d.curedPixels.push_back(0);
    }
    // "id" or "id:version", e.g. "pwmx:515".
    for (const std::string& named : formats) {
        const std::size_t colon = named.find(':');
        d.format = named.substr(0, colon);
        d.formatVersion = colon == std::string::npos ? 0 : std::atoi(named.c_str() + colon + 1);
        JobFormat f;
        std::string name = named;
        std::replace(name.begin(), name.end(), ':', '-');
        if (!findJobFormat(d.format, f)
            || !writePlateDocument(d, (jobDir + QStringLiteral("/plate.json")).toStdString(), error)
            || !writeJobFile(jobDir.toStdString(),
                (dir + QStringLiteral("/greys-")).toStdString() + name + f.extension, error)) {
            std::fprintf(stderr, "%s: %s\n", named.c_str(), error.c_str());
            return false;
        }
    }
    return true;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::string(argv[1]) == "--slice")
        return slice(argv[2], argv[3]);
    if (argc == 4 && std::string(argv[1]) == "--pack")
        return pack(argv[2], argv[3]);

    QCoreApplication app(argc, argv);
    int rounds = 5;
    QString keep, greys;
    std::vector<std::string> formats;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--rounds") && i + 1 < args.size())
            rounds = std::max(1, args[++i].toInt());
        else if (args[i] == QLatin1String("--keep") && i + 1 < args.size())
            keep = args[++i];
        else if (args[i] == QLatin1String("--greys") && i + 1 < args.size())
            greys = args[++i];
        else
            formats.push_back(args[i].toStdString());
    }
    if (formats.empty())
        formats = { "sl1", "goo", "pwmb", "px6s", "pm5s", "ctb" };
    if (!greys.isEmpty())
        return greyJob(greys, formats) ? 0 : 1;

    QTemporaryDir temporary;
    const QString work = keep.isEmpty() ? temporary.path() : keep;
    QDir().mkpath(work);
    const std::string stl = (work + QStringLiteral("/sphere.stl")).toStdString();
    if (!writeSphereStl(stl, 30.0, 1000, 501)) {
        std::fprintf(stderr, "cannot write %s\n", stl.c_str());
        return 1;
    }
    const std::string self = QCoreApplication::applicationFilePath().toStdString();
    const QString jobDir = work + QStringLiteral("/job");
    std::vector<double> slicePeaks;
    for (int round = 0; round < rounds; ++round) {
        QDir(jobDir).removeRecursively();
        QDir().mkpath(jobDir);
        const Run run = runChild({ self, "--slice", stl, jobDir.toStdString() });
        if (!run.ok) {
            std::fprintf(stderr, "slicing failed\n");
            return 1;
        }
        slicePeaks.push_back(run.peakMiB);
        std::printf("slicing round %d: %.2f s, %.1f MiB\n", round + 1, run.seconds, run.peakMiB);
    }
    const double slicePeak = median(slicePeaks);
    std::printf("slicing: peak memory %.1f MiB (median)\n", slicePeak);

    std::map<std::string, std::vector<double>> times, peaks, cpu;
    std::map<std::string, qint64> sizes;
    std::map<std::string, std::string> files;
    for (const std::string& format : formats) {
        JobFormat f;
        if (!findJobFormat(format, f)) {
            std::fprintf(stderr, "no format %s\n", format.c_str());
            return 1;
        }
        const QString folder = work + QStringLiteral("/job-") + QString::fromStdString(format);
        if (!jobFor(jobDir, folder, format)) {
            std::fprintf(stderr, "cannot prepare the job for %s\n", format.c_str());
            return 1;
        }
        files[format] = (work + QStringLiteral("/sphere")).toStdString() + f.extension;
    }
    // Formats in turns within each round, so that none gains from the machine's quieter moments.
    for (int round = 0; round < rounds; ++round) {
        for (const std::string& format : formats) {
            const QString folder = work + QStringLiteral("/job-") + QString::fromStdString(format);
            const Run run = runChild({ self, "--pack", folder.toStdString(), files[format] });
            if (!run.ok) {
                std::fprintf(stderr, "packing %s failed\n", format.c_str());
                return 1;
            }
            times[format].push_back(run.seconds);
            peaks[format].push_back(run.peakMiB);
            cpu[format].push_back(run.cpuSeconds);
            sizes[format] = QFileInfo(QString::fromStdString(files[format])).size();
        }
    }
    const double sl1Time = times.count("sl1") ? median(times["sl1"]) : 0;
    for (const std::string& format : formats) {
        std::printf("%-5s packed in %.3f s (median of %d; CPU %.3f s)%s, peak memory %.1f MiB "
                    "(%+.1f MiB against slicing), %.1f MiB file\n",
            format.c_str(), median(times[format]), rounds, median(cpu[format]),
            sl1Time > 0 && format != "sl1" ? (" = "
                + std::to_string(median(times[format]) / sl1Time).substr(0, 4) + "x the SL1 zip's")
                                                 .c_str()
                                           : "",
            median(peaks[format]), median(peaks[format]) - slicePeak, sizes[format] / 1048576.0);
    }
    return 0;
}
