// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "islandcheck.h"
#include "islands.h"

#include <QStringList>
#include <QTest>

#include <vector>

namespace {

// A layer drawn as text, rows split by '/': '#' full white, '+' grey 128, '-' grey 127, anything
// else black.
PixelRuns runsOf(const QString& drawing)
{
    const QStringList rows = drawing.split(QLatin1Char('/'));
    const int width = int(rows.first().size());
    std::vector<std::uint8_t> bytes;
    for (const QString& row : rows) {
        for (const QChar c : row)
            bytes.push_back(c == QLatin1Char('#') ? 255
                    : c == QLatin1Char('+')       ? 128
                    : c == QLatin1Char('-')       ? 127
                                                  : 0);
    }
    PixelRuns runs;
    curedRuns(bytes.data(), width, int(rows.size()), width, runs);
    return runs;
}

// "x,y,pixels" of each island, in the order found.
QStringList describe(const std::vector<IslandRegion>& islands)
{
    QStringList list;
    for (const IslandRegion& island : islands)
        list << QStringLiteral("%1,%2,%3").arg(island.x).arg(island.y).arg(island.pixels);
    list.sort();
    return list;
}

} // namespace

class TestIslands : public QObject {
    Q_OBJECT

private slots:
    void regions_data()
    {
        QTest::addColumn<QString>("below");
        QTest::addColumn<QString>("layer");
        QTest::addColumn<QStringList>("islands");
        const QString empty = QStringLiteral("....../....../....../......");
        const auto row = [](const char* name, const QString& below, const char* layer,
                             const QStringList& islands) {
            QTest::newRow(name) << below << QString::fromLatin1(layer) << islands;
        };
        row("floating square", empty, "....../.##.../.##.../......", { QStringLiteral("2,2,4") });
        row("square on a square", QStringLiteral("....../.##.../.##.../......"),
            "....../.###../.###../......", {});
        // A span between two pillars rests on them, though most of it hangs in the air.
        row("bridge", QStringLiteral("....../#....#/#....#/......"), "....../######/######/......",
            {});
        row("touching the layer below by one pixel", QStringLiteral("....../....../....#./......"),
            "###.../####../.####./......", {});
        // Diagonal neighbours join regions within a layer, but between layers only a shared
        // pixel holds: the corner-to-corner contact below is no support.
        row("only a corner over the layer below", QStringLiteral("....../....../...#../......"),
            "##..../##..../....../......", { QStringLiteral("1,1,4") });
        row("regions joined at a corner", QStringLiteral("#...../....../....../......"),
            "#...../.#..../..#.../...###", {});
        // The arms meet only in the bottom row: a region found late joins two earlier ones.
        row("arms joined in the last row", QStringLiteral("#...../....../....../......"),
            "#....#/#..#.#/#..#.#/######", {});
        row("one of two regions floats", QStringLiteral("##..../##..../....../......"),
            "##..../##..../....../...###", { QStringLiteral("4.5,3.5,3") });
        row("runs side by side in a row", empty, "....../##+#../....../#....#",
            { QStringLiteral("0.5,3.5,1"), QStringLiteral("2,1.5,4"),
                QStringLiteral("5.5,3.5,1") });
        row("grey below 128 is not cured", QStringLiteral("....../..--../..--../......"),
            "....../..++../..--../......", { QStringLiteral("3,1.5,2") });
    }

    void regions()
    {
        QFETCH(QString, below);
        QFETCH(QString, layer);
        QFETCH(QStringList, islands);
        IslandFinder finder;
        std::vector<IslandRegion> found;
        finder.find(runsOf(layer), runsOf(below), found);
        QCOMPARE(describe(found), islands);
        // The same finder again, its scratch space in use: the same answer.
        found.clear();
        finder.find(runsOf(layer), runsOf(below), found);
        QCOMPARE(describe(found), islands);
    }

    void keepsOnlyTheLowestIslands()
    {
        // Layers 1 to 5 hold three floating pixels each (layer 0 rests on the plate), sliced by
        // three workers of two layers each, the top one finishing first. A model may have
        // millions of islands: only the lowest are kept, every one counted.
        IslandCheck check(5);
        std::vector<IslandCheck::Worker> workers(3);
        for (int band = 2; band >= 0; --band) {
            for (int layer = 2 * band; layer < 2 * band + 2; ++layer) {
                // Columns alternate, so no pixel has a cured one below it.
                const int c = layer % 2 == 0 ? 0 : 2;
                IslandCheck::Worker& worker = workers[std::size_t(band)];
                worker.runs = { { 0, c, c + 1 }, { 2, c, c + 1 }, { 4, c, c + 1 } };
                check.layerDone(worker, layer, 6, layer == 2 * band);
            }
        }
        QStringList kept;
        for (const LayerIsland& island : check.islands())
            kept << QStringLiteral("%1:%2,%3")
                        .arg(island.layer)
                        .arg(island.region.x)
                        .arg(island.region.y);
        QCOMPARE(kept,
            QStringList({ QStringLiteral("1:2.5,0.5"), QStringLiteral("1:2.5,2.5"),
                QStringLiteral("1:2.5,4.5"), QStringLiteral("2:0.5,0.5"),
                QStringLiteral("2:0.5,2.5") }));
        QCOMPARE(check.count(), 15LL);
    }

    void peelWarnings_data()
    {
        QTest::addColumn<QVector<int>>("cured");
        QTest::addColumn<QVector<int>>("warnings");
        // Pixels of 0.1 x 0.1 mm, warning above 1 mm² of growth: 100 pixels.
        QTest::newRow("steady growth") << QVector<int> { 0, 90, 180, 270 } << QVector<int> {};
        QTest::newRow("a wide layer at once")
            << QVector<int> { 50, 50, 151, 151, 40, 141 } << QVector<int> { 2, 5 };
        QTest::newRow("exactly the threshold") << QVector<int> { 10, 110 } << QVector<int> {};
    }

    void peelWarnings()
    {
        QFETCH(QVector<int>, cured);
        QFETCH(QVector<int>, warnings);
        const std::vector<long long> counts(cured.begin(), cured.end());
        const std::vector<int> found = peelWarningLayers(counts, 0.01, 1.0);
        QCOMPARE(QVector<int>(found.begin(), found.end()), warnings);
    }
};

QTEST_GUILESS_MAIN(TestIslands)
#include "tst_islands.moc"
