// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "photonworkshopfile.h"
#include "greyruns.h"
#include "lebytes.h"
#include "previewcolour.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

using namespace lebytes;

namespace {

constexpr std::uint32_t kMostWhiteRun = 4095; // 12 bits, for black and white
constexpr std::uint32_t kMostLayerRun = 15; // 4 bits, for the 14 greys between
constexpr std::size_t kPreviewBytes
    = 2 * std::size_t(kPhotonWorkshopPreviewWidth) * kPhotonWorkshopPreviewHeight;
constexpr std::size_t kPreview2Bytes
    = 2 * std::size_t(kPhotonWorkshopPreview2Width) * kPhotonWorkshopPreview2Height;
constexpr std::uint32_t kMachineBackground = 6506241; // both known writers put this constant
constexpr std::uint16_t kPreview2Background = 4293;
constexpr int kSoftwareTableSize = 164;
constexpr int kModelTableSize = 48;
constexpr int kExtraTableSize = 72;
constexpr int kColourTableSize = 28;
// More layers than any print has (10 m at 10 micrometres): keeps every table well below 4 GiB.
constexpr int kMostLayers = 1000000;
// A display larger than any printer's: a reader guards its buffers with it.
constexpr std::uint64_t kMostPixels = 1ull << 30;

bool knownVersion(int version) { return version == 1 || (version >= 515 && version <= 518); }

// Sizes that depend on the file version. Lengths are what each table's length field says; which
// part of the table that counts differs from table to table and is kept exactly as printers
// expect.
std::uint32_t markSize(int v) { return v <= 515 ? 48 : v == 516 ? 52 : v == 517 ? 56 : 64; }
std::uint32_t tableCount(int v)
{
    return v == 1 ? 4 : v == 515 ? 5 : v == 516 ? 8 : v == 517 ? 9 : 11;
}
std::uint32_t headerLength(int v) { return v <= 515 ? 80 : v == 516 ? 84 : v == 517 ? 92 : 96; }
std::uint32_t machineLength(int v) { return v == 518 ? 224 : 156; }
std::uint32_t propertyFields(int v) { return v == 516 ? 1 : v == 517 ? 7 : 15; }

// Where each table starts, in the order the file holds them.
struct Layout {
    std::uint32_t header = 0, preview = 0, colours = 0, layerDef = 0, extra = 0, machine = 0,
                  software = 0, model = 0, subImages = 0, preview2 = 0, layerData = 0;
};

Layout layoutFor(int version, std::uint32_t layers)
{
    Layout l;
    std::uint32_t at = markSize(version);
    l.header = at;
    at += 16 + headerLength(version);
    l.preview = at;
    at += 28 + std::uint32_t(kPreviewBytes);
    if (version >= 515) {
        l.colours = at;
        at += kColourTableSize;
    }
    l.layerDef = at;
    at += 20 + 32 * layers;
    if (version >= 516) {
        l.extra = at;
        at += kExtraTableSize;
        l.machine = at;
        at += machineLength(version);
    }
    if (version >= 517) {
        l.software = at;
        at += kSoftwareTableSize;
        l.model = at;
        at += kModelTableSize;
    }
    if (version == 518) {
        l.subImages = at;
        at += 24 + 44 * layers;
        l.preview2 = at;
        at += 28 + std::uint32_t(kPreview2Bytes);
    }
    l.layerData = at;
    return l;
}

void putName(std::vector<std::uint8_t>& out, const char* name, std::uint32_t length)
{
    putText(out, name, 12);
    putU32(out, length);
}

void putPixels(
    std::vector<std::uint8_t>& out, const std::vector<std::uint16_t>& words, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i)
        putU16(out, i < words.size() ? words[i] : 0);
}

void putMotion(std::vector<std::uint8_t>& out, const PhotonWorkshopHeader& h)
{
    // One-stage motion told in the two-stage fields: the second lift is empty.
    putU32(out, 2);
    putF32(out, h.liftHeightMm);
    putF32(out, h.liftSpeedMmS);
    putF32(out, h.retractSpeedMmS);
    putF32(out, 0);
    putF32(out, h.liftSpeedMmS);
    putF32(out, h.retractSpeedMmS);
}

void putLayerEntry(std::vector<std::uint8_t>& out, const PhotonWorkshopLayer& layer)
{
    putU32(out, layer.address);
    putU32(out, layer.length);
    putF32(out, layer.liftHeightMm);
    putF32(out, layer.liftSpeedMmS);
    putF32(out, layer.exposureS);
    putF32(out, layer.layerHeightMm);
    putU32(out, layer.nonZeroPixels);
    putU32(out, 0);
}

void putSubImage(std::vector<std::uint8_t>& out, const PhotonWorkshopLayer& layer)
{
    putU32(out, layer.address);
    putU32(out, layer.length);
    putU32(out, layer.nonZeroPixels);
    putZeros(out, 8 * 4);
}

