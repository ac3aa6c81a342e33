// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MESHIO_STL_H
#define MESHIO_STL_H

#include "mesh.h"

#include <cstddef>
#include <string>

// Binary or ASCII STL. A truncated file, a count that disagrees with the size or exceeds
// kMaxMeshTriangles, NaN/inf coordinates or a file that is not STL at all (other text, say) give
// false and one plain sentence; never a crash, also when memory runs out. Files are read in
// bounded chunks.
bool parseStl(const unsigned char* data, std::size_t size, Mesh& mesh, std::string& error);
bool readStlFile(const std::string& path, Mesh& mesh, std::string& error);

#endif
