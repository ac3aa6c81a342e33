// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "placement.h"

#include "meshdata.h"

#include <QQuaternion>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr float kEdgeTolerance = 0.01f; // millimetres

float degrees(double radians) { return float(radians * 180.0 / 3.14159265358979323846); }

} // namespace

QMatrix4x4 rotationMatrix(const QVector3D& degrees)
{
    // x first, then y, then z: the matrix applied to a point is Rz * Ry * Rx.
    QMatrix4x4 m;
    m.rotate(degrees.z(), 0.0f, 0.0f, 1.0f);
    m.rotate(degrees.y(), 0.0f, 1.0f, 0.0f);
    m.rotate(degrees.x(), 1.0f, 0.0f, 0.0f);
    return m;
}

QMatrix4x4 placementMatrix(const Placement& placement)
{
    QMatrix4x4 m;
    m.translate(placement.translation);
    m *= rotationMatrix(placement.rotation);
    m.scale(placement.scale);
    return m;
}

Bounds placedBounds(const MeshData& mesh, const Placement& placement)
{
    if (mesh.triangleCount == 0)
        return { placement.translation, placement.translation };
    // The 3x3 part by hand: QMatrix4x4::map per vertex costs a projective divide we do not need.
    const QMatrix4x4 m = placementMatrix(placement);
    float a[3][4];
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 4; ++column)
            a[row][column] = m(row, column);
    float low[3] = { std::numeric_limits<float>::max(), std::numeric_limits<float>::max(),
        std::numeric_limits<float>::max() };
    float high[3] = { std::numeric_limits<float>::lowest(), std::numeric_limits<float>::lowest(),
        std::numeric_limits<float>::lowest() };
    const int vertices = mesh.triangleCount * 3;
    const float* v = mesh.vertex(0);
    for (int i = 0; i < vertices; ++i, v += MeshData::kFloatsPerVertex) {
        for (int row = 0; row < 3; ++row) {
            const float p = a[row][0] * v[0] + a[row][1] * v[1] + a[row][2] * v[2] + a[row][3];
            low[row] = std::min(low[row], p);
            high[row] = std::max(high[row], p);
        }
    }
    return { QVector3D(low[0], low[1], low[2]), QVector3D(high[0], high[1], high[2]) };
}

Placement droppedToPlate(const Bounds& placed, const Placement& placement)
{
    Placement result = placement;
    result.translation.setZ(placement.translation.z() - placed.min.z());
    return result;
}

Placement centred(const Bounds& placed, const Placement& placement)
{
    Placement result = placement;
    const QVector3D middle = placed.centre();
    result.translation.setX(placement.translation.x() - middle.x());
    result.translation.setY(placement.translation.y() - middle.y());
    return result;
}

bool isOutside(const Bounds& placed, const PlateVolume& volume)
{
    const float halfWidth = volume.width / 2.0f + kEdgeTolerance;
    const float halfDepth = volume.depth / 2.0f + kEdgeTolerance;
    return placed.min.x() < -halfWidth || placed.max.x() > halfWidth || placed.min.y() < -halfDepth
        || placed.max.y() > halfDepth || placed.min.z() < -kEdgeTolerance
        || placed.max.z() > volume.height + kEdgeTolerance;
}

QVector3D eulerAnglesOf(const QMatrix4x4& r)
{
    // For R = Rz(c) Ry(b) Rx(a): r20 = -sin b, r21 = cos b sin a, r22 = cos b cos a,
    // r10 = sin c cos b, r00 = cos c cos b.
    // atan2 rather than asin: near a quarter turn asin would magnify the float noise of r20.
    const double cosB = std::hypot(double(r(0, 0)), double(r(1, 0)));
    const double b = std::atan2(double(-r(2, 0)), cosB);
    double a;
    double c;
    if (cosB > 1e-6) {
        a = std::atan2(double(r(2, 1)), double(r(2, 2)));
        c = std::atan2(double(r(1, 0)), double(r(0, 0)));
    } else {
        // Gimbal lock: x and z turn about the same axis; put it all into z.
        a = 0.0;
        c = std::atan2(double(-r(0, 1)), double(r(1, 1)));
    }
    return QVector3D(degrees(a), degrees(b), degrees(c));
}

QVector3D rotationLayingFlat(const Placement& placement, const QVector3D& meshNormal)
{
    // Normals follow the inverse transpose of rotation * scale, which is rotation * (1 / scale).
    const QVector3D s = placement.scale;
    if (s.x() == 0.0f || s.y() == 0.0f || s.z() == 0.0f || meshNormal.isNull())
        return placement.rotation;
    const QVector3D scaledNormal(
        meshNormal.x() / s.x(), meshNormal.y() / s.y(), meshNormal.z() / s.z());
    const QMatrix4x4 current = rotationMatrix(placement.rotation);
    const QVector3D worldNormal = current.mapVector(scaledNormal).normalized();
    const QVector3D down(0.0f, 0.0f, -1.0f);
    QQuaternion turn;
    if (QVector3D::dotProduct(worldNormal, down) < -0.999999f)
        turn = QQuaternion::fromAxisAndAngle(1.0f, 0.0f, 0.0f, 180.0f); // facing straight up
    else
        turn = QQuaternion::rotationTo(worldNormal, down);
    QMatrix4x4 combined(turn.toRotationMatrix());
    combined *= current;
    return eulerAnglesOf(combined);
}
