// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODELBAY_OBJECTSUPPORTS_H
#define MODELBAY_OBJECTSUPPORTS_H

#include "meshdata.h"
#include "placement.h"
#include "supportplan.h"

#include <QMatrix4x4>
#include <QVector3D>
#include <QVector>

#include <atomic>

// The object's triangles as placed on the plate.
TriangleSoup placedSoup(const MeshData& mesh, const QMatrix4x4& matrix);

// The supports under an object's points (mesh coordinates), for the object placed by `matrix`:
// plan.geometry on the plate and plan.liftMm, how far the object stands on them. An object
// without points gets no supports and no lift. Setting `cancel` stops it soon, with no plan.
SupportPlan objectSupports(const MeshData& mesh, const QMatrix4x4& matrix,
    const QVector<QVector3D>& meshPoints, const SupportSettings& settings,
    const std::atomic<bool>* cancel = nullptr);

// Scene vertices for a triangle soup as it stands, not centred: MeshData's layout with each
// triangle's face normal, for drawing and exporting supports in plate coordinates.
MeshData meshDataInPlace(const TriangleSoup& soup);

// Whether `after` is `before` with only another translation.
bool onlyMoved(const QMatrix4x4& before, const QMatrix4x4& after);

// One object's supports as built, for the placement and points they were built for. Nothing in
// it needs a window: the plate model builds it on a worker thread and the scene draws `mesh`.
// Once the object is only moved, the same supports move along instead of being built again
// (built on the flat plate, they are the same supports shifted; a move up or down only changes
// how far they lift the object), which keeps dragging a large model smooth.
struct ObjectSupports {
    QMatrix4x4 builtFor; // the object's matrix they were built for
    QVector<QVector3D> points; // the object's points then, mesh coordinates
    quint64 settingsRevision = 0; // the options then
    double liftMm = 0; // how far they lift the object as built
    Bounds bounds; // of the geometry as built; meaningless without triangles
    MeshData mesh; // on the plate as built; no triangles where no point needed a support

    // Whether these supports serve the object as it stands now.
    bool serves(const QMatrix4x4& now, const QVector<QVector3D>& nowPoints, quint64 revision) const;
    // How far the supports moved across the plate since they were built (z always 0).
    QVector3D shift(const QMatrix4x4& now) const;
    // How far the object stands lifted on them now.
    double lift(const QMatrix4x4& now) const;
    // The object's own placed bounds, lifted, together with the supports under it.
    Bounds standing(const Bounds& object, const QMatrix4x4& now) const;
};

// Builds an object's supports; setting `cancel` stops it soon, and the result is not to be used.
ObjectSupports buildObjectSupports(const MeshData& mesh, const QMatrix4x4& matrix,
    const QVector<QVector3D>& meshPoints, const SupportSettings& settings, quint64 settingsRevision,
    const std::atomic<bool>* cancel = nullptr);

#endif
