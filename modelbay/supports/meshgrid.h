// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODELBAY_SUPPORTS_MESHGRID_H
#define MODELBAY_SUPPORTS_MESHGRID_H

#include "supportplan.h"

#include <cmath>
#include <cstdint>
#include <vector>

// A triangle whose corners are numbers within a kilometre of the plate's centre. Others, from a
// damaged file, are left out everywhere: one NaN or infinity would spoil every sum and range.
inline bool usableTriangle(const float* t)
{
    for (int k = 0; k < 9; ++k) {
        if (!(std::fabs(t[k]) < 1e6f))
            return false;
    }
    return true;
}

// The model's usable triangles binned by their extent on the plate, so that a vertical ray looks
// only at the triangles of one cell instead of the whole model.
class MeshGrid {
public:
    explicit MeshGrid(const TriangleSoup& model);

    // The highest point of the model's surface straight below (x, y, fromZ), strictly lower.
    // `facingUp` tells whether the surface there faces up, that is whether the ray came
    // through air onto the model; a ray that starts inside the model meets a face looking down.
    bool castDown(double x, double y, double fromZ, double& hitZ, bool* facingUp = nullptr) const;
    // The lowest point of the model's surface straight above (x, y, fromZ), strictly higher.
    bool castUp(double x, double y, double fromZ, double& hitZ, bool* facingUp = nullptr) const;

    // Triangles whose extent on the plate may reach within `radius` of (x, y).
    template <typename F> void forEachNear(double x, double y, double radius, F f) const
    {
        int c0, r0, c1, r1;
        cellRange(x - radius, y - radius, x + radius, y + radius, c0, r0, c1, r1);
        for (int r = r0; r <= r1; ++r) {
            for (int c = c0; c <= c1; ++c) {
                const std::size_t cell = std::size_t(r) * std::size_t(m_columns) + std::size_t(c);
                for (std::uint32_t i = m_start[cell]; i < m_start[cell + 1]; ++i)
                    f(m_triangles[i]);
            }
        }
    }

    double minZ() const { return m_minZ; }
    double maxZ() const { return m_maxZ; }

private:
    void cellRange(
        double x0, double y0, double x1, double y1, int& c0, int& r0, int& c1, int& r1) const;
    bool cast(double x, double y, double fromZ, bool down, double& hitZ, bool* facingUp) const;

    const TriangleSoup& m_model;
    double m_x0 = 0, m_y0 = 0, m_cell = 1;
    int m_columns = 1, m_rows = 1;
    double m_minZ = 0, m_maxZ = 0;
    std::vector<std::uint32_t> m_start; // per cell, into m_triangles; one more at the end
    std::vector<std::uint32_t> m_triangles;
};

#endif
