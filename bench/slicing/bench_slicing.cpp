// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Slices a one-million-triangle sphere (60 mm) at 2560 x 1440 pixels on a 120 x 68 mm display with
// 0.05 mm layers, whole job from the STL file to the last layer image and "plate.json", and, in
// the same run, the same model with prusa-slicer when it is installed. Each slicer runs as a child
// process, so its time and peak memory are its own. Prints medians over the rounds and how well
// the two sets of layer images agree.
//
// Then packs the job into each job file we write (SL1 zip, GOO), each packing a child process of
// its own, and compares its time and peak memory with the slicing's.
//
// With --panels it slices and packs the same sphere as GOO jobs on the largest displays of the
// printers we write for (11520 x 5120 at 19 x 24 um, 13312 x 5120 at 16.8 x 24.8 um) and compares
// slicing plus packing with prusa-slicer at the same resolution.
//
// Then slices the sphere at each anti-aliasing level (off, 2, 4, 8, 16; the job above uses 4, as
// the built-in printers do) and reports time, memory, job file sizes and the grey sum.
//
//   bench_slicing [--rounds N] [--keep DIR] [--panels]
#include "islands.h"
#include "platedocument.h"
#include "printcheck.h"
#include "jobfile.h"
#include "plate.h"
#include "platedocument.h"
#include "slicer.h"
#include "childrun.h"
#include "spherestl.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kPixelsX = 2560;
constexpr int kPixelsY = 1440;
constexpr double kDisplayWidthMm = 120.0;
constexpr double kDisplayHeightMm = 68.0;
constexpr int kLayerUm = 50;
constexpr int kAntiAliasing = 4; // as the built-in printers slice

// A display: pixels and the size of one pixel in micrometres, x and y apart.
struct Panel {
    int pixelsX, pixelsY;
    double umX, umY;
};

