// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The agent next to the program: started with each Netlib, asked to stop
// ("/terminate", then the terminate request) when the Netlib goes. A small
// shell script stands in for the agent in this test's own folder.
#include "emissionrecorder.h"
#include "fakeagent.h"
#include "netlib.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <cerrno>
#include <signal.h>
#include <sys/types.h>

namespace {

QString agentPath() { return QCoreApplication::applicationDirPath() + QStringLiteral("/agent"); }

bool placeAgent(const QByteArray& script)
{
    QFile file(agentPath());
    if (!file.open(QIODevice::WriteOnly) || file.write(script) != script.size())
        return false;
    file.close();
    return file.setPermissions(
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

bool processGone(qint64 pid) { return ::kill(pid_t(pid), 0) == -1 && errno == ESRCH; }

// Logs two lines, then serves until asked to stop; it takes a moment to shut
// down, as an agent finishing its work would.
const QByteArray politeAgent("#!/bin/sh\n"
                             "trap 'sleep 1; exit 0' TERM\n"
                             "echo agent starting\n"
                             "echo serving on 127.0.0.1:18383\n"
                             "while true; do sleep 0.1; done\n");

// Ignores the terminate request: only a kill ends it.
const QByteArray stubbornAgent("#!/bin/sh\n"
                               "trap '' TERM\n"
                               "echo agent starting\n"
                               "while true; do sleep 0.1; done\n");

// Both scripts log only once their TERM handling is in place; a test waits
// for that before it destroys the Netlib.
bool waitUntilLogging(QProcess* process)
{
    QSignalSpy output(process, &QProcess::readyRead);
    return process->waitForStarted() && output.wait();
}

}

class TestAgentProcess : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_agent.reset(new FakeAgent);
        QVERIFY(m_agent->listen());
        m_agent->setAnswer("/terminate", 200, QByteArray("{}"));
    }

    void cleanup()
    {
        m_agent.reset();
        QFile::remove(agentPath());
        QDir().rmdir(agentPath());
        QVERIFY(!QFileInfo::exists(agentPath()));
    }

    void startedOnConstruction()
    {
        // Started all the same from a folder whose path has a space.
        QVERIFY(QCoreApplication::applicationDirPath().contains(QLatin1Char(' ')));
        QVERIFY(placeAgent(politeAgent));
        EmissionRecorder recorder("Netlib");
        QScopedPointer<Netlib> lib(new Netlib);
        QCOMPARE(recorder.events, QStringList({ ev("agentIsTerminatedChanged", "false") }));
        QCOMPARE(lib->agentIsTerminated(), false);
        auto* process = lib->findChild<QProcess*>();
        QVERIFY(process);
        QVERIFY(process->waitForStarted());
        QCOMPARE(process->program(), agentPath());
        QCOMPARE(process->arguments(), QStringList());
        QCOMPARE(process->state(), QProcess::Running);

        // The agent's log is read and dropped as it comes.
        QSignalSpy output(process, &QProcess::readyRead);
        QVERIFY(output.wait());
        QCOMPARE(process->bytesAvailable(), qint64(0));
    }

    void terminatedOnDestruction()
    {
        QVERIFY(placeAgent(politeAgent));
        QScopedPointer<Netlib> lib(new Netlib);
        auto* process = lib->findChild<QProcess*>();
        QVERIFY(waitUntilLogging(process));
        const qint64 pid = process->processId();
        QVERIFY(pid > 0);
        QSignalSpy arrived(m_agent.data(), &FakeAgent::requestReceived);

        lib.reset();

        QVERIFY(processGone(pid));
        QVERIFY(arrived.wait());
        const QList<AgentRequest> requests = m_agent->requestsTo("/terminate");
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests.at(0).method, QByteArray("GET"));
        QCOMPARE(requests.at(0).contentType, QByteArray("application/json; charset=utf-8"));
        QCOMPARE(requests.at(0).body, QByteArray());
        QVERIFY(m_agent->requests().isEmpty());
    }

    void directoryNamedAgentIsNotStarted()
    {
        QVERIFY(QDir().mkdir(agentPath()));
        EmissionRecorder recorder("Netlib");
        Netlib lib;
        QCOMPARE(recorder.events, QStringList());
        QCOMPARE(lib.findChild<QProcess*>()->state(), QProcess::NotRunning);
        QCOMPARE(lib.findChild<QProcess*>()->program(), QString());
    }

    void missingAgentIsNotStarted()
    {
        QVERIFY(!QFileInfo::exists(agentPath()));
        EmissionRecorder recorder("Netlib");
        {
            Netlib lib;
            QCOMPARE(lib.agentIsTerminated(), false);
            QCOMPARE(lib.findChild<QProcess*>()->state(), QProcess::NotRunning);
            QCOMPARE(lib.findChild<QProcess*>()->program(), QString());
        }
        QCOMPARE(recorder.events, QStringList());
    }

    void stubbornAgentIsKilled()
    {
        if (qEnvironmentVariableIsEmpty("CORVANE_TEST_AGENT_KILL"))
            QSKIP("Takes 30 seconds; set CORVANE_TEST_AGENT_KILL=1 to run it.");
        QVERIFY(placeAgent(stubbornAgent));
        QScopedPointer<Netlib> lib(new Netlib);
        auto* process = lib->findChild<QProcess*>();
        QVERIFY(waitUntilLogging(process));
        const qint64 pid = process->processId();
        lib.reset();
        // It ignored the terminate request, so only the kill can have ended it.
        QVERIFY(processGone(pid));
    }

private:
    QScopedPointer<FakeAgent> m_agent;
};

QTEST_GUILESS_MAIN(TestAgentProcess)
#include "tst_agentprocess.moc"
