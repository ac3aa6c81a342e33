// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "meshdata.h"

#include "stl.h"

#include <algorithm>
#include <cmath>
#include <limits>

MeshData meshDataFromSoup(const Mesh& mesh, bool centre)
{
    MeshData data;
    const std::size_t triangles = mesh.triangleCount();
    if (triangles == 0)
        return data;
    const float* in = mesh.xyz.data();

    float low[3] = { std::numeric_limits<float>::max(), std::numeric_limits<float>::max(),
        std::numeric_limits<float>::max() };
    float high[3] = { std::numeric_limits<float>::lowest(), std::numeric_limits<float>::lowest(),
        std::numeric_limits<float>::lowest() };
    for (std::size_t i = 0; i < triangles * 9; i += 3) {
        for (int axis = 0; axis < 3; ++axis) {
            low[axis] = std::min(low[axis], in[i + axis]);
            high[axis] = std::max(high[axis], in[i + axis]);
        }
    }
    // The middle in double: half of two large floats must not overflow.
    float middle[3];
    for (int axis = 0; axis < 3; ++axis)
        middle[axis] = centre ? float((double(low[axis]) + double(high[axis])) / 2.0) : 0.0f;

    data.triangleCount = int(triangles);
    data.vertices.resize(int(triangles * 3 * MeshData::kVertexStride));
    float* out = reinterpret_cast<float*>(data.vertices.data());
    for (std::size_t t = 0; t < triangles; ++t, in += 9) {
        float corner[3][3];
        for (int c = 0; c < 3; ++c)
            for (int axis = 0; axis < 3; ++axis)
                corner[c][axis] = in[c * 3 + axis] - middle[axis];
        const float ux = corner[1][0] - corner[0][0], uy = corner[1][1] - corner[0][1],
                    uz = corner[1][2] - corner[0][2];
        const float vx = corner[2][0] - corner[0][0], vy = corner[2][1] - corner[0][1],
                    vz = corner[2][2] - corner[0][2];
        float nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
        const float length = std::sqrt(nx * nx + ny * ny + nz * nz);
        // A degenerate triangle has no direction; any unit vector keeps the shading finite.
        if (length > 0.0f && std::isfinite(length)) {
            nx /= length;
            ny /= length;
            nz /= length;
        } else {
            nx = 0.0f;
            ny = 0.0f;
            nz = 1.0f;
        }
        for (int c = 0; c < 3; ++c) {
            *out++ = corner[c][0];
            *out++ = corner[c][1];
            *out++ = corner[c][2];
            *out++ = nx;
            *out++ = ny;
            *out++ = nz;
        }
    }
    data.boundsMin = QVector3D(low[0] - middle[0], low[1] - middle[1], low[2] - middle[2]);
    data.boundsMax = QVector3D(high[0] - middle[0], high[1] - middle[1], high[2] - middle[2]);
    return data;
}
