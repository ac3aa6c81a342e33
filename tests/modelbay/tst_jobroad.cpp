// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "facetlab.h"
#include "fakeagent.h"
#include "filebytes.h"
#include "islandlist.h"
#include "jobroad.h"
#include "netlib.h"
#include "platemodel.h"
#include "platescene.h"
#include "printerchoice.h"
#include "stlbuilder.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// The road of one job against a fake agent on the agent's own port: the plate is written and
// sliced, the job read, dropped when stale, and sent with the question about the printer's file.
class TestJobRoad : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    FakeAgent m_agent;
    PlateModel m_plate;
    PlateScene m_scene;
    Netlib m_netlib;
    Facetlab m_facetlab;
    PrinterChoice m_printers;
    QString m_jobFolder;

    void makeRoad(JobRoad& road)
    {
        road.setPlate(&m_plate);
        road.setProperty("plateScene", QVariant::fromValue(&m_scene));
        road.setNetlib(&m_netlib);
        road.setFacetlab(&m_facetlab);
        road.setPrinters(&m_printers);
    }

    void sliceToTheEnd(JobRoad& road)
    {
        road.slice();
        QTRY_COMPARE_WITH_TIMEOUT(road.phase(), JobRoad::Sliced, 15000);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(m_agent.listen());
        m_agent.setAnswer("/printer-details", 200,
            R"({"printers_array": [{"name": "Mono 4K", "ip": "10.0.0.7", "port": "80"}]})");
        m_agent.setAnswer("/printer-profiles/10.0.0.7:80", 200,
            R"([{"Title": "0.05 mm", "ProfileID": 3, "Depth": 50, "PixelsX": 3840,
                 "PixelsY": 2400, "PixelSizeX": 35, "MaxHeight": 130}])");
        m_printers.discover();
        QTRY_VERIFY(m_printers.hasProfile());
        m_plate.setPlateSize(
            m_printers.plateWidth(), m_printers.plateDepth(), m_printers.plateHeight());
        m_scene.setModel(&m_plate);
        const QString model = m_dir.filePath(QStringLiteral("block.stl"));
        QVERIFY(StlBuilder().box({ 0, 0, 0 }, { 10, 10, 5 }).write(model));
        QSignalSpy opened(&m_plate, &PlateModel::filesOpened);
        m_plate.openFiles(QStringList { model });
        QVERIFY(opened.wait(10000));

        // The job as the agent leaves it: the images by the names plate.json lists.
        m_jobFolder = m_dir.filePath(QStringLiteral("job"));
        QVERIFY(QDir().mkpath(m_jobFolder));
        QVERIFY(writeFile(m_jobFolder + QStringLiteral("/plate.json"),
            R"({"layerHeight": 0.05, "layers": ["a.png", "b.png", "c.png"], "islandCount": 1,
                "islands": [{"layer": 1, "x": 2, "y": 3, "areaMm2": 4}], "printTime": 600})"));
        m_agent.setAnswer(
            "/slice/preview", 200, QByteArray(R"({"path": ")") + m_jobFolder.toUtf8() + "\"}");
        m_agent.setAnswer(
            "/slice", 200, R"({"percentage": "100", "layerID": "3", "layerCount": "3"})");
    }

    void slicesAndDropsTheJobWhenThePlateChanges()
    {
        JobRoad road;
        makeRoad(road);
        QCOMPARE(road.jobName(), QStringLiteral("block"));
        sliceToTheEnd(road);
        QCOMPARE(road.layerCount(), 3);
        QCOMPARE(road.islands()->islands().size(), 1);
        QCOMPARE(road.layerImage(2).toLocalFile(), m_jobFolder + QStringLiteral("/c.png"));
        const QUrl first = road.layerImage(0);
        const AgentRequest request = m_agent.requestsTo("/slice/preview").last();
        QCOMPARE(formField(request.body, QStringLiteral("name")), QStringLiteral("block"));
        QCOMPARE(formField(request.body, QStringLiteral("profile")), QStringLiteral("3"));

        m_plate.moveBy(0, 1, 0, false);
        QCOMPARE(road.phase(), JobRoad::Idle);
        QCOMPARE(road.message(), QStringLiteral("The plate changed: slice it again."));
        QCOMPARE(road.layerImage(2), QUrl());
        m_plate.undo();

        // The next job writes the same files again: its images are told apart from those the
        // view may still hold, so an old layer never stands for a new one.
        sliceToTheEnd(road);
        QCOMPARE(road.layerImage(0).toLocalFile(), m_jobFolder + QStringLiteral("/a.png"));
        QVERIFY(road.layerImage(0) != first);
    }

    // A refused slice says why; the changed plate is a new try, not a stale job.
    void refusalIsNoJob()
    {
        JobRoad road;
        makeRoad(road);
        m_plate.moveBy(0, 900, 0, false);
        road.slice();
        QCOMPARE(road.phase(), JobRoad::Failed);
        QVERIFY2(road.message().contains(QStringLiteral("block")), qPrintable(road.message()));
        m_plate.undo();
        QCOMPARE(road.phase(), JobRoad::Idle);
        QCOMPARE(road.message(), QString());
    }

    // "Export STL" writes the plate whole, appends ".stl", and replaces a file only when told.
    void exportsThePlate()
    {
        JobRoad road;
        makeRoad(road);
        const QString path = m_dir.filePath(QStringLiteral("plate copy.stl"));
        road.exportPlate(QUrl::fromLocalFile(m_dir.filePath(QStringLiteral("plate copy"))));
        QCOMPARE(road.message(), QStringLiteral("Exported the plate to %1.").arg(path));
        const QByteArray written = readFile(path);
        QCOMPARE(written.size(), 84 + 12 * 50); // one box of 12 triangles
        QVERIFY(writeFile(path, "kept"));
        road.exportPlate(QUrl::fromLocalFile(path));
        QCOMPARE(readFile(path), QByteArray("kept"));
        road.exportPlate(QUrl::fromLocalFile(path), true);
        QCOMPARE(readFile(path), written);
        // Nothing is left under the fresh name it was written to first.
        QCOMPARE(
            QDir(m_dir.path())
                .entryList(QStringList { QStringLiteral(".*.stl") }, QDir::Files | QDir::Hidden),
            QStringList());
    }

    // A file that did not open is named in the bar until a later open goes well.
    void openErrorGoesWithTheNextGoodOpen()
    {
        JobRoad road;
        makeRoad(road);
        QSignalSpy opened(&m_plate, &PlateModel::filesOpened);
        m_plate.openFiles(QStringList { m_dir.filePath(QStringLiteral("missing.stl")) });
        QVERIFY(opened.wait(10000));
        QVERIFY2(
            road.message().contains(QStringLiteral("missing.stl")), qPrintable(road.message()));
        QVERIFY(road.trouble());
        m_plate.openFiles(QStringList { m_dir.filePath(QStringLiteral("block.stl")) });
        QVERIFY(opened.wait(10000));
        QCOMPARE(road.message(), QString());
        m_plate.undo();
        QCOMPARE(m_plate.count(), 1);
    }

    void failureSentenceComesFromTheAgent()
    {
        JobRoad road;
        makeRoad(road);
        m_agent.setAnswer("/slice/preview", 500, R"({"error": "busy"})");
        m_agent.setAnswer("/slice", 200,
            R"({"percentage": "0", "error": "The model has no closed surface, so it cannot be cut into layers."})");
        road.slice();
        QTRY_COMPARE(road.message(),
            QStringLiteral("Slicing failed: The model has no closed surface, so it cannot be cut "
                           "into layers."));
        QCOMPARE(road.phase(), JobRoad::Failed);
        QVERIFY(road.trouble());
        m_agent.setAnswer(
            "/slice/preview", 200, QByteArray(R"({"path": ")") + m_jobFolder.toUtf8() + "\"}");
        m_agent.setAnswer(
            "/slice", 200, R"({"percentage": "100", "layerID": "3", "layerCount": "3"})");
    }

    // The printer has the file: the user is asked, and only a yes replaces it, under the name
    // the user gave the job.
    void sendAsksBeforeReplacing()
    {
        JobRoad road;
        makeRoad(road);
        sliceToTheEnd(road);
        road.setJobName(QStringLiteral("second try"));
        m_agent.setAnswers("/slice/send",
            { { 409, R"({"error": "The printer host has it.", "exists": true})" },
                { 200, R"({"file": "second try.sl1"})" } });
        QSignalSpy asked(&road, &JobRoad::askReplaceOnPrinter);
        road.send();
        QVERIFY(asked.wait(10000));
        QCOMPARE(road.phase(), JobRoad::Sliced);
        QVERIFY(road.replaceOnPrinterAsked());
        road.send(true);
        QTRY_COMPARE(road.phase(), JobRoad::Sliced);
        QTRY_VERIFY(road.message().startsWith(QStringLiteral("Sent the job")));
        const QList<AgentRequest> sends = m_agent.requestsTo("/slice/send");
        QCOMPARE(sends.size(), 2);
        QCOMPARE(formField(sends.at(0).body, QStringLiteral("overwrite")), QString());
        QCOMPARE(formField(sends.at(1).body, QStringLiteral("overwrite")), QStringLiteral("1"));
        QCOMPARE(formField(sends.at(1).body, QStringLiteral("name")), QStringLiteral("second try"));
        QCOMPARE(formField(sends.at(1).body, QStringLiteral("path")), m_jobFolder);
        QCOMPARE(road.suggestedFileName(), QStringLiteral("second try.sl1"));
    }

    // A job with islands is saved or sent only once the user has said so.
    void deliveryWaitsForTheIslandAnswer()
    {
        JobRoad road;
        makeRoad(road);
        sliceToTheEnd(road);
        QCOMPARE(road.firstIslandLayer(), 1);
        m_agent.setAnswer("/slice/send", 200, R"({"file": "block.sl1"})");
        m_agent.clearRequests();
        QSignalSpy asked(&road, &JobRoad::askIslands);
        QSignalSpy saveWanted(&road, &JobRoad::saveFileWanted);
        road.deliver(JobRoad::SaveDelivery);
        QCOMPARE(asked.count(), 1);
        QCOMPARE(road.pendingIslandQuestion(),
            QStringLiteral("The job has 1 island, at layer 2 (0.10 mm). Save it anyway?"));
        QCOMPARE(saveWanted.count(), 0);
        road.answerIslands(false);
        QCOMPARE(saveWanted.count(), 0);
        QCOMPARE(road.message(), QStringLiteral("The job was not saved."));
        road.deliver(JobRoad::SaveDelivery);
        road.answerIslands(true);
        QCOMPARE(saveWanted.count(), 1);

        road.deliver(JobRoad::SendDelivery);
        QVERIFY(road.pendingIslandQuestion().endsWith(QStringLiteral("Send it anyway?")));
        QCOMPARE(road.phase(), JobRoad::Sliced);
        QVERIFY(m_agent.requestsTo("/slice/send").isEmpty());
        road.answerIslands(true);
        QCOMPARE(road.phase(), JobRoad::Sending);
        QTRY_VERIFY(road.message().startsWith(QStringLiteral("Sent the job")));
        QCOMPARE(m_agent.requestsTo("/slice/send").size(), 1);
    }

    // A changed job setting drops the job like a plate change, and is sliced only once saved
    // as a profile (or undone).
    void changedSettingsMakeTheJobStale()
    {
        JobRoad road;
        makeRoad(road);
        JobSettings settings;
        settings.setPrinters(&m_printers);
        road.setJobSettings(&settings);
        sliceToTheEnd(road);
        settings.setValue(QStringLiteral("Exposure"), 3.5);
        QCOMPARE(road.phase(), JobRoad::Idle);
        QCOMPARE(road.message(),
            QStringLiteral("The job settings changed: save them as a profile and slice again."));
        road.slice();
        QCOMPARE(road.phase(), JobRoad::Failed);
        QVERIFY2(road.message().contains(QStringLiteral("save them as a profile")),
            qPrintable(road.message()));
        settings.revert();
        QCOMPARE(road.phase(), JobRoad::Idle);
        sliceToTheEnd(road);
    }
};

QTEST_MAIN(TestJobRoad)
#include "tst_jobroad.moc"
