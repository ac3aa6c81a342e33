// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobfile.h"
#include "platedocument.h"
#include "pngreader.h"
#include "pngruns.h"
#include "pngwriter.h"
#include "zipwriter.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <system_error>
#include <thread>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// Numbers as the ini files carry them: plain decimals, no exponent, no trailing zeros.
std::string decimal(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.6f", value);
    std::string s = text;
    s.erase(s.find_last_not_of('0') + 1);
    if (!s.empty() && s.back() == '.')
        s.pop_back();
    return s;
}

// The creation time in the words job files use, e.g. "2026-12-08 at 06:30:00 UTC".
std::string creationStamp(const std::string& isoUtc)
{
    if (isoUtc.size() >= 19 && isoUtc[10] == 'T')
        return isoUtc.substr(0, 10) + " at " + isoUtc.substr(11, 8) + " UTC";
    return isoUtc;
}

// Names and titles come from the printers file: a line break in one would start a key of its
// own, which readers would take over ours.
std::string line(const char* key, std::string value)
{
    for (char& c : value) {
        if (c == '\n' || c == '\r')
            c = ' ';
    }
    return std::string(key) + " = " + value + "\n";
}

std::string configIni(const JobSettings& s)
{
    std::string ini;
    ini += line("action", "print");
    ini += line("bottomLiftDistance", decimal(s.bottomLiftMm));
    ini += line("bottomLiftSpeed", decimal(s.bottomLiftSpeed));
    ini += line("bottomRetractSpeed", decimal(s.bottomRetractSpeed));
    ini += line("jobDir", s.jobName);
    ini += line("expTime", decimal(s.exposureS));
    ini += line("expTimeFirst", decimal(s.bottomExposureS));
    ini += line("fileCreationTimestamp", creationStamp(s.created));
    ini += line("hollow", "0");
    ini += line("layerHeight", decimal(s.layerHeightMm));
    ini += line("liftDistance", decimal(s.liftMm));
    ini += line("liftSpeed", decimal(s.liftSpeed));
    ini += line("lightPWM", std::to_string(s.lightPwm));
    ini += line("materialName", "Generic resin");
    // Bottom layers: readers of this layout take the count of the longer-exposed first layers
    // from numFade. Every layer is a fast (non-tilting) layer.
    ini += line("numFade", std::to_string(s.bottomLayers));
    ini += line("numFast", std::to_string(s.layerCount));
    ini += line("numSlow", "0");
    ini += line("printProfile", s.profileName);
    ini += line("printTime", decimal(s.printTimeS));
    ini += line("printerModel", s.printerModel);
    ini += line("printerProfile", s.printerName);
    ini += line("printerVariant", "default");
    ini += line("retractSpeed", decimal(s.retractSpeed));
    ini += line("transitionLayers", std::to_string(s.transitionLayers));
    ini += line("usedMaterial", decimal(s.volumeMl));
    ini += line("waitAfterLift", decimal(s.waitAfterLiftS));
    ini += line("waitAfterRetract", decimal(s.waitBeforeExposureS));
    ini += line("waitBeforeLift", decimal(s.waitBeforeLiftS));
    return ini;
}

std::string printerIni(const JobSettings& s)
{
    std::string ini;
    ini += line("printer_technology", "SLA");
    ini += line("printer_model", s.printerModel);
    ini += line("printer_settings_id", s.printerName);
    ini += line("sla_print_settings_id", s.profileName);
    ini += line("layer_height", decimal(s.layerHeightMm));
    ini += line("initial_layer_height", decimal(s.layerHeightMm));
    ini += line("exposure_time", decimal(s.exposureS));
    ini += line("initial_exposure_time", decimal(s.bottomExposureS));
    ini += line("faded_layers", std::to_string(s.bottomLayers));
    ini += line("display_width", decimal(s.pixelsX * s.pixelUmX / 1000.0));
    ini += line("display_height", decimal(s.pixelsY * s.pixelUmY / 1000.0));
    ini += line("display_pixels_x", std::to_string(s.pixelsX));
    ini += line("display_pixels_y", std::to_string(s.pixelsY));
    // The layer images are display_pixels_x wide and display_pixels_y high, never turned.
    ini += line("display_orientation", "landscape");
    ini += line("display_mirror_x", s.mirrorX ? "1" : "0");
    ini += line("display_mirror_y", s.mirrorY ? "1" : "0");
    ini += line("max_print_height", decimal(s.maxHeightMm));
    ini += line("thumbnails", "400x400,800x480");
    return ini;
}

