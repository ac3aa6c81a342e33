// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MESHIO_OBJ_H
#define MESHIO_OBJ_H

#include "mesh.h"

#include <cstddef>
#include <string>

// Wavefront OBJ text, lines ended by LF, CRLF or CR alone: "v" positions and "f" faces (polygons
// become fans of triangles; corners may carry texture and normal numbers, which are ignored;
// negative numbers count back from the last vertex). Everything else (normals, groups, materials)
// is skipped. A face naming a vertex that does not exist, a coordinate that is not a finite number,
// more than kMaxMeshTriangles or a file without any triangle give false and one plain sentence;
// never a crash.
bool parseObj(const unsigned char* data, std::size_t size, Mesh& mesh, std::string& error);

#endif
