// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODELBAY_PLATEOBJECT_H
#define MODELBAY_PLATEOBJECT_H

#include "meshdata.h"
#include "placement.h"

#include <QString>
#include <QVector3D>
#include <QVector>

#include <memory>

// One object on the plate. The mesh is shared, never copied: a duplicate points at the same
// triangles, and an undo command that removed the object keeps it alive for redo.
struct PlateObject {
    quint64 id = 0; // stable across row changes, so undo commands find their object
    QString sourcePath;
    std::shared_ptr<const MeshData> mesh;
    Placement placement;
    // Where supports touch the object, in the mesh's own coordinates: a point stays on the same
    // spot of the surface however the object is moved or turned.
    QVector<QVector3D> supportPoints;
    // The placed box without the translation, kept because turning a million triangles again
    // on every drag step would stall the view; moving only shifts it.
    Bounds unmovedBounds;
    Placement unmovedBoundsFor; // rotation and scale the box above was computed for
    bool unmovedBoundsKnown = false;

    Bounds bounds()
    {
        if (!unmovedBoundsKnown || unmovedBoundsFor.rotation != placement.rotation
            || unmovedBoundsFor.scale != placement.scale) {
            unmovedBoundsKnown = true;
            Placement unmoved = placement;
            unmoved.translation = QVector3D();
            unmovedBounds = mesh ? placedBounds(*mesh, unmoved) : Bounds {};
            unmovedBoundsFor = unmoved;
        }
        return { unmovedBounds.min + placement.translation,
            unmovedBounds.max + placement.translation };
    }
};

#endif
