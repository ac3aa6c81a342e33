// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "printermodels.h"
#include "profile_p.h"

namespace {

struct Model {
    const char* maker;
    const char* model;
    const char* port; // the printer's built-in address: a plain word
    int pixelsX, pixelsY;
    double pixelUmX, pixelUmY;
    double maxHeightMm;
    const char* format;
    int formatVersion; // 0: the format has one version, or its usual one
    // Seconds per layer at 0.05 mm, and per bottom layer; 0.03 mm layers take about 80 %.
    double exposureS, bottomExposureS;
    int bottomLayers;
};

// Displays, build heights and formats from the makers' own slicer profiles. Every one of these
// printers shows the part upside down under the plate: its images are mirrored left-right.
const Model kModels[] = {
    { "Elegoo", "Mars 4", "mars4", 8520, 4320, 18, 18, 175, "goo", 0, 2.5, 30, 5 },
    { "Elegoo", "Mars 4 Ultra", "mars4ultra", 8520, 4320, 18, 18, 165, "goo", 0, 2.5, 30, 5 },
    { "Elegoo", "Mars 5", "mars5", 4098, 2560, 35, 35, 150, "goo", 0, 2.5, 30, 5 },
    { "Elegoo", "Saturn 3", "saturn3", 11520, 5120, 19, 24, 250, "goo", 0, 2.5, 30, 5 },
    { "Elegoo", "Saturn 3 Ultra", "saturn3ultra", 11520, 5120, 19, 24, 260, "goo", 0, 2.5, 30, 5 },
    { "Elegoo", "Saturn 4", "saturn4", 11520, 5120, 19, 24, 220, "goo", 0, 2.5, 30, 5 },
    { "Phrozen", "Sonic Mini 8K S", "sonicmini8ks", 7536, 3240, 22, 22, 170, "prz", 0, 2.5, 30, 5 },
    { "Phrozen", "Sonic Mini 4K", "sonicmini4k", 3840, 2160, 35, 35, 130, "ctb", 3, 2.0, 25, 5 },
    { "Anycubic", "Photon Mono 2", "photonmono2", 4096, 2560, 35, 35, 165, "pm3n", 517, 2.0, 25,
        5 },
    { "Anycubic", "Photon Mono 4", "photonmono4", 9024, 5120, 17, 17, 165, "pm4n", 0, 2.5, 30, 5 },
    { "Anycubic", "Photon Mono X 6K", "photonmonox6k", 5760, 3600, 34.401, 34.4, 245, "pwmb", 516,
        2.0, 25, 5 },
    { "Anycubic", "Photon Mono X 6Ks", "photonmonox6ks", 5760, 3600, 34, 34, 200, "px6s", 517, 2.0,
        25, 5 },
    { "Anycubic", "Photon Mono M5s", "photonmonom5s", 11520, 5120, 19, 24, 200, "pm5s", 518, 2.0,
        25, 5 },
    { "Anycubic", "Photon Mono M5s Pro", "photonmonom5spro", 13312, 5120, 16.8, 24.8, 200, "m5sp",
        518, 2.0, 25, 5 },
    { "Prusa", "SL1S SPEED", "sl1sspeed", 1620, 2560, 50, 50, 150, "sl1s", 0, 2.0, 13, 5 },
};

Profile profileOf(const Model& m, int id, const char* title, int depthUm, double share)
{
    Profile p;
    p.title = title;
    p.profileId = id;
    p.depthUm = depthUm;
    p.pixelsX = m.pixelsX;
    p.pixelsY = m.pixelsY;
    p.pixelUmX = m.pixelUmX;
    p.pixelUmY = m.pixelUmY;
    p.exposureS = m.exposureS * share;
    p.bottomExposureS = m.bottomExposureS;
    p.bottomLayers = m.bottomLayers;
    p.mirrorX = true;
    p.mirrorY = false;
    p.maxHeightMm = m.maxHeightMm;
    p.antiAliasing = 4;
    return p;
}

} // namespace

std::vector<Printer> catalogPrinters()
{
    std::vector<Printer> printers;
    int id = 1000;
    for (const Model& m : kModels) {
        Printer printer;
        printer.maker = m.maker;
        printer.name = std::string(m.maker) + " " + m.model;
        printer.ip = "local";
        printer.port = m.port;
        // SL1-style jobs name the printer class; the SL1S's own firmware expects "SL1S".
        printer.model = std::string(m.format) == "sl1s" ? "SL1S" : printer.name;
        printer.local = true;
        printer.format = m.format;
        printer.formatVersion = m.formatVersion;
        id += 10;
        printer.profiles = { profileOf(m, id + 1, "0.05 mm standard", 50, 1.0),
            profileOf(m, id + 2, "0.03 mm fine", 30, 0.8) };
        // A vat under a panel wider than 180 mm peels with more force: longer, slower lifts.
        // The SL1S tilts its vat instead of lifting: these values only feed the time estimate.
        if (std::string(m.format) == "sl1s")
            setPlatformMotion(printer.profiles, { 1, 300, 1, 600, 600, 0, 1 });
        else if (m.pixelsX * m.pixelUmX / 1000.0 > 180)
            setPlatformMotion(printer.profiles, { 8, 60, 7, 90, 150, 4, 1 });
        else
            setPlatformMotion(printer.profiles, { 6, 60, 5, 100, 180, 4, 1 });
        printers.push_back(printer);
    }
    return printers;
}