// Every table before the layer data, layer entries still empty.
std::vector<std::uint8_t> tables(const PhotonWorkshopHeader& h, const Layout& l)
{
    const int v = h.version;
    const std::uint32_t layers = std::uint32_t(h.layerCount);
    std::vector<std::uint8_t> out;
    out.reserve(l.layerData);

    // File mark: the table addresses. Versions before 516 keep the layer data's address where
    // later ones keep EXTRA's and MACHINE's.
    putText(out, "ANYCUBIC", 12);
    putU32(out, std::uint32_t(v));
    putU32(out, tableCount(v));
    putU32(out, l.header);
    putU32(out, l.software);
    putU32(out, l.preview);
    putU32(out, l.colours);
    putU32(out, l.layerDef);
    if (v >= 516) {
        putU32(out, l.extra);
        putU32(out, l.machine);
        putU32(out, l.layerData);
    } else {
        putU32(out, v == 515 ? l.layerData : 0);
        putU32(out, l.layerData);
    }
    if (v >= 517)
        putU32(out, l.model);
    if (v == 518) {
        putU32(out, l.subImages);
        putU32(out, l.preview2);
    }

    putName(out, "HEADER", headerLength(v));
    putF32(out, std::max(h.pixelUmX, h.pixelUmY));
    putF32(out, h.layerHeightMm);
    putF32(out, h.exposureS);
    putF32(out, h.lightOffDelayS);
    putF32(out, h.bottomExposureS);
    putF32(out, float(h.bottomLayers)); // a count, stored as a float
    putF32(out, h.liftHeightMm);
    putF32(out, h.liftSpeedMmS);
    putF32(out, h.retractSpeedMmS);
    putF32(out, h.volumeMl);
    putU32(out, 1); // anti-aliasing level
    putU32(out, std::uint32_t(h.pixelsX));
    putU32(out, std::uint32_t(h.pixelsY));
    putF32(out, h.weightG);
    putF32(out, h.price);
    putText(out, "$", 4); // currency symbol
    putU32(out, 0); // every layer takes the header's settings
    putU32(out, h.printTimeS);
    putU32(out, h.transitionLayers);
    putU32(out, 0); // transition type
    if (v >= 516)
        putU32(out, 0); // no two-stage motion
    if (v >= 517) {
        putU16(out, 0); // grey
        putU16(out, 0); // blur level
        putU32(out, 0); // resin type
    }
    if (v == 518)
        putU32(out, 0); // the printer does not choose exposures itself

    putName(out, "PREVIEW", 28 + std::uint32_t(kPreviewBytes));
    putU32(out, kPhotonWorkshopPreviewWidth);
    putText(out, "x", 4);
    putU32(out, kPhotonWorkshopPreviewHeight);
    putPixels(out, h.preview, kPreviewBytes / 2);

    if (v >= 515) {
        putU32(out, 0); // greys come from the table below, not the full range
        putU32(out, 16);
        out.insert(out.end(), 16, 0xFF); // one anti-aliasing level: every stored grey is lit
        putU32(out, 0);
    }

    putName(out, "LAYERDEF", 4 + 32 * layers);
    putU32(out, layers);
    putZeros(out, 32 * std::size_t(layers));

    if (v >= 516) {
        putName(out, "EXTRA", 24); // 24 whatever the content, as printers expect
        putMotion(out, h); // bottom layers
        putMotion(out, h); // the others

        putName(out, "MACHINE", machineLength(v));
        putText(out, h.machineName, 96);
        putText(out, "pw0Img", 16);
        putU32(out, 16); // largest anti-aliasing level
        putU32(out, propertyFields(v));
        putF32(out, h.displayWidthMm);
        putF32(out, h.displayHeightMm);
        putF32(out, h.buildHeightMm);
        putU32(out, std::uint32_t(v));
        putU32(out, kMachineBackground);
        if (v == 518) {
            putF32(out, h.pixelUmX);
            putF32(out, h.pixelUmY);
            putZeros(out, 8 * 4);
            putU32(out, 1); // displays
            putU32(out, 0);
            putU16(out, std::uint16_t(h.pixelsX));
            putU16(out, std::uint16_t(h.pixelsY));
            putZeros(out, 4 * 4);
        }
    }

    if (v >= 517) {
        putText(out, h.softwareName, 32);
        putU32(out, kSoftwareTableSize);
        putText(out, h.softwareVersion, 32);
        putText(out, "Linux", 64);
        putText(out, "", 32); // no OpenGL behind our pictures

        putName(out, "MODEL", kModelTableSize);
        putZeros(out, 6 * 4); // the box around the lit pixels, measured as the layers come
        putU32(out, 0); // supports
        putF32(out, 0); // support density
    }

    if (v == 518) {
        putName(out, "SUBIMGS", 24 + 44 * layers);
        putU32(out, layers);
        putU32(out, 1);
        putZeros(out, 44 * std::size_t(layers));

        putName(out, "PREVIEW2", 28 + std::uint32_t(kPreview2Bytes));
        putU32(out, kPhotonWorkshopPreview2Width);
        putU16(out, kPreview2Background);
        putU16(out, 0);
        putU32(out, kPhotonWorkshopPreview2Height);
        putPixels(out, h.preview2, kPreview2Bytes / 2);
    }
    return out;
}

