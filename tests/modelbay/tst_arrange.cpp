// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "arrange.h"

#include <QRectF>
#include <QTest>

// Packing footprints on the plate: nothing may overlap or touch closer than the gap, and what
// fits on the plate must land on it.
class TestArrange : public QObject {
    Q_OBJECT

private slots:
    void packsWithoutOverlap_data()
    {
        QTest::addColumn<QVector<QSizeF>>("footprints");
        QTest::addColumn<bool>("fits");
        // Too wide for one shelf: the third goes behind.
        QTest::newRow("three in two shelves")
            << QVector<QSizeF> { { 50, 20 }, { 50, 25 }, { 50, 10 } } << true;
        QTest::newRow("mixed sizes")
            << QVector<QSizeF> { { 10, 10 }, { 60, 15 }, { 20, 30 }, { 5, 5 }, { 35, 12 } } << true;
        QTest::newRow("more than the plate holds") << QVector<QSizeF>(12, QSizeF(40, 40)) << false;
    }

    void packsWithoutOverlap()
    {
        QFETCH(QVector<QSizeF>, footprints);
        QFETCH(bool, fits);
        const qreal width = 120, depth = 70, gap = 5;
        const QVector<QPointF> centres = arrangeFootprints(footprints, width, depth, gap);
        QCOMPARE(centres.size(), footprints.size());
        QVector<QRectF> rects;
        for (int i = 0; i < footprints.size(); ++i) {
            QRectF rect(QPointF(), footprints.at(i));
            rect.moveCenter(centres.at(i));
            rects.append(rect);
        }
        for (int a = 0; a < rects.size(); ++a) {
            for (int b = a + 1; b < rects.size(); ++b) {
                // Grown by just under the gap, two footprints still must not meet.
                const QRectF grown
                    = rects.at(a).adjusted(-gap + 0.01, -gap + 0.01, gap - 0.01, gap - 0.01);
                QVERIFY2(!grown.intersects(rects.at(b)),
                    qPrintable(
                        QStringLiteral("footprints %1 and %2 closer than the gap").arg(a).arg(b)));
            }
        }
        const QRectF plate(-width / 2, -depth / 2, width, depth);
        bool allOnPlate = true;
        for (const QRectF& rect : qAsConst(rects))
            allOnPlate = allOnPlate && plate.contains(rect);
        QCOMPARE(allOnPlate, fits);
    }

    void placesBesideTheOthers_data()
    {
        QTest::addColumn<QVector<QRectF>>("others");
        QTest::addColumn<QPointF>("centre");
        // A 20 x 10 footprint on a 120 x 70 plate (x from -60 to 60, y from -35 to 35).
        QTest::newRow("empty plate: the centre") << QVector<QRectF>() << QPointF(0, 0);
        QTest::newRow("one in the middle: behind it, nearest the centre")
            << QVector<QRectF> { { -15, -10, 30, 20 } } << QPointF(0, 20);
        // Behind and in front are too shallow for it, the right too: it goes to the left.
        QTest::newRow("only the left is free")
            << QVector<QRectF> { { -20, -32, 40, 64 }, { 22, -35, 38, 70 } } << QPointF(-35, 0);
        QTest::newRow("no room: beyond the right edge")
            << QVector<QRectF> { { -60, -35, 120, 70 } } << QPointF(75, 0);
    }

    void placesBesideTheOthers()
    {
        QFETCH(QVector<QRectF>, others);
        QFETCH(QPointF, centre);
        QCOMPARE(placeBeside(QSizeF(20, 10), others, 120, 70, 5), centre);
    }
};

QTEST_GUILESS_MAIN(TestArrange)
#include "tst_arrange.moc"
