// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODELBAY_PLATESUPPORTS_H
#define MODELBAY_PLATESUPPORTS_H

#include "objectsupports.h"

#include <QHash>
#include <QMatrix4x4>
#include <QObject>
#include <QVector3D>
#include <QVector>

#include <atomic>
#include <memory>

// The supports of every object on the plate, each built on a worker thread so that the window
// keeps drawing while a large model gets its supports. The plate model says what each object
// needs (request()) whenever its placement, its points or the options change; built(id)
// follows on this object's thread once that object's supports are ready. A request that only
// moves the object builds nothing: the supports built before move along. A newer request for
// the same object cancels the older build, whose result is dropped.
class PlateSupports : public QObject {
    Q_OBJECT

public:
    explicit PlateSupports(QObject* parent = nullptr);
    ~PlateSupports() override; // cancels every build and waits for them

    // What the object `id` stands on now: `settings` null for supports off, which like an
    // object without points takes its supports away at once.
    void request(quint64 id, const std::shared_ptr<const MeshData>& mesh, const QMatrix4x4& matrix,
        const QVector<QVector3D>& points, const SupportSettings* settings,
        quint64 settingsRevision);
    void forget(quint64 id); // the object left the plate

    // The supports last built for the object, or null. While a newer build runs they are the
    // older ones, still drawn until it ends.
    std::shared_ptr<const ObjectSupports> supportsOf(quint64 id) const;
    bool isBuilding(quint64 id) const;
    bool busy() const; // any build running

signals:
    void built(quint64 id); // its supports changed, or went away
    void busyChanged();

private:
    struct Entry {
        std::shared_ptr<const ObjectSupports> built;
        bool building = false;
        quint64 run = 0; // the build whose result counts
        QMatrix4x4 wantedMatrix;
        QVector<QVector3D> wantedPoints;
        quint64 wantedRevision = 0;
        std::shared_ptr<std::atomic<bool>> cancel;
    };

    void start(quint64 id, Entry& entry, const std::shared_ptr<const MeshData>& mesh,
        const SupportSettings& settings);
    void finish(quint64 id, quint64 run, const std::shared_ptr<const ObjectSupports>& result);
    void stop(Entry& entry);
    void updateBusy();

    QHash<quint64, Entry> m_entries;
    quint64 m_nextRun = 1;
    bool m_busy = false;
};

#endif
