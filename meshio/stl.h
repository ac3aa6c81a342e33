// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MESHIO_STL_H
#define MESHIO_STL_H

// No Qt here: the reader is fuzzed on its own.
#include <cstddef>
#include <string>
#include <vector>

struct Mesh {
    std::vector<float> xyz; // 9 floats per triangle: corner 0, 1, 2 (x, y, z each)
    std::size_t triangleCount() const { return xyz.size() / 9; }
};

// The most triangles a model may have: far beyond what resin printers are sent, and the mesh
// of that many takes 1.8 GB already.
constexpr std::size_t kMostStlTriangles = 50000000;

// Binary or ASCII STL. A truncated file, a count that disagrees with the size or exceeds
// kMostStlTriangles, NaN/inf coordinates or text that is not STL give false and one plain
// sentence; never a crash, also when memory runs out. Files are read in bounded chunks.
bool parseStl(const unsigned char* data, std::size_t size, Mesh& mesh, std::string& error);
bool readStlFile(const std::string& path, Mesh& mesh, std::string& error);

#endif
