// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ctbfile.h"
#include "greyruns.h"
#include "lebytes.h"
#include "previewcolour.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

using namespace lebytes;

namespace {

constexpr std::uint32_t kHeaderSize = 112;
constexpr std::uint32_t kPreviewHeaderSize = 32;
constexpr std::uint32_t kPrintParametersSize = 60;
constexpr std::uint32_t kSlicerInfoSize = 76;
constexpr std::uint32_t kEntrySize = 36;
constexpr std::uint32_t kExtendedEntrySize = 84; // version 3, before each layer's data
constexpr std::size_t kMostRun = 0x0FFFFFFF; // the four-byte length form
constexpr std::size_t kMostPreviewRun = 4096;
constexpr std::uint16_t kPreviewRunFlag = 0x0020;
constexpr std::uint32_t kSoftwareVersion = 0x01060300; // "1.6.3", what printers know
constexpr std::uint64_t kMostPixels = 1ull << 30;
// More layers than any print has (10 m at 10 micrometres): keeps the tables well below 4 GiB.
constexpr int kMostLayers = 1000000;
constexpr std::size_t kMostMachineName = 1024;

std::string layerName(std::size_t index) { return "layer " + std::to_string(index + 1); }

void putPreview(std::vector<std::uint8_t>& out, std::uint32_t at, int width, int height,
    const std::vector<std::uint16_t>& words, std::vector<std::uint8_t>& runs)
{
    runs.clear();
    if (words.empty())
        encodeCtbPreview(std::vector<std::uint16_t>(std::size_t(width) * height, 0), runs);
    else
        encodeCtbPreview(words, runs);
    putU32(out, std::uint32_t(width));
    putU32(out, std::uint32_t(height));
    putU32(out, at + kPreviewHeaderSize); // the runs follow right after
    putU32(out, std::uint32_t(runs.size()));
    putZeros(out, 16);
    out.insert(out.end(), runs.begin(), runs.end());
}

void putEntry(std::vector<std::uint8_t>& out, const CtbLayer& layer, int version)
{
    putF32(out, layer.positionZMm);
    putF32(out, layer.exposureS);
    putF32(out, layer.lightOffDelayS);
    putU32(out, std::uint32_t(layer.address));
    putU32(out, layer.length);
    putU32(out, std::uint32_t(layer.address >> 32)); // page
    putU32(out, version == 3 ? kExtendedEntrySize : kEntrySize);
    putZeros(out, 8);
}

void emitRun(std::vector<std::uint8_t>& out, std::uint8_t level, std::size_t length)
{
    while (length > 0) {
        const std::size_t run = std::min(length, kMostRun);
        length -= run;
        if (run == 1) {
            out.push_back(level);
            continue;
        }
        out.push_back(std::uint8_t(level | 0x80));
        if (run < 0x80) {
            out.push_back(std::uint8_t(run));
        } else if (run < 0x4000) {
            out.push_back(std::uint8_t(0x80 | run >> 8));
            out.push_back(std::uint8_t(run));
        } else if (run < 0x200000) {
            out.push_back(std::uint8_t(0xC0 | run >> 16));
            out.push_back(std::uint8_t(run >> 8));
            out.push_back(std::uint8_t(run));
        } else {
            out.push_back(std::uint8_t(0xE0 | run >> 24));
            out.push_back(std::uint8_t(run >> 16));
            out.push_back(std::uint8_t(run >> 8));
            out.push_back(std::uint8_t(run));
        }
    }
}

} // namespace

void encodeCtbLayer(const std::uint8_t* grey, std::size_t count, std::vector<std::uint8_t>& out)
{
    std::size_t at = 0;
    while (at < count) {
        const std::size_t end = levelRunEnd(grey, at, count, 1);
        emitRun(out, std::uint8_t(grey[at] >> 1), end - at);
        at = end;
    }
}

void encodeCtbRuns(const LayerRun* runs, std::size_t count, std::vector<std::uint8_t>& out)
{
    std::size_t i = 0;
    while (i < count) {
        // Neighbouring runs whose greys share their top seven bits are one stored run.
        const std::uint8_t level = runs[i].grey >> 1;
        std::size_t length = 0;
        for (; i < count && runs[i].grey >> 1 == level; ++i)
            length += runs[i].length;
        emitRun(out, level, length);
    }
}

