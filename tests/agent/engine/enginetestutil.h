// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef TESTS_AGENT_ENGINE_ENGINETESTUTIL_H
#define TESTS_AGENT_ENGINE_ENGINETESTUTIL_H

// Models, profiles and image readers shared by the engine tests.
#include "profile.h"
#include "../../shared/filebytes.h"

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QString>
#include <QtEndian>

#include <array>
#include <vector>

using Triangle = std::array<float, 9>;

// The 12 triangles of an axis-aligned box, corners counter-clockwise seen from outside (or from
// inside when `inward`, as the inner shell of a hollow part is).
inline std::vector<Triangle> box(
    float x0, float y0, float z0, float x1, float y1, float z1, bool inward = false)
{
    const float c[8][3] = { { x0, y0, z0 }, { x1, y0, z0 }, { x1, y1, z0 }, { x0, y1, z0 },
        { x0, y0, z1 }, { x1, y0, z1 }, { x1, y1, z1 }, { x0, y1, z1 } };
    const int faces[12][3] = { { 0, 2, 1 }, { 0, 3, 2 }, // bottom, facing -z
        { 4, 5, 6 }, { 4, 6, 7 }, // top
        { 0, 1, 5 }, { 0, 5, 4 }, // y0 side
        { 2, 3, 7 }, { 2, 7, 6 }, // y1 side
        { 1, 2, 6 }, { 1, 6, 5 }, // x1 side
        { 3, 0, 4 }, { 3, 4, 7 } }; // x0 side
    std::vector<Triangle> triangles;
    for (const auto& f : faces) {
        Triangle t;
        for (int k = 0; k < 3; ++k) {
            const int corner = f[inward ? 2 - k : k];
            for (int a = 0; a < 3; ++a)
                t[std::size_t(3 * k + a)] = c[corner][a];
        }
        triangles.push_back(t);
    }
    return triangles;
}

inline std::vector<Triangle> operator+(std::vector<Triangle> a, const std::vector<Triangle>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline QByteArray binaryStl(const std::vector<Triangle>& triangles)
{
    QByteArray bytes(80, ' ');
    char count[4];
    qToLittleEndian<quint32>(quint32(triangles.size()), count);
    bytes.append(count, 4);
    for (const Triangle& t : triangles) {
        char record[50] = {};
        for (int k = 0; k < 9; ++k)
            qToLittleEndian<float>(t[std::size_t(k)], record + 12 + 4 * k);
        bytes.append(record, 50);
    }
    return bytes;
}

// 400 x 300 pixels of 50 micrometres (20 x 15 mm), 0.1 mm layers: small enough for sanitizers.
inline Profile testProfile(int id = 1, int depthUm = 100)
{
    Profile p;
    p.title = "test " + std::to_string(id);
    p.profileId = id;
    p.depthUm = depthUm;
    p.pixelsX = 400;
    p.pixelsY = 300;
    p.pixelUmX = 50;
    p.pixelUmY = 50;
    p.exposureS = 2.0 + id;
    p.bottomExposureS = 20.0 + id;
    p.bottomLayers = 2 + id;
    p.maxHeightMm = 50;
    return p;
}

// Pixels of a layer image at 128 or brighter; -1 when it is no 8-bit greyscale image.
inline long long curedPixels(const QImage& image)
{
    if (image.format() != QImage::Format_Grayscale8)
        return -1;
    long long cured = 0;
    for (int y = 0; y < image.height(); ++y) {
        const uchar* line = image.constScanLine(y);
        for (int x = 0; x < image.width(); ++x)
            cured += line[x] >= 128;
    }
    return cured;
}

#endif
