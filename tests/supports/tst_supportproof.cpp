// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The whole loop against the real agent: models that fail without supports report islands when
// sliced; with automatic supports, built from those islands, they report none.
#include "agentprocess.h"
#include "slicedplate.h"
#include "stlbuilder.h"
#include "supportplanner.h"
#include "testmodels.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// The built-in 2K panel (47.25 µm pixels) with its 0.1 mm profile.
const QString printer = QStringLiteral("local:lcd2k");
const QString profile = QStringLiteral("103");

} // namespace

class TestSupportProof : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<AgentProcess> m_agent;
    int m_jobs = 0;

    // Slices the STL and answers plate.json's bytes (empty when the job failed).
    QByteArray slice(const StlBuilder& model)
    {
        const QString path = m_dir.filePath(QStringLiteral("model%1.stl").arg(++m_jobs));
        if (!model.write(path))
            return {};
        const HttpAnswer started = m_agent->postForm(QStringLiteral("/slice/preview"),
            { { QStringLiteral("stl"), path }, { QStringLiteral("printer"), printer },
                { QStringLiteral("profile"), profile },
                { QStringLiteral("name"), QStringLiteral("proof") } });
        const QString folder = started.object().value(QStringLiteral("path")).toString();
        if (started.status != 200 || m_agent->waitForJob(folder).status != 200)
            return {};
        QFile plate(folder + QStringLiteral("/plate.json"));
        return plate.open(QIODevice::ReadOnly) ? plate.readAll() : QByteArray();
    }

    static int islandCount(const QByteArray& plate)
    {
        return QJsonDocument::fromJson(plate)
            .object()
            .value(QStringLiteral("islandCount"))
            .toInt(-1);
    }

    // The first few islands, for the failure message.
    static QByteArray firstIslands(const QByteArray& plate)
    {
        const QJsonArray islands
            = QJsonDocument::fromJson(plate).object().value(QStringLiteral("islands")).toArray();
        QJsonArray first;
        for (int i = 0; i < islands.size() && i < 5; ++i)
            first.append(islands.at(i));
        return QJsonDocument(first).toJson(QJsonDocument::Compact);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_agent = std::make_unique<AgentProcess>(m_dir.filePath(QStringLiteral("agent")));
        QVERIFY(m_agent->start());
    }

    void supportsHoldEveryIsland_data()
    {
        QTest::addColumn<int>("model");
        const std::vector<TestModel> models = allTestModels();
        for (int m = 0; m < int(models.size()); ++m)
            QTest::newRow(qPrintable(models[std::size_t(m)].name)) << m;
    }

    void supportsHoldEveryIsland()
    {
        QFETCH(int, model);
        const TestModel m = allTestModels()[std::size_t(model)];
        const QByteArray bare = slice(StlBuilder().triangles(m.triangles));
        QVERIFY(!bare.isEmpty());
        const int before = islandCount(bare);
        QVERIFY2(before > 0, firstIslands(bare).constData());

        for (const SupportSettings::Style style :
            { SupportSettings::Style::Pillars, SupportSettings::Style::Branching }) {
            SupportSettings settings;
            settings.style = style;
            SupportPlan plan;
            QVERIFY(planSupports(m.triangles, islandHints(parseSlicedPlate(bare)), settings, plan));
            const QByteArray held = slice(
                StlBuilder().triangles(m.triangles, float(plan.liftMm)).triangles(plan.geometry));
            QVERIFY(!held.isEmpty());
            const QString name = style == SupportSettings::Style::Pillars
                ? QStringLiteral("pillars")
                : QStringLiteral("branching");
            qInfo("%s: without supports \"%s\"; with %d %s \"%s\"", qPrintable(m.name),
                qPrintable(islandSummary(parseSlicedPlate(bare))), int(plan.supports.size()),
                qPrintable(name), qPrintable(islandSummary(parseSlicedPlate(held))));
            QVERIFY2(islandCount(held) == 0, firstIslands(held).constData());
        }
    }
};

QTEST_GUILESS_MAIN(TestSupportProof)
#include "tst_supportproof.moc"