bool readWholeFile(const std::string& path, std::vector<std::uint8_t>& data, std::string& error)
{
    data.clear();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        error = "The job is missing " + path + ": " + std::strerror(errno) + ".";
        return false;
    }
    std::uint8_t buffer[1 << 16];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        data.insert(data.end(), buffer, buffer + got);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        error = "Cannot read " + path + ".";
        return false;
    }
    return true;
}

bool addText(ZipWriter& zip, const char* name, const std::string& text, std::string& error)
{
    return zip.add(
        name, reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), true, error);
}

// "yyyy-MM-ddTHH:mm:ssZ" as a time, or the current time when it is not one.
std::time_t timeOf(const std::string& iso)
{
    std::tm t {};
    if (std::sscanf(iso.c_str(), "%d-%d-%dT%d:%d:%d", &t.tm_year, &t.tm_mon, &t.tm_mday, &t.tm_hour,
            &t.tm_min, &t.tm_sec)
        != 6)
        return std::time(nullptr);
    t.tm_year -= 1900;
    t.tm_mon -= 1;
    return timegm(&t);
}

class Sl1Writer : public JobWriter {
public:
    bool takesPng() const override { return true; }

    bool begin(std::FILE* file, const JobSettings& settings, const PreviewSource& previews,
        std::string& error) override
    {
        m_settings = settings;
        m_layers = 0;
        // The entries carry the time the job was made, not the time of packing: one job packed
        // twice (saved, then sent) gives the same bytes.
        m_zip = std::make_unique<ZipWriter>(file, timeOf(settings.created));
        if (!addText(*m_zip, "config.ini", configIni(settings), error)
            || !addText(*m_zip, "prusaslicer.ini", printerIni(settings), error))
            return false;
        const struct {
            const char* name;
            PreviewView view;
            int width, height;
        } thumbnails[] = { { "thumbnail/thumbnail400x400.png", PreviewView::Top, 400, 400 },
            { "thumbnail/thumbnail800x480.png", PreviewView::Angled, 800, 480 } };
        PngWriter png;
        for (const auto& t : thumbnails) {
            RgbImage image;
            if (previews)
                image = previews(t.view, t.width, t.height);
            if (image.width != t.width || image.height != t.height)
                image.rgb.assign(std::size_t(t.width) * std::size_t(t.height) * 3, 0);
            std::vector<std::uint8_t> rows;
            rows.reserve(std::size_t(t.height) * (1 + std::size_t(t.width) * 3));
            for (int y = 0; y < t.height; ++y) {
                rows.push_back(0);
                const auto row = image.rgb.begin() + std::ptrdiff_t(y) * t.width * 3;
                rows.insert(rows.end(), row, row + t.width * 3);
            }
            if (!png.encode(rows.data(), t.width, t.height, 3)) {
                error = "Cannot encode the job's thumbnail.";
                return false;
            }
            // PNG data is compressed already: stored entries cost nothing to unpack.
            if (!m_zip->add(t.name, png.data().data(), png.data().size(), false, error))
                return false;
        }
        return true;
    }

