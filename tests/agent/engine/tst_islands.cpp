// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "islands.h"

#include <QStringList>
#include <QTest>

#include <vector>

namespace {

// A layer drawn as text, one string per row: '#' full white, '+' grey 128, '-' grey 127,
// anything else black.
std::vector<std::uint8_t> pixels(const QStringList& rows, int& width)
{
    width = rows.isEmpty() ? 0 : int(rows.first().size());
    std::vector<std::uint8_t> bytes;
    for (const QString& row : rows) {
        for (const QChar c : row)
            bytes.push_back(c == QLatin1Char('#') ? 255
                    : c == QLatin1Char('+')       ? 128
                    : c == QLatin1Char('-')       ? 127
                                                  : 0);
    }
    return bytes;
}

PixelRuns runsOf(const QStringList& rows)
{
    int width = 0;
    const std::vector<std::uint8_t> bytes = pixels(rows, width);
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
        QTest::addColumn<QStringList>("below");
        QTest::addColumn<QStringList>("layer");
        QTest::addColumn<QStringList>("islands");

        const QStringList empty { QStringLiteral("......"), QStringLiteral("......"),
            QStringLiteral("......"), QStringLiteral("......") };
        QTest::newRow("floating square")
            << empty
            << QStringList { QStringLiteral("......"), QStringLiteral(".##..."),
                   QStringLiteral(".##..."), QStringLiteral("......") }
            << QStringList { QStringLiteral("2,2,4") };
        QTest::newRow("square on a square")
            << QStringList { QStringLiteral("......"), QStringLiteral(".##..."),
                   QStringLiteral(".##..."), QStringLiteral("......") }
            << QStringList { QStringLiteral("......"), QStringLiteral(".###.."),
                   QStringLiteral(".###.."), QStringLiteral("......") }
            << QStringList {};
        // A span between two pillars rests on them, though most of it hangs in the air.
        QTest::newRow("bridge") << QStringList { QStringLiteral("......"), QStringLiteral("#....#"),
            QStringLiteral("#....#"), QStringLiteral("......") }
                                << QStringList { QStringLiteral("......"), QStringLiteral("######"),
                                       QStringLiteral("######"), QStringLiteral("......") }
                                << QStringList {};
        QTest::newRow("touching the layer below by one pixel")
            << QStringList { QStringLiteral("......"), QStringLiteral("......"),
                   QStringLiteral("....#."), QStringLiteral("......") }
            << QStringList { QStringLiteral("###..."), QStringLiteral("####.."),
                   QStringLiteral(".####."), QStringLiteral("......") }
            << QStringList {};
        // Diagonal neighbours join regions within a layer, but between layers only a shared
        // pixel holds: the corner-to-corner contact below is no support.
        QTest::newRow("only a corner over the layer below")
            << QStringList { QStringLiteral("......"), QStringLiteral("......"),
                   QStringLiteral("...#.."), QStringLiteral("......") }
            << QStringList { QStringLiteral("##...."), QStringLiteral("##...."),
                   QStringLiteral("......"), QStringLiteral("......") }
            << QStringList { QStringLiteral("1,1,4") };
        QTest::newRow("regions joined at a corner")
            << QStringList { QStringLiteral("#....."), QStringLiteral("......"),
                   QStringLiteral("......"), QStringLiteral("......") }
            << QStringList { QStringLiteral("#....."), QStringLiteral(".#...."),
                   QStringLiteral("..#..."), QStringLiteral("...###") }
            << QStringList {};
        // The arms meet only in the bottom row: a region found late joins two earlier ones.
        QTest::newRow("arms joined in the last row")
            << QStringList { QStringLiteral("#....."), QStringLiteral("......"),
                   QStringLiteral("......"), QStringLiteral("......") }
            << QStringList { QStringLiteral("#....#"), QStringLiteral("#..#.#"),
                   QStringLiteral("#..#.#"), QStringLiteral("######") }
            << QStringList {};
        QTest::newRow("one of two regions floats")
            << QStringList { QStringLiteral("##...."), QStringLiteral("##...."),
                   QStringLiteral("......"), QStringLiteral("......") }
            << QStringList { QStringLiteral("##...."), QStringLiteral("##...."),
                   QStringLiteral("......"), QStringLiteral("...###") }
            << QStringList { QStringLiteral("4.5,3.5,3") };
        QTest::newRow("runs side by side in a row")
            << empty
            << QStringList { QStringLiteral("......"), QStringLiteral("##+#.."),
                   QStringLiteral("......"), QStringLiteral("#....#") }
            << QStringList { QStringLiteral("0.5,3.5,1"), QStringLiteral("2,1.5,4"),
                   QStringLiteral("5.5,3.5,1") };
        QTest::newRow("grey below 128 is not cured")
            << QStringList { QStringLiteral("......"), QStringLiteral("..--.."),
                   QStringLiteral("..--.."), QStringLiteral("......") }
            << QStringList { QStringLiteral("......"), QStringLiteral("..++.."),
                   QStringLiteral("..--.."), QStringLiteral("......") }
            << QStringList { QStringLiteral("3,1.5,2") };
    }

    void regions()
    {
        QFETCH(QStringList, below);
        QFETCH(QStringList, layer);
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
