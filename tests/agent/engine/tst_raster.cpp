// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "raster.h"

#include <QTest>

#include <cmath>

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

// A regular polygon of n corners around (cx, cy), counter-clockwise on screen.
std::vector<Segment> polygon(double cx, double cy, double radius, int n)
{
    std::vector<Segment> s;
    for (int i = 0; i < n; ++i) {
        const double a0 = 2 * M_PI * i / n, a1 = 2 * M_PI * (i + 1) / n;
        s.push_back({ cx + radius * std::cos(a0), cy - radius * std::sin(a0),
            cx + radius * std::cos(a1), cy - radius * std::sin(a1) });
    }
    return s;
}

// The area an outline encloses (shoelace), in pixels.
double enclosedArea(const std::vector<Segment>& segments)
{
    double twice = 0;
    for (const Segment& s : segments)
        twice += s.x0 * s.y1 - s.x1 * s.y0;
    return std::fabs(twice) / 2;
}

double greyTotal(const LayerImage& image) // sum of grey / 255
{
    double total = 0;
    for (int r = 0; r < image.height; ++r)
        for (int c = 0; c < image.width; ++c)
            total += image.row(r)[c];
    return total / 255;
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

    void greyIsTheCoveredArea_data()
    {
        QTest::addColumn<int>("levels");
        QTest::addColumn<double>("gamma");
        QTest::addColumn<int>("shape");
        QTest::addColumn<QVector<int>>("expected"); // c, r, grey, ...
        // Shape 0, the rectangle x 0.25..2.45, y 0.25..3: its corner pixel is 0.5625 covered,
        // the top edge 0.75, the right column 0.3375 at the top and 0.45 below.
        QTest::newRow("4 levels") << 4 << 1.0 << 0
                                  << QVector<int> { 0, 0, 143, 1, 0, 191, 2, 0, 86, 0, 1, 191, 1, 1,
                                         255, 2, 1, 115, 3, 1, 0, 1, 3, 0 };
        QTest::newRow("gamma 2") << 4 << 2.0 << 0
                                 << QVector<int> { 1, 0, 143, 0, 0, 81, 1, 1, 255, 3, 3, 0 };
        // Shape 2 starts at y 0.3: 16 sub-rows see 11/16 of the top row, 4 sub-rows 3/4.
        QTest::newRow("16 levels")
            << 16 << 1.0 << 2 << QVector<int> { 0, 0, 131, 1, 0, 175, 1, 1, 255, 3, 1, 0 };
        QTest::newRow("4 levels, top between sub-rows")
            << 4 << 1.0 << 2 << QVector<int> { 0, 0, 143, 1, 0, 191, 1, 1, 255 };
        // Shape 1, below the diagonal y = x: half of each diagonal pixel.
        QTest::newRow("45 degrees")
            << 4 << 1.0 << 1
            << QVector<int> { 0, 0, 128, 1, 1, 128, 1, 0, 0, 0, 1, 255, 0, 3, 255, 3, 2, 0 };
        QTest::newRow("off") << 1 << 1.0 << 0
                             << QVector<int> { 0, 0, 255, 2, 0, 0, 2, 2, 0, 1, 2, 255 };
    }

    void greyIsTheCoveredArea()
    {
        QFETCH(int, levels);
        QFETCH(double, gamma);
        QFETCH(int, shape);
        QFETCH(QVector<int>, expected);
        const std::vector<Segment> outline = shape == 1
            ? std::vector<Segment> { { 0, 0, 0, 4 }, { 0, 4, 4, 4 }, { 4, 4, 0, 0 } }
            : rectangle(0.25, shape == 0 ? 0.25 : 0.3, 2.45, 3);
        LayerImage image;
        image.resize(5, 5);
        Rasterizer rasterizer;
        rasterizer.setAntiAliasing(levels, gamma);
        rasterizer.fill(outline, image);
        for (int i = 0; i < expected.size(); i += 3) {
            const int c = expected[i], r = expected[i + 1];
            QVERIFY2(image.row(r)[c] == expected[i + 2],
                qPrintable(QStringLiteral("pixel %1,%2 is %3").arg(c).arg(r).arg(image.row(r)[c])));
        }
    }

    void greySumIsTheSectionArea_data()
    {
        QTest::addColumn<int>("levels");
        QTest::addColumn<int>("shape");
        for (int levels : { 2, 4, 8, 16 }) {
            QTest::addRow("cylinder, %d levels", levels) << levels << 0;
            QTest::addRow("sphere, %d levels", levels) << levels << 1;
            QTest::addRow("45 degree wedge, %d levels", levels) << levels << 2;
        }
    }

    // The sections of a cylinder, of a sphere layer by layer and of a wedge with a 45 degree
    // side, each placed off the pixel grid (but for the wedge's edge along the rows, which
    // sub-rows see to 1/L only): the greys add up to the enclosed area.
    void greySumIsTheSectionArea()
    {
        QFETCH(int, levels);
        QFETCH(int, shape);
        std::vector<std::vector<Segment>> sections;
        if (shape == 0) {
            sections.push_back(polygon(150.37, 140.81, 97.3, 720));
        } else if (shape == 1) {
            for (double z = -95; z <= 95; z += 5) // radius 100 px, layers to 31 px across
                sections.push_back(polygon(150.37, 140.81, std::sqrt(100.0 * 100 - z * z), 720));
        } else {
            for (double w = 40.3; w < 200; w += 17.9) // the wedge's sections grow along it
                sections.push_back({ { 30.21, 20, 30.21 + w, 20 + w },
                    { 30.21 + w, 20 + w, 30.21 + w, 20 }, { 30.21 + w, 20, 30.21, 20 } });
        }
        LayerImage image;
        image.resize(300, 300);
        Rasterizer rasterizer;
        rasterizer.setAntiAliasing(levels);
        for (const std::vector<Segment>& section : sections) {
            rasterizer.fill(section, image);
            const double area = enclosedArea(section);
            QVERIFY2(std::fabs(greyTotal(image) - area) < 0.001 * area,
                qPrintable(QStringLiteral("%1 against %2").arg(greyTotal(image)).arg(area)));
            QCOMPARE(rasterizer.greySum(), greyTotal(image));
            rasterizer.erase(image);
            QCOMPARE(greyTotal(image), 0.0);
        }
    }

    // The spans the island check reads are the pixels of grey >= 128, and only those.
    void spansAreTheCuredPixels()
    {
        LayerImage image;
        image.resize(80, 80);
        std::vector<std::uint8_t> cover(80 * 80, 0);
        Rasterizer rasterizer;
        rasterizer.setAntiAliasing(4);
        const std::size_t cured = rasterizer.fill(
            polygon(40.2, 39.7, 30.4, 90) + polygon(40.2, 39.7, 10.1, 7), image, cover.data());
        std::vector<std::uint8_t> fromSpans(80 * 80, 0);
        for (const Rasterizer::Span& span : rasterizer.spans())
            for (long c = span.from; c < span.to; ++c)
                fromSpans[std::size_t(span.row * 80 + c)] = 255;
        std::size_t count = 0;
        for (int r = 0; r < 80; ++r) {
            for (int c = 0; c < 80; ++c) {
                const bool isCured = image.row(r)[c] >= 128;
                count += isCured;
                QCOMPARE(fromSpans[std::size_t(r * 80 + c)] == 255, isCured);
                QCOMPARE(cover[std::size_t(r * 80 + c)] == 255, isCured);
            }
        }
        QCOMPARE(cured, count);
        QVERIFY(count > 2000);
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
