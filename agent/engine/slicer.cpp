// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "slicer.h"
#include "elephantfoot.h"
#include "islandcheck.h"
#include "layersweep.h"
#include "outlineclosure.h"
#include "platedocument.h"
#include "printcheck.h"
#include "pngwriter.h"
#include "raster.h"
#include "platepreview.h"
#include "printtime.h"

#include <QDateTime>
#include <QDir>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>
#include <new>
#include <thread>

namespace {

// Bands of layers handed to the workers, per worker: enough for an even share when some
// heights hold more of the model than others. Each band sweeps up through its layers.
constexpr int kBandsPerWorker = 4;
// Outline ends closer than this (in pixels) are joined: float rounding in exported meshes leaves
// such gaps, and closing them changes no pixel centre's side by more than the gap itself.
constexpr double kGapTolerancePixels = 0.5;
// Cured area a layer may add over the one below before the peel force counts as a risk: 1 cm².
constexpr double kPeelWarningGrowthMm2 = 100.0;
// plate.json lists at most this many islands, the lowest first; "islandCount" counts them all.
constexpr std::size_t kListedIslands = 10000;

// One image per layer exposes the whole plate: each item must cure and peel at least as its own
// profile asks, so the job takes the longest exposures and waits, the most bottom and transition
// layers, the longest lifts, the slowest moves and the strongest light of its items.
void gentlest(Profile& job, const Profile& item)
{
    job.exposureS = std::max(job.exposureS, item.exposureS);
    job.bottomExposureS = std::max(job.bottomExposureS, item.bottomExposureS);
    job.bottomLayers = std::max(job.bottomLayers, item.bottomLayers);
    job.transitionLayers = std::max(job.transitionLayers, item.transitionLayers);
    job.bottomLiftMm = std::max(job.bottomLiftMm, item.bottomLiftMm);
    job.liftMm = std::max(job.liftMm, item.liftMm);
    job.bottomLiftSpeed = std::min(job.bottomLiftSpeed, item.bottomLiftSpeed);
    job.liftSpeed = std::min(job.liftSpeed, item.liftSpeed);
    job.bottomRetractSpeed = std::min(job.bottomRetractSpeed, item.bottomRetractSpeed);
    job.retractSpeed = std::min(job.retractSpeed, item.retractSpeed);
    job.waitBeforeLiftS = std::max(job.waitBeforeLiftS, item.waitBeforeLiftS);
    job.waitAfterLiftS = std::max(job.waitAfterLiftS, item.waitAfterLiftS);
    job.waitAfterRetractS = std::max(job.waitAfterRetractS, item.waitAfterRetractS);
    job.lightPwm = std::max(job.lightPwm, item.lightPwm);
}

const char* const kThumbnailNames[2]
    = { "thumbnail/thumbnail400x400.png", "thumbnail/thumbnail800x480.png" };
const int kThumbnailSizes[2][2] = { { 400, 400 }, { 800, 480 } };

// Model millimetres to image pixels: plate centre at the image centre, y up on the plate is up
// in the image unless mirrored.
struct PixelMapping {
    double centreX, centreY, scaleX, scaleY;
};

// Cuts one triangle with the plane z = zc. A corner counts as above when z >= zc, the same for
// every triangle, and a crossing point is always interpolated from the corner below to the one
// above: the two triangles that share an edge then produce the very same point, and a closed
// mesh gives closed outlines. The segment runs from the edge that goes down to the edge that goes
// up (corners in their stored order), which leaves the solid on its left when seen from above.
inline void cutTriangle(
    const float* t, double zc, const PixelMapping& m, std::vector<Segment>& segments)
{
    const bool above[3] = { t[2] >= zc, t[5] >= zc, t[8] >= zc };
    if (above[0] == above[1] && above[1] == above[2])
        return;
    double point[2][2] = {}; // [0] where an edge goes down, [1] where one goes up
    for (int i = 0; i < 3; ++i) {
        const int j = (i + 1) % 3;
        if (above[i] == above[j])
            continue;
        const float* a = t + 3 * (above[i] ? i : j); // the corner above
        const float* b = t + 3 * (above[i] ? j : i); // the corner below
        const double f = (zc - double(b[2])) / (double(a[2]) - double(b[2]));
        const double x = double(b[0]) + f * (double(a[0]) - double(b[0]));
        const double y = double(b[1]) + f * (double(a[1]) - double(b[1]));
        double* p = point[above[i] ? 0 : 1];
        p[0] = m.centreX + m.scaleX * x;
        p[1] = m.centreY + m.scaleY * y;
    }
    segments.push_back({ point[0][0], point[0][1], point[1][0], point[1][1] });
}

// The job name as a file-name prefix: letters, digits, '-' and '_' kept, the rest made '_'.
std::string jobDirName(const std::string& jobName)
{
    std::string name;
    for (char c : jobName) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')
            || (c >= '0' && c <= '9') || c == '-' || c == '_';
        name += plain ? c : '_';
        if (name.size() == 40)
            break;
    }
    if (name.find_first_not_of('_') == std::string::npos)
        name = "job";
    return name;
}

