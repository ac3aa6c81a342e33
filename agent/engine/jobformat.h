// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_ENGINE_JOBFORMAT_H
#define AGENT_ENGINE_JOBFORMAT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// What every job file says about its print, whatever the format. Lengths in mm, times in s,
// speeds in mm/min (writers convert where their format wants mm/s). The layer images are already
// mirrored as mirrorX/mirrorY say: writers store them as they are and only record the flags.
struct JobSettings {
    std::string printerName; // as the owner knows it, e.g. "Elegoo Saturn 3 Ultra"
    std::string printerModel; // the printer class written to SL1-style jobs
    std::string profileName; // the print profile's title
    std::string jobName; // the job's file-name-safe name (SL1 layer image prefix)
    std::string created; // UTC, "yyyy-MM-ddTHH:mm:ssZ"
    int pixelsX = 0; // display resolution: every layer image is pixelsX x pixelsY
    int pixelsY = 0;
    double pixelUmX = 0; // micrometres per pixel; x and y may differ
    double pixelUmY = 0;
    bool mirrorX = false;
    bool mirrorY = false;
    double maxHeightMm = 0; // build height
    double layerHeightMm = 0;
    int layerCount = 0;
    int bottomLayers = 0;
    double exposureS = 0;
    double bottomExposureS = 0;
    int transitionLayers = 0; // after the bottom layers, exposure steps towards the normal one
    // Motion between layers, from the profile; the defaults suit most lifting printers.
    double bottomLiftMm = 6;
    double bottomLiftSpeed = 60; // mm/min
    double liftMm = 6;
    double liftSpeed = 120;
    double bottomRetractSpeed = 120;
    double retractSpeed = 180;
    double waitBeforeExposureS = 1; // after the retract, before the light
    double bottomWaitBeforeExposureS = 1;
    double waitBeforeLiftS = 0; // after the light, before the lift; bottom layers alike
    double waitAfterLiftS = 0;
    int lightPwm = 255; // 0..255
    int bottomLightPwm = 255;
    int antiAliasing = 1; // 1 = not anti-aliased
    // Estimates for the printer's screen; 0 when unknown.
    double printTimeS = 0;
    double volumeMl = 0;
    std::string plateJson; // our own record of the job ("plate.json"), for formats that carry it
};

// An RGB picture, 3 bytes per pixel, rows top first, no padding.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
};

// The pictures a printer shows of a job: the plate's models seen from above or at an angle, in
// whatever size the format stores (the source scales and frames them to width x height).
enum class PreviewView { Top, Angled };
using PreviewSource = std::function<RgbImage(PreviewView view, int width, int height)>;

// A run of `length` pixels of one grey.
struct LayerRun {
    std::uint32_t length;
    std::uint8_t grey;
};

// One layer as a writer receives it. `pixels` holds width x height greys, row 0 on top
// (0 = dark, 255 = cured). A writer that copies PNGs (the SL1 zip) may ask for `png` instead by
// answering takesPng(); it then gets the slicer's own PNG of the layer and `pixels` may be null.
// A writer that answers takesRuns() may get the image as `runs` instead (row-major, continuing
// across rows, adding up to width x height), `pixels` then being null; it must still take
// `pixels` when `runs` is null.
struct JobLayer {
    const std::uint8_t* pixels = nullptr;
    const std::uint8_t* png = nullptr;
    std::size_t pngSize = 0;
    const LayerRun* runs = nullptr;
    std::size_t runCount = 0;
};

// Writes one job file, streaming: begin, then each layer bottom first, then finish. Memory stays
// flat in the layer count. The file is the caller's (open for writing, seekable, at offset 0);
// the writer may seek back to fill in its header. Every failure is one plain sentence.
class JobWriter {
public:
    virtual ~JobWriter() = default;
    virtual bool takesPng() const { return false; }
    virtual bool takesRuns() const { return false; }
    virtual bool begin(std::FILE* file, const JobSettings& settings, const PreviewSource& previews,
        std::string& error)
        = 0;
    virtual bool addLayer(const JobLayer& layer, std::string& error) = 0;
    virtual bool finish(std::string& error) = 0;
};

// Reads a job file back: its settings, previews and each layer's pixels as the printer will show
// them. open() checks the whole structure; readLayer() decodes one layer, any order.
class JobReader {
public:
    virtual ~JobReader() = default;
    virtual bool open(const std::string& path, std::string& error) = 0;
    virtual const JobSettings& settings() const = 0;
    virtual std::vector<RgbImage> previews() const = 0;
    // pixels becomes width x height greys, row 0 on top.
    virtual bool readLayer(int index, std::vector<std::uint8_t>& pixels, std::string& error) = 0;
};

// The job file formats we write, by the name printers.json uses ("sl1", "sl1s", "goo", "prz",
// "ctb", "pwmb", "pm3n", ...). version picks among a format's file versions (0: its usual one).
struct JobFormat {
    std::string id;
    std::string extension; // with the dot: ".goo"
    int version = 0;
    std::string title; // for people: "GOO", "SL1 zip", ...
};

// The format with this id, with its default version filled in; false when we do not write it.
bool findJobFormat(const std::string& id, JobFormat& format);
std::vector<JobFormat> jobFormats();
// The format's writer; nullptr when the agent knows the format but cannot write it yet.
std::unique_ptr<JobWriter> makeJobWriter(const JobFormat& format);
// A reader for the file at path, chosen by its extension; nullptr when no format uses it.
std::unique_ptr<JobReader> makeJobReader(const std::string& path);

#endif
