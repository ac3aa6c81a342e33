// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODELBAY_OBJECTSUPPORTS_H
#define MODELBAY_OBJECTSUPPORTS_H

#include "meshdata.h"
#include "supportplan.h"

#include <QMatrix4x4>
#include <QVector3D>
#include <QVector>

// The object's triangles as placed on the plate.
TriangleSoup placedSoup(const MeshData& mesh, const QMatrix4x4& matrix);

// The supports under an object's points (mesh coordinates), for the object placed by `matrix`:
// plan.geometry on the plate and plan.liftMm, how far the object stands on them. An object
// without points gets no supports and no lift.
SupportPlan objectSupports(const MeshData& mesh, const QMatrix4x4& matrix,
    const QVector<QVector3D>& meshPoints, const SupportSettings& settings);

// Scene vertices for a triangle soup as it stands, not centred: MeshData's layout with each
// triangle's face normal, for drawing and exporting supports in plate coordinates.
MeshData meshDataInPlace(const TriangleSoup& soup);

#endif
