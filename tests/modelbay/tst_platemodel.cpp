// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "platemodel.h"
#include "stlbuilder.h"

#include <QFile>
#include <QJSEngine>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>
#include <QUrl>

#include <functional>
#include <limits>

namespace {

// What a user sees of the plate: the objects in order, each with its name and placement.
struct PlateState {
    QStringList names;
    QVector<Placement> placements;
    bool operator==(const PlateState& other) const
    {
        return names == other.names && placements == other.placements;
    }
};

PlateState stateOf(const PlateModel& model)
{
    PlateState state;
    for (int row = 0; row < model.count(); ++row) {
        state.names.append(model.index(row).data(PlateModel::NameRole).toString());
        state.placements.append(model.placementAt(row));
    }
    return state;
}

using Operation = std::function<void(PlateModel&)>;

// Footprints at least the 5 mm gap apart, side by side or one behind the other.
bool apart(const Bounds& a, const Bounds& b)
{
    const float gap = 4.99f;
    return b.min.x() >= a.max.x() + gap || b.max.x() <= a.min.x() - gap
        || b.min.y() >= a.max.y() + gap || b.max.y() <= a.min.y() - gap;
}

} // namespace

Q_DECLARE_METATYPE(Operation)

class TestPlateModel : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QJSEngine m_engine; // makes the script arrays QML would hand over
    QString m_small; // 20 x 10 x 5 box
    QString m_tall; // 8 x 8 x 30 box
    QStringList m_wide; // three 70 x 30 x 10 boxes
    QString m_pair; // two 4 mm cubes 16 mm apart, one file
    QString m_cube; // a 2 mm cube

    QString write(const QString& name, const QByteArray& bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return QString();
        return path;
    }

    // Opens and waits for the end of the read; gives the sentences of the files refused.
    static QStringList open(PlateModel& model, const QVariant& files)
    {
        QSignalSpy opened(&model, &PlateModel::filesOpened);
        if (!model.openFiles(files).isEmpty() || (opened.isEmpty() && !opened.wait(10000)))
            return { QStringLiteral("no answer") };
        return opened.first().first().toStringList();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_small = write(QStringLiteral("small.stl"),
            StlBuilder().box({ 100, 100, 100 }, { 120, 110, 105 }).binary());
        m_tall = write(
            QStringLiteral("tall.stl"), StlBuilder().box({ 0, 0, 0 }, { 8, 8, 30 }).binary());
        QVERIFY(!m_small.isEmpty() && !m_tall.isEmpty());
        for (int i = 0; i < 3; ++i) {
            m_wide.append(write(QStringLiteral("wide%1.stl").arg(i),
                StlBuilder().box({ 0, 0, 0 }, { 70, 30, 10 }).binary()));
            QVERIFY(!m_wide.last().isEmpty());
        }
        m_pair = write(QStringLiteral("pair.stl"),
            StlBuilder().box({ 0, 0, 0 }, { 4, 4, 4 }).box({ 20, 0, 0 }, { 24, 4, 4 }).binary());
        m_cube = write(
            QStringLiteral("cube.stl"), StlBuilder().box({ 0, 0, 0 }, { 2, 2, 2 }).binary());
        QVERIFY(!m_pair.isEmpty() && !m_cube.isEmpty());
    }

    void opensCentredThenBeside()
    {
        PlateModel model;
        QSignalSpy busy(&model, &PlateModel::busyChanged);
        const QStringList errors
            = open(model, QVariantList { QUrl::fromLocalFile(m_small), m_tall });
        QCOMPARE(errors, QStringList());
        QCOMPARE(busy.count(), 2); // on while reading, off once placed
        QVERIFY(!model.busy());
        QCOMPARE(model.count(), 2);
        QCOMPARE(model.undoStack()->count(), 2); // one step per file
        QCOMPARE(model.index(0).data(PlateModel::NameRole).toString(), QStringLiteral("small.stl"));
        QCOMPARE(model.index(0).data(PlateModel::TriangleCountRole).toInt(), 12);

        // The first lies on the plate's centre, whatever its coordinates in the file.
        const Bounds first = model.boundsAt(0);
        QCOMPARE(first.centre().x(), 0.0f);
        QCOMPARE(first.centre().y(), 0.0f);
        QCOMPARE(first.min.z(), 0.0f);
        QCOMPARE(first.size(), QVector3D(20, 10, 5));
        // The second stands on the plate beside it, not in it.
        const Bounds second = model.boundsAt(1);
        QCOMPARE(second.min.z(), 0.0f);
        QVERIFY(apart(first, second));
        QVERIFY(model.outsideNames().isEmpty());
        QCOMPARE(model.sliceRefusal(), QString());
    }

    void opensWhatQmlHandsOver_data()
    {
        QTest::addColumn<QVariant>("files");
        QTest::addColumn<int>("count");
        QTest::newRow("one path") << QVariant(m_small) << 1;
        QTest::newRow("one url") << QVariant(QUrl::fromLocalFile(m_small)) << 1;
        QTest::newRow("url text") << QVariant(QUrl::fromLocalFile(m_small).toString()) << 1;
        QJSValue array = m_engine.newArray(2);
        array.setProperty(0, QUrl::fromLocalFile(m_small).toString());
        array.setProperty(1, m_tall);
        QTest::newRow("script array") << QVariant::fromValue(array) << 2;
        QTest::newRow("list of urls") << QVariant::fromValue(
            QList<QUrl> { QUrl::fromLocalFile(m_small), QUrl::fromLocalFile(m_tall) })
                                      << 2;
    }

    void opensWhatQmlHandsOver()
    {
        QFETCH(QVariant, files);
        QFETCH(int, count);
        PlateModel model;
        QCOMPARE(open(model, files), QStringList());
        QCOMPARE(model.count(), count);
    }

    // Every format's faults are read the same way; one broken file stands for all of them.
    void refusedFilesLeaveThePlateAsItWas()
    {
        QByteArray broken = StlBuilder().box({ 0, 0, 0 }, { 1, 1, 1 }).binary();
        broken.chop(7);
        const QString name = QStringLiteral("broken.stl");
        const QString path = write(name, broken);
        PlateModel model;
        QCOMPARE(open(model, m_small), QStringList());
        const PlateState before = stateOf(model);
        const int steps = model.undoStack()->count();
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);

        // Refused alone, and refused beside a good file that still opens.
        const QStringList errors = open(model, QStringList { path });
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.first().startsWith(QStringLiteral("Cannot open “%1”: ").arg(name)),
            qPrintable(errors.first()));
        QCOMPARE(stateOf(model), before);
        QCOMPARE(model.undoStack()->count(), steps);
        QCOMPARE(inserted.count(), 0);

        QCOMPARE(open(model, QStringList { path, m_tall }).size(), 1);
        QCOMPARE(model.count(), 2);
        QCOMPARE(model.undoStack()->count(), steps + 1);
    }

    void everyStepUndoesAndRedoesExactly_data()
    {
        QTest::addColumn<Operation>("operation");
        QTest::newRow("move") << Operation([](PlateModel& m) { m.setTranslation(1, { 3, 4, 5 }); });
        QTest::newRow("rotate") << Operation([](PlateModel& m) {
            m.setRotation(0, { 10, 0, 45 });
        });
        QTest::newRow("scale") << Operation([](PlateModel& m) { m.setScale(1, { 2, 2, 0.5f }); });
        QTest::newRow("drag") << Operation([](PlateModel& m) { m.moveBy(0, 1.5, -2, false); });
        // Triangle 4 of the box is a side face (-y): laid flat, the box stands on it.
        QTest::newRow("lay flat") << Operation([](PlateModel& m) { m.layFlat(1, 4); });
        QTest::newRow("centre") << Operation([](PlateModel& m) { m.centre(1); });
        QTest::newRow("arrange") << Operation([](PlateModel& m) { m.arrange(); });
        QTest::newRow("duplicate") << Operation([](PlateModel& m) { m.duplicate(0); });
        QTest::newRow("delete") << Operation([](PlateModel& m) { m.remove(0); });
        QTest::newRow("drop to plate") << Operation([](PlateModel& m) {
            m.setTranslation(0, { 5, 5, 12 });
            m.undoStack()->setClean(); // the state to come back to
            m.dropToPlate(0);
        });
    }

    void everyStepUndoesAndRedoesExactly()
    {
        QFETCH(Operation, operation);
        PlateModel model;
        QCOMPARE(open(model, QStringList { m_small, m_tall }), QStringList());
        model.setRotation(1, { 0, 0, 30 });
        model.undoStack()->setClean();

        const PlateState initial = stateOf(model);
        const int cleanBefore = model.undoStack()->cleanIndex();
        operation(model);
        // One step exactly (after whatever the row set up and marked clean).
        QCOMPARE(model.undoStack()->index(), model.undoStack()->cleanIndex() + 1);
        const PlateState after = stateOf(model);
        model.undo();
        const PlateState before = stateOf(model);
        model.redo();
        if (model.undoStack()->cleanIndex() == cleanBefore)
            QCOMPARE(before, initial);
        QVERIFY(!(after == before));
        QVERIFY(model.canUndo());
        QVERIFY(!model.undoText().isEmpty());

        model.undo();
        QCOMPARE(stateOf(model), before);
        QVERIFY(model.canRedo());
        model.redo();
        QCOMPARE(stateOf(model), after);
    }

    // Turned or scaled about its middle, a tall object would sink into the plate; one resting
    // on it keeps resting on it, and one lifted on purpose keeps its height.
    void turningKeepsARestingObjectOnThePlate_data()
    {
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<float>("lift");
        QTest::newRow("rotate resting") << Operation([](PlateModel& m) {
            m.setRotation(0, { 60, 0, 0 });
        }) << 0.0f;
        QTest::newRow("scale resting") << Operation([](PlateModel& m) {
            m.setScale(0, { 2, 2, 2 });
        }) << 0.0f;
        QTest::newRow("rotate lifted") << Operation([](PlateModel& m) {
            m.setRotation(0, { 60, 0, 0 });
        }) << 20.0f;
    }

    void turningKeepsARestingObjectOnThePlate()
    {
        QFETCH(Operation, operation);
        QFETCH(float, lift);
        PlateModel model;
        QCOMPARE(open(model, m_tall), QStringList());
        QCOMPARE(model.boundsAt(0).min.z(), 0.0f);
        if (lift > 0)
            model.setTranslation(0, model.placementAt(0).translation + QVector3D(0, 0, lift));
        const float middleBefore = model.boundsAt(0).centre().z();
        operation(model);
        if (lift > 0)
            QVERIFY(qAbs(model.boundsAt(0).centre().z() - middleBefore) < 0.01f);
        else
            QVERIFY(qAbs(model.boundsAt(0).min.z()) < 0.001f);
    }

    void dragStepsUndoTogether()
    {
        PlateModel model;
        QCOMPARE(open(model, m_small), QStringList());
        const PlateState before = stateOf(model);
        const QVector3D start = model.placementAt(0).translation;
        const int steps = model.undoStack()->index();
        model.moveBy(0, 1, 0, false);
        for (int i = 0; i < 4; ++i)
            model.moveBy(0, 1, 0.5, true);
        QCOMPARE(model.placementAt(0).translation, start + QVector3D(5, 2, 0));
        QCOMPARE(model.undoStack()->index(), steps + 1);
        // A new drag is a step of its own.
        model.moveBy(0, -1, 0, false);
        QCOMPARE(model.undoStack()->index(), steps + 2);
        model.undo();
        model.undo();
        QCOMPARE(stateOf(model), before);
    }

    void layFlatRestsTheFaceOnThePlate()
    {
        PlateModel model;
        QCOMPARE(open(model, m_tall), QStringList());
        model.layFlat(0, 4); // the -y side of an 8 x 8 x 30 box
        const Bounds bounds = model.boundsAt(0);
        QVERIFY(qAbs(bounds.min.z()) < 1e-4f);
        QVERIFY(qAbs(bounds.size().z() - 8) < 1e-3f);
        QVERIFY(qAbs(bounds.size().y() - 30) < 1e-3f);
    }

    void outsideObjectsAreNamedAndRefused()
    {
        PlateModel model;
        QVERIFY(!model.sliceRefusal().isEmpty()); // nothing to slice yet
        QCOMPARE(open(model, QStringList { m_small, m_tall }), QStringList());
        QSignalSpy outside(&model, &PlateModel::outsideNamesChanged);

        model.setTranslation(1, { float(model.plateWidth()) / 2, 0, 0 });
        QCOMPARE(model.outsideNames(), QStringList { QStringLiteral("tall.stl") });
        QVERIFY(model.index(1).data(PlateModel::OutsideRole).toBool());
        QVERIFY(model.sliceRefusal().contains(QStringLiteral("“tall.stl”")));
        QCOMPARE(outside.count(), 1);

        model.undo();
        QVERIFY(model.outsideNames().isEmpty());
        // A smaller printer's plate leaves the 30 mm tall box sticking out at the top.
        model.setPlateSize(50, 40, 20);
        QCOMPARE(model.outsideNames(), QStringList { QStringLiteral("tall.stl") });
        QCOMPARE(model.plateHeight(), 20.0);
    }

    void unusableValuesAreNoStep_data()
    {
        QTest::addColumn<Operation>("operation");
        const float nan = std::numeric_limits<float>::quiet_NaN();
        const float infinity = std::numeric_limits<float>::infinity();
        QTest::newRow("move to NaN") << Operation([=](PlateModel& m) {
            m.setTranslation(0, { nan, 0, 0 });
        });
        QTest::newRow("turn by infinity") << Operation([=](PlateModel& m) {
            m.setRotation(0, { 0, infinity, 0 });
        });
        QTest::newRow("drag by NaN")
            << Operation([=](PlateModel& m) { m.moveBy(0, 1, double(nan), false); });
        QTest::newRow("scale to zero") << Operation([](PlateModel& m) {
            m.setScale(0, { 1, 0, 1 });
        });
        QTest::newRow("mirror by scale") << Operation([](PlateModel& m) {
            m.setScale(0, { -1, 1, 1 });
        });
        QTest::newRow("triangle that does not exist")
            << Operation([](PlateModel& m) { m.layFlat(0, 12); });
    }

    void unusableValuesAreNoStep()
    {
        QFETCH(Operation, operation);
        PlateModel model;
        QCOMPARE(open(model, m_small), QStringList());
        const PlateState before = stateOf(model);
        const int steps = model.undoStack()->count();
        operation(model);
        QCOMPARE(stateOf(model), before);
        QCOMPARE(model.undoStack()->count(), steps);
        QCOMPARE(model.sliceRefusal(), QString());
    }

    void duplicateLandsBesideOnThePlate()
    {
        PlateModel model;
        QCOMPARE(open(model, m_small), QStringList());
        model.duplicate(0);
        model.duplicate(0);
        QCOMPARE(model.count(), 3);
        QVERIFY(model.outsideNames().isEmpty());
        for (int a = 0; a < 3; ++a) {
            const Bounds first = model.boundsAt(a);
            for (int b = a + 1; b < 3; ++b) {
                const Bounds second = model.boundsAt(b);
                QVERIFY2(apart(first, second),
                    qPrintable(QStringLiteral("rows %1 and %2 overlap").arg(a).arg(b)));
            }
        }
        // The copy holds the same triangles, not a copy of them.
        QCOMPARE(model.meshAt(1).get(), model.meshAt(0).get());
    }

    // A new model goes into free space on the plate; when there is none, the plate is arranged
    // if that makes room (in the same undo step), and otherwise the model waits outside. The
    // user is told either way, as after an Arrange that cannot fit everything.
    void aNewModelFindsRoomOrSaysSo()
    {
        PlateModel model; // 120.96 x 68.04: two 70 x 30 footprints fit one behind the other
        QSignalSpy said(&model, &PlateModel::errorOccurred);
        QCOMPARE(open(model, QStringList { m_wide.at(0), m_wide.at(1) }), QStringList());
        QCOMPARE(model.count(), 2);
        QVERIFY2(model.outsideNames().isEmpty(),
            qPrintable(model.outsideNames().join(QLatin1Char(' '))));
        QVERIFY(apart(model.boundsAt(0), model.boundsAt(1)));
        QCOMPARE(said.size(), 1);
        QCOMPARE(said.first().first().toString(),
            QStringLiteral("The plate was arranged to make room for “wide1.stl”."));
        QCOMPARE(model.undoStack()->count(), 2); // one step per file still
        model.undo();
        QCOMPARE(model.count(), 1);
        QCOMPARE(model.boundsAt(0).centre(), QVector3D(0, 0, 5)); // back in the middle
        model.redo();

        QCOMPARE(open(model, m_wide.at(2)), QStringList());
        QCOMPARE(said.size(), 2);
        QVERIFY2(said.last().first().toString().startsWith(
                     QStringLiteral("“wide2.stl” does not fit on the plate")),
            qPrintable(said.last().first().toString()));
        QCOMPARE(model.outsideNames(), QStringList { QStringLiteral("wide2.stl") });

        model.arrange();
        QCOMPARE(said.size(), 3);
        QCOMPARE(said.last().first().toString(),
            QStringLiteral(
                "Arrange could not fit everything: “wide2.stl” left outside the plate."));
        QCOMPARE(model.outsideNames(), QStringList { QStringLiteral("wide2.stl") });
    }

    // A click picks the object whose surface the ray meets first, not the first box it enters:
    // the near object's box can reach over the far one without covering it.
    void aClickPicksTheNearestSurface_data()
    {
        QTest::addColumn<QVector3D>("origin");
        QTest::addColumn<QVector3D>("direction");
        QTest::addColumn<int>("row");
        // Row 0: two 4 mm cubes 16 mm apart in one file; row 1: a 2 mm cube between them.
        QTest::newRow("from above, between the cubes")
            << QVector3D(0, 0, 50) << QVector3D(0, 0, -1) << 1;
        QTest::newRow("from above, on a cube") << QVector3D(-10, 0, 50) << QVector3D(0, 0, -1) << 0;
        QTest::newRow("from the left, both in line")
            << QVector3D(-50, 0, 1) << QVector3D(1, 0, 0) << 0;
        QTest::newRow("from the right, the far cube behind the small one")
            << QVector3D(50, 0.5f, 1) << QVector3D(-1, 0, 0) << 0;
        QTest::newRow("beside both") << QVector3D(0, 10, 50) << QVector3D(0, 0, -1) << -1;
    }

    void aClickPicksTheNearestSurface()
    {
        QFETCH(QVector3D, origin);
        QFETCH(QVector3D, direction);
        QFETCH(int, row);
        PlateModel model;
        QCOMPARE(open(model, QStringList { m_pair, m_cube }), QStringList());
        model.setTranslation(0, { 0, 0, 2 });
        model.setTranslation(1, { 0, 0, 1 });
        QCOMPARE(model.rowAt(origin, direction), row);
    }

    void selectionFollowsItsObject()
    {
        PlateModel model;
        QCOMPARE(open(model, QStringList { m_small, m_tall }), QStringList());
        const int steps = model.undoStack()->count();
        model.setSelectedRow(1);
        QVERIFY(model.index(1).data(PlateModel::SelectedRole).toBool());
        QCOMPARE(model.undoStack()->count(), steps); // not an undo step

        model.remove(0);
        QCOMPARE(model.selectedRow(), 0);
        model.undo();
        QCOMPARE(model.selectedRow(), 1);
        model.remove(1);
        QCOMPARE(model.selectedRow(), -1);
    }
};

QTEST_GUILESS_MAIN(TestPlateModel)
#include "tst_platemodel.moc"