void emitRun(std::vector<std::uint8_t>& out, int code, std::size_t length)
{
    if (code == 0 || code == 15) {
        // Whole runs of the longest length first, written in one go: blank areas are many.
        const std::size_t whole = length / kMostWhiteRun;
        const std::size_t at = out.size();
        out.resize(at + 2 * whole);
        for (std::size_t i = 0; i < whole; ++i) {
            out[at + 2 * i] = std::uint8_t(code << 4 | kMostWhiteRun >> 8);
            out[at + 2 * i + 1] = std::uint8_t(kMostWhiteRun & 0xFF);
        }
        if (const std::size_t rest = length % kMostWhiteRun) {
            out.push_back(std::uint8_t(code << 4 | rest >> 8));
            out.push_back(std::uint8_t(rest));
        }
    } else {
        while (length > 0) {
            const std::uint32_t run = std::uint32_t(std::min<std::size_t>(length, kMostLayerRun));
            out.push_back(std::uint8_t(code << 4 | run));
            length -= run;
        }
    }
}

std::string layerName(std::size_t index) { return "layer " + std::to_string(index + 1); }

} // namespace

std::uint32_t encodePw0(const std::uint8_t* grey, std::size_t count, std::vector<std::uint8_t>& out)
{
    std::uint32_t nonZero = 0;
    std::size_t at = 0;
    while (at < count) {
        const int code = grey[at] >> 4;
        const std::size_t end = levelRunEnd(grey, at, count, 4);
        emitRun(out, code, end - at);
        if (code != 0)
            nonZero += std::uint32_t(end - at);
        at = end;
    }
    return nonZero;
}

std::uint32_t encodePw0Runs(const LayerRun* runs, std::size_t count, std::vector<std::uint8_t>& out)
{
    std::uint32_t nonZero = 0;
    std::size_t i = 0;
    while (i < count) {
        // Neighbouring runs whose greys share their top four bits are one stored run.
        const int code = runs[i].grey >> 4;
        std::size_t length = 0;
        for (; i < count && runs[i].grey >> 4 == code; ++i)
            length += runs[i].length;
        emitRun(out, code, length);
        if (code != 0)
            nonZero += std::uint32_t(length);
    }
    return nonZero;
}

bool decodePw0(const std::uint8_t* data, std::size_t size, std::uint8_t* grey, std::size_t count,
    std::string& error)
{
    std::size_t filled = 0;
    std::size_t at = 0;
    while (at < size) {
        const int code = data[at] >> 4;
        std::size_t run = data[at] & 0x0F;
        ++at;
        if (code == 0 || code == 15) {
            if (at == size) {
                error = "its data ends inside a run";
                return false;
            }
            run = run << 8 | data[at++];
        }
        if (run == 0) {
            error = "it holds a run of no pixels";
            return false;
        }
        if (run > count - filled) {
            error = "its runs cover more pixels than the display has";
            return false;
        }
        std::memset(grey + filled, code * 17, run);
        filled += run;
    }
    if (filled != count) {
        error = "its runs cover " + std::to_string(filled) + " of the display's "
            + std::to_string(count) + " pixels";
        return false;
    }
    return true;
}

bool PhotonWorkshopWriter::begin(
    std::FILE* file, const PhotonWorkshopHeader& header, std::string& error)
{
    const int v = header.version;
    if (!knownVersion(v)) {
        error = "Photon Workshop files have no version " + std::to_string(v) + ".";
        return false;
    }
    if (header.pixelsX <= 0 || header.pixelsY <= 0 || header.pixelsX > 0xFFFF
        || header.pixelsY > 0xFFFF || header.layerCount < 0 || header.layerCount > kMostLayers) {
        error = "The job's display or layer count does not fit a Photon Workshop file.";
        return false;
    }
    const std::size_t previewWords = kPreviewBytes / 2, preview2Words = kPreview2Bytes / 2;
    if ((!header.preview.empty() && header.preview.size() != previewWords)
        || (!header.preview2.empty() && header.preview2.size() != preview2Words)) {
        error = "The preview pictures are not the sizes a Photon Workshop file holds.";
        return false;
    }
    m_file = file;
    m_header = header;
    m_layers.clear();
    m_layers.reserve(std::size_t(header.layerCount));
    const Layout layout = layoutFor(v, std::uint32_t(header.layerCount));
    m_layerDefAddress = layout.layerDef;
    m_subImagesAddress = layout.subImages;
    m_modelAddress = layout.model;
    m_firstLayer = m_lastLayer = -1;
    m_offset = 0;
    return write(tables(header, layout), error);
}

