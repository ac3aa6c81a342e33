// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef TESTS_AGENT_STLBUILDER_H
#define TESTS_AGENT_STLBUILDER_H

#include <QByteArray>
#include <QString>
#include <QVector>
#include <QVector3D>

#include <vector>

// Small meshes for the agent's tests, written as binary STL files.
class StlBuilder {
public:
    // An axis-aligned box from low to high; inward faces turn it into a cavity of an outer box.
    StlBuilder& box(const QVector3D& low, const QVector3D& high, bool inward = false);
    // Triangles of a soup: 9 floats each, three corners; z raised by `lift`.
    StlBuilder& triangles(const std::vector<float>& soup, float lift = 0);
    int triangleCount() const { return m_corners.size() / 3; }
    QByteArray binary() const; // 80-byte header, count, 50-byte records
    bool write(const QString& path) const;

private:
    QVector<QVector3D> m_corners; // three per triangle
};

#endif