    bool addLayer(const JobLayer& layer, std::string& error) override
    {
        char digits[16];
        std::snprintf(digits, sizeof digits, "%05d", m_layers++);
        if (layer.png)
            return m_zip->add(
                m_settings.jobName + digits + ".png", layer.png, layer.pngSize, false, error);
        const int width = m_settings.pixelsX;
        m_rows.resize(std::size_t(m_settings.pixelsY) * (std::size_t(width) + 1));
        for (int y = 0; y < m_settings.pixelsY; ++y) {
            m_rows[std::size_t(y) * (std::size_t(width) + 1)] = 0;
            std::memcpy(m_rows.data() + std::size_t(y) * (std::size_t(width) + 1) + 1,
                layer.pixels + std::size_t(y) * std::size_t(width), std::size_t(width));
        }
        if (!m_png.encode(m_rows.data(), width, m_settings.pixelsY, 1)) {
            error = "Cannot encode a layer image.";
            return false;
        }
        return m_zip->add(m_settings.jobName + digits + ".png", m_png.data().data(),
            m_png.data().size(), false, error);
    }

    bool finish(std::string& error) override
    {
        const std::string& plate = m_settings.plateJson;
        return (plate.empty() || addText(*m_zip, "plate.json", plate, error))
            && m_zip->finish(error);
    }

private:
    JobSettings m_settings;
    std::unique_ptr<ZipWriter> m_zip;
    int m_layers = 0;
    PngWriter m_png;
    std::vector<std::uint8_t> m_rows;
};

// The job's settings as every format carries them.
JobSettings settingsOf(const PlateDocument& d)
{
    JobSettings s;
    s.printerName = d.printerName;
    s.printerModel = d.printerModel;
    s.profileName = d.items.empty() ? std::string() : d.items.front().profile.title;
    s.jobName = d.jobDir;
    s.created = d.created;
    s.pixelsX = d.pixelsX;
    s.pixelsY = d.pixelsY;
    s.pixelUmX = d.pixelUmX;
    s.pixelUmY = d.pixelUmY;
    s.mirrorX = d.mirrorX;
    s.mirrorY = d.mirrorY;
    s.maxHeightMm = d.maxHeightMm;
    s.layerHeightMm = d.depthUm / 1000.0;
    s.layerCount = d.layerCount;
    s.bottomLayers = d.bottomLayers;
    s.exposureS = d.exposureS;
    s.bottomExposureS = d.bottomExposureS;
    const Profile& p = d.settings;
    s.transitionLayers = p.transitionLayers;
    s.bottomLiftMm = p.bottomLiftMm;
    s.bottomLiftSpeed = p.bottomLiftSpeed;
    s.liftMm = p.liftMm;
    s.liftSpeed = p.liftSpeed;
    s.bottomRetractSpeed = p.bottomRetractSpeed;
    s.retractSpeed = p.retractSpeed;
    s.waitBeforeExposureS = p.waitAfterRetractS;
    s.bottomWaitBeforeExposureS = p.waitAfterRetractS;
    s.waitBeforeLiftS = p.waitBeforeLiftS;
    s.waitAfterLiftS = p.waitAfterLiftS;
    s.lightPwm = p.lightPwm;
    s.bottomLightPwm = p.lightPwm;
    s.printTimeS = d.printTimeS;
    s.volumeMl = d.usedMaterialMl;
    s.antiAliasing = d.items.empty() ? 1 : d.items.front().profile.antiAliasing;
    return s;
}

// Scales a picture to fit width x height, centred on the background colour of its corner.
RgbImage fitted(const PngReader& png, int width, int height)
{
    RgbImage image;
    image.width = width;
    image.height = height;
    image.rgb.resize(std::size_t(width) * std::size_t(height) * 3);
    const std::uint8_t* source = png.pixels().data();
    for (std::size_t i = 0; i < image.rgb.size(); ++i)
        image.rgb[i] = source[i % 3];
    const double scale
        = std::min(double(width) / png.width(), double(height) / png.height()); // out per in
    const int w = std::max(1, int(png.width() * scale));
    const int h = std::max(1, int(png.height() * scale));
    const int left = (width - w) / 2, top = (height - h) / 2;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            // The mean of the source pixels this one covers.
            const int x0 = int(x / scale), x1 = std::max(x0 + 1, int((x + 1) / scale));
            const int y0 = int(y / scale), y1 = std::max(y0 + 1, int((y + 1) / scale));
            unsigned sum[3] = {}, n = 0;
            for (int sy = y0; sy < std::min(y1, png.height()); ++sy) {
                for (int sx = x0; sx < std::min(x1, png.width()); ++sx) {
                    const std::uint8_t* p = source
                        + (std::size_t(sy) * std::size_t(png.width()) + std::size_t(sx)) * 3;
                    for (int k = 0; k < 3; ++k)
                        sum[k] += p[k];
                    ++n;
                }
            }
            std::uint8_t* out = image.rgb.data()
                + (std::size_t(top + y) * std::size_t(width) + std::size_t(left + x)) * 3;
            for (int k = 0; k < 3; ++k)
                out[k] = std::uint8_t(n ? sum[k] / n : 0);
        }
    }
    return image;
}