bool PhotonWorkshopWriter::addLayer(const std::uint8_t* grey, std::string& error)
{
    m_coded.clear();
    const std::uint32_t nonZero
        = encodePw0(grey, std::size_t(m_header.pixelsX) * std::size_t(m_header.pixelsY), m_coded);
    return writeCoded(nonZero, error);
}

bool PhotonWorkshopWriter::addLayer(const LayerRun* runs, std::size_t count, std::string& error)
{
    std::uint64_t pixels = 0;
    for (std::size_t i = 0; i < count; ++i)
        pixels += runs[i].length;
    if (pixels != std::uint64_t(m_header.pixelsX) * std::uint64_t(m_header.pixelsY)) {
        error = "A layer image is not the size of the display.";
        return false;
    }
    m_coded.clear();
    return writeCoded(encodePw0Runs(runs, count, m_coded), error);
}

bool PhotonWorkshopWriter::writeCoded(std::uint32_t nonZeroPixels, std::string& error)
{
    if (m_layers.size() >= std::size_t(m_header.layerCount)) {
        error = "The job has more layers than its Photon Workshop file was begun with.";
        return false;
    }
    const std::size_t index = m_layers.size();
    PhotonWorkshopLayer layer;
    layer.nonZeroPixels = nonZeroPixels;
    if (m_offset + m_coded.size() > 0xFFFFFFFFull) {
        error = "The job file would exceed 4 GiB, more than a Photon Workshop file can hold.";
        return false;
    }
    layer.address = std::uint32_t(m_offset);
    layer.length = std::uint32_t(m_coded.size());
    layer.liftHeightMm = m_header.liftHeightMm;
    layer.liftSpeedMmS = m_header.liftSpeedMmS;
    layer.exposureS
        = int(index) < m_header.bottomLayers ? m_header.bottomExposureS : m_header.exposureS;
    layer.layerHeightMm = m_header.layerHeightMm;
    if (nonZeroPixels > 0)
        measure();
    m_layers.push_back(layer);
    return write(m_coded, error);
}

void PhotonWorkshopWriter::measure()
{
    // Walks the coded runs, which are far fewer than the pixels.
    const std::size_t width = std::size_t(m_header.pixelsX);
    std::size_t at = 0;
    for (std::size_t i = 0; i < m_coded.size();) {
        const int code = m_coded[i] >> 4;
        std::size_t run = m_coded[i] & 0x0F;
        if (code == 0 || code == 15)
            run = run << 8 | m_coded[i + 1];
        i += code == 0 || code == 15 ? 2 : 1;
        if (code != 0) {
            const long top = long(at / width), bottom = long((at + run - 1) / width);
            const long left = top == bottom ? long(at % width) : 0;
            const long right = top == bottom ? long((at + run - 1) % width) : long(width) - 1;
            const bool first = m_firstLayer < 0;
            m_left = first ? left : std::min(m_left, left);
            m_right = first ? right : std::max(m_right, right);
            m_top = first ? top : std::min(m_top, top);
            m_bottom = first ? bottom : std::max(m_bottom, bottom);
            if (first)
                m_firstLayer = int(m_layers.size());
            m_lastLayer = int(m_layers.size());
        }
        at += run;
    }
}

bool PhotonWorkshopWriter::finish(std::string& error)
{
    if (m_layers.size() != std::size_t(m_header.layerCount)) {
        error = "The job's Photon Workshop file got " + std::to_string(m_layers.size()) + " of its "
            + std::to_string(m_header.layerCount) + " layers.";
        return false;
    }
    std::vector<std::uint8_t> entries;
    for (const PhotonWorkshopLayer& layer : m_layers)
        putLayerEntry(entries, layer);
    const std::uint64_t end = m_offset;
    if (fseeko(m_file, off_t(m_layerDefAddress + 20), SEEK_SET) != 0 || !write(entries, error))
        return false;
    if (m_header.version >= 517 && m_firstLayer >= 0) {
        const PhotonWorkshopHeader& h = m_header;
        const double mmX = h.pixelUmX / 1000.0, mmY = h.pixelUmY / 1000.0;
        entries.clear();
        putF32(entries, float((m_left - h.pixelsX / 2.0) * mmX));
        putF32(entries, float((h.pixelsY / 2.0 - (m_bottom + 1)) * mmY));
        putF32(entries, float(m_firstLayer * double(h.layerHeightMm)));
        putF32(entries, float((m_right + 1 - h.pixelsX / 2.0) * mmX));
        putF32(entries, float((h.pixelsY / 2.0 - m_top) * mmY));
        putF32(entries, float((m_lastLayer + 1) * double(h.layerHeightMm)));
        if (fseeko(m_file, off_t(m_modelAddress + 16), SEEK_SET) != 0 || !write(entries, error))
            return false;
    }
    if (m_header.version == 518) {
        entries.clear();
        for (const PhotonWorkshopLayer& layer : m_layers)
            putSubImage(entries, layer);
        if (fseeko(m_file, off_t(m_subImagesAddress + 24), SEEK_SET) != 0 || !write(entries, error))
            return false;
    }
    if (fseeko(m_file, off_t(end), SEEK_SET) != 0 || std::fflush(m_file) != 0) {
        error = std::string("Cannot write the job file: ") + std::strerror(errno) + ".";
        return false;
    }
    return true;
}

