// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "stlbuilder.h"

#include <QFile>
#include <QtEndian>

StlBuilder& StlBuilder::box(const QVector3D& low, const QVector3D& high, bool inward)
{
    const auto corner = [&](int x, int y, int z) {
        return QVector3D(x ? high.x() : low.x(), y ? high.y() : low.y(), z ? high.z() : low.z());
    };
    // Each face counter-clockwise as seen from outside the box.
    const int faces[6][4][3] = {
        { { 0, 0, 0 }, { 0, 1, 0 }, { 1, 1, 0 }, { 1, 0, 0 } }, // bottom
        { { 0, 0, 1 }, { 1, 0, 1 }, { 1, 1, 1 }, { 0, 1, 1 } }, // top
        { { 0, 0, 0 }, { 1, 0, 0 }, { 1, 0, 1 }, { 0, 0, 1 } }, // front (-y)
        { { 0, 1, 0 }, { 0, 1, 1 }, { 1, 1, 1 }, { 1, 1, 0 } }, // back (+y)
        { { 0, 0, 0 }, { 0, 0, 1 }, { 0, 1, 1 }, { 0, 1, 0 } }, // left (-x)
        { { 1, 0, 0 }, { 1, 1, 0 }, { 1, 1, 1 }, { 1, 0, 1 } }, // right (+x)
    };
    for (const auto& face : faces) {
        QVector3D quad[4];
        for (int i = 0; i < 4; ++i)
            quad[i] = corner(face[i][0], face[i][1], face[i][2]);
        for (const int second : { 1, 2 }) {
            const QVector3D b = quad[second];
            const QVector3D c = quad[second + 1];
            m_corners << quad[0] << (inward ? c : b) << (inward ? b : c);
        }
    }
    return *this;
}

StlBuilder& StlBuilder::triangles(const std::vector<float>& soup, float lift)
{
    for (std::size_t i = 0; i + 3 <= soup.size(); i += 3)
        m_corners << QVector3D(soup[i], soup[i + 1], soup[i + 2] + lift);
    return *this;
}

QByteArray StlBuilder::binary() const
{
    const int count = triangleCount();
    QByteArray bytes(84 + 50 * count, '\0');
    char* out = bytes.data();
    qToLittleEndian<quint32>(static_cast<quint32>(count), out + 80); // triangle count
    for (int t = 0; t < count; ++t) {
        char* record = out + 84 + 50 * t;
        const QVector3D* c = m_corners.constData() + 3 * t;
        const QVector3D normal = QVector3D::normal(c[0], c[1], c[2]);
        const QVector3D fields[4] = { normal, c[0], c[1], c[2] };
        for (int f = 0; f < 4; ++f) {
            for (int axis = 0; axis < 3; ++axis)
                qToLittleEndian<float>(fields[f][axis], record + 12 * f + 4 * axis);
        }
        // the two attribute bytes stay zero
    }
    return bytes;
}

bool StlBuilder::write(const QString& path) const
{
    QFile file(path);
    const QByteArray bytes = binary();
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
