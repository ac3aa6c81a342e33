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
        QTest::addColumn<QVector<int>>("leftOut");
        // Too wide for one shelf: the third goes behind.
        QTest::newRow("three in two shelves")
            << QVector<QSizeF> { { 50, 20 }, { 50, 25 }, { 50, 10 } } << QVector<int>();
        QTest::newRow("mixed sizes") << QVector<QSizeF> { { 10, 10 }, { 60, 15 }, { 20, 30 },
            { 5, 5 }, { 35, 12 } } << QVector<int>();
        // A shelf behind would reach past the plate: the third waits outside, the two on it.
        QTest::newRow("two of three fit")
            << QVector<QSizeF> { { 50, 40 }, { 50, 40 }, { 50, 40 } } << QVector<int> { 2 };
        QTest::newRow("more than the plate holds") << QVector<QSizeF>(
            12, QSizeF(40, 40)) << QVector<int> { 2, 3, 4, 5, 6, 7, 8, 9, 10, 11 };
        QTest::newRow("wider than the plate")
            << QVector<QSizeF> { { 130, 10 }, { 10, 10 } } << QVector<int> { 0 };
        // The shallow one fills the first shelf's end instead of opening a shelf of its own.
        QTest::newRow("a gap on the first shelf is used")
            << QVector<QSizeF> { { 80, 40 }, { 100, 25 }, { 30, 20 } } << QVector<int>();
    }

    void packsWithoutOverlap()
    {
        QFETCH(QVector<QSizeF>, footprints);
        QFETCH(QVector<int>, leftOut);
        const qreal width = 120, depth = 70, gap = 5;
        QVector<int> outside;
        const QVector<QPointF> centres = arrangeFootprints(footprints, width, depth, gap, &outside);
        QCOMPARE(centres.size(), footprints.size());
        QCOMPARE(outside, leftOut);
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
        // What fits lies wholly on the plate; what does not, wholly beside it.
        const QRectF plate(-width / 2, -depth / 2, width, depth);
        for (int i = 0; i < rects.size(); ++i) {
            if (leftOut.contains(i))
                QVERIFY2(!plate.intersects(rects.at(i)), qPrintable(QString::number(i)));
            else
                QVERIFY2(plate.contains(rects.at(i)), qPrintable(QString::number(i)));
        }
    }

    void placesBesideTheOthers_data()
    {
        QTest::addColumn<QSizeF>("footprint");
        QTest::addColumn<QVector<QRectF>>("others");
        QTest::addColumn<QPointF>("centre");
        QTest::addColumn<bool>("fits");
        // On a 120 x 70 plate (x from -60 to 60, y from -35 to 35).
        const QSizeF small(20, 10);
        QTest::newRow("empty plate: the centre")
            << small << QVector<QRectF>() << QPointF(0, 0) << true;
        QTest::newRow("one in the middle: behind it, nearest the centre")
            << small << QVector<QRectF> { { -15, -10, 30, 20 } } << QPointF(0, 20) << true;
        // Behind and in front are too shallow for it, the right too: it goes to the left.
        QTest::newRow("only the left is free")
            << small << QVector<QRectF> { { -20, -32, 40, 64 }, { 22, -35, 38, 70 } }
            << QPointF(-35, 0) << true;
        // As deep as the plate: only a spot against both its edges, beside none's middle.
        QTest::newRow("free space in line with no other")
            << QSizeF(20, 70) << QVector<QRectF> { { -15, 0, 30, 20 }, { 30, -35, 30, 10 } }
            << QPointF(-30, 0) << true;
        QTest::newRow("no room: beyond the right edge")
            << small << QVector<QRectF> { { -60, -35, 120, 70 } } << QPointF(75, 0) << false;
        QTest::newRow("larger than the plate: its middle")
            << QSizeF(130, 10) << QVector<QRectF>() << QPointF(0, 0) << false;
    }

    void placesBesideTheOthers()
    {
        QFETCH(QSizeF, footprint);
        QFETCH(QVector<QRectF>, others);
        QFETCH(QPointF, centre);
        QFETCH(bool, fits);
        bool found = !fits;
        QCOMPARE(placeBeside(footprint, others, 120, 70, 5, &found), centre);
        QCOMPARE(found, fits);
    }
};

QTEST_GUILESS_MAIN(TestArrange)
#include "tst_arrange.moc"
