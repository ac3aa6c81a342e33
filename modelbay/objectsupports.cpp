// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "objectsupports.h"

#include "supportplanner.h"

#include <cmath>

TriangleSoup placedSoup(const MeshData& mesh, const QMatrix4x4& matrix)
{
    TriangleSoup soup;
    soup.reserve(std::size_t(mesh.triangleCount) * 9);
    for (int v = 0; v < mesh.triangleCount * 3; ++v) {
        const float* p = mesh.vertex(v);
        const QVector3D placed = matrix.map(QVector3D(p[0], p[1], p[2]));
        soup.insert(soup.end(), { placed.x(), placed.y(), placed.z() });
    }
    return soup;
}

SupportPlan objectSupports(const MeshData& mesh, const QMatrix4x4& matrix,
    const QVector<QVector3D>& meshPoints, const SupportSettings& settings)
{
    SupportPlan plan;
    if (meshPoints.isEmpty())
        return plan;
    std::vector<SupportPoint> points;
    points.reserve(std::size_t(meshPoints.size()));
    for (const QVector3D& point : meshPoints) {
        const QVector3D placed = matrix.map(point);
        points.push_back({ placed.x(), placed.y(), placed.z(), SupportPoint::Reason::User });
    }
    if (!buildSupports(placedSoup(mesh, matrix), points, settings, plan))
        return SupportPlan();
    return plan;
}

MeshData meshDataInPlace(const TriangleSoup& soup)
{
    MeshData data;
    const std::size_t triangles = soup.size() / 9;
    data.triangleCount = int(triangles);
    data.vertices.resize(int(triangles * 3 * MeshData::kVertexStride));
    float* out = reinterpret_cast<float*>(data.vertices.data());
    for (std::size_t t = 0; t < triangles; ++t) {
        const float* c = soup.data() + t * 9;
        const QVector3D a(c[0], c[1], c[2]), b(c[3], c[4], c[5]), d(c[6], c[7], c[8]);
        QVector3D normal = QVector3D::crossProduct(b - a, d - a);
        const float length = normal.length();
        // A degenerate triangle has no direction; any unit vector keeps the shading finite.
        normal = length > 0.0f && std::isfinite(length) ? normal / length : QVector3D(0, 0, 1);
        for (int k = 0; k < 3; ++k) {
            for (int axis = 0; axis < 3; ++axis)
                *out++ = c[k * 3 + axis];
            *out++ = normal.x();
            *out++ = normal.y();
            *out++ = normal.z();
        }
    }
    return data;
}
