// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef TESTS_FACETLAB_MESHSCENE_H
#define TESTS_FACETLAB_MESHSCENE_H

#include <QByteArray>
#include <QMatrix4x4>
#include <QVector3D>
#include <QVector>
#include <QtEndian>
#include <Qt3DRender/QAttribute>
#include <Qt3DRender/QBuffer>
#include <Qt3DRender/QGeometry>
#include <Qt3DRender/QGeometryRenderer>

#include <cstring>

// Builds small meshes from plain vertex and index lists, and computes the
// STL bytes a scene must export the long way: with QMatrix4x4 and QVector3D,
// one matrix product per transform, the way the format is defined.
namespace MeshScene {

using Qt3DRender::QAttribute;

// How a mesh's buffers are laid out.
struct Layout {
    QAttribute::VertexBaseType positionType = QAttribute::Float;
    quint32 positionOffset = 0; // bytes before the first position
    quint32 positionStride = 0; // stride the attribute declares (0: packed)
    quint32 gap = 0; // bytes of filler after each position in the buffer
    bool indexed = true;
    QAttribute::VertexBaseType indexType = QAttribute::UnsignedShort;
    quint32 indexOffset = 0; // bytes before the first index
    qint64 indexCount = -1; // count the attribute declares; -1: the list's size
};

inline int componentSize(QAttribute::VertexBaseType type)
{
    return type == QAttribute::Double ? 8 : 4;
}

inline QByteArray positionBytes(const QVector<QVector3D>& vertices, const Layout& layout)
{
    QByteArray bytes(int(layout.positionOffset), char(0x5a));
    for (const QVector3D& v : vertices) {
        for (int c = 0; c < 3; ++c) {
            if (layout.positionType == QAttribute::Double) {
                const double value = double(v[c]);
                bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
            } else {
                const float value = v[c];
                bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
            }
        }
        bytes.append(QByteArray(int(layout.gap), char(0x7f)));
    }
    return bytes;
}

inline QByteArray indexBytes(const QVector<quint32>& indices, const Layout& layout)
{
    QByteArray bytes(int(layout.indexOffset), char(0x33));
    for (quint32 index : indices) {
        if (layout.indexType == QAttribute::UnsignedInt) {
            bytes.append(reinterpret_cast<const char*>(&index), sizeof index);
        } else {
            const quint16 value = quint16(index);
            bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
        }
    }
    return bytes;
}

inline QAttribute* positionAttribute(
    Qt3DRender::QBuffer* buffer, uint vertexCount, const Layout& layout)
{
    auto* attribute = new QAttribute;
    attribute->setName(QAttribute::defaultPositionAttributeName());
    attribute->setAttributeType(QAttribute::VertexAttribute);
    attribute->setVertexBaseType(layout.positionType);
    attribute->setVertexSize(3);
    attribute->setByteOffset(layout.positionOffset);
    attribute->setByteStride(layout.positionStride);
    attribute->setCount(vertexCount);
    attribute->setBuffer(buffer);
    return attribute;
}

inline QAttribute* indexAttribute(Qt3DRender::QBuffer* buffer, uint count, const Layout& layout)
{
    auto* attribute = new QAttribute;
    attribute->setAttributeType(QAttribute::IndexAttribute);
    attribute->setVertexBaseType(layout.indexType);
    attribute->setByteOffset(layout.indexOffset);
    attribute->setCount(count);
    attribute->setBuffer(buffer);
    return attribute;
}

// A geometry with a position attribute and, when the layout says so, an
// index attribute, each on a buffer of its own.
inline Qt3DRender::QGeometry* makeGeometry(const QVector<QVector3D>& vertices,
    const QVector<quint32>& indices, const Layout& layout = Layout())
{
    auto* geometry = new Qt3DRender::QGeometry;
    auto* positions = new Qt3DRender::QBuffer(geometry);
    positions->setData(positionBytes(vertices, layout));
    geometry->addAttribute(positionAttribute(positions, uint(vertices.size()), layout));
    if (layout.indexed) {
        auto* index = new Qt3DRender::QBuffer(geometry);
        index->setData(indexBytes(indices, layout));
        const uint count = layout.indexCount < 0 ? uint(indices.size()) : uint(layout.indexCount);
        geometry->addAttribute(indexAttribute(index, count, layout));
    }
    return geometry;
}

inline Qt3DRender::QGeometryRenderer* makeRenderer(Qt3DCore::QNode* parent,
    const QVector<QVector3D>& vertices, const QVector<quint32>& indices,
    const Layout& layout = Layout())
{
    auto* renderer = new Qt3DRender::QGeometryRenderer(parent);
    Qt3DRender::QGeometry* geometry = makeGeometry(vertices, indices, layout);
    geometry->setParent(renderer);
    renderer->setGeometry(geometry);
    return renderer;
}

// A triangle as its three corners, before any transform.
struct Triangle {
    QVector3D corner[3];
};

inline void appendFloat(QByteArray& out, float value)
{
    char bytes[4];
    quint32 bits;
    std::memcpy(&bits, &value, 4);
    qToLittleEndian<quint32>(bits, bytes);
    out.append(bytes, 4);
}

// The 50-byte record of one triangle moved by chain (own transform first).
inline QByteArray record(const Triangle& triangle, const QVector<QMatrix4x4>& chain)
{
    const QVector3D* c = triangle.corner;
    QMatrix4x4 m(c[0].x(), c[1].x(), c[2].x(), 0.0f, //
        c[0].y(), c[1].y(), c[2].y(), 0.0f, //
        c[0].z(), c[1].z(), c[2].z(), 0.0f, //
        1.0f, 1.0f, 1.0f, 0.0f);
    for (const QMatrix4x4& transform : chain)
        m = transform * m;
    const QVector3D p0(m(0, 0), m(1, 0), m(2, 0));
    const QVector3D p1(m(0, 1), m(1, 1), m(2, 1));
    const QVector3D p2(m(0, 2), m(1, 2), m(2, 2));
    QVector3D normal = QVector3D::crossProduct(p1 - p0, p2 - p0);
    normal.normalize();

    QByteArray out;
    for (const QVector3D& v : { normal, p0, p1, p2 }) {
        appendFloat(out, v.x());
        appendFloat(out, v.y());
        appendFloat(out, v.z());
    }
    out.append("aa", 2);
    return out;
}

inline QByteArray records(const QVector<Triangle>& triangles, const QVector<QMatrix4x4>& chain)
{
    QByteArray out;
    for (const Triangle& triangle : triangles)
        out.append(record(triangle, chain));
    return out;
}

// Header and count of a file that announces count triangles.
inline QByteArray fileStart(quint32 count)
{
    QByteArray out = QByteArray("abcdefghij").repeated(8);
    char bytes[4];
    qToLittleEndian<quint32>(count, bytes);
    out.append(bytes, 4);
    return out;
}

// The triangles an index list picks out of a vertex list.
inline QVector<Triangle> triangles(
    const QVector<QVector3D>& vertices, const QVector<quint32>& indices)
{
    QVector<Triangle> out;
    for (int i = 0; i + 2 < indices.size(); i += 3)
        out.append(Triangle { { vertices[int(indices[i])], vertices[int(indices[i + 1])],
            vertices[int(indices[i + 2])] } });
    return out;
}

// n triangles, every one of them different, over 2 + n vertices of a zigzag
// strip, with indices of the given type.
inline void strip(int n, QVector<QVector3D>& vertices, QVector<quint32>& indices)
{
    vertices.clear();
    indices.clear();
    for (int v = 0; v < n + 2; ++v)
        vertices.append(
            QVector3D(0.25f * float(v / 2), float(v % 2) * 1.5f, 0.001f * float(v % 7)));
    for (int t = 0; t < n; ++t) {
        indices.append(quint32(t));
        indices.append(quint32(t + 1 + t % 2));
        indices.append(quint32(t + 2 - t % 2));
    }
}

}

#endif
