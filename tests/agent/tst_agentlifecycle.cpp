// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "agentprocess.h"
#include "stlbuilder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class TestAgentLifecycle : public QObject {
    Q_OBJECT

private slots:
    void terminateRequestEndsCleanly();
    void sigtermEndsCleanly();
    void sigtermCancelsTheRunningJob();
    void sigtermEndsDespiteASlowClient();
    void endsWhenItsStarterDies();
    void defaultDataFolder_data();
    void defaultDataFolder();
    void busyPortIsReported();
    void startRemovesOldJobFolders();
};

void TestAgentLifecycle::terminateRequestEndsCleanly()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    AgentProcess agent(dir.filePath(QStringLiteral("data")));
    QVERIFY(agent.start());
    // An open keep-alive connection must not hold the agent back.
    QCOMPARE(agent.get(QStringLiteral("/printer-details")).status, 200);
    const HttpAnswer answer = agent.get(QStringLiteral("/terminate"));
    QCOMPARE(answer.status, 200);
    QCOMPARE(answer.object().value(QStringLiteral("terminating")), QJsonValue(true));
    QVERIFY(agent.waitForExit());
    QCOMPARE(agent.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(agent.process().exitCode(), 0);
}

void TestAgentLifecycle::sigtermEndsCleanly()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    AgentProcess agent(dir.filePath(QStringLiteral("data")));
    QVERIFY(agent.start());
    QCOMPARE(agent.get(QStringLiteral("/printer-details")).status, 200);
    agent.process().terminate(); // what the desktop client does after its terminate request
    QVERIFY(agent.waitForExit());
    QCOMPARE(agent.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(agent.process().exitCode(), 0);
}

void TestAgentLifecycle::sigtermCancelsTheRunningJob()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    AgentProcess agent(dir.filePath(QStringLiteral("data")));
    QVERIFY(agent.start());
    const QString stl = dir.filePath(QStringLiteral("tall.stl"));
    QVERIFY(StlBuilder().box({ -10, -10, 0 }, { 10, 10, 20 }).write(stl));
    const HttpAnswer started = agent.postForm(QStringLiteral("/slice/preview"),
        { { QStringLiteral("stl"), stl },
            { QStringLiteral("printer"), QStringLiteral("local:lcd6k") },
            { QStringLiteral("profile"), QStringLiteral("302") },
            { QStringLiteral("name"), QStringLiteral("tall") } });
    QCOMPARE(started.status, 200);
    const QString folder = started.object().value(QStringLiteral("path")).toString();
    QVERIFY(
        agent.get(QStringLiteral("/slice")).object().value(QStringLiteral("percentage")).toString()
        != QLatin1String("100"));
    agent.process().terminate();
    QVERIFY(agent.waitForExit());
    QCOMPARE(agent.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(agent.process().exitCode(), 0);
    // Cancelled, so never marked complete; the folder is still there, with whole images only.
    QVERIFY(QFileInfo(folder).isDir());
    QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/plate.json")));
}

void TestAgentLifecycle::sigtermEndsDespiteASlowClient()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    AgentProcess agent(dir.filePath(QStringLiteral("data")));
    QVERIFY(agent.start());
    // A client that keeps its request's head coming, one line every half second.
    QTcpSocket slow;
    slow.connectToHost(QStringLiteral("127.0.0.1"), quint16(agent.port()));
    QVERIFY(slow.waitForConnected());
    slow.write("GET /slice HTTP/1.1\r\n");
    QTimer drip;
    connect(&drip, &QTimer::timeout, &slow, [&slow] { slow.write("X-Slow: 1\r\n"); });
    drip.start(500);
    QVERIFY(slow.waitForBytesWritten());
    agent.process().terminate();
    QVERIFY(agent.waitForExit(20000));
    QCOMPARE(agent.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(agent.process().exitCode(), 0);
}

// A process is gone once it no longer exists or only its zombie is left for its new parent.
static bool processGone(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    const int afterName = line.lastIndexOf(')');
    return afterName > 0 && line.mid(afterName + 2, 1) == "Z";
}

