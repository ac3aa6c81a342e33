// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "meshgrid.h"

#include <algorithm>
#include <cmath>
#include <limits>

MeshGrid::MeshGrid(const TriangleSoup& model)
    : m_model(model)
{
    const std::size_t count = model.size() / 9;
    double x0 = std::numeric_limits<double>::max(), y0 = x0, z0 = x0;
    double x1 = std::numeric_limits<double>::lowest(), y1 = x1, z1 = x1;
    std::size_t usable = 0;
    for (std::size_t t = 0; t < count; ++t) {
        const float* p = model.data() + 9 * t;
        if (!usableTriangle(p))
            continue;
        ++usable;
        for (int k = 0; k < 9; k += 3) {
            x0 = std::min(x0, double(p[k]));
            x1 = std::max(x1, double(p[k]));
            y0 = std::min(y0, double(p[k + 1]));
            y1 = std::max(y1, double(p[k + 1]));
            z0 = std::min(z0, double(p[k + 2]));
            z1 = std::max(z1, double(p[k + 2]));
        }
    }
    m_start.assign(2, 0);
    if (usable == 0)
        return;
    m_minZ = z0;
    m_maxZ = z1;
    // About two triangles per cell on a model that fills its extent; never finer than 0.1 mm.
    const double area = std::max(1e-6, (x1 - x0) * (y1 - y0));
    m_cell = std::max(0.1, std::sqrt(2.0 * area / double(usable)));
    m_columns = std::max(1, std::min(4096, int((x1 - x0) / m_cell) + 1));
    m_rows = std::max(1, std::min(4096, int((y1 - y0) / m_cell) + 1));
    m_cell = std::max({ m_cell, (x1 - x0) / m_columns * 1.0001, (y1 - y0) / m_rows * 1.0001 });
    m_x0 = x0;
    m_y0 = y0;

    // Two passes: count per cell, then fill, so the lists live in one block.
    const std::size_t cells = std::size_t(m_columns) * std::size_t(m_rows);
    m_start.assign(cells + 1, 0);
    // Visits every cell that a usable triangle's footprint touches.
    auto forEachCell = [&](std::size_t t, auto&& visit) {
        const float* p = model.data() + 9 * t;
        if (!usableTriangle(p))
            return;
        int c0, r0, c1, r1;
        cellRange(std::min({ p[0], p[3], p[6] }), std::min({ p[1], p[4], p[7] }),
            std::max({ p[0], p[3], p[6] }), std::max({ p[1], p[4], p[7] }), c0, r0, c1, r1);
        for (int r = r0; r <= r1; ++r)
            for (int c = c0; c <= c1; ++c)
                visit(std::size_t(r) * std::size_t(m_columns) + std::size_t(c));
    };
    for (std::size_t t = 0; t < count; ++t)
        forEachCell(t, [&](std::size_t cell) { ++m_start[cell + 1]; });
    for (std::size_t c = 0; c < cells; ++c)
        m_start[c + 1] += m_start[c];
    m_triangles.resize(m_start[cells]);
    std::vector<std::uint32_t> next(m_start.begin(), m_start.end() - 1);
    for (std::size_t t = 0; t < count; ++t)
        forEachCell(t, [&](std::size_t cell) { m_triangles[next[cell]++] = std::uint32_t(t); });
}

void MeshGrid::cellRange(
    double x0, double y0, double x1, double y1, int& c0, int& r0, int& c1, int& r1) const
{
    auto clampCell
        = [](double v, int n) { return int(std::clamp(std::floor(v), 0.0, double(n - 1))); };
    c0 = clampCell((x0 - m_x0) / m_cell, m_columns);
    c1 = clampCell((x1 - m_x0) / m_cell, m_columns);
    r0 = clampCell((y0 - m_y0) / m_cell, m_rows);
    r1 = clampCell((y1 - m_y0) / m_cell, m_rows);
}

bool MeshGrid::castDown(double x, double y, double fromZ, double& hitZ, bool* facingUp) const
{
    return cast(x, y, fromZ, true, hitZ, facingUp);
}

bool MeshGrid::castUp(double x, double y, double fromZ, double& hitZ, bool* facingUp) const
{
    return cast(x, y, fromZ, false, hitZ, facingUp);
}

bool MeshGrid::cast(double x, double y, double fromZ, bool down, double& hitZ, bool* facingUp) const
{
    if (m_triangles.empty())
        return false;
    bool found = false;
    int c0, r0, c1, r1;
    cellRange(x, y, x, y, c0, r0, c1, r1);
    const std::size_t cell = std::size_t(r0) * std::size_t(m_columns) + std::size_t(c0);
    for (std::uint32_t i = m_start[cell]; i < m_start[cell + 1]; ++i) {
        const float* p = m_model.data() + 9 * std::size_t(m_triangles[i]);
        // Barycentric coordinates of (x, y) in the triangle seen from above; edges count as
        // inside, so a ray through an edge hits one of the two triangles that share it.
        const double ax = p[0], ay = p[1], bx = p[3], by = p[4], cx = p[6], cy = p[7];
        const double det = (bx - ax) * (cy - ay) - (cx - ax) * (by - ay);
        if (std::fabs(det) < 1e-12)
            continue; // a wall: seen from above it has no area
        const double u = ((x - ax) * (cy - ay) - (cx - ax) * (y - ay)) / det;
        const double v = ((bx - ax) * (y - ay) - (x - ax) * (by - ay)) / det;
        constexpr double slack = -1e-9;
        if (u < slack || v < slack || u + v > 1 - slack)
            continue;
        const double z = p[2] + u * (p[5] - p[2]) + v * (p[8] - p[2]);
        if (down ? z < fromZ && (!found || z > hitZ) : z > fromZ && (!found || z < hitZ)) {
            hitZ = z;
            found = true;
            // Corners counter-clockwise seen from outside: seen from above, an upward face
            // keeps that order, which makes the determinant positive.
            if (facingUp)
                *facingUp = det > 0;
        }
    }
    return found;
}
