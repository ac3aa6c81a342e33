// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODELBAY_MESHIMPORT_H
#define MODELBAY_MESHIMPORT_H

#include "meshdata.h"

#include <QString>

#include <functional>

struct MeshImport {
    MeshData mesh;
    QString error; // empty when the mesh was read
};

// The most triangles one object of the editor holds: its vertices (72 bytes a triangle) share one
// buffer, which Qt keeps under 2 GiB.
constexpr int kMostEditorTriangles = (0x7fffffff - 64) / (3 * MeshData::kVertexStride);

// Reads a binary or ASCII STL, an OBJ or a 3MF file (chosen by the file's ending, STL
// otherwise) into the editor's mesh. Safe to call on a worker thread: no GUI, no shared state.
// A failure gives one sentence naming the file and the reason:
// "Cannot open “a.obj”: the OBJ file holds no triangles."
MeshImport importMeshFile(const QString& path);

// Runs one read of the named file so that running out of memory anywhere in it (in a reader, or
// while building the editor's mesh) gives the sentence that the file is too large instead of
// ending the program.
MeshImport guardedImport(const QString& path, const std::function<MeshImport()>& read);

// The sentence for a file that cannot be opened, from a reader's own sentence.
QString cannotOpenSentence(const QString& path, const QString& reason);

#endif