bool PhotonWorkshopWriter::write(const std::vector<std::uint8_t>& bytes, std::string& error)
{
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), m_file) != bytes.size()) {
        error = std::string("Cannot write the job file: ") + std::strerror(errno) + ".";
        return false;
    }
    m_offset += bytes.size();
    return true;
}

PhotonWorkshopReader::~PhotonWorkshopReader()
{
    if (m_file)
        std::fclose(m_file);
}

bool PhotonWorkshopReader::readAt(std::uint64_t address, std::size_t size,
    std::vector<std::uint8_t>& bytes, const char* what, std::string& error)
{
    if (address > m_size || size > m_size - address) {
        error = "The job file " + m_path + " is damaged: it ends inside its " + what + ".";
        return false;
    }
    bytes.resize(size);
    if (fseeko(m_file, off_t(address), SEEK_SET) != 0
        || std::fread(bytes.data(), 1, size, m_file) != size) {
        error = "Cannot read the " + std::string(what) + " of the job file " + m_path + ".";
        return false;
    }
    return true;
}

bool PhotonWorkshopReader::open(const std::string& path, std::string& error)
{
    m_path = path;
    m_file = std::fopen(path.c_str(), "rb");
    if (!m_file || fseeko(m_file, 0, SEEK_END) != 0) {
        error = "Cannot open the job file " + m_path + ": " + std::strerror(errno) + ".";
        return false;
    }
    m_size = std::uint64_t(ftello(m_file));
    PhotonWorkshopHeader& h = m_header;
    std::vector<std::uint8_t> b;
    if (!readAt(0, 20, b, "file mark", error))
        return false;
    if (std::memcmp(b.data(), "ANYCUBIC\0\0\0\0", 12) != 0) {
        error = "The job file " + m_path
            + " is not a Photon Workshop file: it does not start with ANYCUBIC.";
        return false;
    }
    h.version = int(u32(&b[12]));
    const int v = h.version;
    if (!knownVersion(v)) {
        error = "The job file " + m_path + " has file version " + std::to_string(u32(&b[12]))
            + ", which we do not read (1 or 515 to 518).";
        return false;
    }
    if (u32(&b[16]) != tableCount(v)) {
        error = "The job file " + m_path + " is damaged: its file mark lists "
            + std::to_string(u32(&b[16])) + " tables where version " + std::to_string(v) + " has "
            + std::to_string(tableCount(v)) + ".";
        return false;
    }
    if (!readAt(0, markSize(v), b, "file mark", error))
        return false;
    Layout l;
    l.header = u32(&b[20]);
    l.software = u32(&b[24]);
    l.preview = u32(&b[28]);
    l.layerDef = u32(&b[36]);
    if (v >= 516) {
        l.extra = u32(&b[40]);
        l.machine = u32(&b[44]);
    }
    if (v >= 517)
        l.model = u32(&b[52]);
    if (v == 518) {
        l.subImages = u32(&b[56]);
        l.preview2 = u32(&b[60]);
    }

    // A table is recognised by its name and the length its version gives it.
    const auto table
        = [&](std::uint32_t address, const char* name, std::size_t size, std::uint64_t length) {
              if (!readAt(address, size, b, name, error))
                  return false;
              if (text(b.data(), 12) != name || u32(&b[12]) != length) {
                  error = "The job file " + m_path + " is damaged: its " + name
                      + " table has the wrong name or length.";
                  return false;
              }
              return true;
          };

    if (!table(l.header, "HEADER", 16 + headerLength(v), headerLength(v)))
        return false;
    h.pixelUmX = h.pixelUmY = f32(&b[16]);
    h.layerHeightMm = f32(&b[20]);
    h.exposureS = f32(&b[24]);
    h.lightOffDelayS = f32(&b[28]);
    h.bottomExposureS = f32(&b[32]);
    const float bottomLayers = f32(&b[36]); // a count, stored as a float
    h.bottomLayers = bottomLayers >= 0 && bottomLayers <= kMostLayers ? int(bottomLayers) : 0;
    h.liftHeightMm = f32(&b[40]);
    h.liftSpeedMmS = f32(&b[44]);
    h.retractSpeedMmS = f32(&b[48]);
    h.volumeMl = f32(&b[52]);
    h.pixelsX = int(u32(&b[60]));
    h.pixelsY = int(u32(&b[64]));
    h.weightG = f32(&b[68]);
    h.price = f32(&b[72]);
    h.printTimeS = u32(&b[84]);
    h.transitionLayers = u32(&b[88]);
    if (u32(&b[60]) == 0 || u32(&b[64]) == 0 || u32(&b[60]) > 0xFFFF || u32(&b[64]) > 0xFFFF
        || std::uint64_t(h.pixelsX) * std::uint64_t(h.pixelsY) > kMostPixels) {
        error = "The job file " + m_path + " is damaged: its display of "
            + std::to_string(u32(&b[60])) + " x " + std::to_string(u32(&b[64]))
            + " pixels is not one a printer has.";
        return false;
    }

    // Version 1 files from one writer count the preview's length without its first 16 bytes.
    if (!readAt(l.preview, 28 + kPreviewBytes, b, "PREVIEW table", error))
        return false;
    const std::uint32_t previewLength = u32(&b[12]);
    if (text(b.data(), 12) != "PREVIEW"
        || (previewLength != 28 + kPreviewBytes && previewLength != 12 + kPreviewBytes)
        || u32(&b[16]) != kPhotonWorkshopPreviewWidth
        || u32(&b[24]) != kPhotonWorkshopPreviewHeight) {
        error = "The job file " + m_path + " is damaged: its PREVIEW table has the wrong size.";
        return false;
    }
    h.preview.resize(kPreviewBytes / 2);
    for (std::size_t i = 0; i < h.preview.size(); ++i)
        h.preview[i] = u16(&b[28 + 2 * i]);

    if (!readAt(l.layerDef, 20, b, "LAYERDEF table", error))
        return false;
    const std::uint32_t layers = u32(&b[16]);
    if (text(b.data(), 12) != "LAYERDEF" || layers > (m_size - l.layerDef) / 32
        || u32(&b[12]) != 4 + 32ull * layers) {
        error = "The job file " + m_path
            + " is damaged: its LAYERDEF table has the wrong name or length.";
        return false;
    }
    h.layerCount = int(layers);
    if (!readAt(l.layerDef + 20, 32 * std::size_t(layers), b, "LAYERDEF table", error))
        return false;
    m_layers.resize(layers);
    for (std::uint32_t i = 0; i < layers; ++i) {
        const std::uint8_t* e = &b[32 * std::size_t(i)];
        PhotonWorkshopLayer& layer = m_layers[i];
        layer.address = u32(e);
        layer.length = u32(e + 4);
        layer.liftHeightMm = f32(e + 8);
        layer.liftSpeedMmS = f32(e + 12);
        layer.exposureS = f32(e + 16);
        layer.layerHeightMm = f32(e + 20);
        layer.nonZeroPixels = u32(e + 24);
        if (std::uint64_t(layer.address) + layer.length > m_size) {
            error = "The job file " + m_path + " is damaged: its " + layerName(i)
                + " lies beyond the end of the file.";
            return false;
        }
    }

    if (v >= 516) {
        if (!table(l.extra, "EXTRA", kExtraTableSize, 24)
            || !table(l.machine, "MACHINE", machineLength(v), machineLength(v)))
            return false;
        h.machineName = text(&b[16], 96);
        h.displayWidthMm = f32(&b[136]);
        h.displayHeightMm = f32(&b[140]);
        h.buildHeightMm = f32(&b[144]);
        if (v == 518) {
            h.pixelUmX = f32(&b[156]);
            h.pixelUmY = f32(&b[160]);
        }
    }
    if (v >= 517) {
        if (!readAt(l.software, kSoftwareTableSize, b, "software table", error))
            return false;
        if (u32(&b[32]) != kSoftwareTableSize) {
            error = "The job file " + m_path
                + " is damaged: its software table has the wrong length.";
            return false;
        }
        h.softwareName = text(&b[0], 32);
        h.softwareVersion = text(&b[36], 32);
        if (!table(l.model, "MODEL", kModelTableSize, kModelTableSize))
            return false;
        for (int k = 0; k < 3; ++k) {
            h.modelMin[k] = f32(&b[16 + 4 * k]);
            h.modelMax[k] = f32(&b[28 + 4 * k]);
        }
    }
    if (v == 518) {
        if (!table(l.subImages, "SUBIMGS", 24 + 44 * std::size_t(layers), 24 + 44ull * layers))
            return false;
        // The second list of layers repeats the first; a file where they differ is not whole.
        for (std::uint32_t i = 0; i < layers; ++i) {
            const std::uint8_t* e = &b[24 + 44 * std::size_t(i)];
            if (u32(&b[16]) != layers || u32(e) != m_layers[i].address
                || u32(e + 4) != m_layers[i].length || u32(e + 8) != m_layers[i].nonZeroPixels) {
                error = "The job file " + m_path
                    + " is damaged: its SUBIMGS table disagrees with its LAYERDEF table at "
                    + layerName(i) + ".";
                return false;
            }
        }
        if (!table(l.preview2, "PREVIEW2", 28 + kPreview2Bytes, 28 + kPreview2Bytes))
            return false;
        if (u32(&b[16]) != kPhotonWorkshopPreview2Width
            || u32(&b[24]) != kPhotonWorkshopPreview2Height) {
            error
                = "The job file " + m_path + " is damaged: its PREVIEW2 table has the wrong size.";
            return false;
        }
        h.preview2.resize(kPreview2Bytes / 2);
        for (std::size_t i = 0; i < h.preview2.size(); ++i)
            h.preview2[i] = u16(&b[28 + 2 * i]);
    }
    return true;
}