bool decodeCtbLayer(const std::uint8_t* data, std::size_t size, std::uint8_t* grey,
    std::size_t count, std::string& error)
{
    std::size_t filled = 0;
    std::size_t at = 0;
    while (at < size) {
        const std::uint8_t code = data[at++];
        const std::uint8_t level = code & 0x7F;
        std::size_t run = 1;
        if (code & 0x80) {
            if (at == size) {
                error = "its data ends inside a run";
                return false;
            }
            const std::uint8_t first = data[at];
            const std::size_t bytes = first < 0x80 ? 1
                : first < 0xC0                     ? 2
                : first < 0xE0                     ? 3
                : first < 0xF0                     ? 4
                                                   : 0;
            if (bytes == 0) {
                error = "it holds a run length of a form CTB files do not have";
                return false;
            }
            if (bytes > size - at) {
                error = "its data ends inside a run";
                return false;
            }
            run = first & (bytes == 1 ? 0x7F : 0x7F >> (bytes - 1));
            for (std::size_t k = 1; k < bytes; ++k)
                run = run << 8 | data[at + k];
            at += bytes;
            if (run == 0) {
                error = "it holds a run of no pixels";
                return false;
            }
        }
        if (run > count - filled) {
            error = "its runs cover more pixels than the display has";
            return false;
        }
        std::memset(grey + filled, level ? (level << 1 | 1) : 0, run);
        filled += run;
    }
    if (filled != count) {
        error = "its runs cover " + std::to_string(filled) + " of the display's "
            + std::to_string(count) + " pixels";
        return false;
    }
    return true;
}

void ctbKeystream(std::uint32_t key, std::uint32_t layerIndex, std::uint8_t* data, std::size_t size)
{
    if (key == 0)
        return;
    const std::uint32_t step = key * 0x2D83CDACu + 0xD8A83423u;
    std::uint32_t word = (layerIndex * 0x1E1530CDu + 0xEC3D47CDu) * step;
    for (std::size_t at = 0; at < size; at += 4, word += step) {
        for (std::size_t k = 0; k < 4 && at + k < size; ++k)
            data[at + k] ^= std::uint8_t(word >> (8 * k));
    }
}

void encodeCtbPreview(const std::vector<std::uint16_t>& words, std::vector<std::uint8_t>& out)
{
    std::size_t at = 0;
    while (at < words.size()) {
        // Bit 5 marks a run, so it is no part of a colour.
        const std::uint16_t colour = words[at] & ~kPreviewRunFlag;
        std::size_t end = at + 1;
        while (end < words.size() && (words[end] & ~kPreviewRunFlag) == colour)
            ++end;
        for (std::size_t left = end - at; left > 0;) {
            const std::size_t run = std::min(left, kMostPreviewRun);
            left -= run;
            if (run == 1) {
                putU16(out, colour);
            } else {
                putU16(out, colour | kPreviewRunFlag);
                putU16(out, std::uint16_t(0x3000 | (run - 1)));
            }
        }
        at = end;
    }
}

bool decodeCtbPreview(const std::uint8_t* data, std::size_t size, std::size_t count,
    std::vector<std::uint16_t>& words, std::string& error)
{
    words.clear();
    words.reserve(count);
    for (std::size_t at = 0; at + 1 < size; at += 2) {
        const std::uint16_t word = u16(data + at);
        std::size_t run = 1;
        if (word & kPreviewRunFlag) {
            at += 2;
            if (at + 1 >= size || (u16(data + at) & 0xF000) != 0x3000) {
                error = "a run in it lacks its length";
                return false;
            }
            run = 1 + (u16(data + at) & 0x0FFF);
        }
        if (run > count - words.size()) {
            error = "its runs cover more pixels than the picture has";
            return false;
        }
        words.insert(words.end(), run, std::uint16_t(word & ~kPreviewRunFlag));
    }
    if (words.size() != count || size % 2 != 0) {
        error = "its runs do not cover the picture";
        return false;
    }
    return true;
}

