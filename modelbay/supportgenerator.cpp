// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "supportgenerator.h"

#include "islandlist.h"
#include "meshdata.h"
#include "objectsupports.h"
#include "platemodel.h"
#include "supportoptions.h"
#include "supportplanner.h"

#include <QMatrix4x4>
#include <QMetaObject>
#include <QtConcurrent/QtConcurrentRun>

#include <memory>

SupportGenerator::SupportGenerator(QObject* parent)
    : SupportGenerator(nullptr, parent)
{
}

SupportGenerator::SupportGenerator(PlateModel* model, QObject* parent)
    : QObject(parent)
    , m_model(model)
    , m_watcher(new QFutureWatcher<Result>(this))
{
    connect(m_watcher, &QFutureWatcherBase::finished, this, &SupportGenerator::runFinished);
}

SupportGenerator::~SupportGenerator()
{
    m_cancel = true;
    m_watcher->waitForFinished();
}

void SupportGenerator::setPlate(PlateModel* model)
{
    if (m_busy || m_model == model)
        return;
    m_model = model;
    emit plateChanged();
}

bool SupportGenerator::generate(int row, IslandList* islands, qreal sliceLiftMm)
{
    return generateWithIslands(
        row, islands ? islandHints(islands->plate(), sliceLiftMm) : std::vector<IslandHint>());
}

bool SupportGenerator::generateWithIslands(int row, const std::vector<IslandHint>& islands)
{
    if (m_busy || !m_model)
        return false;
    const std::shared_ptr<const MeshData> mesh = m_model->meshAt(row);
    if (!mesh)
        return false;
    const SupportSettings settings
        = m_options ? m_options->settings() : m_model->supportOptions()->settings();
    m_matrix = m_model->matrixAt(row);
    m_id = m_model->idAt(row);
    const QMatrix4x4 matrix = m_matrix;
    m_cancel = false;
    m_busy = true;
    setProgress(0);
    emit busyChanged();

    auto report = [this](int percent) {
        // Called on the worker thread: the property changes on the object's own thread. The
        // destructor waits for the worker, so `this` outlives every call.
        QMetaObject::invokeMethod(
            this, [this, percent] { setProgress(percent); }, Qt::QueuedConnection);
    };
    m_watcher->setFuture(QtConcurrent::run([mesh, matrix, hints = islands, settings, report, this] {
        // The object's triangles on the plate, as they are placed.
        const TriangleSoup soup = placedSoup(*mesh, matrix);
        Result result;
        SupportPlan plan;
        result.done = planSupports(soup, hints, settings, plan, report, &m_cancel);
        for (const SupportPoint& point : plan.points)
            result.platePoints.append(QVector3D(point.x, point.y, point.z));
        return result;
    }));
    return true;
}

void SupportGenerator::cancel() { m_cancel = true; }

void SupportGenerator::runFinished()
{
    const Result result = m_watcher->result();
    m_busy = false;
    const int row = m_model ? m_model->rowOfId(m_id) : -1;
    // Planned for the placement at the start; kept on the object's own surface.
    bool invertible = false;
    const QMatrix4x4 toMesh = m_matrix.inverted(&invertible);
    const bool done = result.done && row >= 0 && invertible;
    if (done) {
        QVector<QVector3D> points;
        for (const QVector3D& point : result.platePoints)
            points.append(toMesh.map(point));
        m_model->setSupportPoints(row, points, tr("Automatic supports"));
    }
    emit busyChanged();
    emit finished(done);
}

void SupportGenerator::setProgress(int percent)
{
    if (percent == m_progress)
        return;
    m_progress = percent;
    emit progressChanged();
}
