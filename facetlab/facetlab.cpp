// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "facetlab.h"

#include "exportable.h"
#include "stlrecord.h"

#include <QCoreApplication>
#include <QJSValue>
#include <Qt3DCore/QEntity>
#include <Qt3DCore/QTransform>
#include <Qt3DRender/QGeometryRenderer>
#include <QtQml>

Facetlab::Facetlab()
    : QObject(nullptr)
{
}

Facetlab::~Facetlab() { qDeleteAll(exportables); }

bool Facetlab::stlExportInProgress() const { return m_stlExportInProgress; }
float Facetlab::progressbarVal() const { return m_progressbarVal; }
bool Facetlab::exportCanceled() const { return m_exportCanceled; }

void Facetlab::setStlExportInProgress(bool stlExportInProgress)
{
    m_stlExportInProgress = stlExportInProgress;
    emit stlExportInProgressChanged(m_stlExportInProgress);
}

void Facetlab::setProgressbarVal(float progressbarVal)
{
    m_progressbarVal = progressbarVal;
    emit progressbarValChanged(m_progressbarVal);
}

void Facetlab::setExportCanceled(bool exportCanceled)
{
    m_exportCanceled = exportCanceled;
    emit exportCanceledChanged(m_exportCanceled);
}

void Facetlab::handleTrianglesExportedChanged()
{
    ++trianglesExported;
    if (trianglesExported % progressStep != 0)
        return;
    // No final 100: the bar shows the last whole step, and the run's end is
    // told by stlExportInProgress.
    m_progressbarVal = float(double(trianglesExported) / double(trianglesTotal) * 100.0);
    emit progressbarValChanged(m_progressbarVal);
    // The run is one synchronous call; this is where the user interface
    // repaints and where QML can set exportCanceled.
    QCoreApplication::processEvents();
}

