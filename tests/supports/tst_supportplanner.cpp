// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "supportplanner.h"
#include "testmodels.h"

#include <QSet>
#include <QTest>

#include <atomic>
#include <cmath>
#include <limits>

namespace {

// Whether (x, y, z) lies on one of the soup's triangles (raised by `lift`), within `tolerance`.
bool onSurface(const std::vector<float>& soup, double lift, const float* point, double tolerance)
{
    const double x = point[0], y = point[1];
    for (std::size_t i = 0; i + 9 <= soup.size(); i += 9) {
        const float* p = soup.data() + i;
        const double det = (p[3] - p[0]) * (p[7] - p[1]) - (p[6] - p[0]) * (p[4] - p[1]);
        if (std::fabs(det) < 1e-12)
            continue;
        const double u = ((x - p[0]) * (p[7] - p[1]) - (p[6] - p[0]) * (y - p[1])) / det;
        const double v = ((p[3] - p[0]) * (y - p[1]) - (x - p[0]) * (p[4] - p[1])) / det;
        if (u < -1e-6 || v < -1e-6 || u + v > 1 + 1e-6)
            continue;
        const double z = p[2] + u * (p[5] - p[2]) + v * (p[8] - p[2]) + lift;
        if (std::fabs(z - point[2]) <= tolerance)
            return true;
    }
    return false;
}

QSet<QString> plateFeet(const SupportPlan& plan)
{
    QSet<QString> feet;
    for (const SupportFoot& s : plan.supports) {
        if (!s.onModel)
            feet.insert(QStringLiteral("%1 %2").arg(s.foot[0]).arg(s.foot[1]));
    }
    return feet;
}

} // namespace

Q_DECLARE_METATYPE(SupportSettings::Style)

class TestSupportPlanner : public QObject {
    Q_OBJECT

private slots:
    void holdsEveryHangingPart_data()
    {
        QTest::addColumn<int>("model");
        QTest::addColumn<SupportSettings::Style>("style");
        const std::vector<TestModel> models = allTestModels();
        for (int m = 0; m < int(models.size()); ++m) {
            QTest::newRow(qPrintable(models[std::size_t(m)].name + QStringLiteral(", pillars")))
                << m << SupportSettings::Style::Pillars;
            QTest::newRow(qPrintable(models[std::size_t(m)].name + QStringLiteral(", branching")))
                << m << SupportSettings::Style::Branching;
        }
    }

    void holdsEveryHangingPart()
    {
        QFETCH(int, model);
        QFETCH(SupportSettings::Style, style);
        const TestModel m = allTestModels()[std::size_t(model)];
        SupportSettings settings;
        settings.style = style;
        SupportPlan plan;
        QVERIFY(planSupports(m.triangles, {}, settings, plan));

        // The model's lowest point stands at the lift height.
        float low = m.triangles[2];
        for (std::size_t i = 2; i < m.triangles.size(); i += 3)
            low = std::min(low, m.triangles[i]);
        QCOMPARE(float(plan.liftMm + low), float(settings.liftMm));

        // A support touches the part that begins in mid-air, at its very bottom.
        bool held = false;
        for (const SupportFoot& s : plan.supports) {
            held = held
                || (std::fabs(s.contact[2] - plan.liftMm - m.hanging[2]) < 0.01
                    && std::hypot(s.contact[0] - m.hanging[0], s.contact[1] - m.hanging[1]) < 10);
        }
        QVERIFY(held);

        // Every support touches the model and stands on the pad or on the model.
        QVERIFY(!plan.supports.empty());
        for (const SupportFoot& s : plan.supports) {
            QVERIFY(onSurface(m.triangles, plan.liftMm, s.contact, 1e-3));
            if (s.onModel) {
                QVERIFY(onSurface(m.triangles, plan.liftMm, s.foot, 1e-3));
                QVERIFY(s.foot[2] < s.contact[2]);
            } else {
                QCOMPARE(s.foot[2], float(settings.padMm));
            }
        }
        // Nothing of the supports reaches below the plate.
        for (std::size_t i = 2; i < plan.geometry.size(); i += 3)
            QVERIFY(plan.geometry[i] >= 0);
    }

    void partsSideBySideEachHeld()
    {
        const TestModel m = twinBlocks();
        SupportPlan plan;
        QVERIFY(planSupports(m.triangles, {}, SupportSettings(), plan));
        int first = 0, second = 0;
        for (const SupportFoot& s : plan.supports) {
            QCOMPARE(s.contact[2], float(SupportSettings().liftMm));
            first += s.contact[0] <= 1;
            second += s.contact[0] >= 1.5;
        }
        QVERIFY(first > 0);
        QVERIFY(second > 0);
    }

    void branchesShareFeet()
    {
        const TestModel m = mushroom();
        SupportSettings settings;
        SupportPlan pillars, branching;
        QVERIFY(planSupports(m.triangles, {}, settings, pillars));
        settings.style = SupportSettings::Style::Branching;
        QVERIFY(planSupports(m.triangles, {}, settings, branching));
        QCOMPARE(branching.points.size(), pillars.points.size());
        QCOMPARE(plateFeet(pillars).size(), int(pillars.supports.size()));
        QVERIFY2(plateFeet(branching).size() < plateFeet(pillars).size() / 2,
            qPrintable(QStringLiteral("%1 feet on the plate against %2")
                           .arg(plateFeet(branching).size())
                           .arg(plateFeet(pillars).size())));
    }

