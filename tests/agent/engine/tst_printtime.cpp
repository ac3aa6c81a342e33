// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "printtime.h"

#include <QTest>

// A job worked out by hand: 2 bottom layers of 20 s, 3 transition layers, then 4 s layers.
// Bottom layers lift 5 mm at 60 mm/min (5 s) and come back at 120 mm/min (2.5 s); the others lift
// 6 mm at 120 mm/min (3 s) and come back at 180 mm/min (2 s). Every layer waits 0.5 + 0.25 + 1.5 s.
static Profile handJob()
{
    Profile p;
    p.bottomLayers = 2;
    p.transitionLayers = 3;
    p.bottomExposureS = 20;
    p.exposureS = 4;
    p.bottomLiftMm = 5;
    p.bottomLiftSpeed = 60;
    p.bottomRetractSpeed = 120;
    p.liftMm = 6;
    p.liftSpeed = 120;
    p.retractSpeed = 180;
    p.waitBeforeLiftS = 0.5;
    p.waitAfterLiftS = 0.25;
    p.waitAfterRetractS = 1.5;
    return p;
}

class TestPrintTime : public QObject {
    Q_OBJECT

private slots:
    void transitionStepsLinearly()
    {
        const Profile p = handJob();
        // 20, 20, then 20 - 16 * k / 4 for k = 1..3, then 4.
        const double expected[] = { 20, 20, 16, 12, 8, 4, 4 };
        for (int layer = 0; layer < 7; ++layer)
            QCOMPARE(layerExposureS(p, layer), expected[layer]);
    }

    void handComputedJob_data()
    {
        QTest::addColumn<int>("layers");
        QTest::addColumn<int>("transitionLayers");
        QTest::addColumn<double>("seconds");
        // Exposures 20+20+16+12+8+4+4+4 = 88, bottom moves 2 x 7.5, others 6 x 5, waits 8 x 2.25.
        QTest::newRow("eight layers") << 8 << 3 << 88.0 + 15 + 30 + 18;
        // Without transition layers: 20+20 + 6 x 4 = 64.
        QTest::newRow("no transition") << 8 << 0 << 64.0 + 15 + 30 + 18;
        // Fewer layers than bottom layers: one bottom layer only.
        QTest::newRow("one layer") << 1 << 3 << 20 + 7.5 + 2.25;
        QTest::newRow("no layers") << 0 << 3 << 0.0;
    }

    void handComputedJob()
    {
        QFETCH(int, layers);
        QFETCH(int, transitionLayers);
        QFETCH(double, seconds);
        Profile p = handJob();
        p.transitionLayers = transitionLayers;
        QCOMPARE(printTimeS(p, layers), seconds);
    }
};

QTEST_APPLESS_MAIN(TestPrintTime)
#include "tst_printtime.moc"
