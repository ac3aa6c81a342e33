// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "platesupports.h"

#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>

using BuildWatcher = QFutureWatcher<std::shared_ptr<const ObjectSupports>>;

PlateSupports::PlateSupports(QObject* parent)
    : QObject(parent)
{
}

PlateSupports::~PlateSupports()
{
    for (Entry& entry : m_entries)
        stop(entry);
    // The builds hold copies of what they need, never this object; waiting only keeps a
    // thread from running on after the plate is gone.
    for (BuildWatcher* watcher : findChildren<BuildWatcher*>())
        watcher->waitForFinished();
}

void PlateSupports::request(quint64 id, const std::shared_ptr<const MeshData>& mesh,
    const QMatrix4x4& matrix, const QVector<QVector3D>& points, const SupportSettings* settings,
    quint64 settingsRevision)
{
    Entry& entry = m_entries[id];
    if (!settings || points.isEmpty() || !mesh) {
        const bool hadSupports = entry.built || entry.building;
        stop(entry);
        entry.built.reset();
        if (hadSupports)
            emit built(id);
        updateBusy();
        return;
    }
    if (entry.building) {
        // The running build will do: once it ends, its supports move along like any others.
        if (entry.wantedRevision == settingsRevision && entry.wantedPoints == points
            && onlyMoved(entry.wantedMatrix, matrix))
            return;
    } else if (entry.built && entry.built->serves(matrix, points, settingsRevision)) {
        return;
    }
    entry.wantedMatrix = matrix;
    entry.wantedPoints = points;
    entry.wantedRevision = settingsRevision;
    start(id, entry, mesh, *settings);
}

void PlateSupports::forget(quint64 id)
{
    auto found = m_entries.find(id);
    if (found == m_entries.end())
        return;
    stop(*found);
    m_entries.erase(found);
    updateBusy();
}

std::shared_ptr<const ObjectSupports> PlateSupports::supportsOf(quint64 id) const
{
    const auto found = m_entries.constFind(id);
    return found == m_entries.constEnd() ? nullptr : found->built;
}

bool PlateSupports::isBuilding(quint64 id) const
{
    const auto found = m_entries.constFind(id);
    return found != m_entries.constEnd() && found->building;
}

bool PlateSupports::busy() const { return m_busy; }

void PlateSupports::start(quint64 id, Entry& entry, const std::shared_ptr<const MeshData>& mesh,
    const SupportSettings& settings)
{
    stop(entry);
    entry.building = true;
    entry.run = m_nextRun++;
    entry.cancel = std::make_shared<std::atomic<bool>>(false);
    const quint64 run = entry.run;
    auto* watcher = new BuildWatcher(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, id, run] {
        watcher->deleteLater();
        finish(id, run, watcher->result());
    });
    const QMatrix4x4 matrix = entry.wantedMatrix;
    const QVector<QVector3D> points = entry.wantedPoints;
    const quint64 revision = entry.wantedRevision;
    const std::shared_ptr<std::atomic<bool>> cancel = entry.cancel;
    watcher->setFuture(QtConcurrent::run([mesh, matrix, points, settings, revision, cancel] {
        auto result = std::make_shared<const ObjectSupports>(
            buildObjectSupports(*mesh, matrix, points, settings, revision, cancel.get()));
        return *cancel ? nullptr : result;
    }));
    updateBusy();
}

void PlateSupports::finish(
    quint64 id, quint64 run, const std::shared_ptr<const ObjectSupports>& result)
{
    auto found = m_entries.find(id);
    // Cancelled, replaced by a newer build, or the object left the plate: dropped.
    if (found == m_entries.end() || found->run != run || !found->building || !result)
        return;
    found->building = false;
    found->built = result;
    emit built(id);
    updateBusy();
}

void PlateSupports::stop(Entry& entry)
{
    if (entry.cancel)
        *entry.cancel = true;
    entry.cancel.reset();
    entry.building = false;
}

void PlateSupports::updateBusy()
{
    bool busy = false;
    for (const Entry& entry : qAsConst(m_entries))
        busy = busy || entry.building;
    if (busy == m_busy)
        return;
    m_busy = busy;
    emit busyChanged();
}