// The child side: the whole job as the agent runs it.
int sliceOnly(const std::string& stl, const std::string& jobDir, bool findIslands,
    int antiAliasing = kAntiAliasing,
    const Panel& panel = { kPixelsX, kPixelsY, kDisplayWidthMm * 1000.0 / kPixelsX,
        kDisplayHeightMm * 1000.0 / kPixelsY },
    const std::string& format = std::string())
{
    Profile profile;
    profile.title = "bench 0.05 mm";
    profile.profileId = 1;
    profile.depthUm = kLayerUm;
    profile.pixelsX = panel.pixelsX;
    profile.pixelsY = panel.pixelsY;
    profile.pixelUmX = panel.umX;
    profile.pixelUmY = panel.umY;
    profile.mirrorX = !format.empty();
    profile.exposureS = 2.5;
    profile.bottomExposureS = 25;
    profile.bottomLayers = 5;
    profile.maxHeightMm = 150;
    profile.antiAliasing = antiAliasing;
    Printer printer;
    printer.name = "bench";
    printer.model = "bench";
    printer.format = format;
    Plate plate;
    std::string error;
    std::atomic<bool> cancel { false };
    const bool loaded = loadPlate("sphere", printer, { { stl, profile } }, plate, error);
    plate.findIslands = findIslands;
    if (!loaded || !slicePlate(plate, jobDir, {}, cancel, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    return 0;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Cured pixels (grey >= 128) of every layer image in the folder, in name order.
std::vector<long long> curedPerLayer(const QString& folder)
{
    std::vector<long long> counts;
    const QStringList names
        = QDir(folder).entryList({ QStringLiteral("*.png") }, QDir::Files, QDir::Name);
    for (const QString& name : names) {
        QImage image(folder + QLatin1Char('/') + name);
        image = image.convertToFormat(QImage::Format_Grayscale8);
        long long cured = 0;
        for (int y = 0; y < image.height(); ++y) {
            const uchar* line = image.constScanLine(y);
            for (int x = 0; x < image.width(); ++x)
                cured += line[x] >= 128;
        }
        counts.push_back(cured);
    }
    return counts;
}

// Sum of grey / 255 over every layer image in the folder: the covered area in pixels.
double greySum(const QString& folder)
{
    double total = 0;
    const QStringList names
        = QDir(folder).entryList({ QStringLiteral("*.png") }, QDir::Files, QDir::Name);
    for (const QString& name : names) {
        const QImage image
            = QImage(folder + QLatin1Char('/') + name).convertToFormat(QImage::Format_Grayscale8);
        unsigned long long sum = 0;
        for (int y = 0; y < image.height(); ++y) {
            const uchar* line = image.constScanLine(y);
            for (int x = 0; x < image.width(); ++x)
                sum += line[x];
        }
        total += double(sum) / 255.0;
    }
    return total;
}

// The check by itself, one thread, on the runs decoded from the job's layer images: what the
// workers add to each layer, without the noise of timing two whole jobs on a shared machine.
double islandCheckSeconds(const QString& folder)
{
    const QStringList names
        = QDir(folder).entryList({ QStringLiteral("*.png") }, QDir::Files, QDir::Name);
    std::vector<PixelRuns> layers;
    for (const QString& name : names) {
        const QImage image
            = QImage(folder + QLatin1Char('/') + name).convertToFormat(QImage::Format_Grayscale8);
        layers.emplace_back();
        curedRuns(
            image.constBits(), image.width(), image.height(), image.bytesPerLine(), layers.back());
    }
    IslandFinder finder;
    std::vector<IslandRegion> found;
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t i = 1; i < layers.size(); ++i)
        finder.find(layers[i], layers[i - 1], found);
    const double islands
        = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // Then the traps, suction cups and overhangs, on the same runs.
    PrintCheck check(
        kDisplayWidthMm * 1000.0 / kPixelsX, kDisplayHeightMm * 1000.0 / kPixelsY, kLayerUm, 10000);
    const auto again = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < layers.size(); ++i)
        check.layerDone(int(i), layers[i]);
    PlateDocument document;
    check.report(document, kPixelsX / 2.0, kPixelsY / 2.0, 1, 1);
    const double others
        = std::chrono::duration<double>(std::chrono::steady_clock::now() - again).count();
    std::printf("checks alone: islands %.3f s, traps, suction cups and overhangs %.3f s (%lld, "
                "%lld, %lld found)\n",
        islands, others, document.resinTrapCount, document.suctionCupCount, document.overhangCount);
    return islands + others;
}

void compare(const std::vector<long long>& ours, const std::vector<long long>& theirs)
{
    long long ourTotal = 0, theirTotal = 0;
    for (long long c : ours)
        ourTotal += c;
    for (long long c : theirs)
        theirTotal += c;
    const double totalDeviation
        = theirTotal ? 100.0 * double(ourTotal - theirTotal) / double(theirTotal) : 0;
    std::printf("agreement: layers ours %zu, prusa-slicer %zu\n", ours.size(), theirs.size());
    std::printf("agreement: cured pixels over all layers ours %lld, prusa-slicer %lld: %+.3f %% "
                "(goal within 0.5 %%)\n",
        ourTotal, theirTotal, totalDeviation);
    int compared = 0, over = 0;
    double worst = 0;
    int worstLayer = -1;
    const std::size_t n = std::min(ours.size(), theirs.size());
    for (std::size_t i = 0; i < n; ++i) {
        if (theirs[i] <= 10000 && ours[i] <= 10000)
            continue;
        ++compared;
        const double deviation
            = 100.0 * std::fabs(double(ours[i] - theirs[i])) / double(std::max(theirs[i], 1LL));
        if (deviation > 2.0)
            ++over;
        if (deviation > worst) {
            worst = deviation;
            worstLayer = int(i);
        }
    }
    std::printf("agreement: %d layers with over 10000 cured pixels, %d beyond 2 %%, worst %.3f %% "
                "(layer %d)\n",
        compared, over, worst, worstLayer);
}

} // namespace

