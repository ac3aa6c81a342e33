// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "raster.h"

#include <QTest>

#include <set>
#include <utility>

namespace {

// A rectangle's outline, counter-clockwise on screen (y down) unless reversed.
std::vector<Segment> rectangle(double x0, double y0, double x1, double y1, bool reversed = false)
{
    std::vector<Segment> s
        = { { x0, y0, x0, y1 }, { x0, y1, x1, y1 }, { x1, y1, x1, y0 }, { x1, y0, x0, y0 } };
    if (reversed) {
        for (Segment& seg : s)
            seg = { seg.x1, seg.y1, seg.x0, seg.y0 };
    }
    return s;
}

std::vector<Segment> operator+(std::vector<Segment> a, const std::vector<Segment>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::set<std::pair<int, int>> setPixels(const LayerImage& image)
{
    std::set<std::pair<int, int>> pixels;
    for (int r = 0; r < image.height; ++r)
        for (int c = 0; c < image.width; ++c)
            if (image.row(r)[c] == 255)
                pixels.insert({ c, r });
            else if (image.row(r)[c] != 0)
                pixels.insert({ -1, -1 }); // nothing but 0 and 255 may appear
    return pixels;
}

std::set<std::pair<int, int>> block(int c0, int r0, int c1, int r1) // inclusive
{
    std::set<std::pair<int, int>> pixels;
    for (int r = r0; r <= r1; ++r)
        for (int c = c0; c <= c1; ++c)
            pixels.insert({ c, r });
    return pixels;
}

} // namespace

class TestRaster : public QObject {
    Q_OBJECT

private slots:
    void fillsByNonzeroWinding_data()
    {
        QTest::addColumn<int>("shape");
        QTest::addColumn<int>("count");
        // Centres c + 0.5 in [10.2, 20.7): columns 10..20; rows 10..14.
        QTest::newRow("rectangle, pixel centres decide") << 0 << 55;
        QTest::newRow("same rectangle drawn the other way") << 1 << 55;
        QTest::newRow("drawn twice: winding 2 is still inside") << 2 << 55;
        QTest::newRow("overlapping rectangles unite") << 3 << 55 + 40 - 4;
        QTest::newRow("reversed inner outline is a hole") << 4 << 55 - 3;
        QTest::newRow("reversed outline over an outline: winding 0 inside") << 5 << 0;
        QTest::newRow("clipped at the image border") << 6 << 3 * 4;
        QTest::newRow("centre exactly on an edge: left and top in, right and bottom out") << 7 << 4;
    }

    void fillsByNonzeroWinding()
    {
        QFETCH(int, shape);
        QFETCH(int, count);
        std::vector<Segment> segments;
        std::set<std::pair<int, int>> expected;
        switch (shape) {
        case 0:
        case 1:
        case 2:
            segments = rectangle(10.2, 10.2, 20.7, 15.3, shape == 1);
            if (shape == 2)
                segments = segments + rectangle(10.2, 10.2, 20.7, 15.3);
            expected = block(10, 10, 20, 14);
            break;
        case 3: {
            segments = rectangle(10.2, 10.2, 20.7, 15.3) + rectangle(19.1, 12.9, 27.2, 17.6);
            expected = block(10, 10, 20, 14);
            const auto second = block(19, 13, 26, 17);
            expected.insert(second.begin(), second.end());
            break;
        }
        case 4:
            segments = rectangle(10.2, 10.2, 20.7, 15.3) + rectangle(12.2, 11.2, 15.4, 12.4, true);
            expected = block(10, 10, 20, 14);
            for (int c = 12; c <= 14; ++c)
                expected.erase({ c, 11 });
            break;
        case 5:
            segments = rectangle(10.2, 10.2, 20.7, 15.3) + rectangle(10.2, 10.2, 20.7, 15.3, true);
            break;
        case 6:
            segments = rectangle(-5, 36.2, 3.3, 52);
            expected = block(0, 36, 2, 39);
            break;
        case 7:
            segments = rectangle(2.5, 3.5, 4.5, 5.5);
            expected = block(2, 3, 3, 4);
            break;
        }
        LayerImage image;
        image.resize(50, 40);
        std::vector<std::uint8_t> cover(50 * 40, 0);
        Rasterizer rasterizer;
        QCOMPARE(int(rasterizer.fill(segments, image, cover.data())), count);
        QCOMPARE(int(expected.size()), count);
        QCOMPARE(setPixels(image), expected);
        for (int r = 0; r < 40; ++r) {
            QCOMPARE(image.bytes[std::size_t(r) * 51], std::uint8_t(0)); // filter byte untouched
            for (int c = 0; c < 50; ++c)
                QCOMPARE(cover[std::size_t(r * 50 + c)], image.row(r)[c]);
        }
        rasterizer.erase(image);
        QVERIFY(setPixels(image).empty());
    }

    void coverKeepsEveryLayer()
    {
        LayerImage image;
        image.resize(20, 10);
        std::vector<std::uint8_t> cover(200, 0);
        Rasterizer rasterizer;
        rasterizer.fill(rectangle(1, 1, 3, 3), image, cover.data());
        rasterizer.erase(image);
        QCOMPARE(int(rasterizer.fill(rectangle(10, 5, 12, 7), image, cover.data())), 4);
        QCOMPARE(setPixels(image), block(10, 5, 11, 6));
        int covered = 0;
        for (std::uint8_t v : cover)
            covered += v == 255;
        QCOMPARE(covered, 8);
    }
};

QTEST_GUILESS_MAIN(TestRaster)
#include "tst_raster.moc"
