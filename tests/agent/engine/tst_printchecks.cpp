// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "plate.h"
#include "slicer.h"
#include "enginetestutil.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <utility>

namespace {

using Outline = std::vector<std::pair<double, double>>; // (distance from the z axis, z)

// The closed mesh swept by an outline turning about the z axis. Counter-clockwise in the (r, z)
// plane the surface faces out, clockwise in; points on the axis close it there.
std::vector<Triangle> revolve(const Outline& outline, int segments = 64)
{
    std::vector<Triangle> triangles;
    const auto at = [](const std::pair<double, double>& p, int j, int segments) {
        const double angle = 2 * M_PI * j / segments;
        return std::array<float, 3> { float(p.first * std::cos(angle)),
            float(p.first * std::sin(angle)), float(p.second) };
    };
    const auto add = [&](const std::array<float, 3>& a, const std::array<float, 3>& b,
                         const std::array<float, 3>& c) {
        if (a == b || b == c || a == c)
            return;
        triangles.push_back({ a[0], a[1], a[2], b[0], b[1], b[2], c[0], c[1], c[2] });
    };
    for (std::size_t i = 0; i < outline.size(); ++i) {
        const auto& p = outline[i];
        const auto& q = outline[(i + 1) % outline.size()];
        for (int j = 0; j < segments; ++j) {
            add(at(p, j, segments), at(p, j + 1, segments), at(q, j + 1, segments));
            add(at(p, j, segments), at(q, j + 1, segments), at(q, j, segments));
        }
    }
    return triangles;
}

// Points of a circle of `radius` about (0, centre) in the (r, z) plane, from the angle `from`
// to `to` (0 straight down, pi straight up).
Outline arc(double radius, double centre, double from, double to, int steps = 32)
{
    Outline points;
    for (int k = 0; k <= steps; ++k) {
        const double a = from + (to - from) * k / steps;
        points.push_back({ radius * std::sin(a), centre - radius * std::cos(a) });
    }
    return points;
}

Outline joined(Outline a, const Outline& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A sphere of radius 6 mm with a wall of 1.5 mm, its lowest point at `lift`; with a round hole
// of radius 1.5 mm straight down through the wall at its lowest point, when `hole`.
std::vector<Triangle> hollowSphere(double lift, bool hole)
{
    const double outer = 6, inner = 4.5, centre = lift + outer;
    if (!hole)
        return revolve(arc(outer, centre, 0, M_PI)) + revolve(arc(inner, centre, M_PI, 0));
    const double r = 1.5;
    return revolve(joined(arc(outer, centre, std::asin(r / outer), M_PI),
        arc(inner, centre, M_PI, std::asin(r / inner))));
}

// A cup of radius 5 mm and wall 1 mm, 8 mm tall with a base 1 mm thick, from z = `lift`; a vent
// of radius `vent` goes through the base. Upside down, its opening faces the plate.
std::vector<Triangle> cup(double lift, double vent, bool upsideDown = false)
{
    const double bottom = lift, top = lift + 8;
    if (upsideDown)
        return revolve({ { 0, top }, { 0, top - 1 }, { 4, top - 1 }, { 4, bottom }, { 5, bottom },
            { 5, top } });
    return revolve({ { vent, bottom }, { 5, bottom }, { 5, top }, { 4, top }, { 4, bottom + 1 },
        { vent, bottom + 1 } });
}

struct Found {
    QJsonObject plate;
    std::string error;
};

Found slice(const std::vector<Triangle>& model, const QString& folder)
{
    Found found;
    const QString stl = folder + QStringLiteral("/model.stl");
    QFile file(stl);
    if (!file.open(QIODevice::WriteOnly) || file.write(binaryStl(model)) < 0) {
        found.error = "cannot write the model";
        return found;
    }
    file.close();
    Printer printer;
    printer.name = "Test printer";
    Plate plate;
    const std::atomic<bool> cancel(false);
    if (!loadPlate("checks", printer, { { stl.toStdString(), testProfile() } }, plate, found.error)
        || !slicePlate(plate, folder.toStdString(), {}, cancel, found.error))
        return found;
    QFile json(folder + QStringLiteral("/plate.json"));
    json.open(QIODevice::ReadOnly);
    found.plate = QJsonDocument::fromJson(json.readAll()).object();
    return found;
}

} // namespace

Q_DECLARE_METATYPE(std::vector<Triangle>)

class TestPrintChecks : public QObject {
    Q_OBJECT

private slots:
    void found_data()
    {
        QTest::addColumn<std::vector<Triangle>>("model");
        QTest::addColumn<int>("traps");
        QTest::addColumn<int>("suctionCups");
        QTest::addColumn<int>("overhangs");
        QTest::addColumn<int>("islands");
        const auto sphere = revolve(arc(6, 6, 0, M_PI));
        QTest::newRow("solid sphere") << sphere << 0 << 0 << 0 << 0;
        QTest::newRow("hollow sphere") << hollowSphere(0, false) << 1 << 0 << 0 << 0;
        // Lifted as on supports, so that the hole opens to the vat; its first layer floats.
        QTest::newRow("hollow sphere, hole at the bottom")
            << hollowSphere(1, true) << 0 << 0 << 0 << 1;
        QTest::newRow("cup on the plate") << cup(0, 0) << 0 << 1 << 0 << 0;
        QTest::newRow("cup above the plate") << cup(2, 0) << 0 << 1 << 0 << 1;
        QTest::newRow("cup above the plate, vent through its base")
            << cup(2, 1) << 0 << 0 << 0 << 1;
        // The plate seals its opening: resin stays inside till the print comes off. Its base is a
        // roof over the hollow, reaching 3 mm past the walls.
        QTest::newRow("upside-down cup on the plate") << cup(0, 0, true) << 1 << 0 << 1 << 0;
        // A bar 11 x 6 mm on a stem 2 x 2 mm reaches out on every side, in one piece.
        QTest::newRow("T") << box(-1, -1, 0, 1, 1, 3) + box(-5.5f, -3, 3, 5.5f, 3, 4) << 0 << 0 << 1
                           << 0;
        // A plate beside the bar, held by nothing: an island, not an overhang.
        QTest::newRow("T beside a floating plate")
            << box(-1, -1, 0, 1, 1, 3) + box(-5.5f, -3, 3, 5.5f, 3, 4) + box(6, -2, 3, 9, 2, 4) << 0
            << 0 << 1 << 1;
        QTest::newRow("T, bar within a millimetre of the stem")
            << box(-1, -1, 0, 1, 1, 3) + box(-1.9f, -1.9f, 3, 1.9f, 1.9f, 4) << 0 << 0 << 0 << 0;
    }

