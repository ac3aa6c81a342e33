// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_ENGINE_CTBFILE_H
#define AGENT_ENGINE_CTBFILE_H

#include "jobformat.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// CTB job files of versions 2 and 3 (magic 0x12FD0086, not the AES-encrypted kind): a header of
// offsets, two run-length coded previews, print parameters, slicer info and the machine name, a
// table of layers, then every layer run-length coded with 7-bit greys and, when the header holds
// a key, scrambled with a keystream. Little-endian; speeds in mm/min.

constexpr std::uint32_t kCtbMagic = 0x12FD0086;
constexpr int kCtbLargePreviewWidth = 400;
constexpr int kCtbLargePreviewHeight = 300;
constexpr int kCtbSmallPreviewWidth = 200;
constexpr int kCtbSmallPreviewHeight = 125;

// Everything the file says about the job; the writer stores these values, the reader gives them
// back. Layer entries are derived from them (bottom layers get the bottom exposure).
struct CtbHeader {
    int version = 3; // 2 or 3
    std::string machineName;
    int pixelsX = 0;
    int pixelsY = 0;
    float displayWidthMm = 0;
    float displayHeightMm = 0;
    float buildHeightMm = 0;
    float layerHeightMm = 0;
    float exposureS = 0;
    float bottomExposureS = 0;
    float lightOffDelayS = 0;
    float bottomLightOffDelayS = 0;
    int bottomLayers = 0;
    float liftHeightMm = 0;
    float liftSpeedMmMin = 0;
    float bottomLiftHeightMm = 0;
    float bottomLiftSpeedMmMin = 0;
    float retractSpeedMmMin = 0;
    float volumeMl = 0;
    float weightG = 0;
    float price = 0;
    std::uint32_t printTimeS = 0;
    bool mirrored = false; // "projection": the images are mirrored, as LCD printers need
    int lightPwm = 255;
    int bottomLightPwm = 255;
    std::uint32_t transitionLayers = 0;
    std::uint32_t timestampMinutes = 0; // minutes since 1970
    std::uint32_t key = 0; // 0: layer data stored plain; otherwise the keystream's seed
    std::vector<std::uint16_t> largePreview; // 400 x 300 words as previewcolour.h's rgb15()
    std::vector<std::uint16_t> smallPreview; // 200 x 125
    int layerCount = 0;
};

// One layer-table entry (and, in version 3, the lift values of its extended entry).
struct CtbLayer {
    float positionZMm = 0; // the layer's top
    float exposureS = 0;
    float lightOffDelayS = 0;
    std::uint64_t address = 0; // page * 2^32 + offset
    std::uint32_t length = 0;
    float liftHeightMm = 0; // version 3
    float liftSpeedMmMin = 0;
    float retractSpeedMmMin = 0;
};

// Layer coding: greys kept as g >> 1; a code byte (top bit: a length follows) then a length of 1
// to 4 bytes, most significant first. Runs continue from one row into the next. Appends to out.
void encodeCtbLayer(const std::uint8_t* grey, std::size_t count, std::vector<std::uint8_t>& out);
// The same from an image given as runs (their lengths adding up to the display's pixels).
void encodeCtbRuns(const LayerRun* runs, std::size_t count, std::vector<std::uint8_t>& out);
// Decodes exactly `count` pixels (0, or (g7 << 1) | 1) or fails with a sentence.
bool decodeCtbLayer(const std::uint8_t* data, std::size_t size, std::uint8_t* grey,
    std::size_t count, std::string& error);
// XORs a layer's bytes with the keystream of `key` for the layer's index in the table; applying
// it twice restores them. Key 0 leaves them as they are.
void ctbKeystream(
    std::uint32_t key, std::uint32_t layerIndex, std::uint8_t* data, std::size_t size);

// Preview coding: 16-bit words (bit 5 set: the next word, 0x3000 | extra, repeats the colour
// 1 + extra times, extra up to 4095), continuing across rows.
void encodeCtbPreview(const std::vector<std::uint16_t>& words, std::vector<std::uint8_t>& out);
bool decodeCtbPreview(const std::uint8_t* data, std::size_t size, std::size_t count,
    std::vector<std::uint16_t>& words, std::string& error);

// Writes one file to an open, empty, seekable file: begin() writes everything before the layers
// with room for the layer table, addLayer() codes and writes one layer at a time (pixelsX *
// pixelsY greys, row 0 at the top, mirrored as the printer needs), finish() fills in the layer
// table. Memory does not grow with the layers beyond a few bytes each. Every call returns false
// with a sentence on failure; the caller owns, closes and names the file.
class CtbWriter {
public:
    bool begin(std::FILE* file, const CtbHeader& header, std::string& error);
    bool addLayer(const std::uint8_t* grey, std::string& error);
    bool addLayer(const LayerRun* runs, std::size_t count, std::string& error);
    bool finish(std::string& error);

private:
    bool writeCoded(std::string& error);
    bool write(const std::vector<std::uint8_t>& bytes, std::string& error);

    std::FILE* m_file = nullptr;
    CtbHeader m_header;
    std::uint64_t m_offset = 0;
    std::uint32_t m_layerTable = 0;
    std::vector<CtbLayer> m_layers;
    std::vector<std::uint8_t> m_coded;
    std::vector<std::uint8_t> m_entry;
};

// Reads a file's header and tables at open() and any layer on request, refusing (false, one
// sentence naming the file and what is wrong) a file whose parts do not hold together.
class CtbReader {
public:
    CtbReader() = default;
    CtbReader(const CtbReader&) = delete;
    CtbReader& operator=(const CtbReader&) = delete;
    ~CtbReader();

    bool open(const std::string& path, std::string& error);
    const CtbHeader& header() const { return m_header; }
    const std::vector<CtbLayer>& layers() const { return m_layers; }
    // pixelsX * pixelsY greys of layer `index`, row 0 at the top.
    bool readLayer(int index, std::vector<std::uint8_t>& grey, std::string& error);

private:
    bool readAt(std::uint64_t address, std::size_t size, std::vector<std::uint8_t>& bytes,
        const std::string& what, std::string& error);

    std::string m_path;
    std::FILE* m_file = nullptr;
    std::uint64_t m_size = 0;
    CtbHeader m_header;
    std::vector<CtbLayer> m_layers;
    std::vector<std::uint8_t> m_coded;
};

// The job-file interface over these: a writer for the "ctb" format of version 2 or 3, and a
// reader.
std::unique_ptr<JobWriter> makeCtbWriter(const JobFormat& format);
std::unique_ptr<JobReader> makeCtbReader();

#endif