bool PhotonWorkshopReader::readLayer(int index, std::vector<std::uint8_t>& grey, std::string& error)
{
    if (index < 0 || std::size_t(index) >= m_layers.size()) {
        error = "The job file " + m_path + " has no layer " + std::to_string(index + 1ll) + ".";
        return false;
    }
    const PhotonWorkshopLayer& layer = m_layers[std::size_t(index)];
    const std::string name = layerName(std::size_t(index));
    if (!readAt(layer.address, layer.length, m_coded, name.c_str(), error))
        return false;
    grey.resize(std::size_t(m_header.pixelsX) * std::size_t(m_header.pixelsY));
    std::string why;
    if (!decodePw0(m_coded.data(), m_coded.size(), grey.data(), grey.size(), why)) {
        error = "The job file " + m_path + " is damaged: in its " + name + ", " + why + ".";
        return false;
    }
    return true;
}

namespace {

// Per file extension: the machine name printers of the family know, and the file versions their
// firmware takes.
struct Machine {
    const char* id;
    const char* name;
    std::initializer_list<int> versions;
};

const Machine kMachines[] = {
    { "pwmo", "Photon Mono", { 1, 515, 516 } },
    { "pwms", "Photon Mono SE", { 1, 515, 516 } },
    { "pwmx", "Photon Mono X", { 1, 515, 516 } },
    { "pmsq", "Photon Mono SQ", { 1, 515, 516 } },
    { "dlp", "Photon Ultra", { 1, 515, 516 } },
    { "pwma", "Photon Mono 4K", { 515, 516 } },
    { "pm3", "Photon M3", { 515, 516 } },
    { "pm3m", "Photon M3 Max", { 515, 516 } },
    { "pwmb", "Photon Mono X 6K", { 515, 516, 517 } },
    { "dl2p", "Photon D2", { 515, 516, 517 } },
    { "pmx2", "Photon Mono X2", { 515, 516, 517 } },
    { "pm3r", "Photon M3 Premium", { 515, 516, 517 } },
    { "pm3n", "Photon Mono 2", { 516, 517 } },
    { "pm5", "Photon Mono M5", { 517 } },
    { "px6s", "Photon Mono X 6Ks", { 517 } },
    { "pm5s", "Photon Mono M5s", { 518 } },
    { "m5sp", "Photon Mono M5s Pro", { 518 } },
    { "pm4n", "Photon Mono 4", { 1, 515, 516, 517, 518 } },
    { "pw0", "Photon Zero", { 1 } },
    { "pwx", "Photon X", { 1 } },
};

std::vector<std::uint16_t> previewWords(
    const PreviewSource& previews, PreviewView view, int width, int height)
{
    RgbImage image;
    if (previews)
        image = previews(view, width, height);
    if (image.width != width || image.height != height
        || image.rgb.size() != std::size_t(width) * std::size_t(height) * 3)
        return std::vector<std::uint16_t>(std::size_t(width) * std::size_t(height), 0);
    return toRgb565(image.rgb.data(), width, height);
}

class PhotonWorkshopJobWriter : public JobWriter {
public:
    explicit PhotonWorkshopJobWriter(const JobFormat& format)
        : m_format(format)
    {
    }