    void found()
    {
        QFETCH(std::vector<Triangle>, model);
        QFETCH(int, traps);
        QFETCH(int, suctionCups);
        QFETCH(int, overhangs);
        QFETCH(int, islands);
        QTemporaryDir dir;
        const Found r = slice(model, dir.path());
        QVERIFY2(r.error.empty(), r.error.c_str());
        QCOMPARE(r.plate.value(QStringLiteral("resinTrapCount")).toInt(), traps);
        QCOMPARE(r.plate.value(QStringLiteral("resinTraps")).toArray().size(), traps);
        QCOMPARE(r.plate.value(QStringLiteral("suctionCupCount")).toInt(), suctionCups);
        QCOMPARE(r.plate.value(QStringLiteral("suctionCups")).toArray().size(), suctionCups);
        QCOMPARE(r.plate.value(QStringLiteral("overhangCount")).toInt(), overhangs);
        QCOMPARE(r.plate.value(QStringLiteral("overhangs")).toArray().size(), overhangs);
        QCOMPARE(r.plate.value(QStringLiteral("islandCount")).toInt(), islands);
    }

    void wherePlaced()
    {
        QTemporaryDir dir;
        Found r = slice(hollowSphere(0, false), dir.path());
        QVERIFY2(r.error.empty(), r.error.c_str());
        const QJsonObject trap
            = r.plate.value(QStringLiteral("resinTraps")).toArray().at(0).toObject();
        // The cavity spans 1.5 to 10.5 mm; its lowest layer is marked at its middle.
        QCOMPARE(trap.value(QStringLiteral("layerFrom")).toInt(), 15);
        QCOMPARE(trap.value(QStringLiteral("layerTo")).toInt(), 104);
        QVERIFY(std::fabs(trap.value(QStringLiteral("x")).toDouble()) < 0.05);
        QVERIFY(std::fabs(trap.value(QStringLiteral("y")).toDouble()) < 0.05);
        QVERIFY(std::fabs(trap.value(QStringLiteral("z")).toDouble() - 1.55) < 1e-9);
        const double ml = 4.0 / 3.0 * M_PI * 4.5 * 4.5 * 4.5 / 1000.0;
        QVERIFY(std::fabs(trap.value(QStringLiteral("volumeMl")).toDouble() / ml - 1) < 0.03);

        QTemporaryDir other;
        r = slice(box(-1, -1, 0, 1, 1, 3) + box(-1, -5.5f, 3, 1, 5.5f, 4), other.path());
        QVERIFY2(r.error.empty(), r.error.c_str());
        // Both arms of the bar reach 3.5 mm past the millimetre bridged from the stem.
        const QJsonArray arms = r.plate.value(QStringLiteral("overhangs")).toArray();
        QCOMPARE(arms.size(), 2);
        QVERIFY(std::fabs(arms.at(0).toObject().value(QStringLiteral("y")).toDouble()
                    + arms.at(1).toObject().value(QStringLiteral("y")).toDouble())
            < 0.1);
        for (int i = 0; i < 2; ++i) {
            const QJsonObject arm = arms.at(i).toObject();
            QCOMPARE(arm.value(QStringLiteral("layer")).toInt(), 30);
            QVERIFY(std::fabs(arm.value(QStringLiteral("x")).toDouble()) < 0.05);
            QVERIFY(std::fabs(std::fabs(arm.value(QStringLiteral("y")).toDouble()) - 3.75) < 0.1);
            QVERIFY(std::fabs(arm.value(QStringLiteral("spanMm")).toDouble() - 3.5) < 0.11);
            QVERIFY(std::fabs(arm.value(QStringLiteral("areaMm2")).toDouble() - 7) < 0.3);
        }
    }
};

QTEST_GUILESS_MAIN(TestPrintChecks)
#include "tst_printchecks.moc"
