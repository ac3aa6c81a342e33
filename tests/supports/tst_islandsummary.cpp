// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "islandsummary.h"

#include <QTest>

class TestIslandSummary : public QObject {
    Q_OBJECT

private slots:
    void summary_data()
    {
        QTest::addColumn<QByteArray>("plate");
        QTest::addColumn<QString>("summary");
        QTest::newRow("three") << QByteArray(R"({"layerHeight": 0.05, "islandCount": 3, "islands": [
            {"layer": 40, "x": 1, "y": 2, "areaMm2": 0.5}, {"layer": 40, "x": 5, "y": 2, "areaMm2": 1},
            {"layer": 90, "x": 1, "y": 2, "areaMm2": 3}]})")
                               << QStringLiteral("3 islands, first at layer 41, 2.05 mm");
        QTest::newRow("one") << QByteArray(R"({"layerHeight": 0.05, "islandCount": 1,
            "islands": [{"layer": 6, "x": 0, "y": 0, "areaMm2": 2}]})")
                             << QStringLiteral("1 island at layer 7, 0.35 mm");
        // The list stops at the lowest ones; the count is all of them.
        QTest::newRow("more than listed")
            << QByteArray(R"({"layerHeight": 0.1, "islandCount": 12000,
            "islands": [{"layer": 2, "x": 0, "y": 0, "areaMm2": 2}]})")
            << QStringLiteral("12000 islands, first at layer 3, 0.30 mm");
        QTest::newRow("none") << QByteArray(
            R"({"layerHeight": 0.05, "islandCount": 0, "islands": []})")
                              << QStringLiteral("No islands");
        QTest::newRow("sliced before islands were looked for")
            << QByteArray(R"({"layerHeight": 0.05, "layerCount": 3})") << QString();
        QTest::newRow("no plate document") << QByteArray("not json") << QString();
    }

    void summary()
    {
        QFETCH(QByteArray, plate);
        QFETCH(QString, summary);
        QCOMPARE(islandSummary(plate), summary);
    }
};

QTEST_GUILESS_MAIN(TestIslandSummary)
#include "tst_islandsummary.moc"
