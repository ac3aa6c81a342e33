// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobfile.h"
#include "platedocument.h"
#include "zipwriter.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
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

std::string configIni(const PlateDocument& d)
{
    const std::string profile = d.items.front().profile.title;
    std::string ini;
    ini += line("action", "print");
    ini += line("jobDir", d.jobDir);
    ini += line("expTime", decimal(d.exposureS));
    ini += line("expTimeFirst", decimal(d.bottomExposureS));
    ini += line("fileCreationTimestamp", creationStamp(d.created));
    ini += line("hollow", "0");
    ini += line("layerHeight", decimal(d.depthUm / 1000.0));
    ini += line("materialName", "Generic resin");
    // Bottom layers: readers of this layout take the count of the longer-exposed first layers
    // from numFade. Every layer is a fast (non-tilting) layer.
    ini += line("numFade", std::to_string(d.bottomLayers));
    ini += line("numFast", std::to_string(d.layerCount));
    ini += line("numSlow", "0");
    ini += line("printProfile", profile);
    ini += line("printTime", decimal(d.printTimeS));
    ini += line("printerModel", d.printerModel);
    ini += line("printerProfile", d.printerName);
    ini += line("printerVariant", "default");
    ini += line("usedMaterial", decimal(d.usedMaterialMl));
    return ini;
}

std::string printerIni(const PlateDocument& d)
{
    const std::string profile = d.items.front().profile.title;
    std::string ini;
    ini += line("printer_technology", "SLA");
    ini += line("printer_model", d.printerModel);
    ini += line("printer_settings_id", d.printerName);
    ini += line("sla_print_settings_id", profile);
    ini += line("layer_height", decimal(d.depthUm / 1000.0));
    ini += line("initial_layer_height", decimal(d.depthUm / 1000.0));
    ini += line("exposure_time", decimal(d.exposureS));
    ini += line("initial_exposure_time", decimal(d.bottomExposureS));
    ini += line("faded_layers", std::to_string(d.bottomLayers));
    ini += line("display_width", decimal(d.pixelsX * d.pixelUmX / 1000.0));
    ini += line("display_height", decimal(d.pixelsY * d.pixelUmY / 1000.0));
    ini += line("display_pixels_x", std::to_string(d.pixelsX));
    ini += line("display_pixels_y", std::to_string(d.pixelsY));
    // The layer images are display_pixels_x wide and display_pixels_y high, never turned.
    ini += line("display_orientation", "landscape");
    ini += line("display_mirror_x", d.mirrorX ? "1" : "0");
    ini += line("display_mirror_y", d.mirrorY ? "1" : "0");
    ini += line("max_print_height", decimal(d.maxHeightMm));
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

bool addFile(ZipWriter& zip, const std::string& name, const std::string& path, bool deflate,
    std::vector<std::uint8_t>& buffer, std::string& error)
{
    return readWholeFile(path, buffer, error)
        && zip.add(name, buffer.data(), buffer.size(), deflate, error);
}

bool writeArchive(
    ZipWriter& zip, const PlateDocument& d, const std::string& jobDir, std::string& error)
{
    std::vector<std::uint8_t> buffer;
    if (!addText(zip, "config.ini", configIni(d), error)
        || !addText(zip, "prusaslicer.ini", printerIni(d), error))
        return false;
    for (const char* thumbnail :
        { "thumbnail/thumbnail400x400.png", "thumbnail/thumbnail800x480.png" }) {
        if (!addFile(zip, thumbnail, jobDir + "/" + thumbnail, false, buffer, error))
            return false;
    }
    // PNG data is compressed already: stored entries cost nothing to unpack.
    for (int layer = 0; layer < d.layerCount; ++layer) {
        char digits[16];
        std::snprintf(digits, sizeof digits, "%05d", layer);
        if (!addFile(zip, d.jobDir + digits + ".png", jobDir + "/" + d.layers[std::size_t(layer)],
                false, buffer, error))
            return false;
    }
    return addFile(zip, "plate.json", jobDir + "/plate.json", true, buffer, error)
        && zip.finish(error);
}

} // namespace

bool writeJobFile(const std::string& jobDir, const std::string& outPath, std::string& error)
{
    std::string temporaryPath;
    if (!packJobFile(jobDir, outPath, temporaryPath, error))
        return false;
    if (std::rename(temporaryPath.c_str(), outPath.c_str()) != 0) {
        error = "Cannot write the job file " + outPath + ": " + std::strerror(errno) + ".";
        std::remove(temporaryPath.c_str());
        return false;
    }
    return true;
}

bool packJobFile(const std::string& jobDir, const std::string& outPath, std::string& temporaryPath,
    std::string& error)
{
    PlateDocument d;
    if (!readPlateDocument(jobDir + "/plate.json", d, error))
        return false;

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
    std::FILE* file = fdopen(descriptor, "wb");
    if (!file) {
        close(descriptor);
        std::remove(temporaryPath.c_str());
        error = "Cannot create the job file " + outPath + ": " + std::strerror(errno) + ".";
        return false;
    }
    // The entries carry the time the job was finished, not the time of packing: one job packed
    // twice (saved, then sent) gives the same bytes.
    struct stat plateInfo;
    const std::time_t finished = stat((jobDir + "/plate.json").c_str(), &plateInfo) == 0
        ? plateInfo.st_mtime
        : std::time(nullptr);
    ZipWriter zip(file, finished);
    bool ok = writeArchive(zip, d, jobDir, error);
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
