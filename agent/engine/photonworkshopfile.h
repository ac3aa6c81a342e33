// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_ENGINE_PHOTONWORKSHOPFILE_H
#define AGENT_ENGINE_PHOTONWORKSHOPFILE_H

#include "jobformat.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// The Photon Workshop binary container ("ANYCUBIC" files: .pwmx, .pwma, .pwmb, .pm3n, .px6s,
// .pm5s, ...), file versions 1 and 515 to 518: a file mark pointing at named tables, then every
// layer run-length coded with 4-bit greys. Little-endian throughout; speeds in mm/s.

constexpr int kPhotonWorkshopPreviewWidth = 224;
constexpr int kPhotonWorkshopPreviewHeight = 168;
constexpr int kPhotonWorkshopPreview2Width = 330; // version 518 only
constexpr int kPhotonWorkshopPreview2Height = 190;

// Everything the tables say about the job. The writer stores these values as they are, the reader
// gives them back; layer entries are derived from them (bottom layers get the bottom exposure).
struct PhotonWorkshopHeader {
    int version = 516; // 1, 515, 516, 517 or 518
    std::string machineName; // MACHINE table, v516+
    int pixelsX = 0;
    int pixelsY = 0;
    float pixelUmX = 0; // HEADER holds the larger of the two; MACHINE (v518) holds both
    float pixelUmY = 0;
    float displayWidthMm = 0; // MACHINE, v516+
    float displayHeightMm = 0;
    float buildHeightMm = 0;
    float layerHeightMm = 0;
    float exposureS = 0;
    float lightOffDelayS = 0;
    float bottomExposureS = 0;
    int bottomLayers = 0;
    float liftHeightMm = 0;
    float liftSpeedMmS = 0;
    float retractSpeedMmS = 0;
    float volumeMl = 0;
    float weightG = 0;
    float price = 0;
    std::uint32_t printTimeS = 0;
    std::uint32_t transitionLayers = 0;
    std::string softwareName; // software table, v517+
    std::string softwareVersion;
    // MODEL, v517+: the box around every lit pixel, in mm; x to the right and y up from the
    // display's centre as the images show it, z from the plate. The writer measures it from the
    // layers (what is given here is not stored); the reader gives it back.
    float modelMin[3] = { 0, 0, 0 };
    float modelMax[3] = { 0, 0, 0 };
    std::vector<std::uint16_t> preview; // 224 x 168 RGB565 words, rows top first
    std::vector<std::uint16_t> preview2; // 330 x 190, version 518 only
    int layerCount = 0;
};

// One LAYERDEF entry as the file holds it.
struct PhotonWorkshopLayer {
    std::uint32_t address = 0;
    std::uint32_t length = 0;
    float liftHeightMm = 0;
    float liftSpeedMmS = 0;
    float exposureS = 0;
    float layerHeightMm = 0; // this layer's thickness
    std::uint32_t nonZeroPixels = 0; // pixels whose stored grey is not 0
};

// PW0 layer coding: greys kept as g >> 4, runs of black and white up to 4095 pixels in two bytes,
// runs of the greys between up to 15 in one; runs continue from one row into the next. Appends
// to out and returns the count of pixels stored non-zero.
std::uint32_t encodePw0(
    const std::uint8_t* grey, std::size_t count, std::vector<std::uint8_t>& out);
// The same from an image given as runs (their lengths adding up to the display's pixels).
std::uint32_t encodePw0Runs(
    const LayerRun* runs, std::size_t count, std::vector<std::uint8_t>& out);
// Decodes exactly `count` pixels (each 17 x its 4-bit code) or fails with a sentence.
bool decodePw0(const std::uint8_t* data, std::size_t size, std::uint8_t* grey, std::size_t count,
    std::string& error);

// Writes one file to an open, empty, seekable file: begin() writes the tables with room for the
// layer entries, addLayer() codes and writes one layer at a time (pixelsX * pixelsY greys, row 0
// at the top, mirrored as the printer needs), finish() fills in the layer tables. Memory does not
// grow with the layers beyond a few bytes each. Every call returns false with a sentence on
// failure; the caller owns, closes and names the file.
class PhotonWorkshopWriter {
public:
    bool begin(std::FILE* file, const PhotonWorkshopHeader& header, std::string& error);
    bool addLayer(const std::uint8_t* grey, std::string& error);
    bool addLayer(const LayerRun* runs, std::size_t count, std::string& error);
    bool finish(std::string& error);

private:
    bool writeCoded(std::uint32_t nonZeroPixels, std::string& error);
    void measure(); // grows the lit box by the layer just coded
    bool write(const std::vector<std::uint8_t>& bytes, std::string& error);

    std::FILE* m_file = nullptr;
    PhotonWorkshopHeader m_header;
    std::uint64_t m_offset = 0;
    std::uint32_t m_layerDefAddress = 0;
    std::uint32_t m_subImagesAddress = 0;
    std::uint32_t m_modelAddress = 0;
    // Lit pixels so far: columns, rows (from the top) and layers, first and last; none yet when
    // m_firstLayer < 0.
    long m_left = 0, m_right = 0, m_top = 0, m_bottom = 0;
    int m_firstLayer = -1, m_lastLayer = -1;
    std::vector<PhotonWorkshopLayer> m_layers;
    std::vector<std::uint8_t> m_coded;
};

// Reads a file's tables at open() and any layer on request, refusing (false, one sentence naming
// the file and what is wrong) a file whose tables or layers do not hold together.
class PhotonWorkshopReader {
public:
    PhotonWorkshopReader() = default;
    PhotonWorkshopReader(const PhotonWorkshopReader&) = delete;
    PhotonWorkshopReader& operator=(const PhotonWorkshopReader&) = delete;
    ~PhotonWorkshopReader();

    bool open(const std::string& path, std::string& error);
    const PhotonWorkshopHeader& header() const { return m_header; }
    const std::vector<PhotonWorkshopLayer>& layers() const { return m_layers; }
    // pixelsX * pixelsY greys of layer `index`, row 0 at the top.
    bool readLayer(int index, std::vector<std::uint8_t>& grey, std::string& error);

private:
    bool readAt(std::uint64_t address, std::size_t size, std::vector<std::uint8_t>& bytes,
        const char* what, std::string& error);

    std::string m_path;
    std::FILE* m_file = nullptr;
    std::uint64_t m_size = 0;
    PhotonWorkshopHeader m_header;
    std::vector<PhotonWorkshopLayer> m_layers;
    std::vector<std::uint8_t> m_coded;
};

// The job-file interface over these: a writer for a format id of the Photon Workshop family
// ("pwmb", "pm3n", ...) and its version, and a reader of any of them.
std::unique_ptr<JobWriter> makePhotonWorkshopWriter(const JobFormat& format);
std::unique_ptr<JobReader> makePhotonWorkshopReader();

#endif
