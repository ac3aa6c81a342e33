// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "elephantfoot.h"

#include <polyclipping/clipper.hpp>

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

namespace {

// Outline points are kept to 1/1024 pixel: far below what a grey level shows.
constexpr double kUnitsPerPixel = 1024.0;
// Sharp corners keep their point up to this many times the distance.
constexpr double kMiterLimit = 8.0;

ClipperLib::IntPoint toUnits(double x, double y, double yScale)
{
    return { ClipperLib::cInt(std::llround(x * kUnitsPerPixel)),
        ClipperLib::cInt(std::llround(y * yScale * kUnitsPerPixel)) };
}

// Chains the segments into closed paths: each segment's end is the next one's start.
ClipperLib::Paths chained(const std::vector<Segment>& segments, double yScale)
{
    std::multimap<std::pair<ClipperLib::cInt, ClipperLib::cInt>, std::size_t> byStart;
    std::vector<ClipperLib::IntPoint> starts, ends;
    for (std::size_t i = 0; i < segments.size(); ++i) {
        const Segment& s = segments[i];
        starts.push_back(toUnits(s.x0, s.y0, yScale));
        ends.push_back(toUnits(s.x1, s.y1, yScale));
        byStart.insert({ { starts[i].X, starts[i].Y }, i });
    }
    std::vector<bool> used(segments.size(), false);
    ClipperLib::Paths paths;
    for (std::size_t first = 0; first < segments.size(); ++first) {
        if (used[first])
            continue;
        ClipperLib::Path path;
        std::size_t i = first;
        for (;;) {
            used[i] = true;
            path.push_back(starts[i]);
            auto range = byStart.equal_range({ ends[i].X, ends[i].Y });
            auto next = std::find_if(range.first, range.second,
                [&used](const auto& entry) { return !used[entry.second]; });
            if (next == range.second)
                break; // back at the start (or a loose end: the path closes itself)
            i = next->second;
        }
        if (path.size() >= 3)
            paths.push_back(std::move(path));
    }
    return paths;
}

ClipperLib::Paths offset(const ClipperLib::Paths& paths, double delta)
{
    ClipperLib::ClipperOffset mover(kMiterLimit);
    mover.AddPaths(paths, ClipperLib::jtMiter, ClipperLib::etClosedPolygon);
    ClipperLib::Paths moved;
    mover.Execute(moved, delta);
    return moved;
}

ClipperLib::Paths combine(
    const ClipperLib::Paths& a, const ClipperLib::Paths& b, ClipperLib::ClipType type)
{
    ClipperLib::Clipper clipper;
    clipper.AddPaths(a, ClipperLib::ptSubject, true);
    clipper.AddPaths(b, ClipperLib::ptClip, true);
    ClipperLib::Paths result;
    clipper.Execute(type, result, ClipperLib::pftNonZero, ClipperLib::pftNonZero);
    return result;
}

} // namespace

void ElephantFoot::shrink(std::vector<Segment>& segments, double distance, double yScale)
{
    if (!(distance > 0) || segments.empty())
        return;
    ClipperLib::Paths outline;
    ClipperLib::SimplifyPolygons(chained(segments, yScale), outline, ClipperLib::pftNonZero);
    const double delta = distance * kUnitsPerPixel;
    const ClipperLib::Paths shrunk = offset(outline, -delta);
    // What the move inward and back outward loses: parts too narrow to shrink, kept whole. The
    // way back goes a few units further, so that rounding leaves no hairline along the outline.
    const ClipperLib::Paths narrow
        = combine(outline, offset(shrunk, delta + 4), ClipperLib::ctDifference);
    const ClipperLib::Paths result = combine(shrunk, narrow, ClipperLib::ctUnion);

    segments.clear();
    for (const ClipperLib::Path& path : result) {
        for (std::size_t i = 0; i < path.size(); ++i) {
            const ClipperLib::IntPoint& a = path[i];
            const ClipperLib::IntPoint& b = path[(i + 1) % path.size()];
            segments.push_back(
                { double(a.X) / kUnitsPerPixel, double(a.Y) / kUnitsPerPixel / yScale,
                    double(b.X) / kUnitsPerPixel, double(b.Y) / kUnitsPerPixel / yScale });
        }
    }
}

double elephantFootAt(double distance, int layer, int layers)
{
    layers = std::max(1, layers);
    return layer < layers ? distance * double(layers - layer) / layers : 0.0;
}
