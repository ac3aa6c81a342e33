// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "platemodel.h"
#include "stlbuilder.h"
#include "supportgenerator.h"
#include "supportoptions.h"
#include "testmodels.h"

#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <QUndoStack>
#include <QtConcurrent/QtConcurrentRun>

#include <cmath>

class TestSupportGenerator : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    // A plate with the mushroom on it (the plate model sets it down on the plate).
    bool open(PlateModel& model)
    {
        const QString path = m_dir.filePath(QStringLiteral("mushroom.stl"));
        if (!StlBuilder().triangles(mushroom().triangles).write(path))
            return false;
        QSignalSpy opened(&model, &PlateModel::filesOpened);
        model.openFiles(QStringList { path });
        return (!opened.isEmpty() || opened.wait(10000))
            && opened.first().first().toStringList().isEmpty() && model.count() == 1;
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void pointsArriveAsOneStep()
    {
        PlateModel model;
        QVERIFY(open(model));
        SupportGenerator generator(&model);
        QSignalSpy finished(&generator, &SupportGenerator::finished);
        QSignalSpy progress(&generator, &SupportGenerator::progressChanged);
        const int steps = model.undoStack()->count();
        QVERIFY(generator.generate(0));
        QVERIFY(generator.busy());
        QVERIFY(!generator.generate(0)); // one run at a time
        QVERIFY(finished.wait(20000));
        QCOMPARE(finished.first().first().toBool(), true);
        QVERIFY(!generator.busy());
        QCOMPARE(generator.progress(), 100);
        QVERIFY(!progress.isEmpty());
        QCOMPARE(model.undoStack()->count(), steps + 1);

        // The rim hangs 9 mm above the bottom of the stem: points there, on the plate's
        // coordinates of the object as placed.
        const float bottom = model.boundsAt(0).min.z();
        int onRim = 0;
        for (const QVariant& point : model.index(0).data(PlateModel::SupportPointsRole).toList())
            onRim += std::fabs(point.value<QVector3D>().z() - bottom - 9) < 1e-3f;
        QVERIFY(onRim >= 3);
        model.undo();
        QVERIFY(model.supportPointsAt(0).isEmpty());
    }

    void cancelLeavesThePlateAlone()
    {
        PlateModel model;
        QVERIFY(open(model));
        SupportGenerator generator(&model);
        QSignalSpy finished(&generator, &SupportGenerator::finished);
        const int steps = model.undoStack()->count();
        // Hold the run back until it is cancelled: the pool's one thread waits for us.
        QThreadPool* pool = QThreadPool::globalInstance();
        const int threads = pool->maxThreadCount();
        pool->setMaxThreadCount(1);
        QSemaphore hold;
        QtConcurrent::run([&hold] { hold.acquire(); });
        QVERIFY(generator.generate(0));
        generator.cancel();
        hold.release();
        QVERIFY(finished.wait(20000));
        pool->setMaxThreadCount(threads);
        QCOMPARE(finished.first().first().toBool(), false);
        QCOMPARE(model.undoStack()->count(), steps);
    }

    void anObjectDeletedMeanwhileGetsNothing()
    {
        PlateModel model;
        QVERIFY(open(model));
        SupportGenerator generator(&model);
        QSignalSpy finished(&generator, &SupportGenerator::finished);
        QVERIFY(generator.generate(0));
        model.remove(0);
        const int steps = model.undoStack()->count();
        QVERIFY(finished.wait(20000));
        QCOMPARE(finished.first().first().toBool(), false);
        QCOMPARE(model.undoStack()->count(), steps);
    }

    // The side panel's settings reach the run: a denser grid under the rim gives more points.
    void followsTheChosenSettings()
    {
        PlateModel model;
        QVERIFY(open(model));
        SupportOptions options;
        SupportGenerator generator;
        generator.setPlate(&model);
        generator.setProperty("options", QVariant::fromValue(&options));
        QSignalSpy finished(&generator, &SupportGenerator::finished);
        QVERIFY(generator.generate(0));
        QVERIFY(finished.wait(20000));
        const int defaultCount = model.supportPointsAt(0).size();
        options.setDensity(options.density() * 4);
        QVERIFY(generator.generate(0));
        QVERIFY(finished.wait(20000));
        QVERIFY2(model.supportPointsAt(0).size() > defaultCount,
            qPrintable(QStringLiteral("%1 points, %2 before")
                           .arg(model.supportPointsAt(0).size())
                           .arg(defaultCount)));
    }
};

QTEST_GUILESS_MAIN(TestSupportGenerator)
#include "tst_supportgenerator.moc"
