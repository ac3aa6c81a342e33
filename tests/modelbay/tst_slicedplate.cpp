// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "islandlist.h"
#include "slicedplate.h"
#include "../shared/filebytes.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// The plate document a slice leaves in its job folder, read once for the preview, the island
// list and the support planner.
class TestSlicedPlate : public QObject {
    Q_OBJECT

private slots:
    void readsTheJob()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(writeFile(dir.filePath(QStringLiteral("plate.json")),
            R"({"layerHeight": 0.05, "islandCount": 12000, "usedMaterial": 3.5, "printTime": 4000,
                "layers": ["my job00000.png", "my job00001.png"], "peelWarningLayers": [1],
                "islands": [
                {"layer": 40, "x": -3.5, "y": 2, "areaMm2": 0.8},
                {"layer": 40, "x": 6, "y": 2, "areaMm2": 1.5},
                {"layer": 90, "x": 0, "y": -7.25, "areaMm2": 12}]})"));
        const SlicedPlate plate = readSlicedPlate(dir.path());
        QVERIFY(plate.valid);
        QCOMPARE(plate.layerFiles.size(), 2);
        QCOMPARE(plate.peelWarningLayers, QVector<int> { 1 });
        QCOMPARE(plate.printTimeS, 4000.0);
        // The images by the names the document gives, not by a rule of our own.
        QCOMPARE(layerImageUrl(plate, 1),
            QUrl::fromLocalFile(dir.path() + QStringLiteral("/my job00001.png")));
        QCOMPARE(layerImageUrl(plate, 2), QUrl());
        QCOMPARE(islandSummary(plate), QStringLiteral("12000 islands, first at layer 41, 2.05 mm"));
        QCOMPARE(islandQuestion(plate, false),
            QStringLiteral("The job has 12000 islands, the first at layer 41 (2.05 mm). Save it "
                           "anyway?"));

        IslandList list;
        QSignalSpy loaded(&list, &IslandList::loaded);
        list.setPlate(plate);
        QCOMPARE(loaded.size(), 1);
        QCOMPARE(list.summary(), islandSummary(plate));
        const QVariantMap last = list.islands().last().toMap();
        QCOMPARE(last.value(QStringLiteral("y")).toDouble(), -7.25);
        QVERIFY(qAbs(last.value(QStringLiteral("height")).toDouble() - 4.55) < 1e-9);
        QCOMPARE(list.islandsOfLayer(40).size(), 2);
        // The layers that peel hard, beside the islands.
        QCOMPARE(list.peelWarnings().size(), 1);
        QCOMPARE(list.peelWarnings().first().toMap().value(QStringLiteral("layer")).toInt(), 1);

        // The support planner gets the same islands, at the middle of their layer, taken back
        // down by the lift the slice had.
        const std::vector<IslandHint> hints = islandHints(plate, 1.0);
        QCOMPARE(hints.size(), std::size_t(3));
        QCOMPARE(hints[0].x, -3.5);
        QCOMPARE(hints[0].z, 40.5 * 0.05 - 1.0);
        QCOMPARE(hints[2].areaMm2, 12.0);
    }

    // A job without a plate document, or one whose records are damaged, shows nothing false: no
    // line, no mark at a place the slicer did not name, no image outside the job folder.
    void leavesOutWhatIsNoIsland_data()
    {
        QTest::addColumn<QByteArray>("plate");
        QTest::addColumn<int>("islands");
        QTest::addColumn<bool>("valid");
        QTest::newRow("no document") << QByteArray() << 0 << false;
        QTest::newRow("not json") << QByteArray("{\"islands\": [") << 0 << false;
        QTest::newRow("sliced before islands were looked for")
            << QByteArray(R"({"layerHeight": 0.05, "layerCount": 3})") << 0 << true;
        QTest::newRow("no layer") << QByteArray(R"({"islands": [{"x": 1, "y": 2}]})") << 0 << true;
        QTest::newRow("negative layer")
            << QByteArray(R"({"islands": [{"layer": -1, "x": 1, "y": 2}]})") << 0 << true;
        QTest::newRow("no position") << QByteArray(
            R"({"islands": [{"layer": 3, "x": "left"}, {"layer": 4, "x": 1, "y": 1}]})")
                                     << 1 << true;
    }

    void leavesOutWhatIsNoIsland()
    {
        QFETCH(QByteArray, plate);
        QFETCH(int, islands);
        QFETCH(bool, valid);
        const SlicedPlate read = parseSlicedPlate(plate, QStringLiteral("/tmp/job"));
        QCOMPARE(read.valid, valid);
        QCOMPARE(read.islands.size(), islands);
        QCOMPARE(islandSummary(read), QString());
        // Without a layer height there is no height to plan supports at.
        QVERIFY(islandHints(read).empty());
        const SlicedPlate escaping = parseSlicedPlate(
            R"({"layers": ["../../etc/passwd", ".."]})", QStringLiteral("/tmp/job"));
        QCOMPARE(layerImageUrl(escaping, 0), QUrl());
        QCOMPARE(layerImageUrl(escaping, 1), QUrl());
    }
};

QTEST_GUILESS_MAIN(TestSlicedPlate)
#include "tst_slicedplate.moc"