bool CtbWriter::begin(std::FILE* file, const CtbHeader& header, std::string& error)
{
    if (header.version != 2 && header.version != 3) {
        error = "CTB files of version " + std::to_string(header.version) + " are not written.";
        return false;
    }
    if (header.pixelsX <= 0 || header.pixelsY <= 0 || header.layerCount < 0
        || header.layerCount > kMostLayers) {
        error = "The job's display or layer count does not fit a CTB file.";
        return false;
    }
    if ((!header.largePreview.empty()
            && header.largePreview.size()
                != std::size_t(kCtbLargePreviewWidth) * kCtbLargePreviewHeight)
        || (!header.smallPreview.empty()
            && header.smallPreview.size()
                != std::size_t(kCtbSmallPreviewWidth) * kCtbSmallPreviewHeight)) {
        error = "The preview pictures are not the sizes a CTB file holds.";
        return false;
    }
    m_file = file;
    m_header = header;
    m_layers.clear();
    m_layers.reserve(std::size_t(header.layerCount));
    m_offset = 0;
    const CtbHeader& h = header;

    std::vector<std::uint8_t> runs;
    std::vector<std::uint8_t> previews;
    const std::uint32_t largeAt = kHeaderSize;
    putPreview(
        previews, largeAt, kCtbLargePreviewWidth, kCtbLargePreviewHeight, h.largePreview, runs);
    const std::uint32_t smallAt = kHeaderSize + std::uint32_t(previews.size());
    putPreview(
        previews, smallAt, kCtbSmallPreviewWidth, kCtbSmallPreviewHeight, h.smallPreview, runs);
    const std::uint32_t parametersAt = kHeaderSize + std::uint32_t(previews.size());
    const std::uint32_t slicerInfoAt = parametersAt + kPrintParametersSize;
    const std::string name = h.machineName.substr(0, kMostMachineName);
    m_layerTable = slicerInfoAt + kSlicerInfoSize + std::uint32_t(name.size());

    std::vector<std::uint8_t> out;
    putU32(out, kCtbMagic);
    putU32(out, std::uint32_t(h.version));
    putF32(out, h.displayWidthMm);
    putF32(out, h.displayHeightMm);
    putF32(out, h.buildHeightMm);
    putU32(out, 0);
    putU32(out, 0);
    putF32(out, float(h.layerCount * double(h.layerHeightMm))); // model height
    putF32(out, h.layerHeightMm);
    putF32(out, h.exposureS);
    putF32(out, h.bottomExposureS);
    putF32(out, h.lightOffDelayS);
    putU32(out, std::uint32_t(h.bottomLayers));
    putU32(out, std::uint32_t(h.pixelsX));
    putU32(out, std::uint32_t(h.pixelsY));
    putU32(out, largeAt);
    putU32(out, m_layerTable);
    putU32(out, std::uint32_t(h.layerCount));
    putU32(out, smallAt);
    putU32(out, h.printTimeS);
    putU32(out, h.mirrored ? 1 : 0);
    putU32(out, parametersAt);
    putU32(out, kPrintParametersSize);
    putU32(out, 1); // level sets: one, no anti-aliasing planes
    putU16(out, std::uint16_t(h.lightPwm));
    putU16(out, std::uint16_t(h.bottomLightPwm));
    putU32(out, h.key);
    putU32(out, slicerInfoAt);
    putU32(out, kSlicerInfoSize); // the fixed part; the machine name follows it
    out.insert(out.end(), previews.begin(), previews.end());

    putF32(out, h.bottomLiftHeightMm);
    putF32(out, h.bottomLiftSpeedMmMin);
    putF32(out, h.liftHeightMm);
    putF32(out, h.liftSpeedMmMin);
    putF32(out, h.retractSpeedMmMin);
    putF32(out, h.volumeMl);
    putF32(out, h.weightG);
    putF32(out, h.price);
    putF32(out, h.bottomLightOffDelayS);
    putF32(out, h.lightOffDelayS);
    putU32(out, std::uint32_t(h.bottomLayers));
    putZeros(out, 12);
    putU32(out, h.version == 2 ? 0x1234 : 0);

    putZeros(out, 6 * 4); // second-stage motion, from version 4 on
    putF32(out, 0); // rest after lift
    putU32(out, slicerInfoAt + kSlicerInfoSize); // machine name
    putU32(out, std::uint32_t(name.size()));
    putU8(out, 0x0F); // anti-alias flags as the vendor's files carry them
    putU16(out, 0);
    putU8(out, 0); // layers take the header's settings
    putU32(out, h.timestampMinutes);
    putU32(out, 1); // anti-alias level
    putU32(out, kSoftwareVersion);
    putF32(out, 0); // rest after retract
    putF32(out, 0); // rest after second lift
    putU32(out, h.transitionLayers);
    putU32(out, 0); // no version 4 parameters
    putZeros(out, 8);
    out.insert(out.end(), name.begin(), name.end()); // no NUL

    putZeros(out, kEntrySize * std::size_t(h.layerCount));
    return write(out, error);
}

