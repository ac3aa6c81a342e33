// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MESHIO_MESH_H
#define MESHIO_MESH_H

// No Qt here: the readers are fuzzed on their own.
#include <cstddef>
#include <string>
#include <vector>

// What every reader gives: a triangle soup in millimetres.
struct Mesh {
    std::vector<float> xyz; // 9 floats per triangle: corner 0, 1, 2 (x, y, z each)
    std::size_t triangleCount() const { return xyz.size() / 9; }
};

// The most triangles a model may have, whatever its format: far beyond what resin printers are
// sent, and the soup of that many takes 1.8 GB already. A 3MF counts every placement of its
// objects, an OBJ every triangle of its polygons' fans.
constexpr std::size_t kMaxMeshTriangles = 50'000'000;

// Every reader has this shape: the file's bytes in, a mesh or one plain sentence out (false, with
// the mesh left empty); never a crash, also when memory runs out:
//   bool parseXxx(const unsigned char* data, std::size_t size, Mesh& mesh, std::string& error);
using MeshReader = bool (*)(const unsigned char*, std::size_t, Mesh&, std::string&);

#endif
