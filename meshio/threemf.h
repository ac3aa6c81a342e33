// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MESHIO_THREEMF_H
#define MESHIO_THREEMF_H

#include "stl.h"

#include <QByteArray>
#include <QString>

// A 3MF package: a zip archive whose root model part ("3D/3dmodel.model", or the first other
// ".model" part) lists objects (vertices and triangles, or components of other objects, which
// may live in further model parts named by the production extension's "path") and the build
// items that place them. Every build item's triangles are given in millimetres, already moved by
// the item's and its components' transforms; the model's unit is honoured. A damaged or truncated
// archive, a broken model, a reference to something that does not exist, components nested or
// repeated beyond reason, or a build without triangles give false and one plain sentence; never
// a crash or a hang.
bool parse3mf(const QByteArray& archive, Mesh& mesh, QString& error);

#endif
