// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef FACETLAB_FACETLAB_H
#define FACETLAB_FACETLAB_H

#include "facetlab_export.h"

#include <QFile>
#include <QObject>
#include <QUrl>
#include <QVariant>
#include <QVector>

namespace Qt3DCore {
class QEntity;
class QTransform;
}

class Exportable;

// QML face of the STL export: writes the triangle meshes of a Qt 3D scene into
// one binary STL file, with progress and cancellation.
class FACETLAB_EXPORT Facetlab : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool stlExportInProgress READ stlExportInProgress WRITE setStlExportInProgress NOTIFY
            stlExportInProgressChanged)
    Q_PROPERTY(float progressbarVal READ progressbarVal WRITE setProgressbarVal NOTIFY
            progressbarValChanged)
    Q_PROPERTY(bool exportCanceled READ exportCanceled WRITE setExportCanceled NOTIFY
            exportCanceledChanged)

public:
    enum ExportStlCallStatus {
        ExportStlCallStatus_OnlyCalculateTriangleCount = 0,
        ExportStlCallStatus_ExtractMeshData = 1,
    };
    Q_ENUM(ExportStlCallStatus)

    Facetlab();
    ~Facetlab() override;

    bool stlExportInProgress() const;
    float progressbarVal() const;
    bool exportCanceled() const;

    // No equality test in any setter: the QML relies on one emit per write.
    void setStlExportInProgress(bool stlExportInProgress);
    void setProgressbarVal(float progressbarVal);
    void setExportCanceled(bool exportCanceled);

signals:
    void stlExportInProgressChanged(bool stlExportInProgress);
    void progressbarValChanged(float progressbarVal);
    void exportCanceledChanged(bool exportCanceled);

public slots:
    void handleTrianglesExportedChanged();

public:
    Q_INVOKABLE bool exportStl(const QUrl& folder, const QString& exportName, QVariant v);

private:
    void updateExportables(
        QVector<Exportable*>& exportables, QVector<Qt3DCore::QEntity*>& entities);
    QVector<Qt3DCore::QTransform*> getParentsTransforms(Qt3DCore::QEntity* entity);
    bool setExportFile(QFile& file, const QUrl& folder, const QString& name);
    bool unsetExportFile(QFile& file);
    bool writeSTLheader(QFile& file);
    bool writeSTLnumber(QFile& file, quint32 count);

    quint32 trianglesTotal = 0;
    quint32 trianglesExported = 0;
    bool m_stlExportInProgress = false;
    float m_progressbarVal = 0.0f;
    bool m_exportCanceled = false;
    QVector<Qt3DCore::QEntity*> entities;
    QVector<Exportable*> exportables;
    QFile exportFile;
    quint64 progressStep = 17857;
    // True while exportStl is on the call stack: a call made from code that
    // the run itself invokes (a progress update) is refused.
    bool runActive = false;
};

namespace Facetlabrary {
FACETLAB_EXPORT void registerFacetlabraryQML();
}

#endif
