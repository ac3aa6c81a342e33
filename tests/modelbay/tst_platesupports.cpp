// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "objectsupports.h"
#include "platemodel.h"
#include "stlbuilder.h"
#include "supportoptions.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>

namespace {

QVector<QVector3D> onPlate(const PlateModel& model, int row)
{
    QVector<QVector3D> points;
    for (const QVariant& point : model.index(row).data(PlateModel::SupportPointsRole).toList())
        points.append(point.value<QVector3D>());
    return points;
}

bool near(const QVector<QVector3D>& a, const QVector<QVector3D>& b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        if ((a.at(i) - b.at(i)).length() > 1e-4f)
            return false;
    }
    return true;
}

// Waits until the model has built the supports it was asked for.
bool built(PlateModel& model)
{
    QSignalSpy busy(&model, &PlateModel::supportsBusyChanged);
    while (model.supportsBusy()) {
        if (!busy.wait(30000))
            return false;
    }
    return true;
}

} // namespace

class TestPlateSupports : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    // A plate with one 10 x 10 x 10 box.
    bool open(PlateModel& model)
    {
        const QString path = m_dir.filePath(QStringLiteral("box.stl"));
        if (!StlBuilder().box(QVector3D(0, 0, 0), QVector3D(10, 10, 10)).write(path))
            return false;
        QSignalSpy opened(&model, &PlateModel::filesOpened);
        model.openFiles(QStringList { path });
        return (!opened.isEmpty() || opened.wait(10000))
            && opened.first().first().toStringList().isEmpty() && model.count() == 1;
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // Supports are built away from the caller: until they are, the plate cannot be sliced, and
    // then the object stands lifted on them, the pad on the plate under it.
    void theObjectStandsOnItsSupportsOnceBuilt()
    {
        PlateModel model;
        QVERIFY(open(model));
        const Bounds box = model.boundsAt(0);
        model.addSupportPoint(0, box.centre() - QVector3D(0, 0, box.centre().z()));
        QCOMPARE(model.supportsAt(0), nullptr); // supports off: the point waits
        QCOMPARE(model.liftAt(0), 0.0);

        QSignalSpy changed(&model, &PlateModel::dataChanged);
        model.supportOptions()->setAutomatic(true);
        QVERIFY(model.supportsBusy());
        QVERIFY2(model.sliceRefusal().contains(QStringLiteral("still being built")),
            qPrintable(model.sliceRefusal()));
        QVERIFY(built(model));
        QVERIFY(!changed.isEmpty()); // the row tells its view
        QVERIFY(model.supportsAt(0) && model.supportsAt(0)->mesh.triangleCount > 0);
        QCOMPARE(model.liftAt(0), model.supportOptions()->lift());
        const Bounds standing = model.standingBoundsAt(0);
        QVERIFY(qAbs(standing.min.z()) < 1e-3f);
        QVERIFY(qAbs(standing.max.z() - float(box.max.z() + model.liftAt(0))) < 1e-3f);
        QCOMPARE(model.sliceRefusal(), QString());
    }

    // Only moved, an object keeps the supports built for it, shifted along: nothing is built
    // again, and a move up or down only changes how far they lift it. Turned, it needs new ones.
    void aMoveTakesTheSupportsAlong()
    {
        PlateModel model;
        QVERIFY(open(model));
        model.addSupportPoint(0, model.boundsAt(0).min + QVector3D(5, 5, 0));
        model.supportOptions()->setAutomatic(true);
        QVERIFY(built(model));
        const std::shared_ptr<const ObjectSupports> first = model.supportsAt(0);
        const double lift = model.liftAt(0);

        model.moveBy(0, 10, -4, false);
        QVERIFY(!model.supportsBusy());
        QCOMPARE(model.supportsAt(0), first);
        QCOMPARE(model.supportsShiftAt(0), QVector3D(10, -4, 0));
        model.setTranslation(0, model.placementAt(0).translation + QVector3D(0, 0, 2));
        QVERIFY(!model.supportsBusy());
        QVERIFY(qAbs(model.liftAt(0) - (lift - 2)) < 1e-4);

        model.setRotation(0, QVector3D(0, 0, 30));
        QVERIFY(model.supportsBusy());
        QVERIFY(built(model));
        QVERIFY(model.supportsAt(0) != first);
    }

    // Lifted on its supports, an object can reach past the top of the volume: the model names
    // it, apart from objects outside on their own.
    void standingOutsideIsRefused()
    {
        PlateModel model;
        QVERIFY(open(model));
        model.addSupportPoint(0, model.boundsAt(0).min + QVector3D(5, 5, 0));
        model.supportOptions()->setAutomatic(true);
        QVERIFY(built(model));
        QCOMPARE(model.sliceRefusal(), QString());

        model.setPlateSize(model.plateWidth(), model.plateDepth(), 12); // the box is 10 tall
        QCOMPARE(model.sliceRefusal(),
            QStringLiteral(
                "Cannot slice: “box.stl” on its supports reaches outside the printable volume."));
        QCOMPARE(model.outsideNames(), QStringList { QStringLiteral("box.stl") });
        QVERIFY(model.index(0).data(PlateModel::OutsideRole).toBool());

        model.supportOptions()->setAutomatic(false);
        QCOMPARE(model.sliceRefusal(), QString());
        QVERIFY(model.outsideNames().isEmpty());
    }

    // A newer request for the same object wins over a build still running; an object that
    // leaves the plate meanwhile takes its build along.
    void theNewestRequestWins()
    {
        PlateModel model;
        QVERIFY(open(model));
        model.addSupportPoint(0, model.boundsAt(0).min + QVector3D(5, 5, 0));
        model.supportOptions()->setAutomatic(true);
        model.supportOptions()->setLift(7);
        model.supportOptions()->setLift(9);
        QVERIFY(built(model));
        QCOMPARE(model.liftAt(0), 9.0);

        model.supportOptions()->setLift(4);
        QVERIFY(model.supportsBusy());
        model.remove(0);
        QVERIFY(!model.supportsBusy());
        QCOMPARE(model.sliceRefusal(), QStringLiteral("The plate is empty: open a model first."));
        model.undo();
        QVERIFY(built(model));
        QCOMPARE(model.liftAt(0), 4.0);
    }

    void pointsAreUndoableSteps()
    {
        PlateModel model;
        QVERIFY(open(model));
        const QVector3D corner = model.boundsAt(0).min;
        const QVector3D a = corner + QVector3D(2, 3, 0), b = corner + QVector3D(7, 1, 0);
        const int stepsBefore = model.undoStack()->count();

        model.addSupportPoint(0, a);
        model.addSupportPoint(0, b);
        QVERIFY(near(onPlate(model, 0), { a, b }));
        model.removeSupportPoint(0, 0);
        QVERIFY(near(onPlate(model, 0), { b }));
        QCOMPARE(model.undoStack()->count(), stepsBefore + 3);

        model.undo();
        QVERIFY(near(onPlate(model, 0), { a, b }));
        model.undo();
        QVERIFY(near(onPlate(model, 0), { a }));
        model.redo();
        model.redo();
        QVERIFY(near(onPlate(model, 0), { b }));

        model.clearSupportPoints(0);
        QVERIFY(onPlate(model, 0).isEmpty());
        model.undo();
        QVERIFY(near(onPlate(model, 0), { b }));
    }

    void nothingToChangeAddsNoStep()
    {
        PlateModel model;
        QVERIFY(open(model));
        const int steps = model.undoStack()->count();
        model.addSupportPoint(1, QVector3D());
        model.removeSupportPoint(0, 0);
        model.clearSupportPoints(0);
        QCOMPARE(model.undoStack()->count(), steps);
    }

    void pointsStayOnTheObject()
    {
        PlateModel model;
        QVERIFY(open(model));
        const QVector3D point = model.boundsAt(0).min + QVector3D(5, 5, 0);
        model.addSupportPoint(0, point);
        QSignalSpy changed(&model, &PlateModel::dataChanged);
        model.setTranslation(0, model.placementAt(0).translation + QVector3D(4, -2, 3));
        QVERIFY(!changed.isEmpty());
        QVERIFY(near(onPlate(model, 0), { point + QVector3D(4, -2, 3) }));
    }

    // A click in editing mode means the point under it, where the object now stands: the
    // nearest within reach, none farther away, and after a move the point moved with it.
    void aClickFindsThePointUnderIt_data()
    {
        QTest::addColumn<QVector3D>("offset"); // of the click from the first point, on the plate
        QTest::addColumn<QVector3D>("move");
        QTest::addColumn<int>("expected");
        QTest::newRow("on it") << QVector3D(0, 0, 0) << QVector3D() << 0;
        QTest::newRow("beside it") << QVector3D(0.6f, 0.3f, 0) << QVector3D() << 0;
        QTest::newRow("nearer the second") << QVector3D(1.4f, 0, 0) << QVector3D() << 1;
        QTest::newRow("out of reach") << QVector3D(0, 1.5f, 0) << QVector3D() << -1;
        QTest::newRow("moved with the object") << QVector3D(20, 0, 0) << QVector3D(20, 0, 0) << 0;
        QTest::newRow("left behind by a move") << QVector3D(0, 0, 0) << QVector3D(20, 0, 0) << -1;
    }

    void aClickFindsThePointUnderIt()
    {
        QFETCH(QVector3D, offset);
        QFETCH(QVector3D, move);
        QFETCH(int, expected);
        PlateModel model;
        QVERIFY(open(model));
        const QVector3D first = model.boundsAt(0).min + QVector3D(3, 3, 0);
        model.addSupportPoint(0, first);
        model.addSupportPoint(0, first + QVector3D(2, 0, 0));
        model.setTranslation(0, model.placementAt(0).translation + move);
        QCOMPARE(model.supportPointNear(0, first + offset, 1.0), expected);
        QCOMPARE(model.supportPointNear(1, first, 1.0), -1);
    }
};

QTEST_GUILESS_MAIN(TestPlateSupports)
#include "tst_platesupports.moc"
