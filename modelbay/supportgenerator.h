// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODELBAY_SUPPORTGENERATOR_H
#define MODELBAY_SUPPORTGENERATOR_H

#include "supportplan.h"

#include <QFutureWatcher>
#include <QMatrix4x4>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVector3D>
#include <QVector>

#include <atomic>
#include <vector>

class IslandList;
class PlateModel;
class SupportOptions;

// Automatic support points for one object of the plate, planned on a worker thread so that the
// window keeps drawing: `progress` counts up, cancel() stops the run, and the points become one
// undo step of the plate model ("Automatic supports"). The object may move or be deleted
// meanwhile: the points go to the object they were planned for, in its own coordinates, or
// nowhere.
class SupportGenerator : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool busy READ busy NOTIFY busyChanged)
    Q_PROPERTY(int progress READ progress NOTIFY progressChanged)
    Q_PROPERTY(PlateModel* plate READ plate WRITE setPlate NOTIFY plateChanged)
    // The settings a run uses; the plate's own without.
    Q_PROPERTY(SupportOptions* options MEMBER m_options NOTIFY optionsChanged)

public:
    explicit SupportGenerator(QObject* parent = nullptr);
    explicit SupportGenerator(PlateModel* model, QObject* parent = nullptr);
    ~SupportGenerator() override; // cancels a run and waits for its end

    bool busy() const { return m_busy; }
    int progress() const { return m_progress; }
    PlateModel* plate() const { return m_model; }
    void setPlate(PlateModel* model); // ignored during a run

    // Starts a run for the object in `row`; false while one runs or for a row with no object.
    // `islands` are those of the last slice, which get points too; `sliceLiftMm` is how far that
    // slice had the model lifted by supports.
    Q_INVOKABLE bool generate(int row, IslandList* islands = nullptr, qreal sliceLiftMm = 0);
    // The same with the islands already read, in the object's plate coordinates.
    bool generateWithIslands(int row, const std::vector<IslandHint>& islands);
    Q_INVOKABLE void cancel();

signals:
    void busyChanged();
    void progressChanged();
    void plateChanged();
    void optionsChanged();
    void finished(bool done); // done: false when cancelled or the object is gone

private:
    struct Result {
        bool done = false;
        QVector<QVector3D> platePoints;
    };

    void setProgress(int percent);
    void runFinished();

    QPointer<PlateModel> m_model;
    QPointer<SupportOptions> m_options;
    QFutureWatcher<Result>* m_watcher;
    quint64 m_id = 0; // the object of the run
    QMatrix4x4 m_matrix; // its placement when the run started
    std::atomic<bool> m_cancel { false };
    bool m_busy = false;
    int m_progress = 0;
};

#endif