// The job folder's pictures (a top view and a view at an angle, rendered when the job was
// sliced), in any size a format asks for.
PreviewSource previewsOf(const std::string& jobDir, const PlateDocument& d)
{
    return [jobDir, d](PreviewView view, int width, int height) {
        const std::size_t which = view == PreviewView::Top ? 0 : 1;
        RgbImage none;
        std::vector<std::uint8_t> bytes;
        std::string ignored;
        PngReader png;
        if (which >= d.thumbnails.size()
            || !readWholeFile(jobDir + "/" + d.thumbnails[which], bytes, ignored)
            || !png.decode(bytes.data(), bytes.size(), ignored) || png.channels() != 3)
            return none;
        return fitted(png, width, height);
    };
}

// One layer read from the job folder: its PNG, and its runs when they could be read from it.
struct ReadLayer {
    std::vector<std::uint8_t> bytes;
    std::vector<LayerRun> runs;
    bool haveRuns = false;
    std::string error;
};

// Layers are read (and, for writers that take runs, turned into runs) a batch at a time by two
// threads, then handed to the writer in order: memory holds one batch whatever the layer count.
constexpr int kBatchLayers = 16;

bool writeLayers(
    JobWriter& writer, const PlateDocument& d, const std::string& jobDir, std::string& error)
{
    std::vector<ReadLayer> batch(kBatchLayers);
    PngReader png;
    const bool runs = writer.takesRuns() && !writer.takesPng();
    const auto read = [&](int first, int count, int from, int step) {
        for (int k = from; k < count; k += step) {
            ReadLayer& layer = batch[std::size_t(k)];
            layer.error.clear();
            const std::string path = jobDir + "/" + d.layers[std::size_t(first + k)];
            if (readWholeFile(path, layer.bytes, layer.error))
                layer.haveRuns = runs
                    && pngLayerRuns(
                        layer.bytes.data(), layer.bytes.size(), d.pixelsX, d.pixelsY, layer.runs);
        }
    };
    for (int first = 0; first < d.layerCount; first += kBatchLayers) {
        const int count = std::min(kBatchLayers, d.layerCount - first);
        std::thread helper;
        if (runs) {
            try {
                helper = std::thread(read, first, count, 1, 2);
            } catch (const std::system_error&) { // no thread to be had: this one reads them all
            }
        }
        read(first, count, 0, helper.joinable() ? 2 : 1);
        if (helper.joinable())
            helper.join();
        for (int k = 0; k < count; ++k) {
            ReadLayer& layer = batch[std::size_t(k)];
            if (!layer.error.empty()) {
                error = layer.error;
                return false;
            }
            JobLayer input;
            if (writer.takesPng()) {
                input.png = layer.bytes.data();
                input.pngSize = layer.bytes.size();
            } else if (layer.haveRuns) {
                input.runs = layer.runs.data();
                input.runCount = layer.runs.size();
            } else {
                const std::string path = jobDir + "/" + d.layers[std::size_t(first + k)];
                std::string why;
                if (!png.decode(layer.bytes.data(), layer.bytes.size(), why) || png.channels() != 1
                    || png.width() != d.pixelsX || png.height() != d.pixelsY) {
                    error = "The layer image " + path + " cannot be read"
                        + (why.empty() ? std::string(" as the display's image") : ": " + why) + ".";
                    return false;
                }
                input.pixels = png.pixels().data();
            }
            if (!writer.addLayer(input, error))
                return false;
        }
    }
    return true;
}

} // namespace

