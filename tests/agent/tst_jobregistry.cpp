// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobregistry.h"

#include "stlbuilder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A small display, or a large one whose layers take a while to slice.
Printer testPrinter(bool large)
{
    Profile profile;
    profile.title = "Coarse";
    profile.profileId = 1;
    profile.depthUm = 100;
    profile.pixelsX = large ? 5000 : 40;
    profile.pixelsY = large ? 4000 : 30;
    profile.pixelUmX = large ? 20 : 100;
    profile.pixelUmY = profile.pixelUmX;
    profile.exposureS = 5;
    profile.bottomExposureS = 20;
    profile.bottomLayers = 2;
    profile.maxHeightMm = 100;
    Printer printer;
    printer.name = "Test";
    printer.ip = "local";
    printer.port = "test";
    printer.model = "TEST";
    printer.profiles = { profile };
    return printer;
}

} // namespace

class TestJobRegistry : public QObject {
    Q_OBJECT

private slots:
    void init();
    void nothingBeforeTheFirstJob();
    void loadingHidesThePreviousJob();
    void newestRequestWins();
    void findsJobsByAnySpelling();
    void failedJobFoldersGoWithTheNextJob();
    void removesOldFoldersOnly();

private:
    // A plate with one box of the given height (in mm) on the test printer.
    Plate plate(const QString& name, float height, bool large = false);
    // Waits until the job in folder is no longer running: each new layer image wakes us.
    JobStatus waitForEnd(JobRegistry& jobs, const std::string& folder);

    QTemporaryDir* m_dir = nullptr;
    QString m_jobs;
};

void TestJobRegistry::init()
{
    delete m_dir;
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    m_jobs = m_dir->filePath(QStringLiteral("jobs"));
    QVERIFY(QDir().mkpath(m_jobs));
}

Plate TestJobRegistry::plate(const QString& name, float height, bool large)
{
    const QString stl = m_dir->filePath(name + QStringLiteral(".stl"));
    Plate plate;
    std::string error;
    const Printer printer = testPrinter(large);
    if (!StlBuilder().box({ -1, -1, 0 }, { 1, 1, height }).write(stl)
        || !loadPlate(name.toStdString(), printer,
            { { stl.toStdString(), printer.profiles.front() } }, plate, error))
        qWarning("%s", error.c_str());
    return plate;
}

JobStatus TestJobRegistry::waitForEnd(JobRegistry& jobs, const std::string& folder)
{
    QFileSystemWatcher watcher({ QString::fromStdString(folder) });
    QSignalSpy changed(&watcher, &QFileSystemWatcher::directoryChanged);
    std::string name;
    JobStatus status = jobs.find(folder, name);
    while (status.state == JobStatus::State::Running) {
        changed.wait(200);
        status = jobs.find(folder, name);
    }
    return status;
}

void TestJobRegistry::nothingBeforeTheFirstJob()
{
    JobRegistry jobs(m_jobs.toStdString());
    QCOMPARE(jobs.newest().state, JobStatus::State::None);
    std::string name;
    QCOMPARE(jobs.find(m_jobs.toStdString(), name).state, JobStatus::State::None);
}

void TestJobRegistry::loadingHidesThePreviousJob()
{
    JobRegistry jobs(m_jobs.toStdString());
    std::string folder;
    std::string error;
    QVERIFY(jobs.start(plate(QStringLiteral("first"), 0.5f), folder, error));
    QCOMPARE(waitForEnd(jobs, folder).state, JobStatus::State::Finished);
    QCOMPARE(jobs.newest().state, JobStatus::State::Finished);
    QCOMPARE(jobs.newest().layerCount, 5);
    QCOMPARE(jobs.newest().layersDone, 5);

    // While the next request reads its models, the finished job must not be reported.
    const std::uint64_t request = jobs.beginLoading();
    const JobStatus loading = jobs.newest();
    QCOMPARE(loading.state, JobStatus::State::Loading);
    QCOMPARE(loading.layerCount, 0);
    QCOMPARE(loading.layersDone, 0);
    const std::uint64_t second = jobs.beginLoading(); // a second request at the same time
    jobs.endLoading(request);
    QCOMPARE(jobs.newest().state, JobStatus::State::Loading);
    jobs.endLoading(second);
    QCOMPARE(jobs.newest().state, JobStatus::State::Finished);

    // A refused request stands as the newest job until the next one starts.
    jobs.endLoading(jobs.beginLoading(), "The model is broken.");
    const JobStatus refused = jobs.newest();
    QCOMPARE(refused.state, JobStatus::State::Failed);
    QCOMPARE(refused.error, std::string("The model is broken."));
    QCOMPARE(refused.layerCount, 0);
    std::string name;
    QCOMPARE(jobs.find(folder, name).state, JobStatus::State::Finished); // still packable
    QVERIFY(jobs.start(plate(QStringLiteral("second"), 0.2f), folder, error));
    QCOMPARE(waitForEnd(jobs, folder).state, JobStatus::State::Finished);
    QCOMPARE(jobs.newest().state, JobStatus::State::Finished);
    QCOMPARE(jobs.newest().layerCount, 2);
}

