// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "platepreview.h"
#include "enginetestutil.h"

#include <QTest>

#include <set>

namespace {

Mesh meshOf(const std::vector<Triangle>& triangles)
{
    Mesh mesh;
    for (const Triangle& t : triangles)
        mesh.xyz.insert(mesh.xyz.end(), t.begin(), t.end());
    return mesh;
}

bool isResin(const RgbImage& image, int x, int y)
{
    const std::uint8_t* p
        = image.rgb.data() + (std::size_t(y) * std::size_t(image.width) + std::size_t(x)) * 3;
    return p[0] > p[2] + 40; // resin is amber, the background grey
}

} // namespace

class TestPlatePreview : public QObject {
    Q_OBJECT

private slots:
    void topViewShowsThePlateFromAbove()
    {
        // A tall block left and away from the viewer, a flat one right and near.
        const Mesh tall = meshOf(box(-20, 5, 0, -10, 15, 30));
        const Mesh flat = meshOf(box(10, -15, 0, 20, -5, 2));
        const RgbImage image = renderPlatePreview({ &tall, &flat }, PreviewView::Top, 200, 200);
        QCOMPARE(image.rgb.size(), std::size_t(200 * 200 * 3));
        int quarters[2][2] = {};
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 200; ++x)
                quarters[y / 100][x / 100] += isResin(image, x, y);
        QVERIFY(quarters[0][0] > 1000 && quarters[1][1] > 1000);
        QCOMPARE(quarters[0][1] + quarters[1][0], 0);
    }

    void angledViewShadesFacesApart()
    {
        // Seen at an angle a block shows its top and two sides, each lit differently.
        const Mesh block = meshOf(box(-5, -5, 0, 5, 5, 10));
        const RgbImage image = renderPlatePreview({ &block }, PreviewView::Angled, 120, 90);
        std::set<int> shades;
        for (int y = 0; y < 90; ++y)
            for (int x = 0; x < 120; ++x)
                if (isResin(image, x, y))
                    shades.insert(image.rgb[(std::size_t(y) * 120 + std::size_t(x)) * 3] / 16);
        QVERIFY2(shades.size() >= 3, qPrintable(QString::number(shades.size())));
        // Nothing on the plate: the background alone.
        const RgbImage empty = renderPlatePreview({}, PreviewView::Angled, 10, 10);
        QVERIFY(!isResin(empty, 5, 5));
    }
};

QTEST_GUILESS_MAIN(TestPlatePreview)
#include "tst_platepreview.moc"