std::unique_ptr<JobWriter> makeSl1Writer(const JobFormat&) { return std::make_unique<Sl1Writer>(); }

bool jobFormatOf(const std::string& formatId, int version, JobFormat& format, std::string& error)
{
    const std::string id = formatId.empty() ? std::string("sl1") : formatId;
    if (!findJobFormat(id, format)) {
        error = "The agent cannot write the " + id + " job files this printer reads.";
        return false;
    }
    if (version > 0)
        format.version = version;
    return true;
}

bool writeJobFile(const std::string& jobDir, const std::string& outPath, std::string& error)
{
    std::string temporaryPath;
    std::string extension;
    if (!packJobFile(jobDir, outPath, temporaryPath, extension, error))
        return false;
    if (std::rename(temporaryPath.c_str(), outPath.c_str()) != 0) {
        error = "Cannot write the job file " + outPath + ": " + std::strerror(errno) + ".";
        std::remove(temporaryPath.c_str());
        return false;
    }
    return true;
}

bool packJobFile(const std::string& jobDir, const std::string& outPath, std::string& temporaryPath,
    std::string& extension, std::string& error)
{
    PlateDocument d;
    if (!readPlateDocument(jobDir + "/plate.json", d, error))
        return false;
    JobFormat format;
    if (!jobFormatOf(d.format, d.formatVersion, format, error))
        return false;
    extension = format.extension;
    std::unique_ptr<JobWriter> writer = makeJobWriter(format);
    if (!writer) {
        error = "The agent cannot write the " + format.title + " job files this printer reads yet.";
        return false;
    }
    JobSettings settings = settingsOf(d);
    std::vector<std::uint8_t> plate;
    if (!readWholeFile(jobDir + "/plate.json", plate, error))
        return false;
    settings.plateJson.assign(plate.begin(), plate.end());

    // A temporary file beside the target, named at the end: the target is never half written.
    std::vector<char> temporary(outPath.begin(), outPath.end());
    const char suffix[] = ".part-XXXXXX";
    temporary.insert(temporary.end(), suffix, suffix + sizeof suffix);
    const int descriptor = mkstemp(temporary.data());
    if (descriptor < 0) {
        error = "Cannot create the job file " + outPath + ": " + std::strerror(errno) + ".";
        return false;
    }
    temporaryPath = temporary.data();
    std::FILE* file = fdopen(descriptor, "w+b");
    if (!file) {
        close(descriptor);
        std::remove(temporaryPath.c_str());
        error = "Cannot create the job file " + outPath + ": " + std::strerror(errno) + ".";
        return false;
    }
    bool ok = writer->begin(file, settings, previewsOf(jobDir, d), error)
        && writeLayers(*writer, d, jobDir, error) && writer->finish(error);
    if (std::fflush(file) != 0 && ok) {
        error = "Cannot write the job file " + outPath + ": " + std::strerror(errno) + ".";
        ok = false;
    }
    if (ok && fsync(fileno(file)) != 0) {
        error = "Cannot write the job file " + outPath + ": " + std::strerror(errno) + ".";
        ok = false;
    }
    if (std::fclose(file) != 0 && ok) {
        error = "Cannot write the job file " + outPath + ": " + std::strerror(errno) + ".";
        ok = false;
    }
    // mkstemp makes the file private; a job file is an ordinary document.
    if (ok && chmod(temporaryPath.c_str(), 0644) != 0) {
        error = "Cannot write the job file " + outPath + ": " + std::strerror(errno) + ".";
        ok = false;
    }
    if (!ok)
        std::remove(temporaryPath.c_str());
    return ok;
}
