// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODELBAY_RAYPICK_H
#define MODELBAY_RAYPICK_H

#include <QMatrix4x4>
#include <QVector3D>

struct MeshData;

// Where the ray origin + t * direction first meets the mesh placed by `matrix`: the smallest
// t >= 0 at which it crosses a triangle (from either side), or -1 when it meets none. t is the
// same on the plate and in the mesh's own space, so hits on different objects compare directly.
// Only the triangles count: a ray through the empty corner of an object's box misses it.
float rayHitDistance(const MeshData& mesh, const QMatrix4x4& matrix, const QVector3D& origin,
    const QVector3D& direction);

#endif
