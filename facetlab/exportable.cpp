// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "exportable.h"

#include "facetmath.h"
#include "stlrecord.h"

#include <QFile>
#include <QMatrix4x4>
#include <Qt3DCore/QTransform>
#include <Qt3DRender/QAttribute>
#include <Qt3DRender/QBuffer>
#include <Qt3DRender/QBufferDataGenerator>
#include <Qt3DRender/QGeometry>
#include <Qt3DRender/QGeometryFactory>
#include <Qt3DRender/QGeometryRenderer>

#include <limits>

using Qt3DRender::QAttribute;

namespace {

// Records one batch may hold before it is handed to the file unflushed; only
// a flush interval far above the one the application uses gets near it.
constexpr quint64 maxBatchRecords = quint64(1) << 22;

}

Exportable::Exportable(Qt3DRender::QGeometryRenderer* geometryRenderer, QObject* parent)
    : QObject(parent)
    , geometryRenderer(geometryRenderer)
{
    collectAttributes();
    prepareReader();
}

Exportable::~Exportable() = default;

void Exportable::handleExportCanceledChanged(bool cancel) { canceled = cancel; }

void Exportable::countProgressLocally(
    quint32* counter, quint64 interval, const QMetaObject::Connection& link)
{
    progressCounter = counter;
    progressInterval = interval;
    progressLink = link;
}

QByteArray Exportable::bufferBytes(Qt3DRender::QBuffer* buffer)
{
    if (!buffer)
        return {};
    QByteArray bytes = buffer->data();
    if (bytes.isEmpty()) {
        // Qt 3D's built-in shapes fill their buffers lazily, on the render
        // engine's side; running the generator here gives the same bytes.
        QT_WARNING_PUSH
        QT_WARNING_DISABLE_DEPRECATED
        const Qt3DRender::QBufferDataGeneratorPtr generator = buffer->dataGenerator();
        QT_WARNING_POP
        if (generator)
            bytes = (*generator)();
    }
    return bytes;
}

void Exportable::collectAttributes()
{
    if (!geometryRenderer)
        return;
    Qt3DRender::QGeometry* geometry = geometryRenderer->geometry();
    if (!geometry) {
        // A mesh loaded from a file has no geometry until the render engine
        // runs its factory; one call here builds it on this thread.
        QT_WARNING_PUSH
        QT_WARNING_DISABLE_DEPRECATED
        const Qt3DRender::QGeometryFactoryPtr factory = geometryRenderer->geometryFactory();
        QT_WARNING_POP
        if (factory) {
            geometry = (*factory)();
            if (geometry && !geometry->parent())
                factoryGeometry.reset(geometry);
        }
    }
    if (!geometry)
        return;

    attributes = geometry->attributes();
    // One buffer may hold both the positions and the indices: generate its
    // bytes once.
    Qt3DRender::QBuffer* positionBuffer = nullptr;
    for (QAttribute* attribute : qAsConst(attributes)) {
        if (!attribute)
            continue;
        if (attribute->name() == QAttribute::defaultPositionAttributeName()) {
            positionAttribute = attribute;
            positionByteOffset = attribute->byteOffset();
            positionByteStride = attribute->byteStride();
            // A type we cannot read takes no data: what an earlier position
            // attribute provided stays.
            switch (attribute->vertexBaseType()) {
            case QAttribute::Float:
                positionElementSize = 4;
                positionKind = MeshReader::Kind::Float;
                break;
            case QAttribute::Double:
                positionElementSize = 8;
                positionKind = MeshReader::Kind::Double;
                break;
            default:
                continue;
            }
            positionBuffer = attribute->buffer();
            positionData = bufferBytes(positionBuffer);
        } else if (attribute->name() == QAttribute::defaultNormalAttributeName()) {
            // The written normal is computed from the corners, never taken
            // from the mesh.
        } else if (attribute->attributeType() == QAttribute::IndexAttribute) {
            indexAttribute = attribute;
            indexByteOffset = attribute->byteOffset();
            switch (attribute->vertexBaseType()) {
            case QAttribute::UnsignedShort:
                indexElementSize = 2;
                indexKind = MeshReader::Kind::UShort;
                break;
            case QAttribute::UnsignedInt:
                indexElementSize = 4;
                indexKind = MeshReader::Kind::UInt;
                break;
            default:
                continue;
            }
            Qt3DRender::QBuffer* buffer = attribute->buffer();
            indexData = buffer && buffer == positionBuffer ? positionData : bufferBytes(buffer);
        }
    }
}

void Exportable::prepareReader()
{
    if (positionKind != MeshReader::Kind::None) {
        reader.positionKind = positionKind;
        reader.positionData = positionData.constData();
        reader.positionElements = quint64(positionData.size()) / quint64(positionElementSize);
        reader.positionBase = positionByteOffset / quint64(positionElementSize);
        // A stride of 0 means tightly packed vertices, as in OpenGL.
        const quint64 stride
            = positionByteStride ? positionByteStride : 3 * quint64(positionElementSize);
        reader.positionStep = stride / quint64(positionElementSize);
    }

    if (indexAttribute) {
        reader.indexed = true;
        triangles = indexAttribute->count() / 3;
        if (indexKind != MeshReader::Kind::None) {
            reader.indexKind = indexKind;
            reader.indexData = indexData.constData();
            reader.indexElements = quint64(indexData.size()) / quint64(indexElementSize);
            reader.indexFirst = indexByteOffset / quint64(indexElementSize);
            // Triples that do not fit in the index buffer are not triangles
            // of this mesh.
            triangles = qMin(triangles, reader.fittingTriangles());
        }
    } else if (positionAttribute) {
        triangles = positionAttribute->count() / 3;
    }
}