bool CtbWriter::addLayer(const std::uint8_t* grey, std::string& error)
{
    m_coded.clear();
    encodeCtbLayer(grey, std::size_t(m_header.pixelsX) * std::size_t(m_header.pixelsY), m_coded);
    return writeCoded(error);
}

bool CtbWriter::addLayer(const LayerRun* runs, std::size_t count, std::string& error)
{
    std::uint64_t pixels = 0;
    for (std::size_t i = 0; i < count; ++i)
        pixels += runs[i].length;
    if (pixels != std::uint64_t(m_header.pixelsX) * std::uint64_t(m_header.pixelsY)) {
        error = "A layer image is not the size of the display.";
        return false;
    }
    m_coded.clear();
    encodeCtbRuns(runs, count, m_coded);
    return writeCoded(error);
}

bool CtbWriter::writeCoded(std::string& error)
{
    if (m_layers.size() >= std::size_t(m_header.layerCount)) {
        error = "The job has more layers than its CTB file was begun with.";
        return false;
    }
    const CtbHeader& h = m_header;
    const std::size_t index = m_layers.size();
    const bool bottom = int(index) < h.bottomLayers;
    ctbKeystream(h.key, std::uint32_t(index), m_coded.data(), m_coded.size());

    CtbLayer layer;
    layer.positionZMm = float((index + 1) * double(h.layerHeightMm));
    layer.exposureS = bottom ? h.bottomExposureS : h.exposureS;
    layer.lightOffDelayS = bottom ? h.bottomLightOffDelayS : h.lightOffDelayS;
    layer.address = m_offset + (h.version == 3 ? kExtendedEntrySize : 0);
    layer.length = std::uint32_t(m_coded.size());
    if (h.version == 3) {
        layer.liftHeightMm = bottom ? h.bottomLiftHeightMm : h.liftHeightMm;
        layer.liftSpeedMmMin = bottom ? h.bottomLiftSpeedMmMin : h.liftSpeedMmMin;
        layer.retractSpeedMmMin = h.retractSpeedMmMin;
        m_entry.clear();
        putEntry(m_entry, layer, h.version);
        putU32(m_entry, kExtendedEntrySize + layer.length);
        putF32(m_entry, layer.liftHeightMm);
        putF32(m_entry, layer.liftSpeedMmMin);
        putF32(m_entry, 0); // second-stage lift height
        putF32(m_entry, 0); // and speed
        putF32(m_entry, layer.retractSpeedMmMin);
        putZeros(m_entry, 5 * 4); // second-stage retract, rests
        putF32(m_entry, float(bottom ? h.bottomLightPwm : h.lightPwm));
        if (!write(m_entry, error))
            return false;
    }
    m_layers.push_back(layer);
    return write(m_coded, error);
}

bool CtbWriter::finish(std::string& error)
{
    if (m_layers.size() != std::size_t(m_header.layerCount)) {
        error = "The job's CTB file got " + std::to_string(m_layers.size()) + " of its "
            + std::to_string(m_header.layerCount) + " layers.";
        return false;
    }
    std::vector<std::uint8_t> table;
    for (const CtbLayer& layer : m_layers)
        putEntry(table, layer, m_header.version);
    const std::uint64_t end = m_offset;
    if (fseeko(m_file, off_t(m_layerTable), SEEK_SET) != 0 || !write(table, error))
        return false;
    if (fseeko(m_file, off_t(end), SEEK_SET) != 0 || std::fflush(m_file) != 0) {
        error = std::string("Cannot write the job file: ") + std::strerror(errno) + ".";
        return false;
    }
    return true;
}

