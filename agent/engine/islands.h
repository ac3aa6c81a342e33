// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_ENGINE_ISLANDS_H
#define AGENT_ENGINE_ISLANDS_H

#include <cstddef>
#include <cstdint>
#include <vector>

// Cured pixels of one row, columns [from, to). A layer is a list of runs sorted by row, then by
// column, that do not overlap: the shape the rasterizer fills, and far smaller than the image.
struct PixelRun {
    int row;
    int from;
    int to;
};
using PixelRuns = std::vector<PixelRun>;

// The runs of pixels at 128 or brighter in an 8-bit image whose rows lie `stride` bytes apart.
void curedRuns(
    const std::uint8_t* pixels, int width, int height, std::ptrdiff_t stride, PixelRuns& runs);

// A connected cured region of a layer that rests on nothing: its centroid in pixel units (pixel
// (c, r) has its centre at c + 0.5, r + 0.5) and its size in pixels.
struct IslandRegion {
    double x;
    double y;
    long long pixels;
};

// Finds the islands of a layer: each region of cured pixels, joined through the 8 neighbours of
// a pixel, that shares not one cured pixel with the layer below. Such a region has nothing to
// hold on to while it is exposed and sticks to the film instead of the model.
// Keeps its scratch space between calls, so one finder per thread slices without allocating.
class IslandFinder {
public:
    // Appends the islands of `layer` to `found`.
    void find(const PixelRuns& layer, const PixelRuns& below, std::vector<IslandRegion>& found);

private:
    int root(int run);
    void join(int a, int b);

    std::vector<int> m_parent; // union-find over the runs of the layer
    std::vector<char> m_resting; // per root: some pixel of the region has a cured pixel below
    std::vector<double> m_sumX;
    std::vector<double> m_sumY;
    std::vector<long long> m_pixels;
};

// The layers whose cured area grows by more than `thresholdMm2` over the layer below: each such
// step adds that much suction against the film at once, which can peel a part off its supports.
std::vector<int> peelWarningLayers(
    const std::vector<long long>& curedPixels, double pixelAreaMm2, double thresholdMm2);

#endif