void TestJobRegistry::newestRequestWins()
{
    // Request A reads a large model; B arrives meanwhile and is read first.
    JobRegistry jobs(m_jobs.toStdString());
    const std::uint64_t a = jobs.beginLoading();
    const std::uint64_t b = jobs.beginLoading();
    std::string folderB;
    std::string error;
    QVERIFY2(jobs.start(plate(QStringLiteral("b"), 0.3f), folderB, error, b), error.c_str());
    jobs.endLoading(b);

    // A finishes reading last: it is dropped with a sentence, and replaces nothing.
    std::string folderA;
    QVERIFY(!jobs.start(plate(QStringLiteral("a"), 0.5f), folderA, error, a));
    QVERIFY(!error.empty());
    jobs.endLoading(a, error);
    QCOMPARE(QDir(m_jobs).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 1);

    // The poll and the download both see B, finished.
    QCOMPARE(waitForEnd(jobs, folderB).state, JobStatus::State::Finished);
    const JobStatus newest = jobs.newest();
    QCOMPARE(newest.state, JobStatus::State::Finished);
    QCOMPARE(newest.layerCount, 3);
    std::string name;
    QCOMPARE(jobs.find(folderB, name).state, JobStatus::State::Finished);
    QCOMPARE(name, std::string("b"));
}

void TestJobRegistry::findsJobsByAnySpelling()
{
    JobRegistry jobs(m_jobs.toStdString());
    std::string folder;
    std::string error;
    QVERIFY(jobs.start(plate(QStringLiteral("named job"), 0.3f), folder, error));
    QCOMPARE(QFileInfo(QString::fromStdString(folder)).absolutePath(), m_jobs);
    QVERIFY(QFileInfo(QString::fromStdString(folder)).fileName().startsWith(QLatin1String("job-")));
    waitForEnd(jobs, folder);

    const QString link = m_dir->filePath(QStringLiteral("link"));
    QVERIFY(QFile::link(QString::fromStdString(folder), link));
    for (const std::string& spelling : { folder, folder + "/",
             folder + "/../" + QFileInfo(QString::fromStdString(folder)).fileName().toStdString(),
             link.toStdString() }) {
        std::string name;
        std::string found;
        QCOMPARE(jobs.find(spelling, name, &found).state, JobStatus::State::Finished);
        QCOMPARE(name, std::string("named job"));
        // The job's own folder, never the spelling: a link could be turned elsewhere after the
        // check.
        QCOMPARE(found, folder);
    }
    std::string name;
    QCOMPARE(jobs.find(m_jobs.toStdString(), name).state, JobStatus::State::None);
    QCOMPARE(jobs.find(folder + "x", name).state, JobStatus::State::None);
}

void TestJobRegistry::failedJobFoldersGoWithTheNextJob()
{
    JobRegistry jobs(m_jobs.toStdString());
    std::string tall;
    std::string small;
    std::string last;
    std::string error;
    QVERIFY(jobs.start(plate(QStringLiteral("tall"), 90, true), tall, error));
    // The next job cancels the tall one, which then counts as failed.
    QVERIFY(jobs.start(plate(QStringLiteral("small"), 0.2f), small, error));
    QCOMPARE(waitForEnd(jobs, tall).state, JobStatus::State::Failed);
    QCOMPARE(waitForEnd(jobs, small).state, JobStatus::State::Finished);
    QVERIFY(QFileInfo(QString::fromStdString(tall)).isDir());

    QVERIFY(jobs.start(plate(QStringLiteral("last"), 0.2f), last, error));
    QVERIFY(!QFileInfo::exists(QString::fromStdString(tall)));
    std::string name;
    QCOMPARE(jobs.find(tall, name).state, JobStatus::State::None);
    // A finished job stays: it can still be packed.
    QVERIFY(QFileInfo(QString::fromStdString(small) + QStringLiteral("/plate.json")).isFile());
    QCOMPARE(jobs.find(small, name).state, JobStatus::State::Finished);
}

void TestJobRegistry::removesOldFoldersOnly()
{
    QVERIFY(QDir().mkpath(m_jobs + QStringLiteral("/job-a1b2c3/deep")));
    QVERIFY(QDir().mkpath(m_jobs + QStringLiteral("/keep")));
    QFile notAFolder(m_jobs + QStringLiteral("/job-file"));
    QVERIFY(notAFolder.open(QIODevice::WriteOnly));
    notAFolder.close();
    JobRegistry jobs(m_jobs.toStdString());
    jobs.removeOldFolders();
    QCOMPARE(QDir(m_jobs).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
        (QStringList { QStringLiteral("job-file"), QStringLiteral("keep") }));
}

QTEST_GUILESS_MAIN(TestJobRegistry)
#include "tst_jobregistry.moc"
