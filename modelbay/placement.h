// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODELBAY_PLACEMENT_H
#define MODELBAY_PLACEMENT_H

#include <QMatrix4x4>
#include <QVector3D>

struct MeshData;

// Where an object stands on the plate: scaled first (1 = 100 %), then turned about x, then y,
// then z (degrees), then moved (millimetres). The plate's centre is the origin, z points up and
// the plate's surface is z = 0.
struct Placement {
    QVector3D translation;
    QVector3D rotation;
    QVector3D scale { 1.0f, 1.0f, 1.0f };

    bool operator==(const Placement& other) const
    {
        return translation == other.translation && rotation == other.rotation
            && scale == other.scale;
    }
    bool operator!=(const Placement& other) const { return !(*this == other); }
};

struct Bounds {
    QVector3D min;
    QVector3D max;
    QVector3D size() const { return max - min; }
    QVector3D centre() const { return (min + max) / 2.0f; }
};

// The printable volume: width along x, depth along y, centred on the origin; height along z.
struct PlateVolume {
    float width = 0.0f;
    float depth = 0.0f;
    float height = 0.0f;
};

QMatrix4x4 rotationMatrix(const QVector3D& degrees);
QMatrix4x4 placementMatrix(const Placement& placement);

// The exact box around every vertex once placed (not the turned box of the mesh's own box).
Bounds placedBounds(const MeshData& mesh, const Placement& placement);

// The same placement moved up or down so that the lowest point rests on the plate.
Placement droppedToPlate(const Bounds& placed, const Placement& placement);
// The same placement moved in x and y so that the footprint's middle is the plate's centre.
Placement centred(const Bounds& placed, const Placement& placement);

// True when any part reaches beyond the plate's edges, below the plate or above the height.
// A hundredth of a millimetre is forgiven, so that an object dropped or arranged exactly to an
// edge does not flicker into the warning colour from rounding.
bool isOutside(const Bounds& placed, const PlateVolume& volume);

// Angles (x, then y, then z, degrees) of the rotation a matrix holds.
QVector3D eulerAnglesOf(const QMatrix4x4& rotation);

// The rotation angles that turn the given face normal (in the mesh's own space) straight down
// (-z), by turning further from the current placement (whose scale shapes the normal too).
QVector3D rotationLayingFlat(const Placement& placement, const QVector3D& meshNormal);

#endif
