// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MESHIO_THREEMF_H
#define MESHIO_THREEMF_H

#include "mesh.h"

#include <cstddef>
#include <string>

// A 3MF package: a zip archive whose root model part ("3D/3dmodel.model", or the first other
// ".model" part) lists objects (vertices and triangles, or components of other objects, which
// may live in further model parts named by the production extension's "path") and the build
// items that place them. Every build item's triangles are given in millimetres, already moved by
// the item's and its components' transforms; the model's unit is honoured.
//
// Model parts are inflated and parsed a piece at a time, never held whole; the text they inflate
// to must keep pace with the elements it brings, and the build is counted (every placement of
// every component) before one triangle of it is made. A damaged or truncated archive, a broken
// model, a reference to something that does not exist, components nested or placed beyond
// reason, more than kMaxMeshTriangles, text far beyond what its triangles need, or a build
// without triangles give false and one plain sentence; never a crash or a hang.
bool parse3mf(const unsigned char* data, std::size_t size, Mesh& mesh, std::string& error);

#endif
