// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "agentprocess.h"
#include "stlbuilder.h"
#include "zipentries.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The names in a zip file's central directory; empty when the file is no zip.
QStringList zipEntries(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? zipEntryNames(file.readAll()) : QStringList();
}

QJsonObject readJson(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object()
                                          : QJsonObject();
}

} // namespace

class TestAgentDownload : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void packsTheJobAsSl1();
    void everyDownloadIsANewFile();
    void refusesForeignFolders_data();
    void refusesForeignFolders();
    void sendNeedsAPath();
    void refusesUnfinishedJobs();

private:
    QString slice(const QString& name, float height);

    QTemporaryDir m_dir;
    AgentProcess* m_agent = nullptr;
    QString m_job; // a finished job folder
};

void TestAgentDownload::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QString data = m_dir.filePath(QStringLiteral("data"));
    QVERIFY(writeTestPrinters(data));
    m_agent = new AgentProcess(data);
    QVERIFY(m_agent->start());
    m_job = slice(QStringLiteral("plate one"), 1.0f);
    QVERIFY(!m_job.isEmpty());
    QCOMPARE(m_agent->waitForJob(m_job).object().value(QStringLiteral("percentage")).toString(),
        QStringLiteral("100"));
}

void TestAgentDownload::cleanupTestCase() { delete m_agent; }

QString TestAgentDownload::slice(const QString& name, float height)
{
    const QString stl = m_dir.filePath(name + QStringLiteral(".stl"));
    if (!StlBuilder().box({ -3, -2, 0 }, { 3, 2, height }).write(stl))
        return {};
    const HttpAnswer answer = m_agent->postForm(QStringLiteral("/slice/preview"),
        { { QStringLiteral("stl"), stl },
            { QStringLiteral("printer"), QStringLiteral("192.0.2.10:8080") },
            { QStringLiteral("profile"), QStringLiteral("1") }, { QStringLiteral("name"), name } });
    return answer.status == 200 ? answer.object().value(QStringLiteral("path")).toString()
                                : QString();
}

void TestAgentDownload::packsTheJobAsSl1()
{
    const HttpAnswer answer = m_agent->postForm(
        QStringLiteral("/slice/download"), { { QStringLiteral("path"), m_job } });
    QCOMPARE(answer.status, 200);
    const QString file = answer.object().value(QStringLiteral("file")).toString();
    QVERIFY(QFileInfo(file).isAbsolute());
    QCOMPARE(QFileInfo(file).absolutePath(), m_agent->dataDir() + QStringLiteral("/downloads"));
    QCOMPARE(QFileInfo(file).fileName(), QStringLiteral("plate_one.sl1"));

    const QJsonObject plate = readJson(m_job + QStringLiteral("/plate.json"));
    const QString jobDir = plate.value(QStringLiteral("jobDir")).toString();
    QVERIFY(!jobDir.isEmpty());
    QStringList expected { QStringLiteral("config.ini"), QStringLiteral("prusaslicer.ini"),
        QStringLiteral("plate.json"), QStringLiteral("thumbnail/thumbnail400x400.png"),
        QStringLiteral("thumbnail/thumbnail800x480.png") };
    QCOMPARE(plate.value(QStringLiteral("layerCount")).toInt(), 10);
    for (int layer = 0; layer < 10; ++layer)
        expected << jobDir + QStringLiteral("%1.png").arg(layer, 5, 10, QLatin1Char('0'));
    QStringList entries = zipEntries(file);
    entries.sort();
    expected.sort();
    QCOMPARE(entries, expected);

    // The client moves the file away; the agent keeps no hold on it.
    const QString destination = m_dir.filePath(QStringLiteral("saved.sl1"));
    QVERIFY(QFile::rename(file, destination));
    QCOMPARE(zipEntries(destination).size(), expected.size());
}

void TestAgentDownload::everyDownloadIsANewFile()
{
    const FormFields form { { QStringLiteral("path"),
        m_job + QLatin1Char('/') } }; // any spelling of the folder
    const QString first = m_agent->postForm(QStringLiteral("/slice/download"), form)
                              .object()
                              .value(QStringLiteral("file"))
                              .toString();
    const QString second = m_agent->postForm(QStringLiteral("/slice/download"), form)
                               .object()
                               .value(QStringLiteral("file"))
                               .toString();
    QVERIFY(!first.isEmpty());
    QVERIFY(!second.isEmpty());
    QVERIFY(first != second);
    QFile a(first);
    QFile b(second);
    QVERIFY(a.open(QIODevice::ReadOnly));
    QVERIFY(b.open(QIODevice::ReadOnly));
    QVERIFY(a.size() > 0);
    // Both are whole job files; nothing of the first was overwritten by the second.
    QCOMPARE(zipEntries(first), zipEntries(second));
}

