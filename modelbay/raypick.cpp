// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "raypick.h"

#include "meshdata.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Whether the ray meets the box at all, for some t >= 0.
bool meetsBox(const QVector3D& low, const QVector3D& high, const QVector3D& o, const QVector3D& d)
{
    float near = 0.0f;
    float far = std::numeric_limits<float>::max();
    for (int axis = 0; axis < 3; ++axis) {
        if (std::abs(d[axis]) < 1e-12f) {
            if (o[axis] < low[axis] || o[axis] > high[axis])
                return false;
            continue;
        }
        float t1 = (low[axis] - o[axis]) / d[axis];
        float t2 = (high[axis] - o[axis]) / d[axis];
        if (t1 > t2)
            std::swap(t1, t2);
        near = std::max(near, t1);
        far = std::min(far, t2);
        if (near > far)
            return false;
    }
    return true;
}

} // namespace

float rayHitDistance(const MeshData& mesh, const QMatrix4x4& matrix, const QVector3D& origin,
    const QVector3D& direction)
{
    bool invertible = false;
    const QMatrix4x4 toMesh = matrix.inverted(&invertible);
    if (!invertible || mesh.triangleCount == 0)
        return -1.0f;
    // An affine map keeps t: origin + t * direction maps to o + t * d.
    const QVector3D o = toMesh.map(origin);
    const QVector3D d = toMesh.mapVector(direction);
    // A hair of slack: a face lying exactly on the box is still met.
    const QVector3D slack(1e-3f, 1e-3f, 1e-3f);
    if (!meetsBox(mesh.boundsMin - slack, mesh.boundsMax + slack, o, d))
        return -1.0f;
    float best = -1.0f;
    // Möller and Trumbore's test, both faces.
    for (int t = 0; t < mesh.triangleCount; ++t) {
        const float* a = mesh.vertex(t * 3);
        const float* b = mesh.vertex(t * 3 + 1);
        const float* c = mesh.vertex(t * 3 + 2);
        const QVector3D p0(a[0], a[1], a[2]);
        const QVector3D e1 = QVector3D(b[0], b[1], b[2]) - p0;
        const QVector3D e2 = QVector3D(c[0], c[1], c[2]) - p0;
        const QVector3D p = QVector3D::crossProduct(d, e2);
        const float det = QVector3D::dotProduct(e1, p);
        if (std::abs(det) < 1e-12f)
            continue;
        const float inverse = 1.0f / det;
        const QVector3D s = o - p0;
        const float u = QVector3D::dotProduct(s, p) * inverse;
        if (u < 0.0f || u > 1.0f)
            continue;
        const QVector3D q = QVector3D::crossProduct(s, e1);
        const float v = QVector3D::dotProduct(d, q) * inverse;
        if (v < 0.0f || u + v > 1.0f)
            continue;
        const float hit = QVector3D::dotProduct(e2, q) * inverse;
        if (hit >= 0.0f && (best < 0.0f || hit < best))
            best = hit;
    }
    return best;
}
