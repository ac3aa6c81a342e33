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
        QTest::newRow("one") << QVector<QSizeF> { { 30, 20 } } << true;
        QTest::newRow("two side by side") << QVector<QSizeF> { { 40, 30 }, { 40, 30 } } << true;
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

    void packedBlockIsCentred()
    {
        const QVector<QPointF> centres = arrangeFootprints({ { 20, 10 }, { 30, 10 } }, 120, 70, 5);
        // 20 + 5 + 30 wide: from -27.5 to 27.5.
        QCOMPARE(centres.at(0), QPointF(-17.5, 0));
        QCOMPARE(centres.at(1), QPointF(12.5, 0));
    }
};

QTEST_GUILESS_MAIN(TestArrange)
#include "tst_arrange.moc"