void TestAgentLifecycle::endsWhenItsStarterDies()
{
#ifndef Q_OS_LINUX
    QSKIP("The agent follows its starter's death on Linux only.");
#endif
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // A shell starts the agent, tells its process id and then is killed without a chance to stop
    // it.
    QProcess starter;
    starter.start(QStringLiteral("/bin/sh"),
        { QStringLiteral("-c"),
            QStringLiteral("\"$0\" --port 0 --data-dir \"$1\" & echo \"pid $!\"; wait"),
            agentProgram(), dir.filePath(QStringLiteral("data")) });
    QVERIFY(starter.waitForStarted());
    qint64 agentPid = 0;
    bool serving = false;
    while (agentPid == 0 || !serving) {
        if (!starter.canReadLine())
            QVERIFY(starter.waitForReadyRead(10000));
        const QByteArray line = starter.readLine().trimmed();
        if (line.startsWith("pid "))
            agentPid = line.mid(4).toLongLong();
        else if (line.startsWith("agent: serving"))
            serving = true;
    }
    QVERIFY(!processGone(agentPid));
    starter.kill();
    QVERIFY(starter.waitForFinished());
    QTRY_VERIFY_WITH_TIMEOUT(processGone(agentPid), 10000);
}

void TestAgentLifecycle::defaultDataFolder_data()
{
    QTest::addColumn<bool>("xdg");
    QTest::addColumn<QString>("folder"); // below the temporary folder
    QTest::newRow("XDG_DATA_HOME") << true << QStringLiteral("xdg/corvane/agent");
    QTest::newRow("HOME") << false << QStringLiteral("home/.local/share/corvane/agent");
}

void TestAgentLifecycle::defaultDataFolder()
{
    QFETCH(bool, xdg);
    QFETCH(QString, folder);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), dir.filePath(QStringLiteral("home")));
    if (xdg)
        environment.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("xdg")));
    else
        environment.remove(QStringLiteral("XDG_DATA_HOME"));
    AgentProcess agent { QString() };
    // Only the port is chosen: the data folder is the one the desktop program's agent uses.
    QVERIFY(agent.start({ QStringLiteral("--port"), QStringLiteral("0") }, environment));
    QVERIFY(QFileInfo(dir.filePath(folder + QStringLiteral("/jobs"))).isDir());
    QVERIFY(QFileInfo(dir.filePath(folder + QStringLiteral("/downloads"))).isDir());
    // Printers configured there are the ones served.
    QVERIFY(writeTestPrinters(dir.filePath(folder)));
    QVERIFY(agent.get(QStringLiteral("/printer-details")).body.contains("\"Test host\""));
}

void TestAgentLifecycle::busyPortIsReported()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    AgentProcess first(dir.filePath(QStringLiteral("one")));
    QVERIFY(first.start());
    AgentProcess second(dir.filePath(QStringLiteral("two")));
    QVERIFY(!second.start({ QStringLiteral("--port"), QString::number(first.port()),
                              QStringLiteral("--data-dir"), dir.filePath(QStringLiteral("two")) },
        QProcessEnvironment::systemEnvironment()));
    QVERIFY(second.waitForExit());
    QCOMPARE(second.process().exitCode(), 1);
    QCOMPARE(QString::fromUtf8(second.process().readAllStandardError()).trimmed(),
        QStringLiteral(
            "agent: The agent cannot listen on 127.0.0.1:%1 (another agent may be running).")
            .arg(first.port()));
    // The first one is undisturbed.
    QCOMPARE(first.get(QStringLiteral("/printer-details")).status, 200);

    // Nor can a second agent on another port take the first one's data folder (and its jobs).
    AgentProcess third(dir.filePath(QStringLiteral("one")));
    QVERIFY(!third.start());
    QVERIFY(third.waitForExit());
    QCOMPARE(third.process().exitCode(), 1);
    QCOMPARE(QString::fromUtf8(third.process().readAllStandardError()).trimmed(),
        QStringLiteral("agent: Another agent is already using the data folder %1.")
            .arg(dir.filePath(QStringLiteral("one"))));
}

void TestAgentLifecycle::startRemovesOldJobFolders()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString data = dir.filePath(QStringLiteral("data"));
    QVERIFY(QDir().mkpath(data + QStringLiteral("/jobs/job-old123")));
    QVERIFY(QDir().mkpath(data + QStringLiteral("/jobs/mine")));
    QFile leftover(data + QStringLiteral("/jobs/job-old123/layer.png"));
    QVERIFY(leftover.open(QIODevice::WriteOnly));
    leftover.close();
    AgentProcess agent(data);
    QVERIFY(agent.start());
    // No request can name a folder of an earlier run, so they go; what is not ours stays.
    QVERIFY(!QFileInfo::exists(data + QStringLiteral("/jobs/job-old123")));
    QVERIFY(QFileInfo(data + QStringLiteral("/jobs/mine")).isDir());
}

QTEST_GUILESS_MAIN(TestAgentLifecycle)
#include "tst_agentlifecycle.moc"
