// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef FACETLAB_MESHREADER_H
#define FACETLAB_MESHREADER_H

#include <QtGlobal>

#include <cstring>

// Reads the corner indices and corner positions of triangles out of the raw
// bytes of a mesh's index and position buffers. Nothing beyond the end of
// either buffer is ever read: a vertex that lies beyond the position data
// reads as (0, 0, 0), and fittingTriangles() tells how many index triples lie
// inside the index data. The bytes are read with memcpy because buffers carry
// no alignment promise once an offset or a stride is applied.
struct MeshReader {
    enum class Kind { None, Float, Double, UShort, UInt };

    // Without an index attribute a mesh lists its triangles as consecutive
    // vertex triples.
    bool indexed = false;
    Kind indexKind = Kind::None;
    const char* indexData = nullptr;
    quint64 indexElements = 0; // whole elements in indexData
    quint64 indexFirst = 0; // element of the first index

    Kind positionKind = Kind::None;
    const char* positionData = nullptr;
    quint64 positionElements = 0; // whole components in positionData
    quint64 positionBase = 0; // component of the first position
    quint64 positionStep = 0; // components from one vertex to the next

    // Index triples, from indexFirst on, that lie wholly inside the index data.
    quint64 fittingTriangles() const
    {
        if (indexElements <= indexFirst)
            return 0;
        return (indexElements - indexFirst) / 3;
    }

    // The three vertex indices of a triangle. Indexed meshes must only ask for
    // triangles below fittingTriangles(); an index of a type we cannot read is 0.
    void indices(quint64 triangle, quint64 index[3]) const
    {
        const quint64 first = indexed ? indexFirst + 3 * triangle : 3 * triangle;
        if (!indexed) {
            index[0] = first;
            index[1] = first + 1;
            index[2] = first + 2;
        } else if (indexKind == Kind::UShort) {
            quint16 value[3];
            std::memcpy(value, indexData + 2 * first, sizeof value);
            index[0] = value[0];
            index[1] = value[1];
            index[2] = value[2];
        } else if (indexKind == Kind::UInt) {
            quint32 value[3];
            std::memcpy(value, indexData + 4 * first, sizeof value);
            index[0] = value[0];
            index[1] = value[1];
            index[2] = value[2];
        } else {
            index[0] = index[1] = index[2] = 0;
        }
    }

    // The position of one vertex; doubles become the nearest floats.
    void corner(quint64 vertex, float out[3]) const
    {
        // vertex < 2^32 and positionStep < 2^32, so the product cannot wrap.
        const quint64 element = positionBase + vertex * positionStep;
        const bool inside = element < positionElements && positionElements - element >= 3;
        if (positionKind == Kind::Float && inside) {
            std::memcpy(out, positionData + 4 * element, 3 * sizeof(float));
        } else if (positionKind == Kind::Double && inside) {
            double value[3];
            std::memcpy(value, positionData + 8 * element, sizeof value);
            out[0] = float(value[0]);
            out[1] = float(value[1]);
            out[2] = float(value[2]);
        } else {
            out[0] = out[1] = out[2] = 0.0f;
        }
    }
};

#endif