bool Exportable::loadMatrices()
{
    matrices.resize(transforms.size() * 16);
    float* out = matrices.data();
    for (const QPointer<Qt3DCore::QTransform>& transform : qAsConst(transforms)) {
        // The mesh can no longer be placed in the scene.
        if (!transform)
            return false;
        const QMatrix4x4 matrix = transform->matrix();
        std::copy(matrix.constData(), matrix.constData() + 16, out);
        out += 16;
    }
    return true;
}

quint64 Exportable::quietTriangles(quint64 remaining) const
{
    if (!progressCounter || progressInterval == 0 || !progressLink
        || receivers(SIGNAL(trianglesExportedChanged())) != 1)
        return 0;
    // The receiver only counts until its counter reaches a multiple of the
    // interval; the counter wrapping to 0 is such a multiple too.
    const quint64 counter = *progressCounter;
    const quint64 toMultiple = progressInterval - counter % progressInterval;
    const quint64 toWrap = (quint64(1) << 32) - counter;
    return qMin(qMin(toMultiple, toWrap) - 1, remaining);
}

bool Exportable::writeTriangles(QFile& file, quint64 flushStep)
{
    QByteArray recordBuffer;
    return writeTriangles(file, flushStep, recordBuffer);
}

bool Exportable::writeTriangles(QFile& file, quint64 flushStep, QByteArray& recordBuffer)
{
    flushInterval = qMax<quint64>(flushStep, 1);
    nextFlush = 0;
    batched = 0;
    batchCapacity = qMin(qMin(flushInterval, qMax<quint64>(triangles, 1)), maxBatchRecords);
    const int bufferSize = int(batchCapacity * StlRecord::recordSize);
    if (recordBuffer.size() < bufferSize)
        recordBuffer.resize(bufferSize);
    if (!loadMatrices())
        return false;

    quint64 i = 0;
    while (i < triangles) {
        // Only code run by the signal can set canceled, so one look per
        // stretch of unreported triangles sees what a look per triangle would.
        if (canceled)
            return false;
        quint64 count = quietTriangles(triangles - i);
        if (count > 0) {
            *progressCounter += quint32(count);
        } else {
            emit trianglesExportedChanged();
            // Code run by the signal may have moved a transform, or
            // destroyed one: then the records since the last flush are
            // dropped, as on a cancel.
            if (!loadMatrices())
                return false;
            count = 1;
        }
        if (!writeRange(file, i, i + count, recordBuffer))
            return false;
        i += count;
    }
    return writeBatch(file, recordBuffer, true);
}

bool Exportable::writeRange(QFile& file, quint64 first, quint64 end, QByteArray& recordBuffer)
{
    // Locals, so that the compiler keeps them in registers across the stores
    // into the record buffer and the call into QVector3D.
    const MeshReader mesh = reader;
    const float* matrix = matrices.constData();
    const int matrixCount = transforms.size();
    char* records = recordBuffer.data();
    quint64 inBatch = batched;
    quint64 flushAt = nextFlush;

    for (quint64 i = first; i < end; ++i) {
        quint64 index[3];
        mesh.indices(i, index);
        float corner[3][3];
        mesh.corner(index[0], corner[0]);
        mesh.corner(index[1], corner[1]);
        mesh.corner(index[2], corner[2]);

        FacetMath::CornerColumns columns
            = FacetMath::cornerColumns(corner[0], corner[1], corner[2]);
        for (int t = 0; t < matrixCount; ++t)
            FacetMath::multiply(matrix + 16 * t, columns);
        const float* const moved[3] = { columns.column[0], columns.column[1], columns.column[2] };
        const QVector3D normal = FacetMath::facetNormal(moved[0], moved[1], moved[2]);
        StlRecord::writeRecord(normal, moved, records + inBatch * StlRecord::recordSize);
        ++inBatch;

        const bool flush = i == flushAt;
        if (flush || inBatch == batchCapacity) {
            batched = inBatch;
            if (!writeBatch(file, recordBuffer, flush))
                return false;
            inBatch = 0;
            if (flush)
                flushAt = flushAt > std::numeric_limits<quint64>::max() - flushInterval
                    ? std::numeric_limits<quint64>::max()
                    : flushAt + flushInterval;
        }
    }
    batched = inBatch;
    nextFlush = flushAt;
    return true;
}

bool Exportable::writeBatch(QFile& file, QByteArray& recordBuffer, bool flush)
{
    const qint64 size = qint64(batched * StlRecord::recordSize);
    batched = 0;
    if (file.write(recordBuffer.constData(), size) != size)
        return false;
    return !flush || file.flush();
}