    bool begin(std::FILE* file, const JobSettings& s, const PreviewSource& previews,
        std::string& error) override
    {
        const Machine* machine = nullptr;
        for (const Machine& m : kMachines) {
            if (m_format.id == m.id)
                machine = &m;
        }
        const int version = m_format.version;
        if (!machine
            || std::find(machine->versions.begin(), machine->versions.end(), version)
                == machine->versions.end()) {
            error = "Printers that read " + m_format.extension + " files do not take version "
                + std::to_string(version) + " of them.";
            return false;
        }
        PhotonWorkshopHeader h;
        h.version = version;
        h.machineName = machine->name;
        h.pixelsX = s.pixelsX;
        h.pixelsY = s.pixelsY;
        h.pixelUmX = float(s.pixelUmX);
        h.pixelUmY = float(s.pixelUmY);
        h.displayWidthMm = float(s.pixelsX * s.pixelUmX / 1000.0);
        h.displayHeightMm = float(s.pixelsY * s.pixelUmY / 1000.0);
        h.buildHeightMm = float(s.maxHeightMm);
        h.layerHeightMm = float(s.layerHeightMm);
        h.exposureS = float(s.exposureS);
        h.lightOffDelayS = float(s.waitBeforeExposureS);
        h.bottomExposureS = float(s.bottomExposureS);
        h.bottomLayers = s.bottomLayers;
        // One set of motion values: the file's layers all lift alike. Speeds in mm/s here.
        h.liftHeightMm = float(s.liftMm);
        h.liftSpeedMmS = float(s.liftSpeed / 60.0);
        h.retractSpeedMmS = float(s.retractSpeed / 60.0);
        h.volumeMl = float(s.volumeMl);
        h.printTimeS = std::uint32_t(std::max(0.0, s.printTimeS));
        h.softwareName = "Corvane";
        h.softwareVersion = CORVANE_VERSION;
        // The larger picture is the one printers show big: the plate at an angle.
        if (version == 518) {
            h.preview = previewWords(previews, PreviewView::Top, kPhotonWorkshopPreviewWidth,
                kPhotonWorkshopPreviewHeight);
            h.preview2 = previewWords(previews, PreviewView::Angled, kPhotonWorkshopPreview2Width,
                kPhotonWorkshopPreview2Height);
        } else {
            h.preview = previewWords(previews, PreviewView::Angled, kPhotonWorkshopPreviewWidth,
                kPhotonWorkshopPreviewHeight);
        }
        h.layerCount = s.layerCount;
        return m_writer.begin(file, h, error);
    }