namespace {

// QML hands a JavaScript array of entities over as a QJSValue (or, from a
// property, a QVariantList), which the variant cannot convert to an entity
// list: take the entities such a list holds, in order.
QVector<Qt3DCore::QEntity*> entitiesOfScriptList(const QVariant& v)
{
    QVariantList items;
    if (v.userType() == qMetaTypeId<QJSValue>()) {
        const QJSValue value = v.value<QJSValue>();
        if (value.isArray())
            items = value.toVariant().toList();
    } else if (v.userType() == QMetaType::QVariantList) {
        items = v.toList();
    }
    QVector<Qt3DCore::QEntity*> entities;
    for (const QVariant& item : qAsConst(items)) {
        if (auto* entity = qobject_cast<Qt3DCore::QEntity*>(item.value<QObject*>()))
            entities.append(entity);
    }
    return entities;
}

// Clears a flag when the scope ends, on every return path.
class FlagScope {
public:
    explicit FlagScope(bool& flag)
        : flag(flag)
    {
        flag = true;
    }
    ~FlagScope() { flag = false; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& flag;
};

}

bool Facetlab::exportStl(const QUrl& folder, const QString& exportName, QVariant v)
{
    // A run re-enters the event loop at its progress updates; a second run
    // started from there would share the file and the meshes of this one.
    if (runActive)
        return false;
    const FlagScope active(runActive);

    trianglesExported = 0;

    const int listType = qMetaTypeId<QVector<Qt3DCore::QEntity*>>();
    QVariant converted = v;
    if (v.userType() == listType || converted.convert(listType))
        entities = converted.value<QVector<Qt3DCore::QEntity*>>();
    else
        entities = entitiesOfScriptList(v);

    // No writeTriangles of these can be running: that would mean a run on
    // the stack, and such a call was refused above.
    qDeleteAll(exportables);
    exportables.clear();
    updateExportables(exportables, entities);

    m_exportCanceled = false;
    emit exportCanceledChanged(m_exportCanceled);

    if (!setExportFile(exportFile, folder, exportName))
        return false;
    if (!writeSTLheader(exportFile)) {
        unsetExportFile(exportFile);
        return false;
    }
    trianglesTotal = 0;
    for (const Exportable* exportable : qAsConst(exportables))
        trianglesTotal += quint32(exportable->triangleCount());
    if (!writeSTLnumber(exportFile, trianglesTotal)) {
        unsetExportFile(exportFile);
        return false;
    }

    m_stlExportInProgress = true;
    emit stlExportInProgressChanged(m_stlExportInProgress);

    // One record buffer for the whole run: fresh memory is slow to touch.
    QByteArray recordBuffer;
    bool written = true;
    for (Exportable* exportable : qAsConst(exportables)) {
        if (!exportable->writeTriangles(exportFile, progressStep, recordBuffer)) {
            written = false;
            break;
        }
    }

    m_stlExportInProgress = false;
    emit stlExportInProgressChanged(m_stlExportInProgress);
    const bool closed = unsetExportFile(exportFile);
    return written && closed;
}

void Facetlab::updateExportables(
    QVector<Exportable*>& exportables, QVector<Qt3DCore::QEntity*>& entities)
{
    exportables.clear();
    for (Qt3DCore::QEntity* entity : qAsConst(entities)) {
        if (!entity)
            continue;
        Qt3DRender::QGeometryRenderer* renderer = nullptr;
        Qt3DCore::QTransform* transform = nullptr;
        // The last triangle renderer and the last transform of the entity count.
        const Qt3DCore::QComponentVector components = entity->components();
        for (Qt3DCore::QComponent* component : components) {
            auto* candidate = qobject_cast<Qt3DRender::QGeometryRenderer*>(component);
            if (candidate && candidate->primitiveType() == Qt3DRender::QGeometryRenderer::Triangles)
                renderer = candidate;
            else if (auto* t = qobject_cast<Qt3DCore::QTransform*>(component))
                transform = t;
        }
        // A mesh without a transform of its own has no place in the scene.
        if (!renderer || !transform)
            continue;

        auto* exportable = new Exportable(renderer, nullptr);
        exportable->transforms.append(transform);
        const QVector<Qt3DCore::QTransform*> ancestors = getParentsTransforms(entity);
        for (Qt3DCore::QTransform* ancestor : ancestors)
            exportable->transforms.append(ancestor);
        const QMetaObject::Connection progress = connect(exportable,
            &Exportable::trianglesExportedChanged, this, &Facetlab::handleTrianglesExportedChanged);
        connect(this, &Facetlab::exportCanceledChanged, exportable,
            &Exportable::handleExportCanceledChanged);
        exportable->countProgressLocally(&trianglesExported, progressStep, progress);
        exportables.append(exportable);
    }
}

QVector<Qt3DCore::QTransform*> Facetlab::getParentsTransforms(Qt3DCore::QEntity* entity)
{
    // Nearest ancestor first; every transform of an ancestor counts, in
    // component order.
    QVector<Qt3DCore::QTransform*> transforms;
    for (Qt3DCore::QEntity* parent = entity->parentEntity(); parent;
         parent = parent->parentEntity()) {
        const Qt3DCore::QComponentVector components = parent->components();
        for (Qt3DCore::QComponent* component : components) {
            if (auto* transform = qobject_cast<Qt3DCore::QTransform*>(component))
                transforms.append(transform);
        }
    }
    return transforms;
}

bool Facetlab::setExportFile(QFile& file, const QUrl& folder, const QString& name)
{
    const QString directory = folder.toLocalFile();
    if (name.endsWith(QLatin1String(".stl"), Qt::CaseInsensitive))
        file.setFileName(directory + QLatin1Char('/') + name);
    else
        file.setFileName(directory + QLatin1Char('/') + name + QLatin1String(".stl"));
    // Open before emptying: a file that cannot be written keeps what it had.
    // Append mode writes at the end, which after the resize is byte 0.
    if (!file.open(QIODevice::Append))
        return false;
    // A device such as a pipe has no length to cut.
    if (!file.isSequential() && !file.resize(0)) {
        file.close();
        return false;
    }
    return true;
}

bool Facetlab::unsetExportFile(QFile& file)
{
    const bool flushed = file.flush();
    file.close();
    return flushed;
}

bool Facetlab::writeSTLheader(QFile& file)
{
    QByteArray header(StlRecord::headerSize, Qt::Uninitialized);
    StlRecord::writeHeader(header.data());
    return file.write(header) == header.size() && file.flush();
}

bool Facetlab::writeSTLnumber(QFile& file, quint32 count)
{
    char bytes[StlRecord::countSize];
    StlRecord::writeCount(count, bytes);
    return file.write(bytes, sizeof bytes) == qint64(sizeof bytes) && file.flush();
}

namespace Facetlabrary {

void registerFacetlabraryQML()
{
    static bool registered = false;
    if (registered)
        return;
    qmlRegisterType<Facetlab>("com.corvane.desktop", 1, 0, "Facetlab");
    registered = true;
}

}
