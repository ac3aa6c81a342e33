// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODELBAY_MESHIMPORT_H
#define MODELBAY_MESHIMPORT_H

#include "meshdata.h"

#include <QString>

struct MeshImport {
    MeshData mesh;
    QString error; // empty when the mesh was read
};

// Reads a binary or ASCII STL, an OBJ or a 3MF file (chosen by the file's ending, STL
// otherwise) into the editor's mesh. Safe to call on a worker thread: no GUI, no shared state.
// A failure gives one sentence naming the file and the reason:
// "Cannot open “a.obj”: the OBJ file holds no triangles."
MeshImport importMeshFile(const QString& path);

// The sentence for a file that cannot be opened, from a reader's own sentence.
QString cannotOpenSentence(const QString& path, const QString& reason);

#endif