bool CtbWriter::write(const std::vector<std::uint8_t>& bytes, std::string& error)
{
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), m_file) != bytes.size()) {
        error = std::string("Cannot write the job file: ") + std::strerror(errno) + ".";
        return false;
    }
    m_offset += bytes.size();
    return true;
}

CtbReader::~CtbReader()
{
    if (m_file)
        std::fclose(m_file);
}

bool CtbReader::readAt(std::uint64_t address, std::size_t size, std::vector<std::uint8_t>& bytes,
    const std::string& what, std::string& error)
{
    if (address > m_size || size > m_size - address) {
        error = "The job file " + m_path + " is damaged: it ends inside its " + what + ".";
        return false;
    }
    bytes.resize(size);
    if (fseeko(m_file, off_t(address), SEEK_SET) != 0
        || std::fread(bytes.data(), 1, size, m_file) != size) {
        error = "Cannot read the " + what + " of the job file " + m_path + ".";
        return false;
    }
    return true;
}

bool CtbReader::open(const std::string& path, std::string& error)
{
    m_path = path;
    m_file = std::fopen(path.c_str(), "rb");
    if (!m_file || fseeko(m_file, 0, SEEK_END) != 0) {
        error = "Cannot open the job file " + m_path + ": " + std::strerror(errno) + ".";
        return false;
    }
    m_size = std::uint64_t(ftello(m_file));
    CtbHeader& h = m_header;
    std::vector<std::uint8_t> b;
    if (!readAt(0, kHeaderSize, b, "header", error))
        return false;
    const std::uint32_t magic = u32(&b[0]);
    if (magic == 0x12FD0107) {
        error = "The job file " + m_path
            + " is an encrypted CTB file, which only its maker's programs can read.";
        return false;
    }
    if (magic != kCtbMagic) {
        error = "The job file " + m_path
            + " is not a CTB file of version 2 or 3: its first bytes are not the CTB mark.";
        return false;
    }
    h.version = int(u32(&b[4]));
    if (h.version != 2 && h.version != 3) {
        error = "The job file " + m_path + " is of CTB version " + std::to_string(u32(&b[4]))
            + ", which we do not read (2 or 3).";
        return false;
    }
    h.displayWidthMm = f32(&b[0x08]);
    h.displayHeightMm = f32(&b[0x0C]);
    h.buildHeightMm = f32(&b[0x10]);
    h.layerHeightMm = f32(&b[0x20]);
    h.exposureS = f32(&b[0x24]);
    h.bottomExposureS = f32(&b[0x28]);
    h.lightOffDelayS = f32(&b[0x2C]);
    h.bottomLayers = int(u32(&b[0x30]));
    h.pixelsX = int(u32(&b[0x34]));
    h.pixelsY = int(u32(&b[0x38]));
    const std::uint32_t largeAt = u32(&b[0x3C]);
    const std::uint32_t tableAt = u32(&b[0x40]);
    const std::uint32_t layers = u32(&b[0x44]);
    const std::uint32_t smallAt = u32(&b[0x48]);
    h.printTimeS = u32(&b[0x4C]);
    h.mirrored = u32(&b[0x50]) != 0;
    const std::uint32_t parametersAt = u32(&b[0x54]);
    const std::uint32_t parametersSize = u32(&b[0x58]);
    h.lightPwm = u16(&b[0x60]);
    h.bottomLightPwm = u16(&b[0x62]);
    h.key = u32(&b[0x64]);
    const std::uint32_t slicerInfoAt = u32(&b[0x68]);
    const std::uint32_t slicerInfoSize = u32(&b[0x6C]);
    if (u32(&b[0x34]) == 0 || u32(&b[0x38]) == 0
        || std::uint64_t(u32(&b[0x34])) * u32(&b[0x38]) > kMostPixels) {
        error = "The job file " + m_path + " is damaged: its display of "
            + std::to_string(u32(&b[0x34])) + " x " + std::to_string(u32(&b[0x38]))
            + " pixels is not one a printer has.";
        return false;
    }
    if (parametersSize != kPrintParametersSize || slicerInfoSize != kSlicerInfoSize) {
        error = "The job file " + m_path
            + " is damaged: its header gives its print parameters or slicer info a size CTB files "
              "of version "
            + std::to_string(h.version) + " do not have.";
        return false;
    }

    // Previews of other sizes than the usual two are passed over, not refused.
    const auto preview = [&](std::uint32_t at, int width, int height, const char* what,
                             std::vector<std::uint16_t>& words) {
        if (at == 0)
            return true;
        if (!readAt(at, kPreviewHeaderSize, b, what, error))
            return false;
        if (u32(&b[0]) != std::uint32_t(width) || u32(&b[4]) != std::uint32_t(height))
            return true;
        std::string why;
        if (!readAt(u32(&b[8]), u32(&b[12]), b, what, error))
            return false;
        if (!decodeCtbPreview(b.data(), b.size(), std::size_t(width) * height, words, why)) {
            error = "The job file " + m_path + " is damaged: in its " + what + ", " + why + ".";
            return false;
        }
        return true;
    };
    if (!preview(
            largeAt, kCtbLargePreviewWidth, kCtbLargePreviewHeight, "large preview", h.largePreview)
        || !preview(smallAt, kCtbSmallPreviewWidth, kCtbSmallPreviewHeight, "small preview",
            h.smallPreview))
        return false;

    if (!readAt(parametersAt, kPrintParametersSize, b, "print parameters", error))
        return false;
    h.bottomLiftHeightMm = f32(&b[0]);
    h.bottomLiftSpeedMmMin = f32(&b[4]);
    h.liftHeightMm = f32(&b[8]);
    h.liftSpeedMmMin = f32(&b[12]);
    h.retractSpeedMmMin = f32(&b[16]);
    h.volumeMl = f32(&b[20]);
    h.weightG = f32(&b[24]);
    h.price = f32(&b[28]);
    h.bottomLightOffDelayS = f32(&b[32]);

    if (!readAt(slicerInfoAt, kSlicerInfoSize, b, "slicer info", error))
        return false;
    const std::uint32_t nameAt = u32(&b[28]);
    const std::uint32_t nameLength = u32(&b[32]);
    h.timestampMinutes = u32(&b[40]);
    h.transitionLayers = u32(&b[60]);
    if (nameLength > kMostMachineName) {
        error = "The job file " + m_path + " is damaged: its machine name is said to be "
            + std::to_string(nameLength) + " bytes long.";
        return false;
    }
    if (!readAt(nameAt, nameLength, b, "machine name", error))
        return false;
    h.machineName.assign(b.begin(), b.end());

    if (layers > (m_size - std::min<std::uint64_t>(m_size, tableAt)) / kEntrySize) {
        error = "The job file " + m_path
            + " is damaged: its layer table lies beyond the end of the file.";
        return false;
    }
    h.layerCount = int(layers);
    if (!readAt(tableAt, kEntrySize * std::size_t(layers), b, "layer table", error))
        return false;
    const std::vector<std::uint8_t> table = b;
    m_layers.resize(layers);
    const std::uint32_t entrySize = h.version == 3 ? kExtendedEntrySize : kEntrySize;
    for (std::uint32_t i = 0; i < layers; ++i) {
        const std::uint8_t* e = &table[kEntrySize * std::size_t(i)];
        CtbLayer& layer = m_layers[i];
        layer.positionZMm = f32(e);
        layer.exposureS = f32(e + 4);
        layer.lightOffDelayS = f32(e + 8);
        layer.address = std::uint64_t(u32(e + 20)) << 32 | u32(e + 12);
        layer.length = u32(e + 16);
        if (layer.address > m_size || layer.length > m_size - layer.address) {
            error = "The job file " + m_path + " is damaged: its " + layerName(i)
                + " lies beyond the end of the file.";
            return false;
        }
        // Version 2 writers put 0 or 36 here; version 3 needs its extended entries.
        if (h.version == 3 && u32(e + 24) != entrySize) {
            error = "The job file " + m_path + " is damaged: its layer table gives " + layerName(i)
                + " the entry size of another CTB version.";
            return false;
        }
        if (h.version == 3) {
            if (layer.address < kExtendedEntrySize
                || !readAt(layer.address - kExtendedEntrySize, kExtendedEntrySize, b,
                    layerName(i) + "'s extended entry", error))
                return false;
            if (std::memcmp(b.data(), e, kEntrySize) != 0
                || u32(&b[36]) != kExtendedEntrySize + layer.length) {
                error = "The job file " + m_path + " is damaged: its " + layerName(i)
                    + "'s extended entry disagrees with its layer table.";
                return false;
            }
            layer.liftHeightMm = f32(&b[40]);
            layer.liftSpeedMmMin = f32(&b[44]);
            layer.retractSpeedMmMin = f32(&b[56]);
        }
    }
    return true;
}

