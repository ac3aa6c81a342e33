// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef FACETLAB_EXPORTABLE_H
#define FACETLAB_EXPORTABLE_H

#include "meshreader.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QVector>
#include <Qt3DCore/QTransform>

#include <memory>

class QFile;

namespace Qt3DRender {
class QAttribute;
class QBuffer;
class QGeometry;
class QGeometryRenderer;
}

// One triangle mesh of the scene during an export run: a geometry renderer and
// the chain of transforms that places it in the scene. Reads the positions and
// indices when it is created and writes every triangle as an STL record.
class Exportable : public QObject {
    Q_OBJECT

public:
    Exportable(Qt3DRender::QGeometryRenderer* geometryRenderer, QObject* parent);
    ~Exportable() override;

    // Own transform first, then the ancestors' up to the root. Guarded:
    // code run during a progress update may destroy an entity and its
    // transforms.
    QVector<QPointer<Qt3DCore::QTransform>> transforms;

    quint64 triangleCount() const { return triangles; }

    // Writes every triangle to file, in batches flushed after triangle 0 and
    // every flushStep triangles after it. Returns false when the run was
    // canceled, a transform of the chain was destroyed or the file refused
    // a write.
    bool writeTriangles(QFile& file, quint64 flushStep);
    // The same, collecting the records in recordBuffer so that a run of many
    // meshes reuses one allocation.
    bool writeTriangles(QFile& file, quint64 flushStep, QByteArray& recordBuffer);

    // Lets the mesh count its own progress reports into *counter while the
    // connection link is the only receiver of trianglesExportedChanged(): it
    // then emits only for the triangles that bring *counter to a multiple of
    // interval, the only ones at which that receiver does more than count.
    void countProgressLocally(
        quint32* counter, quint64 interval, const QMetaObject::Connection& link);

signals:
    void trianglesExportedChanged();

public slots:
    void handleExportCanceledChanged(bool cancel);

private:
    void collectAttributes();
    QByteArray bufferBytes(Qt3DRender::QBuffer* buffer);
    void prepareReader();
    bool loadMatrices();
    quint64 quietTriangles(quint64 remaining) const;
    bool writeRange(QFile& file, quint64 first, quint64 end, QByteArray& recordBuffer);
    bool writeBatch(QFile& file, QByteArray& recordBuffer, bool flush);

    Qt3DRender::QGeometryRenderer* geometryRenderer;
    // A geometry built through the renderer's factory belongs to nobody else.
    std::unique_ptr<Qt3DRender::QGeometry> factoryGeometry;
    QVector<Qt3DRender::QAttribute*> attributes;
    Qt3DRender::QAttribute* positionAttribute = nullptr;
    Qt3DRender::QAttribute* indexAttribute = nullptr;
    quint64 indexByteOffset = 0;
    quint64 positionByteOffset = 0;
    quint64 positionByteStride = 0;
    int indexElementSize = 0;
    int positionElementSize = 0;
    quint64 triangles = 0;
    bool canceled = false;
    // Shallow copies of the buffers' bytes: they keep the data alive for the
    // reader even when a buffer's own data is replaced meanwhile.
    QByteArray positionData;
    MeshReader::Kind positionKind = MeshReader::Kind::None;
    QByteArray indexData;
    MeshReader::Kind indexKind = MeshReader::Kind::None;
    MeshReader reader;

    quint32* progressCounter = nullptr;
    quint64 progressInterval = 0;
    QMetaObject::Connection progressLink;

    // State of one writeTriangles call.
    QVector<float> matrices;
    quint64 flushInterval = 1;
    quint64 nextFlush = 0;
    quint64 batched = 0;
    quint64 batchCapacity = 0;
};

#endif