std::string layerFileName(const std::string& prefix, int layer)
{
    char digits[16];
    std::snprintf(digits, sizeof digits, "%05d", layer);
    return prefix + digits + ".png";
}

class Job {
public:
    Job(const Plate& plate, const std::string& jobDir, const std::function<void(int)>& progress,
        const std::atomic<bool>& cancel)
        : m_plate(plate)
        , m_profile(plate.items.front().profile)
        , m_jobDir(jobDir)
        , m_prefix(jobDirName(plate.jobName))
        , m_progress(progress)
        , m_cancel(cancel)
        , m_layerHeight(m_profile.depthUm / 1000.0)
        , m_curedPixels(std::size_t(plate.layerCount), 0)
        , m_coveredPixels(std::size_t(plate.layerCount), 0.0)
    {
        const double pixelMmX = m_profile.pixelUmX / 1000.0;
        const double pixelMmY = m_profile.pixelUmY / 1000.0;
        m_mapping.centreX = m_profile.pixelsX / 2.0;
        m_mapping.centreY = m_profile.pixelsY / 2.0;
        m_mapping.scaleX = (m_profile.mirrorX ? -1.0 : 1.0) / pixelMmX;
        m_mapping.scaleY = (m_profile.mirrorY ? 1.0 : -1.0) / pixelMmY;
        m_footPixels = m_profile.elephantFootMm / pixelMmX;
        m_footLayers = m_profile.elephantFootLayers >= 0 ? m_profile.elephantFootLayers
                                                         : m_profile.bottomLayers;
    }

    bool run(std::string& error)
    {
        m_spans = layerSpans(m_plate, m_layerHeight, m_plate.layerCount);
        const unsigned cores = std::max(1u, std::min(8u, std::thread::hardware_concurrency()));
        const int bands = int(cores) * kBandsPerWorker;
        m_bandLayers = std::max(1, (m_plate.layerCount + bands - 1) / bands);
        std::vector<std::thread> helpers;
        for (unsigned w = 1; w < cores; ++w)
            helpers.emplace_back([this] { guardedWork(); });
        guardedWork();
        for (std::thread& helper : helpers)
            helper.join();
        if (m_failed) {
            error = m_error;
            return false;
        }
        if (m_cancel) {
            error = "Slicing was cancelled.";
            return false;
        }
        return finish(error);
    }

private:
    // An exception on a worker thread would end the agent: the job fails with a sentence.
    void guardedWork()
    {
        try {
            work();
        } catch (const std::bad_alloc&) {
            fail("There is not enough memory to slice the job.");
        }
    }

    void work()
    {
        LayerImage image;
        image.resize(m_profile.pixelsX, m_profile.pixelsY);
        Rasterizer rasterizer;
        rasterizer.setAntiAliasing(m_profile.antiAliasing, m_profile.gamma);
        OutlineClosure closure;
        PngWriter png;
        std::vector<Segment> segments;
        IslandCheck::Worker islands;
        for (;;) {
            const int firstLayer = m_nextBand++ * m_bandLayers;
            if (firstLayer >= m_plate.layerCount)
                return;
            const int lastLayer = std::min(m_plate.layerCount, firstLayer + m_bandLayers);
            LayerSweep sweep(m_spans, firstLayer);
            for (int layer = firstLayer; layer < lastLayer; ++layer) {
                if (m_failed || m_cancel)
                    return;
                const double zc = (layer + 0.5) * m_layerHeight;
                segments.clear();
                if (!cutLayer(sweep.advance(layer), zc, closure, segments))
                    return;
                const double foot = elephantFootAt(m_footPixels, layer, m_footLayers);
                if (foot > 0)
                    ElephantFoot::shrink(segments, foot, m_profile.pixelUmY / m_profile.pixelUmX);
                m_curedPixels[std::size_t(layer)] = (long long)rasterizer.fill(segments, image);
                m_coveredPixels[std::size_t(layer)] = rasterizer.greySum();
                if (m_plate.findIslands)
                    checkIslands(islands, rasterizer, layer, layer + 1 < lastLayer);
                std::string error;
                const std::string path = m_jobDir + "/" + layerFileName(m_prefix, layer);
                const bool encoded = png.encode(image.bytes.data(), image.width, image.height, 1);
                rasterizer.erase(image);
                if (!encoded) {
                    fail("Cannot encode the layer image " + path + ".");
                    return;
                }
                if (!png.save(path, error)) {
                    fail(error);
                    return;
                }
                const int done = ++m_layersDone;
                if (m_progress)
                    m_progress(done);
            }
        }
    }

