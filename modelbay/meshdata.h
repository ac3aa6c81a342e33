// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODELBAY_MESHDATA_H
#define MODELBAY_MESHDATA_H

#include <QByteArray>
#include <QVector3D>

struct Mesh;

// One object's triangles as the plate model holds them, once: three vertices per triangle, each
// vertex six floats (position x, y, z in millimetres, then the face normal). The same bytes are
// handed to the Qt 3D buffer (QByteArray shares them), so the view keeps no copy of its own.
// Positions are moved so that the centre of the bounding box lies at the origin: the object
// turns and scales about its own middle.
struct MeshData {
    static constexpr int kFloatsPerVertex = 6;
    static constexpr int kVertexStride = kFloatsPerVertex * int(sizeof(float));

    QByteArray vertices;
    int triangleCount = 0;
    QVector3D boundsMin; // of the centred positions
    QVector3D boundsMax;

    const float* vertex(int index) const
    {
        return reinterpret_cast<const float*>(vertices.constData()) + index * kFloatsPerVertex;
    }
};

// Builds the centred, normal-carrying vertices from a triangle soup (9 floats per triangle).
// A soup centred before (a saved project's) is taken as it is: centring it again could move
// it by a rounding step.
MeshData meshDataFromSoup(const Mesh& mesh, bool centre = true);

#endif
