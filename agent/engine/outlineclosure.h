// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_ENGINE_OUTLINECLOSURE_H
#define AGENT_ENGINE_OUTLINECLOSURE_H

#include "raster.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Closes the outline of one model in one layer. The cut of a closed mesh gives outlines whose
// every segment end is, to the bit, the start of another segment; a mesh with a hole gives loose
// ends, and the rasterizer would then fill nothing or leave a slit. Like resin slicers do, a
// loose end is joined to the nearest loose start within `tolerance` (pixel units; half a pixel
// closes what float rounding leaves open). Segments [first, end) are the model's; the joins are
// appended. False when a loose end or start remains: the outline cannot be closed.
class OutlineClosure {
public:
    bool close(std::vector<Segment>& segments, std::size_t first, double tolerance);

private:
    struct Point {
        double x, y;
        int balance; // segments starting here minus segments ending here
    };
    void count(double x, double y, int step);

    // Points by their exact coordinates, open addressing; kept between layers, and only the
    // slots used are cleared.
    std::vector<Point> m_slots;
    std::vector<std::uint8_t> m_used;
    std::vector<std::size_t> m_usedSlots;
    std::vector<Point> m_looseStarts;
    std::vector<Point> m_looseEnds;
};

#endif