bool CtbReader::readLayer(int index, std::vector<std::uint8_t>& grey, std::string& error)
{
    if (index < 0 || std::size_t(index) >= m_layers.size()) {
        error = "The job file " + m_path + " has no layer " + std::to_string(index + 1ll) + ".";
        return false;
    }
    const CtbLayer& layer = m_layers[std::size_t(index)];
    const std::string name = layerName(std::size_t(index));
    if (!readAt(layer.address, layer.length, m_coded, name, error))
        return false;
    ctbKeystream(m_header.key, std::uint32_t(index), m_coded.data(), m_coded.size());
    grey.resize(std::size_t(m_header.pixelsX) * std::size_t(m_header.pixelsY));
    std::string why;
    if (!decodeCtbLayer(m_coded.data(), m_coded.size(), grey.data(), grey.size(), why)) {
        error = "The job file " + m_path + " is damaged: in its " + name + ", " + why + ".";
        return false;
    }
    return true;
}

namespace {

std::vector<std::uint16_t> previewWords(
    const PreviewSource& previews, PreviewView view, int width, int height)
{
    RgbImage image;
    if (previews)
        image = previews(view, width, height);
    if (image.width != width || image.height != height
        || image.rgb.size() != std::size_t(width) * std::size_t(height) * 3)
        return std::vector<std::uint16_t>(std::size_t(width) * std::size_t(height), 0);
    return toRgb15(image.rgb.data(), width, height);
}

// "yyyy-MM-ddTHH:mm:ssZ" in minutes since 1970; 0 when it is not such a time.
std::uint32_t minutesOf(const std::string& iso)
{
    std::tm t {};
    if (std::sscanf(iso.c_str(), "%d-%d-%dT%d:%d:%d", &t.tm_year, &t.tm_mon, &t.tm_mday, &t.tm_hour,
            &t.tm_min, &t.tm_sec)
        != 6)
        return 0;
    t.tm_year -= 1900;
    t.tm_mon -= 1;
    return std::uint32_t(std::max<std::time_t>(0, timegm(&t)) / 60);
}

// The keystream's seed: never 0 (some boards refuse plain layers), and the same for the same job,
// so that one job packed twice gives the same bytes.
std::uint32_t keyOf(const JobSettings& s)
{
    std::uint32_t hash = 2166136261u; // FNV-1a
    for (const std::string* text : { &s.jobName, &s.created }) {
        for (const char c : *text)
            hash = (hash ^ std::uint8_t(c)) * 16777619u;
    }
    return hash ? hash : 1;
}

class CtbJobWriter : public JobWriter {
public:
    explicit CtbJobWriter(const JobFormat& format)
        : m_version(format.version)
    {
    }

