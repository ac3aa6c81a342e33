// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "platemodel.h"
#include "stlbuilder.h"

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