    void overhangAngle_data()
    {
        QTest::addColumn<double>("ledge");
        QTest::addColumn<double>("limit");
        QTest::addColumn<bool>("sampled");
        QTest::newRow("30° ledge, 45° limit") << 30.0 << 45.0 << false;
        QTest::newRow("60° ledge, 45° limit") << 60.0 << 45.0 << true;
        QTest::newRow("30° ledge, 20° limit") << 30.0 << 20.0 << true;
        QTest::newRow("60° ledge, 70° limit") << 60.0 << 70.0 << false;
    }

    void overhangAngle()
    {
        QFETCH(double, ledge);
        QFETCH(double, limit);
        QFETCH(bool, sampled);
        SupportSettings settings;
        settings.overhangAngleDeg = limit;
        SupportPlan plan;
        const TestModel m = ::ledge(ledge);
        QVERIFY(planSupports(m.triangles, {}, settings, plan));
        // Points under the slab, away from its free end: the wall's bottom and the slab's end
        // face look down more steeply and have points of their own.
        int overhang = 0;
        for (const SupportPoint& p : plan.points)
            overhang
                += p.reason == SupportPoint::Reason::Overhang && p.x > 0 && p.z > m.hanging[2] + 1;
        QCOMPARE(overhang > 0, sampled);
    }

    void islandsGetAPointWhereNoneIs()
    {
        // Under the 30° ledge no rule puts a point in the middle of the slab; its free end
        // has points at its two lowest corners (y = ±4).
        const TestModel m = ledge(30);
        const double a = 30 * std::acos(-1.0) / 180;
        const double x = -0.5 + 6 * std::sin(a), z = 19.5 - 6 * std::cos(a);
        const float end = m.hanging[2] + 0.05f;
        const std::vector<IslandHint> islands {
            { x, 0, z + 0.05, 4.0 }, // under the slab: needs a point
            { m.hanging[0], 4, end, 0.01 }, // on a lowest corner: held
            { m.hanging[0], 3, end, 0.01 }, // a speck a millimetre from it: needs its own
        };
        SupportPlan plan;
        QVERIFY(planSupports(m.triangles, islands, SupportSettings(), plan));
        const auto at = [](double x, double y, double z) {
            return QStringLiteral("%1 %2 %3").arg(x, 0, 'f', 2).arg(y, 0, 'f', 2).arg(z, 0, 'f', 2);
        };
        QStringList added;
        for (const SupportPoint& p : plan.points) {
            if (p.reason == SupportPoint::Reason::Island)
                added << at(p.x, p.y, p.z);
        }
        QCOMPARE(added, QStringList({ at(x, 0, z), at(m.hanging[0], 3, m.hanging[2]) }));
    }

    void progressAndCancel()
    {
        const TestModel m = mushroom();
        std::vector<int> reported;
        SupportPlan plan;
        QVERIFY(planSupports(m.triangles, {}, SupportSettings(), plan,
            [&](int percent) { reported.push_back(percent); }));
        QVERIFY(!reported.empty());
        QCOMPARE(reported.back(), 100);
        QVERIFY(std::is_sorted(reported.begin(), reported.end()));

        std::atomic<bool> cancel { false };
        int after = 0;
        SupportPlan cancelled;
        QVERIFY(!planSupports(
            m.triangles, {}, SupportSettings(), cancelled,
            [&](int) {
                if (cancel)
                    ++after;
                cancel = true;
            },
            &cancel));
        QVERIFY(after <= 1);
    }

    void damagedTrianglesAreLeftOut()
    {
        const TestModel m = liftedSphere();
        std::vector<float> damaged = m.triangles;
        const float nan = std::numeric_limits<float>::quiet_NaN();
        damaged.insert(damaged.end(), { 0, 0, nan, 1, 0, 5, 0, 1, 5 });
        damaged.insert(damaged.end(), { -1e30f, 0, -1, 1, 0, -1, 0, 1e30f, -1 });
        SupportPlan clean, plan;
        QVERIFY(planSupports(m.triangles, {}, SupportSettings(), clean));
        QVERIFY(planSupports(damaged, {}, SupportSettings(), plan));
        QCOMPARE(plan.liftMm, clean.liftMm);
        QCOMPARE(plan.points.size(), clean.points.size());
        QCOMPARE(plan.geometry, clean.geometry);
    }

    void editedPointsBuildAgain()
    {
        const TestModel m = liftedSphere();
        SupportPlan plan;
        QVERIFY(planSupports(m.triangles, {}, SupportSettings(), plan));
        std::vector<SupportPoint> points = plan.points;
        points.push_back({ 4, 0, float(11 - std::sqrt(64 - 16)), SupportPoint::Reason::User });
        SupportPlan rebuilt;
        QVERIFY(buildSupports(m.triangles, points, SupportSettings(), rebuilt));
        QCOMPARE(rebuilt.points.size(), points.size());
        QCOMPARE(rebuilt.supports.size(), plan.supports.size() + 1);
        QCOMPARE(rebuilt.liftMm, plan.liftMm);
    }
};

QTEST_GUILESS_MAIN(TestSupportPlanner)
#include "tst_supportplanner.moc"