void TestAgentDownload::refusesForeignFolders_data()
{
    QTest::addColumn<QString>("endpoint");
    QTest::addColumn<QString>("path"); // "%data" and "%job" stand for the agent's folders

    for (const QString& endpoint :
        { QStringLiteral("/slice/download"), QStringLiteral("/slice/send") }) {
        const QByteArray tag = endpoint.toLatin1() + ": ";
        QTest::newRow(tag + "root") << endpoint << QStringLiteral("/");
        QTest::newRow(tag + "data folder") << endpoint << QStringLiteral("%data");
        QTest::newRow(tag + "jobs folder") << endpoint << QStringLiteral("%data/jobs");
        QTest::newRow(tag + "folder of the job") << endpoint << QStringLiteral("%job/..");
        QTest::newRow(tag + "missing job") << endpoint << QStringLiteral("%data/jobs/job-XXXXXX");
        QTest::newRow(tag + "copy of a job") << endpoint << QStringLiteral("%copy");
        QTest::newRow(tag + "empty") << endpoint << QString();
    }
}

void TestAgentDownload::refusesForeignFolders()
{
    QFETCH(QString, endpoint);
    QFETCH(QString, path);
    // A folder that looks like a job in every way but was not made by this agent.
    const QString copy = m_dir.filePath(QStringLiteral("copy"));
    QVERIFY(QDir().mkpath(copy));
    QFile::copy(m_job + QStringLiteral("/plate.json"), copy + QStringLiteral("/plate.json"));
    path.replace(QStringLiteral("%data"), m_agent->dataDir())
        .replace(QStringLiteral("%job"), m_job)
        .replace(QStringLiteral("%copy"), copy);
    const QStringList downloadsBefore
        = QDir(m_agent->dataDir() + QStringLiteral("/downloads")).entryList(QDir::Files);
    const HttpAnswer answer = m_agent->postForm(endpoint,
        { { QStringLiteral("printer"), QStringLiteral("192.0.2.10:8080") },
            { QStringLiteral("profile"), QStringLiteral("1") },
            { QStringLiteral("name"), QStringLiteral("x") }, { QStringLiteral("path"), path } });
    QCOMPARE(answer.status, 403);
    QCOMPARE(answer.error(),
        QStringLiteral("The folder %1 is not a job folder of this agent.").arg(path));
    QCOMPARE(QDir(m_agent->dataDir() + QStringLiteral("/downloads")).entryList(QDir::Files),
        downloadsBefore);
}

void TestAgentDownload::sendNeedsAPath()
{
    const HttpAnswer noPath = m_agent->postForm(
        QStringLiteral("/slice/send"), { { QStringLiteral("name"), QStringLiteral("x") } });
    QCOMPARE(noPath.status, 400);
    QCOMPARE(noPath.error(), QStringLiteral("The form lacks the field \"path\"."));
}

void TestAgentDownload::refusesUnfinishedJobs()
{
    // 800 layers of 5760 x 3600 pixels: still running when the download request comes.
    const QString stl = m_dir.filePath(QStringLiteral("tall.stl"));
    QVERIFY(StlBuilder().box({ -10, -10, 0 }, { 10, 10, 20 }).write(stl));
    const HttpAnswer started = m_agent->postForm(QStringLiteral("/slice/preview"),
        { { QStringLiteral("stl"), stl },
            { QStringLiteral("printer"), QStringLiteral("local:lcd6k") },
            { QStringLiteral("profile"), QStringLiteral("302") },
            { QStringLiteral("name"), QStringLiteral("tall") } });
    QCOMPARE(started.status, 200);
    const QString running = started.object().value(QStringLiteral("path")).toString();
    const HttpAnswer answer = m_agent->postForm(
        QStringLiteral("/slice/download"), { { QStringLiteral("path"), running } });
    QCOMPARE(answer.status, 409);
    QCOMPARE(answer.error(), QStringLiteral("The job in %1 is still being sliced.").arg(running));
    // The finished job stays downloadable while a newer one runs.
    QCOMPARE(
        m_agent->postForm(QStringLiteral("/slice/download"), { { QStringLiteral("path"), m_job } })
            .status,
        200);
}

QTEST_GUILESS_MAIN(TestAgentDownload)
#include "tst_agentdownload.moc"
