// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_ENGINE_PROFILE_H
#define AGENT_ENGINE_PROFILE_H

#include <string>
#include <vector>

// One way of printing on one printer: layer height, the display it exposes and how long.
struct Profile {
    std::string title; // "Title"
    int profileId = 0; // "ProfileID"
    int depthUm = 50; // "Depth": layer height in micrometres
    int pixelsX = 0; // "PixelsX": display resolution
    int pixelsY = 0; // "PixelsY"
    double pixelUmX = 0; // "PixelSizeX": micrometres per pixel
    double pixelUmY = 0; // "PixelSizeY"
    double exposureS = 0; // "Exposure": seconds per normal layer
    double bottomExposureS = 0; // "BottomExposure"
    int bottomLayers = 0; // "BottomLayers"
    bool mirrorX = false; // "MirrorX": image mirrored in x
    bool mirrorY = false; // "MirrorY"
    double maxHeightMm = 0; // "MaxHeight": build height
    // Exposure steps and motion between layers; optional in a record, with these defaults.
    int transitionLayers = 0; // "TransitionLayers": exposure steps from bottom to normal
    double bottomLiftMm = 6; // "BottomLiftDistance"
    double bottomLiftSpeed = 60; // "BottomLiftSpeed": mm/min
    double bottomRetractSpeed = 120; // "BottomRetractSpeed": mm/min, back as far as it lifted
    double liftMm = 6; // "LiftDistance"
    double liftSpeed = 120; // "LiftSpeed"
    double retractSpeed = 180; // "RetractSpeed"
    double waitBeforeLiftS = 0; // "WaitBeforeLift": after the light, before the lift
    double waitAfterLiftS = 0; // "WaitAfterLift"
    double waitAfterRetractS = 1; // "WaitAfterRetract": before the light
    int lightPwm = 255; // "LightPWM": light intensity, 0..255
    bool userMade = false; // "UserProfile": saved by a user through the agent
    int antiAliasing = 1; // "AntiAliasing": grey levels of an edge pixel, 1 (off), 2, 4, 8 or 16
    double gamma = 1.0; // "Gamma": an edge pixel's grey is 255 * coverage^gamma
    double elephantFootMm = 0; // "ElephantFootMm": how far the first layer's outline moves in
    int elephantFootLayers = -1; // "ElephantFootLayers": layers the shrink fades over; -1: bottom
};

struct Printer {
    std::string name; // "name"
    std::string ip; // "ip"
    std::string port; // "port"
    std::string model; // printer class, written to the job file
    bool local = true; // built-in printers: jobs are saved as files, never sent
    std::string maker; // "maker": e.g. "Elegoo"; empty for generic printers
    std::string format; // "format": the job file it reads ("sl1", "goo", "pwmb", ...; empty: "sl1")
    int formatVersion = 0; // "formatVersion": the file version, for formats with several; 0: usual
    std::vector<Profile> profiles;
};

std::vector<Printer> builtinPrinters(); // 2K, 4K, 6K masked-LCD classes and a 1080p DLP

// Reads the printers file of the agent's data folder (format documented in README.md);
// a missing file is no printers and no error.
bool readPrintersFile(const std::string& path, std::vector<Printer>& printers, std::string& error);

std::string printersDocument(const std::vector<Printer>& printers); // {"printers_array":[...]}
std::string profilesDocument(const std::vector<Profile>& profiles); // [ {...}, ... ]
// Profile records carry at least "Title" (string), "ProfileID" (number), "Depth" (number) and the
// other keys above; printer records "name", "ip", "port" (strings), "profiles_array".

#endif
