// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_ENGINE_PLATEDOCUMENT_H
#define AGENT_ENGINE_PLATEDOCUMENT_H

#include "profile.h"

#include <string>
#include <vector>

// What "plate.json" in a job folder says about the sliced job: enough to pack the job file
// without the models or the request that made it.
struct PlateDocument {
    struct Item {
        std::string stlPath;
        Profile profile; // its exposure, bottom exposure and bottom layers are the item's own
    };

    std::string name; // the job name as the user gave it
    std::string jobDir; // file-name-safe form of the name, prefix of the layer images
    std::string printerName;
    std::string printerModel;
    std::string printerIp;
    std::string printerPort;
    bool printerLocal = true;
    std::string format; // the job file the printer reads: "sl1", "goo", ... (empty: "sl1")
    int formatVersion = 0; // its file version; 0: the format's usual one
    int layerCount = 0;
    int depthUm = 0;
    int pixelsX = 0;
    int pixelsY = 0;
    double pixelUmX = 0;
    double pixelUmY = 0;
    bool mirrorX = false;
    bool mirrorY = false;
    double maxHeightMm = 0;
    // The plate is exposed as one image per layer, so the job uses the longest exposures of its
    // items: every item then cures at least as long as its own profile asks.
    double exposureS = 0;
    double bottomExposureS = 0;
    int bottomLayers = 0;
    // Every value the plate is printed with: the first item's profile with the longest exposures
    // and waits, the most bottom and transition layers, the longest lifts and slowest moves and
    // the strongest light of all items. Its exposures and bottom layers are the three above.
    Profile settings;
    double usedMaterialMl = 0; // resin, from the cured pixels
    double printTimeS = 0; // estimated from settings (printtime.h)
    std::string created; // UTC, "yyyy-MM-ddTHH:mm:ssZ"
    std::vector<Item> items;
    std::vector<std::string> layers; // file names in the job folder, bottom layer first
    std::vector<long long> curedPixels; // per layer
    std::vector<std::string> thumbnails; // paths relative to the job folder
    // A cured region with nothing below it in the layer before: where a print fails first.
    struct Island {
        int layer;
        double x, y; // centroid on the plate, mm
        double areaMm2;
    };
    std::vector<Island> islands; // bottom layer first; perhaps only the lowest of islandCount
    long long islandCount = 0;
    // Uncured resin walled in on every side, below (the plate too) and above: it stays inside.
    struct Cavity {
        int layerFrom, layerTo;
        double x, y, z; // middle of its lowest layer on the plate, mm: where a drain hole goes
        double size; // traps: volume, ml; suction cups: area of the opening, mm²
    };
    std::vector<Cavity> resinTraps; // lowest first; perhaps only the lowest of resinTrapCount
    long long resinTrapCount = 0;
    // Uncured resin walled in at its sides and below, open only to later layers: a closed pocket
    // against the film at each peel.
    std::vector<Cavity> suctionCups;
    long long suctionCupCount = 0;
    // A cured region farther than the film bridges from the layer below, though no island.
    struct Overhang {
        int layer;
        double x, y, z; // centroid, mm
        double areaMm2;
        double spanMm; // the longer side of the region
    };
    std::vector<Overhang> overhangs;
    long long overhangCount = 0;
    std::vector<int> peelWarningLayers; // layers that add a large cured area at once
};

// Writes the document atomically (temporary file, then rename).
bool writePlateDocument(const PlateDocument& document, const std::string& path, std::string& error);
bool readPlateDocument(const std::string& path, PlateDocument& document, std::string& error);

#endif
