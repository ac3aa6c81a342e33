// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
// A slicing job followed through the progress polls against a fake agent.
// Every poll comes one second after the last, so these cases are few.
#include "emissionrecorder.h"
#include "fakeagent.h"
#include "netlib.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

const QByteArray jsonType("application/json; charset=utf-8");

QByteArray pathAnswer(const QString& path) { return "{\"path\":\"" + path.toUtf8() + "\"}"; }

}

class TestSlicingJob : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_agent.reset(new FakeAgent);
        QVERIFY(m_agent->listen());
        QVERIFY(m_layers.isValid());
    }

    void cleanup() { m_agent.reset(); }

    void pollTimerFollowsTheFlag()
    {
        Netlib lib;
        auto* timer = lib.findChild<QTimer*>(QString(), Qt::FindDirectChildrenOnly);
        QVERIFY(timer);
        QVERIFY(!timer->isActive());
        lib.setSlicingInProgress(true);
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 1000);
        QVERIFY(!timer->isSingleShot());
        lib.setSlicingInProgress(false);
        QVERIFY(!timer->isActive());
        QCOMPARE(m_agent->requests().size(), 0);
    }

    void finishedJob()
    {
        m_agent->setAnswer("/slice/preview", 200, pathAnswer(m_layers.path()));
        m_agent->setAnswers("/slice",
            { { 200,
                  QByteArray(
                      "{\"layerID\":\"1\",\"layerCount\":\"3\",\"percentage\":\"33\",\"eta\":9}") },
                { 200,
                    QByteArray(
                        "{\"percentage\":\"100\",\"layerID\":\"3\",\"layerCount\":\"3\"}") } });
        Netlib lib;
        EmissionRecorder recorder(&lib);
        QVERIFY(lib.agentSlice(QUrl::fromLocalFile(QStringLiteral("/tmp")), QStringLiteral("a.stl"),
            QStringLiteral("h"), QStringLiteral("1"), QStringLiteral("3"), QStringLiteral("n")));
        QVERIFY(recorder.waitFor(ev("slicingDoneChanged", "true")));
        QCOMPARE(recorder.events,
            QStringList({ ev("slicingInProgressChanged", "true"),
                ev("pathOfLayerImagesChanged", m_layers.path()), ev("layerCountChanged", "3"),
                ev("layerIDChanged", "1"), ev("layerCountChanged", "3"), ev("layerIDChanged", "3"),
                ev("slicingInProgressChanged", "false"), ev("layerIDChanged", ""),
                ev("slicingDoneChanged", "true") }));
        QCOMPARE(lib.layerID(), QString());
        QCOMPARE(lib.layerCount(), QStringLiteral("3"));
        QCOMPARE(lib.pathOfLayerImages(), m_layers.path());

        const QList<AgentRequest> polls = m_agent->requestsTo("/slice");
        QCOMPARE(polls.size(), 2);
        for (const AgentRequest& poll : polls) {
            QCOMPARE(poll.method, QByteArray("GET"));
            QCOMPARE(poll.contentType, jsonType);
            QCOMPARE(poll.body, QByteArray());
        }
        // The timer has stopped: no poll follows within another interval.
        QSignalSpy arrived(m_agent.data(), &FakeAgent::requestReceived);
        QVERIFY(!arrived.wait(1500));
        // Each poll's own manager (and with it its reply) has been released.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(lib.findChildren<QNetworkAccessManager*>().size(), 0);
    }

    void ninetyNine_data()
    {
        QTest::addColumn<bool>("plateIsFile");
        QTest::addColumn<int>("polls");
        QTest::newRow("plate.json written") << true << 1;
        QTest::newRow("plate.json a directory") << false << 2;
    }

    void ninetyNine()
    {
        QFETCH(bool, plateIsFile);
        QFETCH(int, polls);
        const QString plate = m_layers.filePath(QStringLiteral("plate.json"));
        if (plateIsFile) {
            QFile file(plate);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("{}");
        } else {
            QVERIFY(QDir().mkdir(plate));
        }
        m_agent->setAnswer("/slice/preview", 200, pathAnswer(m_layers.path()));
        m_agent->setAnswers("/slice",
            { { 200, QByteArray("{\"layerID\":\"7\",\"percentage\":\"99\"}") },
                { 200, QByteArray("{\"percentage\":\"100\"}") } });
        Netlib lib;
        lib.setLayerCount(QStringLiteral("8"));
        EmissionRecorder recorder(&lib);
        lib.agentSlice(QUrl::fromLocalFile(QStringLiteral("/tmp")), QStringLiteral("a.stl"),
            QStringLiteral("h"), QStringLiteral("1"), QStringLiteral("3"), QStringLiteral("n"));
        QVERIFY(recorder.waitFor(ev("slicingDoneChanged", "true")));
        QCOMPARE(m_agent->requestsTo("/slice").size(), polls);
        // A poll without layer values leaves the count as it was.
        QCOMPARE(lib.layerCount(), QStringLiteral("8"));
        QCOMPARE(recorder.events.mid(recorder.events.size() - 3),
            QStringList({ ev("slicingInProgressChanged", "false"), ev("layerIDChanged", ""),
                ev("slicingDoneChanged", "true") }));
        QDir(plate).removeRecursively();
        QFile::remove(plate);
    }

    void failedPollEndsTheJob()
    {
        m_agent->setAnswer("/slice", 500, QByteArray("{\"percentage\":\"100\"}"));
        Netlib lib;
        EmissionRecorder recorder(&lib);
        // Polling also starts when the QML raises the flag itself.
        lib.setSlicingInProgress(true);
        QVERIFY(recorder.waitFor(ev("slicingDoneChanged", "false")));
        QCOMPARE(recorder.events,
            QStringList(
                { ev("slicingInProgressChanged", "true"), ev("slicingInProgressChanged", "false"),
                    ev("layerIDChanged", ""), ev("slicingDoneChanged", "false") }));
        QCOMPARE(m_agent->paths(), QList<QByteArray>({ "/slice" }));
        // A failed poll's manager and reply are released as well.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(lib.findChildren<QNetworkAccessManager*>().size(), 0);
    }

    void lateSlicingFailureTurnsFinishedIntoFailed()
    {
        m_agent->setAnswer("/slice/preview", 500, QByteArray());
        m_agent->holdPath("/slice/preview");
        m_agent->setAnswer("/slice", 200, QByteArray("{\"percentage\":\"100\"}"));
        Netlib lib;
        EmissionRecorder recorder(&lib);
        lib.agentSlice(QUrl::fromLocalFile(QStringLiteral("/tmp")), QStringLiteral("a.stl"),
            QStringLiteral("h"), QStringLiteral("1"), QStringLiteral("3"), QStringLiteral("n"));
        QVERIFY(recorder.waitFor(ev("slicingDoneChanged", "true")));
        QVERIFY(m_agent->releaseHeld("/slice/preview"));
        QVERIFY(recorder.waitFor(ev("slicingDoneChanged", "false")));
        QCOMPARE(recorder.events,
            QStringList({ ev("slicingInProgressChanged", "true"),
                ev("slicingInProgressChanged", "false"), ev("layerIDChanged", ""),
                ev("slicingDoneChanged", "true"), ev("slicingInProgressChanged", "false"),
                ev("layerIDChanged", ""), ev("slicingDoneChanged", "false") }));
        QVERIFY(!lib.slicingDone());
    }

private:
    QScopedPointer<FakeAgent> m_agent;
    QTemporaryDir m_layers;
};

QTEST_GUILESS_MAIN(TestSlicingJob)
#include "tst_slicingjob.moc"
