// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef FACETLAB_STLRECORD_H
#define FACETLAB_STLRECORD_H

#include <QtEndian>
#include <QVector3D>

#include <cstring>

// Byte layout of the binary STL files we write: an 80-byte header, a
// little-endian 32-bit triangle count, then one 50-byte record per triangle.
namespace StlRecord {

constexpr int headerSize = 80;
constexpr int countSize = 4;
constexpr int recordSize = 50;

// Our header is fixed text rather than a description of the model: readers
// ignore it, and a fixed header keeps two exports of one scene identical.
inline void writeHeader(char* out)
{
    static const char text[] = "abcdefghij";
    for (int i = 0; i < headerSize; i += 10)
        std::memcpy(out + i, text, 10);
}

inline void writeCount(quint32 count, char* out) { qToLittleEndian<quint32>(count, out); }

inline void writeFloat(float value, char* out)
{
    quint32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    qToLittleEndian<quint32>(bits, out);
}

// corners[j] points at the x, y and z of corner j.
inline void writeRecord(const QVector3D& normal, const float* const corners[3], char* out)
{
    writeFloat(normal.x(), out + 0); // normal
    writeFloat(normal.y(), out + 4);
    writeFloat(normal.z(), out + 8);
    for (int j = 0; j < 3; ++j) { // corners 0, 1 and 2
        writeFloat(corners[j][0], out + 12 + 12 * j);
        writeFloat(corners[j][1], out + 16 + 12 * j);
        writeFloat(corners[j][2], out + 20 + 12 * j);
    }
    // Attribute byte count: our files carry "aa" here (24929 as a number),
    // which readers of the format skip.
    out[48] = 'a';
    out[49] = 'a';
}

}

#endif