    bool begin(std::FILE* file, const JobSettings& s, const PreviewSource& previews,
        std::string& error) override
    {
        CtbHeader h;
        h.version = m_version;
        h.machineName = s.printerName;
        h.pixelsX = s.pixelsX;
        h.pixelsY = s.pixelsY;
        h.displayWidthMm = float(s.pixelsX * s.pixelUmX / 1000.0);
        h.displayHeightMm = float(s.pixelsY * s.pixelUmY / 1000.0);
        h.buildHeightMm = float(s.maxHeightMm);
        h.layerHeightMm = float(s.layerHeightMm);
        h.exposureS = float(s.exposureS);
        h.bottomExposureS = float(s.bottomExposureS);
        h.lightOffDelayS = float(s.waitBeforeExposureS);
        h.bottomLightOffDelayS = float(s.bottomWaitBeforeExposureS);
        h.bottomLayers = s.bottomLayers;
        h.liftHeightMm = float(s.liftMm);
        h.liftSpeedMmMin = float(s.liftSpeed);
        h.bottomLiftHeightMm = float(s.bottomLiftMm);
        h.bottomLiftSpeedMmMin = float(s.bottomLiftSpeed);
        h.retractSpeedMmMin = float(s.retractSpeed);
        h.volumeMl = float(s.volumeMl);
        h.printTimeS = std::uint32_t(std::max(0.0, s.printTimeS));
        h.mirrored = s.mirrorX || s.mirrorY;
        h.lightPwm = std::clamp(s.lightPwm, 0, 255);
        h.bottomLightPwm = std::clamp(s.bottomLightPwm, 0, 255);
        h.timestampMinutes = minutesOf(s.created);
        h.key = keyOf(s);
        h.largePreview = previewWords(
            previews, PreviewView::Angled, kCtbLargePreviewWidth, kCtbLargePreviewHeight);
        h.smallPreview = previewWords(
            previews, PreviewView::Top, kCtbSmallPreviewWidth, kCtbSmallPreviewHeight);
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
    int m_version;
    CtbWriter m_writer;
};

class CtbJobReader : public JobReader {
public:
    bool open(const std::string& path, std::string& error) override
    {
        if (!m_reader.open(path, error))
            return false;
        const CtbHeader& h = m_reader.header();
        JobSettings& s = m_settings;
        s.printerName = h.machineName;
        s.pixelsX = h.pixelsX;
        s.pixelsY = h.pixelsY;
        s.pixelUmX = h.displayWidthMm * 1000.0 / h.pixelsX;
        s.pixelUmY = h.displayHeightMm * 1000.0 / h.pixelsY;
        s.mirrorX = h.mirrored; // the file says "mirrored", and LCD printers mirror left-right
        s.mirrorY = false;
        s.maxHeightMm = h.buildHeightMm;
        s.layerHeightMm = h.layerHeightMm;
        s.layerCount = h.layerCount;
        s.bottomLayers = h.bottomLayers;
        s.exposureS = h.exposureS;
        s.bottomExposureS = h.bottomExposureS;
        s.bottomLiftMm = h.bottomLiftHeightMm;
        s.bottomLiftSpeed = h.bottomLiftSpeedMmMin;
        s.liftMm = h.liftHeightMm;
        s.liftSpeed = h.liftSpeedMmMin;
        s.bottomRetractSpeed = s.retractSpeed = h.retractSpeedMmMin;
        s.waitBeforeExposureS = h.lightOffDelayS;
        s.bottomWaitBeforeExposureS = h.bottomLightOffDelayS;
        s.lightPwm = h.lightPwm;
        s.bottomLightPwm = h.bottomLightPwm;
        s.antiAliasing = 1;
        s.printTimeS = h.printTimeS;
        s.volumeMl = h.volumeMl;
        return true;
    }

    const JobSettings& settings() const override { return m_settings; }

    std::vector<RgbImage> previews() const override
    {
        const CtbHeader& h = m_reader.header();
        std::vector<RgbImage> images;
        if (!h.smallPreview.empty())
            images.push_back(
                { kCtbSmallPreviewWidth, kCtbSmallPreviewHeight, fromRgb15(h.smallPreview) });
        if (!h.largePreview.empty())
            images.push_back(
                { kCtbLargePreviewWidth, kCtbLargePreviewHeight, fromRgb15(h.largePreview) });
        return images;
    }

    bool readLayer(int index, std::vector<std::uint8_t>& pixels, std::string& error) override
    {
        return m_reader.readLayer(index, pixels, error);
    }

private:
    CtbReader m_reader;
    JobSettings m_settings;
};

} // namespace

std::unique_ptr<JobWriter> makeCtbWriter(const JobFormat& format)
{
    return std::make_unique<CtbJobWriter>(format);
}

std::unique_ptr<JobReader> makeCtbReader() { return std::make_unique<CtbJobReader>(); }