// The child side of a packing: the job folder into one job file, in the format plate.json names.
int packOnly(const std::string& jobDir, const std::string& out)
{
    std::string error;
    if (!writeJobFile(jobDir, out, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    return 0;
}

// Makes the sliced job in jobDir one for a printer that reads this format.
bool setJobFormat(const QString& jobDir, const std::string& format)
{
    PlateDocument d;
    std::string error;
    const std::string path = (jobDir + QStringLiteral("/plate.json")).toStdString();
    if (!readPlateDocument(path, d, error))
        return false;
    d.format = format;
    return writePlateDocument(d, path, error);
}

// Packs the job `rounds` times into each format, each packing a child process; prints medians.
void comparePacking(const std::string& self, const QString& work, const QString& jobDir, int rounds,
    double slicingPeakMiB)
{
    for (const char* format : { "sl1", "goo" }) {
        if (!setJobFormat(jobDir, format)) {
            std::printf("packing %s: cannot set the job's format\n", format);
            continue;
        }
        std::vector<double> times, peaks;
        const std::string out
            = (work + QStringLiteral("/ours.") + QLatin1String(format)).toStdString();
        for (int round = 0; round < rounds; ++round) {
            const Run run = runChild({ self, "--pack", jobDir.toStdString(), out }, false);
            if (!run.ok) {
                std::printf("packing %s failed\n", format);
                return;
            }
            times.push_back(run.seconds);
            peaks.push_back(run.peakMiB);
        }
        std::printf("packing %s: median %.2f s over %d rounds, peak memory %.1f MiB (median; "
                    "slicing's %.1f MiB: %+.1f MiB), file %.1f MiB\n",
            format, median(times), rounds, median(peaks), slicingPeakMiB,
            median(peaks) - slicingPeakMiB,
            QFileInfo(QString::fromStdString(out)).size() / 1048576.0);
    }
    setJobFormat(jobDir, std::string());
}

// Our whole job at each anti-aliasing level: time, peak memory, job file sizes, and the grey sum
// against prusa-slicer's (when given). The levels take turns in each round, so that other work on
// the machine weighs on all of them alike.
void compareLevels(const std::string& self, const QString& work, const std::string& stl, int rounds,
    double theirGrey)
{
    const int levels[5] = { 1, 2, 4, 8, 16 };
    std::vector<double> times[5], cpu[5], peaks[5];
    for (int round = 0; round < rounds; ++round) {
        for (int l = 0; l < 5; ++l) {
            const QString jobDir = work + QStringLiteral("/levels-%1").arg(levels[l]);
            QDir(jobDir).removeRecursively();
            QDir().mkpath(jobDir);
            const Run run = runChild(
                { self, "--slice-levels", stl, jobDir.toStdString(), std::to_string(levels[l]) },
                false);
            if (!run.ok) {
                std::printf("levels %d: our slicer failed\n", levels[l]);
                return;
            }
            times[l].push_back(run.seconds);
            cpu[l].push_back(run.cpuSeconds);
            peaks[l].push_back(run.peakMiB);
        }
    }
    for (int l = 0; l < 5; ++l) {
        const QString jobDir = work + QStringLiteral("/levels-%1").arg(levels[l]);
        double sizes[2] = {};
        const char* formats[2] = { "sl1", "goo" };
        for (int f = 0; f < 2; ++f) {
            const std::string out
                = (work + QStringLiteral("/levels.") + QLatin1String(formats[f])).toStdString();
            if (setJobFormat(jobDir, formats[f])
                && runChild({ self, "--pack", jobDir.toStdString(), out }, false).ok)
                sizes[f] = QFileInfo(QString::fromStdString(out)).size() / 1048576.0;
        }
        const double grey = greySum(jobDir);
        std::printf("levels %2d: median %.2f s (%.2fx without anti-aliasing), CPU %.2f s (%.2fx), "
                    "peak %.1f MiB; SL1 %.1f MiB, GOO %.1f MiB; grey sum %.0f",
            levels[l], median(times[l]), median(times[l]) / median(times[0]), median(cpu[l]),
            median(cpu[l]) / median(cpu[0]), median(peaks[l]), sizes[0], sizes[1], grey);
        if (theirGrey > 0)
            std::printf(", %+.3f %% against prusa-slicer", 100.0 * (grey / theirGrey - 1.0));
        std::printf("\n");
        std::fflush(stdout);
        QDir(jobDir).removeRecursively();
    }
}

// Slicing plus GOO packing on the largest displays, against prusa-slicer at the same resolution.
int comparePanels(const std::string& self, const QString& work, const std::string& stl, int rounds,
    bool haveReference)
{
    const Panel panels[] = { { 11520, 5120, 19.0, 24.0 }, { 13312, 5120, 16.8, 24.8 } };
    for (const Panel& panel : panels) {
        const double widthMm = panel.pixelsX * panel.umX / 1000.0;
        const double heightMm = panel.pixelsY * panel.umY / 1000.0;
        std::printf("panel %dx%d px, %.1fx%.1f um (%.3fx%.3f mm)\n", panel.pixelsX, panel.pixelsY,
            panel.umX, panel.umY, widthMm, heightMm);
        std::vector<double> ourTimes, ourPeaks, theirTimes, theirPeaks;
        for (int round = 0; round < rounds; ++round) {
            const QString jobDir = work + QStringLiteral("/panel-%1").arg(round);
            QDir(jobDir).removeRecursively();
            QDir().mkpath(jobDir);
            const Run slice
                = runChild({ self, "--slice-panel", stl, jobDir.toStdString(),
                               std::to_string(panel.pixelsX), std::to_string(panel.pixelsY),
                               std::to_string(panel.umX), std::to_string(panel.umY) },
                    false);
            const std::string goo = (work + QStringLiteral("/panel.goo")).toStdString();
            const Run pack
                = slice.ok ? runChild({ self, "--pack", jobDir.toStdString(), goo }, false) : Run();
            QDir(jobDir).removeRecursively();
            if (!pack.ok) {
                std::printf("our slicing or packing failed\n");
                return 1;
            }
            ourTimes.push_back(slice.seconds + pack.seconds);
            ourPeaks.push_back(std::max(slice.peakMiB, pack.peakMiB));
            std::printf("round %d: ours %.2f s (slicing %.2f s, packing %.2f s), peak %.1f MiB",
                round + 1, ourTimes.back(), slice.seconds, pack.seconds, ourPeaks.back());
            if (haveReference) {
                char width[32], height[32];
                std::snprintf(width, sizeof width, "%.3f", widthMm);
                std::snprintf(height, sizeof height, "%.3f", heightMm);
                const std::string out = (work + QStringLiteral("/prusa-panel.sl1")).toStdString();
                const Run theirs = runChild(
                    { "prusa-slicer", "--export-sla", "--printer-technology", "SLA",
                        "--layer-height", "0.05", "--initial-layer-height", "0.05",
                        "--display-pixels-x", std::to_string(panel.pixelsX), "--display-pixels-y",
                        std::to_string(panel.pixelsY), "--display-width", width, "--display-height",
                        height, "--display-orientation", "landscape", "--no-supports-enable",
                        "--no-pad-enable", "--output", out, stl },
                    true);
                std::remove(out.c_str());
                if (theirs.ok) {
                    theirTimes.push_back(theirs.seconds);
                    theirPeaks.push_back(theirs.peakMiB);
                    std::printf("; prusa-slicer %.2f s, %.1f MiB", theirs.seconds, theirs.peakMiB);
                } else {
                    std::printf("; prusa-slicer failed");
                }
            }
            std::printf("\n");
            std::fflush(stdout);
        }
        std::printf("ours: median %.2f s, peak memory %.1f MiB (median)\n", median(ourTimes),
            median(ourPeaks));
        if (!theirTimes.empty())
            std::printf("prusa-slicer: median %.2f s, peak memory %.1f MiB (median); ours is %.1fx "
                        "faster (goal 15x), peak memory %.3f of theirs (goal at most 0.2)\n",
                median(theirTimes), median(theirPeaks), median(theirTimes) / median(ourTimes),
                median(ourPeaks) / median(theirPeaks));
    }
    return 0;
}

int main(int argc, char** argv)
{
    if (argc == 4 && std::string(argv[1]) == "--pack")
        return packOnly(argv[2], argv[3]);
    if (argc == 8 && std::string(argv[1]) == "--slice-panel")
        return sliceOnly(argv[2], argv[3], true, kAntiAliasing,
            { std::atoi(argv[4]), std::atoi(argv[5]), std::atof(argv[6]), std::atof(argv[7]) },
            "goo");
    if (argc == 5 && std::string(argv[1]) == "--slice-levels")
        return sliceOnly(argv[2], argv[3], true, std::atoi(argv[4]));
    if (argc == 4 && std::string(argv[1]) == "--slice")
        return sliceOnly(argv[2], argv[3], true);
    if (argc == 4 && std::string(argv[1]) == "--slice-without-islands")
        return sliceOnly(argv[2], argv[3], false);

    QCoreApplication app(argc, argv);
    int rounds = 3;
    QString keep;
    bool panels = false;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--rounds") && i + 1 < args.size())
            rounds = std::max(1, args[++i].toInt());
        else if (args[i] == QLatin1String("--keep") && i + 1 < args.size())
            keep = args[++i];
        else if (args[i] == QLatin1String("--panels"))
            panels = true;
    }

    QTemporaryDir temporary;
    const QString work = keep.isEmpty() ? temporary.path() : keep;
    QDir().mkpath(work);
    const std::string stl = (work + QStringLiteral("/sphere.stl")).toStdString();
    if (!writeSphereStl(stl, 30.0, 1000, 501)) {
        std::fprintf(stderr, "cannot write %s\n", stl.c_str());
        return 1;
    }
    std::printf(
        "model: UV sphere, 60 mm, 1000000 triangles; %dx%d px on %.0fx%.0f mm, %.2f mm layers\n",
        kPixelsX, kPixelsY, kDisplayWidthMm, kDisplayHeightMm, kLayerUm / 1000.0);

    const bool haveReference = runChild({ "prusa-slicer", "--help" }, true).ok;
    if (!haveReference)
        std::printf("prusa-slicer is not installed: only our own figures follow\n");

    const std::string self = QCoreApplication::applicationFilePath().toStdString();
    if (panels)
        return comparePanels(self, work, stl, rounds, haveReference);
    std::vector<double> ourTimes, ourPeaks, theirTimes, theirPeaks, plainTimes, ourCpu, plainCpu;
    QString ourJob, theirJob;
    for (int round = 0; round < rounds; ++round) {
        const QString jobDir = work + QStringLiteral("/ours-%1").arg(round);
        QDir(jobDir).removeRecursively();
        QDir().mkpath(jobDir);
        // The same job without the island check, for what the check costs; every other round
        // first, so that neither gains from going second.
        const QString plainDir = work + QStringLiteral("/plain-%1").arg(round);
        QDir(plainDir).removeRecursively();
        QDir().mkpath(plainDir);
        const auto runPlain = [&] {
            const Run run
                = runChild({ self, "--slice-without-islands", stl, plainDir.toStdString() }, false);
            QDir(plainDir).removeRecursively();
            return run;
        };
        Run plain;
        if (round % 2)
            plain = runPlain();
        const Run ours = runChild({ self, "--slice", stl, jobDir.toStdString() }, false);
        if (round % 2 == 0)
            plain = runPlain();
        if (!plain.ok) {
            std::fprintf(stderr, "our slicer failed without the island check\n");
            return 1;
        }
        if (!ours.ok) {
            std::fprintf(stderr, "our slicer failed\n");
            return 1;
        }
        ourTimes.push_back(ours.seconds);
        ourCpu.push_back(ours.cpuSeconds);
        ourPeaks.push_back(ours.peakMiB);
        ourJob = jobDir;
        std::printf("round %d: ours %.2f s, %.1f MiB", round + 1, ours.seconds, ours.peakMiB);
        plainTimes.push_back(plain.seconds);
        plainCpu.push_back(plain.cpuSeconds);
        std::printf(" (%.2f s without the checks)", plain.seconds);
        if (haveReference) {
            const std::string out
                = (work + QStringLiteral("/prusa-%1.sl1").arg(round)).toStdString();
            const Run theirs = runChild(
                { "prusa-slicer", "--export-sla", "--printer-technology", "SLA", "--layer-height",
                    "0.05", "--initial-layer-height", "0.05", "--display-pixels-x", "2560",
                    "--display-pixels-y", "1440", "--display-width", "120", "--display-height",
                    "68", "--display-orientation", "landscape", "--no-supports-enable",
                    "--no-pad-enable", "--output", out, stl },
                true);
            if (theirs.ok) {
                theirTimes.push_back(theirs.seconds);
                theirPeaks.push_back(theirs.peakMiB);
                theirJob = QString::fromStdString(out);
                std::printf("; prusa-slicer %.2f s, %.1f MiB", theirs.seconds, theirs.peakMiB);
            } else {
                std::printf("; prusa-slicer failed");
            }
        }
        std::printf("\n");
        std::fflush(stdout);
    }

    const int layers = int(QDir(ourJob).entryList({ QStringLiteral("*.png") }, QDir::Files).size());
    const double ourTime = median(ourTimes);
    std::printf(
        "ours: median %.2f s over %d rounds, %.1f layers/s, peak memory %.1f MiB (median)\n",
        ourTime, rounds, layers / ourTime, median(ourPeaks));
    std::printf("checks: median %.2f s without them, so they cost %+.1f %% (goal under 25 %%)\n",
        median(plainTimes), 100.0 * (ourTime / median(plainTimes) - 1.0));
    std::printf("checks: median CPU time %.2f s with them, %.2f s without them: %+.1f %%\n",
        median(ourCpu), median(plainCpu), 100.0 * (median(ourCpu) / median(plainCpu) - 1.0));
    std::printf("checks: fastest round %.2f s with them, %.2f s without them\n",
        *std::min_element(ourTimes.begin(), ourTimes.end()),
        *std::min_element(plainTimes.begin(), plainTimes.end()));
    const double alone = islandCheckSeconds(ourJob);
    std::printf("checks alone, on the runs of the layer images: %.3f s, %.1f %% of the "
                "median job without them\n",
        alone, 100.0 * alone / median(plainTimes));

    // Packing the job file is a separate request; timed once, for the record.
    const std::string jobFile = (work + QStringLiteral("/ours.sl1")).toStdString();
    std::string error;
    const auto packStart = std::chrono::steady_clock::now();
    if (!writeJobFile(ourJob.toStdString(), jobFile, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    std::printf("ours: job file packed in %.2f s, %.1f MiB\n",
        std::chrono::duration<double>(std::chrono::steady_clock::now() - packStart).count(),
        QFileInfo(QString::fromStdString(jobFile)).size() / 1048576.0);
    comparePacking(self, work, ourJob, rounds, median(ourPeaks));
    if (theirTimes.empty()) {
        compareLevels(self, work, stl, rounds, 0);
        return 0;
    }
    const double theirTime = median(theirTimes);
    std::printf("prusa-slicer: median %.2f s over %zu rounds, %.1f layers/s, peak memory %.1f MiB "
                "(median)\n",
        theirTime, theirTimes.size(), layers / theirTime, median(theirPeaks));
    std::printf(
        "ratio: ours is %.2fx faster (goal 10x); peak memory %.2f of theirs (goal at most 0.2)\n",
        theirTime / ourTime, median(ourPeaks) / median(theirPeaks));

    const QString unpacked = work + QStringLiteral("/prusa-unpacked");
    QDir(unpacked).removeRecursively();
    if (!runChild({ "unzip", "-q", "-o", theirJob.toStdString(), "*.png", "-x", "thumbnail/*", "-d",
                      unpacked.toStdString() },
            true)
             .ok) {
        std::fprintf(stderr, "cannot unpack %s\n", qPrintable(theirJob));
        return 1;
    }
    compare(curedPerLayer(ourJob), curedPerLayer(unpacked));
    const double theirGrey = greySum(unpacked);
    std::printf("agreement: grey sum over all layers (covered pixels) ours %.0f, prusa-slicer "
                "%.0f: %+.3f %% (goal within 0.5 %%)\n",
        greySum(ourJob), theirGrey, 100.0 * (greySum(ourJob) / theirGrey - 1.0));
    compareLevels(self, work, stl, rounds, theirGrey);
    return 0;
}