    void checkIslands(
        IslandCheck::Worker& worker, const Rasterizer& rasterizer, int layer, bool continues)
    {
        worker.runs.clear();
        for (const Rasterizer::Span& span : rasterizer.spans())
            worker.runs.push_back({ span.row, int(span.from), int(span.to) });
        m_printCheck.layerDone(layer, worker.runs);
        m_islands.layerDone(worker, layer, m_plate.layerCount, continues);
    }

    // Cuts each model's triangles and closes its outline; models are closed one by one so that
    // no model's loose end is joined to another's. False, with the job failed, when a model's
    // outline has a gap too wide to close.
    bool cutLayer(const std::vector<const float*>& triangles, double zc, OutlineClosure& closure,
        std::vector<Segment>& segments)
    {
        for (const PlateItem& item : m_plate.items) {
            const float* begin = item.mesh.xyz.data();
            const float* end = begin + item.mesh.xyz.size();
            const std::size_t first = segments.size();
            for (const float* t : triangles) {
                if (m_plate.items.size() == 1
                    || (!std::less<const float*>()(t, begin) && std::less<const float*>()(t, end)))
                    cutTriangle(t, zc, m_mapping, segments);
            }
            if (!closure.close(segments, first, kGapTolerancePixels)) {
                char height[32];
                std::snprintf(height, sizeof height, "%.3f", zc);
                fail("The model " + item.stlPath + " is not closed: its outline at a height of "
                    + height + " mm has a gap that cannot be closed.");
                return false;
            }
        }
        return true;
    }

    void fail(const std::string& error)
    {
        std::lock_guard<std::mutex> lock(m_errorMutex);
        if (!m_failed) {
            m_error = error;
            m_failed = true;
        }
    }