    bool takesRuns() const override { return true; }

    bool addLayer(const JobLayer& layer, std::string& error) override
    {
        return layer.runs ? m_writer.addLayer(layer.runs, layer.runCount, error)
                          : m_writer.addLayer(layer.pixels, error);
    }

    bool finish(std::string& error) override { return m_writer.finish(error); }

private:
    JobFormat m_format;
    PhotonWorkshopWriter m_writer;
};

class PhotonWorkshopJobReader : public JobReader {
public:
    bool open(const std::string& path, std::string& error) override
    {
        if (!m_reader.open(path, error))
            return false;
        const PhotonWorkshopHeader& h = m_reader.header();
        JobSettings& s = m_settings;
        s.printerName = h.machineName;
        s.pixelsX = h.pixelsX;
        s.pixelsY = h.pixelsY;
        s.pixelUmX = h.pixelUmX;
        s.pixelUmY = h.pixelUmY;
        s.mirrorX = true; // the family's printers all take images mirrored left-right
        s.mirrorY = false;
        s.maxHeightMm = h.buildHeightMm;
        s.layerHeightMm = h.layerHeightMm;
        s.layerCount = h.layerCount;
        s.bottomLayers = h.bottomLayers;
        s.exposureS = h.exposureS;
        s.bottomExposureS = h.bottomExposureS;
        s.bottomLiftMm = s.liftMm = h.liftHeightMm;
        s.bottomLiftSpeed = s.liftSpeed = h.liftSpeedMmS * 60.0;
        s.bottomRetractSpeed = s.retractSpeed = h.retractSpeedMmS * 60.0;
        s.bottomWaitBeforeExposureS = s.waitBeforeExposureS = h.lightOffDelayS;
        s.antiAliasing = 1;
        s.printTimeS = h.printTimeS;
        s.volumeMl = h.volumeMl;
        return true;
    }

    const JobSettings& settings() const override { return m_settings; }

    std::vector<RgbImage> previews() const override
    {
        const PhotonWorkshopHeader& h = m_reader.header();
        std::vector<RgbImage> images;
        images.push_back(
            { kPhotonWorkshopPreviewWidth, kPhotonWorkshopPreviewHeight, fromRgb565(h.preview) });
        if (!h.preview2.empty())
            images.push_back({ kPhotonWorkshopPreview2Width, kPhotonWorkshopPreview2Height,
                fromRgb565(h.preview2) });
        return images;
    }

    bool readLayer(int index, std::vector<std::uint8_t>& pixels, std::string& error) override
    {
        return m_reader.readLayer(index, pixels, error);
    }

private:
    PhotonWorkshopReader m_reader;
    JobSettings m_settings;
};

} // namespace

std::unique_ptr<JobWriter> makePhotonWorkshopWriter(const JobFormat& format)
{
    return std::make_unique<PhotonWorkshopJobWriter>(format);
}

std::unique_ptr<JobReader> makePhotonWorkshopReader()
{
    return std::make_unique<PhotonWorkshopJobReader>();
}
