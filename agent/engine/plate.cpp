// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "plate.h"
#include "jobfile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// Exported scenes carry float rounding: a model that touches the edge exactly must still fit.
constexpr double kToleranceMm = 1e-3;

std::string millimetres(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

bool sameShape(const Profile& a, const Profile& b)
{
    return a.depthUm == b.depthUm && a.pixelsX == b.pixelsX && a.pixelsY == b.pixelsY
        && a.pixelUmX == b.pixelUmX && a.pixelUmY == b.pixelUmY && a.mirrorX == b.mirrorX
        && a.mirrorY == b.mirrorY;
}

bool checkInside(const PlateItem& item, std::string& error)
{
    const Profile& p = item.profile;
    const double halfWidth = p.pixelsX * p.pixelUmX / 2000.0;
    const double halfHeight = p.pixelsY * p.pixelUmY / 2000.0;
    float low[3] = { item.mesh.xyz[0], item.mesh.xyz[1], item.mesh.xyz[2] };
    float high[3] = { low[0], low[1], low[2] };
    for (std::size_t i = 0; i < item.mesh.xyz.size(); i += 3) {
        for (int k = 0; k < 3; ++k) {
            low[k] = std::min(low[k], item.mesh.xyz[i + k]);
            high[k] = std::max(high[k], item.mesh.xyz[i + k]);
        }
    }
    const std::string model = "The model " + item.stlPath;
    if (low[0] < -halfWidth - kToleranceMm || high[0] > halfWidth + kToleranceMm
        || low[1] < -halfHeight - kToleranceMm || high[1] > halfHeight + kToleranceMm) {
        error = model + " reaches outside the plate: it spans x " + millimetres(low[0]) + " to "
            + millimetres(high[0]) + " mm and y " + millimetres(low[1]) + " to "
            + millimetres(high[1]) + " mm, but the plate spans x " + millimetres(-halfWidth)
            + " to " + millimetres(halfWidth) + " mm and y " + millimetres(-halfHeight) + " to "
            + millimetres(halfHeight) + " mm.";
        return false;
    }
    if (low[2] < -kToleranceMm) {
        error = model + " reaches below the plate: its lowest point is at z " + millimetres(low[2])
            + " mm.";
        return false;
    }
    if (high[2] > p.maxHeightMm + kToleranceMm) {
        error = model + " is too tall for the printer: it reaches z " + millimetres(high[2])
            + " mm, the build height is " + millimetres(p.maxHeightMm) + " mm.";
        return false;
    }
    return true;
}

} // namespace

bool loadPlate(const std::string& jobName, const Printer& printer,
    const std::vector<std::pair<std::string, Profile>>& items, Plate& plate, std::string& error)
{
    if (items.empty()) {
        error = "The job has no models to slice.";
        return false;
    }
    const Profile& first = items.front().second;
    for (const auto& item : items) {
        const Profile& p = item.second;
        if (p.depthUm <= 0 || p.pixelsX <= 0 || p.pixelsY <= 0 || !(p.pixelUmX > 0)
            || !(p.pixelUmY > 0) || !(p.maxHeightMm > 0)) {
            error = "The profile \"" + p.title
                + "\" has no usable layer height, resolution, "
                  "pixel size or build height.";
            return false;
        }
        if (!sameShape(p, first)) {
            error = "The profiles \"" + first.title + "\" and \"" + p.title
                + "\" cannot share a plate: their layer height, resolution, pixel size or "
                  "mirroring differ.";
            return false;
        }
    }

    Plate loaded;
    loaded.jobName = jobName;
    loaded.printer = printer;
    loaded.printer.profiles.clear();
    double top = 0;
    for (const auto& item : items) {
        PlateItem plateItem;
        plateItem.stlPath = item.first;
        plateItem.profile = item.second;
        if (!readStlFile(item.first, plateItem.mesh, error) || !checkInside(plateItem, error))
            return false;
        for (std::size_t i = 2; i < plateItem.mesh.xyz.size(); i += 3)
            top = std::max(top, double(plateItem.mesh.xyz[i]));
        loaded.items.push_back(std::move(plateItem));
    }
    // Layer i covers [i*h, (i+1)*h); the tolerance keeps a 60 mm model at 0.05 mm from
    // getting a 1201st, empty layer out of float rounding.
    const double h = first.depthUm / 1000.0;
    const double layers = std::ceil(top / h - 1e-3);
    // Refused before slicing: a job whose layers cannot all be packed is of no use.
    if (layers > kMostJobFileLayers) {
        error = "The job would have " + std::to_string((long long)layers)
            + " layers, more than the " + std::to_string(kMostJobFileLayers)
            + " a job file can hold.";
        return false;
    }
    loaded.layerCount = std::max(1, int(layers));
    plate = std::move(loaded);
    return true;
}
