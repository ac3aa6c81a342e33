// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "islandlist.h"
#include "../shared/filebytes.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// The layer preview's islands, read from the plate document a slice leaves in its job folder.
class TestIslandList : public QObject {
    Q_OBJECT

private:
private slots:
    void listsTheIslandsOfTheJob()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(writeFile(dir.filePath(QStringLiteral("plate.json")),
            R"({"layerHeight": 0.05, "islandCount": 12000, "islands": [
                {"layer": 40, "x": -3.5, "y": 2, "areaMm2": 0.8},
                {"layer": 40, "x": 6, "y": 2, "areaMm2": 1.5},
                {"layer": 90, "x": 0, "y": -7.25, "areaMm2": 12}]})"));
        IslandList list;
        QSignalSpy loaded(&list, &IslandList::loaded);
        list.setFolder(dir.path());
        QCOMPARE(loaded.size(), 1);
        QCOMPARE(list.summary(), QStringLiteral("12000 islands, first at layer 41, 2.05 mm"));
        const QVariantList islands = list.islands();
        QCOMPARE(islands.size(), 3);
        const QVariantMap last = islands.last().toMap();
        QCOMPARE(last.value(QStringLiteral("layer")).toInt(), 90);
        QCOMPARE(last.value(QStringLiteral("y")).toDouble(), -7.25);
        QCOMPARE(last.value(QStringLiteral("areaMm2")).toDouble(), 12.0);
        QVERIFY(qAbs(last.value(QStringLiteral("height")).toDouble() - 4.55) < 1e-9);
        QVERIFY(!list.plateJson().isEmpty());

        // The next slice into the same folder: read again on request, nothing kept from before.
        QVERIFY(writeFile(dir.filePath(QStringLiteral("plate.json")),
            R"({"layerHeight": 0.05, "islandCount": 0, "islands": []})"));
        list.reload();
        QCOMPARE(list.summary(), QStringLiteral("No islands"));
        QVERIFY(list.islands().isEmpty());
    }

    // A job without a plate document, or one whose records are damaged, shows nothing false:
    // no line, and no mark at a place the slicer did not name.
    void leavesOutWhatIsNoIsland_data()
    {
        QTest::addColumn<QByteArray>("plate");
        QTest::addColumn<int>("islands");
        QTest::newRow("no document") << QByteArray() << 0;
        QTest::newRow("not json") << QByteArray("{\"islands\": [") << 0;
        QTest::newRow("sliced before islands were looked for")
            << QByteArray(R"({"layerHeight": 0.05, "layerCount": 3})") << 0;
        QTest::newRow("no layer") << QByteArray(R"({"islands": [{"x": 1, "y": 2}]})") << 0;
        QTest::newRow("negative layer")
            << QByteArray(R"({"islands": [{"layer": -1, "x": 1, "y": 2}]})") << 0;
        QTest::newRow("no position") << QByteArray(
            R"({"islands": [{"layer": 3, "x": "left"}, {"layer": 4, "x": 1, "y": 1}]})")
                                     << 1;
    }

    void leavesOutWhatIsNoIsland()
    {
        QFETCH(QByteArray, plate);
        QFETCH(int, islands);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        if (!plate.isEmpty())
            QVERIFY(writeFile(dir.filePath(QStringLiteral("plate.json")), plate));
        IslandList list;
        list.setFolder(dir.path());
        QCOMPARE(list.islands().size(), islands);
        QCOMPARE(list.summary(), QString());
    }

    void forgetsTheIslandsWhenTheJobIsGone()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(writeFile(dir.filePath(QStringLiteral("plate.json")),
            R"({"layerHeight": 0.1, "islandCount": 1, "islands": [{"layer": 7, "x": 1, "y": 1}]})"));
        IslandList list;
        list.setFolder(dir.path());
        QCOMPARE(list.islands().size(), 1);
        QCOMPARE(list.summary(), QStringLiteral("1 island at layer 8, 0.80 mm"));
        list.setFolder(QString());
        QVERIFY(list.islands().isEmpty());
        QVERIFY(list.summary().isEmpty());
        QVERIFY(list.plateJson().isEmpty());
    }
};

QTEST_MAIN(TestIslandList)
#include "tst_islandlist.moc"