    bool finish(std::string& error)
    {
        // A job of blank layers would print nothing, yet look done.
        if (std::all_of(m_curedPixels.begin(), m_curedPixels.end(),
                [](long long pixels) { return pixels == 0; })) {
            error = "Every layer of the job is empty: its models enclose no volume the printer "
                    "can cure.";
            return false;
        }
        PlateDocument d;
        if (!QDir().mkpath(QString::fromStdString(m_jobDir + "/thumbnail"))) {
            error = "Cannot create the folder " + m_jobDir + "/thumbnail.";
            return false;
        }
        std::vector<const Mesh*> meshes;
        for (const PlateItem& item : m_plate.items)
            meshes.push_back(&item.mesh);
        PngWriter png;
        for (int k = 0; k < 2; ++k) {
            // The models as they stand on the plate, seen from above and at an angle.
            const int width = kThumbnailSizes[k][0], height = kThumbnailSizes[k][1];
            const RgbImage picture = renderPlatePreview(
                meshes, k == 0 ? PreviewView::Top : PreviewView::Angled, width, height);
            std::vector<std::uint8_t> rows;
            rows.reserve(std::size_t(height) * (1 + std::size_t(width) * 3));
            for (int y = 0; y < height; ++y) {
                rows.push_back(0);
                const auto row = picture.rgb.begin() + std::ptrdiff_t(y) * width * 3;
                rows.insert(rows.end(), row, row + width * 3);
            }
            if (!png.encode(rows.data(), kThumbnailSizes[k][0], kThumbnailSizes[k][1], 3)
                || !png.save(m_jobDir + "/" + kThumbnailNames[k], error)) {
                if (error.empty())
                    error = "Cannot encode the job's thumbnail.";
                return false;
            }
            d.thumbnails.push_back(kThumbnailNames[k]);
        }

        d.name = m_plate.jobName;
        d.jobDir = m_prefix;
        d.printerName = m_plate.printer.name;
        d.printerModel = m_plate.printer.model;
        d.printerIp = m_plate.printer.ip;
        d.printerPort = m_plate.printer.port;
        d.printerLocal = m_plate.printer.local;
        d.format = m_plate.printer.format;
        d.formatVersion = m_plate.printer.formatVersion;
        d.layerCount = m_plate.layerCount;
        d.depthUm = m_profile.depthUm;
        d.pixelsX = m_profile.pixelsX;
        d.pixelsY = m_profile.pixelsY;
        d.pixelUmX = m_profile.pixelUmX;
        d.pixelUmY = m_profile.pixelUmY;
        d.mirrorX = m_profile.mirrorX;
        d.mirrorY = m_profile.mirrorY;
        d.maxHeightMm = m_profile.maxHeightMm;
        d.settings = m_profile;
        for (const PlateItem& item : m_plate.items) {
            d.items.push_back({ item.stlPath, item.profile });
            gentlest(d.settings, item.profile);
        }
        d.exposureS = d.settings.exposureS;
        d.bottomExposureS = d.settings.bottomExposureS;
        d.bottomLayers = d.settings.bottomLayers;
        double covered = 0; // pixels, an edge pixel by its grey
        for (int layer = 0; layer < m_plate.layerCount; ++layer) {
            d.layers.push_back(layerFileName(m_prefix, layer));
            covered += m_coveredPixels[std::size_t(layer)];
        }

        d.curedPixels = m_curedPixels;
        const double pixelAreaMm2 = (m_profile.pixelUmX / 1000.0) * (m_profile.pixelUmY / 1000.0);
        d.islandCount = m_islands.count();
        for (const LayerIsland& island : m_islands.islands()) {
            const IslandRegion& r = island.region;
            d.islands.push_back({ island.layer, (r.x - m_mapping.centreX) / m_mapping.scaleX,
                (r.y - m_mapping.centreY) / m_mapping.scaleY, double(r.pixels) * pixelAreaMm2 });
        }
        if (m_plate.findIslands)
            m_printCheck.report(
                d, m_mapping.centreX, m_mapping.centreY, m_mapping.scaleX, m_mapping.scaleY);
        d.peelWarningLayers = peelWarningLayers(m_curedPixels, pixelAreaMm2, kPeelWarningGrowthMm2);
        // Cured voxels times their volume, mm^3 to millilitres; a grey voxel cures in part.
        d.usedMaterialMl = covered * (m_profile.pixelUmX / 1000.0) * (m_profile.pixelUmY / 1000.0)
            * m_layerHeight / 1000.0;
        d.printTimeS = printTimeS(d.settings, d.layerCount);
        d.created = QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString();
        // Last, and atomically: its presence tells that every layer image is complete.
        return writePlateDocument(d, m_jobDir + "/plate.json", error);
    }

    const Plate& m_plate;
    const Profile& m_profile;
    const std::string m_jobDir;
    const std::string m_prefix;
    const std::function<void(int)>& m_progress;
    const std::atomic<bool>& m_cancel;
    const double m_layerHeight;
    PixelMapping m_mapping {};
    double m_footPixels = 0; // the first layer's shrink, in x pixels
    int m_footLayers = 0;

    std::vector<LayerSpan> m_spans;
    int m_bandLayers = 1;
    std::atomic<int> m_nextBand { 0 };
    std::atomic<int> m_layersDone { 0 };
    std::vector<long long> m_curedPixels; // grey >= 128; each worker writes only its own layers
    std::vector<double> m_coveredPixels; // sum of grey / 255
    IslandCheck m_islands { kListedIslands };
    PrintCheck m_printCheck { m_profile.pixelUmX, m_profile.pixelUmY, double(m_profile.depthUm),
        kListedIslands };

    std::mutex m_errorMutex;
    std::atomic<bool> m_failed { false };
    std::string m_error;
};

} // namespace

bool slicePlate(const Plate& plate, const std::string& jobDir,
    const std::function<void(int layersDone)>& progress, const std::atomic<bool>& cancel,
    std::string& error)
{
    if (plate.items.empty() || plate.layerCount <= 0) {
        error = "The job has no models to slice.";
        return false;
    }
    Job job(plate, jobDir, progress, cancel);
    return job.run(error);
}
