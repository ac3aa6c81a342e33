// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "objectsupports.h"

#include "supportplanner.h"

#include <algorithm>
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
    const QVector<QVector3D>& meshPoints, const SupportSettings& settings,
    const std::atomic<bool>* cancel)
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
    if (!buildSupports(placedSoup(mesh, matrix), points, settings, plan, {}, cancel))
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

bool onlyMoved(const QMatrix4x4& before, const QMatrix4x4& after)
{
    for (int column = 0; column < 3; ++column) {
        if (before.column(column) != after.column(column))
            return false;
    }
    return before.row(3) == after.row(3);
}

bool ObjectSupports::serves(
    const QMatrix4x4& now, const QVector<QVector3D>& nowPoints, quint64 revision) const
{
    return revision == settingsRevision && nowPoints == points && onlyMoved(builtFor, now);
}

QVector3D ObjectSupports::shift(const QMatrix4x4& now) const
{
    const QVector3D moved = now.column(3).toVector3D() - builtFor.column(3).toVector3D();
    return QVector3D(moved.x(), moved.y(), 0.0f);
}

double ObjectSupports::lift(const QMatrix4x4& now) const
{
    if (mesh.triangleCount == 0)
        return 0;
    return liftMm - double(now(2, 3) - builtFor(2, 3));
}

Bounds ObjectSupports::standing(const Bounds& object, const QMatrix4x4& now) const
{
    const float up = float(lift(now));
    Bounds result { object.min + QVector3D(0, 0, up), object.max + QVector3D(0, 0, up) };
    if (mesh.triangleCount == 0)
        return result;
    const QVector3D moved = shift(now);
    for (int axis = 0; axis < 3; ++axis) {
        result.min[axis] = std::min(result.min[axis], bounds.min[axis] + moved[axis]);
        result.max[axis] = std::max(result.max[axis], bounds.max[axis] + moved[axis]);
    }
    return result;
}

ObjectSupports buildObjectSupports(const MeshData& mesh, const QMatrix4x4& matrix,
    const QVector<QVector3D>& meshPoints, const SupportSettings& settings, quint64 settingsRevision,
    const std::atomic<bool>* cancel)
{
    ObjectSupports built;
    built.builtFor = matrix;
    built.points = meshPoints;
    built.settingsRevision = settingsRevision;
    const SupportPlan plan = objectSupports(mesh, matrix, meshPoints, settings, cancel);
    if (plan.geometry.empty())
        return built;
    built.liftMm = plan.liftMm;
    built.mesh = meshDataInPlace(plan.geometry);
    Bounds bounds { QVector3D(1e9f, 1e9f, 1e9f), QVector3D(-1e9f, -1e9f, -1e9f) };
    for (std::size_t i = 0; i + 2 < plan.geometry.size(); i += 3) {
        for (int axis = 0; axis < 3; ++axis) {
            bounds.min[axis] = std::min(bounds.min[axis], plan.geometry[i + std::size_t(axis)]);
            bounds.max[axis] = std::max(bounds.max[axis], plan.geometry[i + std::size_t(axis)]);
        }
    }
    built.bounds = bounds;
    return built;
}
