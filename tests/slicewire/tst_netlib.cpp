// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The request and reply frame of every operation except the slicing polls,
// against a fake agent on 127.0.0.1:18383 (or nothing listening there).
#include "fakeagent.h"
#include "../shared/filebytes.h"
#include "netlib.h"
#include "emissionrecorder.h"
#include "objecttracker.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

const QByteArray jsonType("application/json; charset=utf-8");
const QByteArray formType("application/x-www-form-urlencoded; charset=utf-8");
const QString fallbackJson = QStringLiteral(
    "[{\"ip\":\"Not Discovered\",\"name\":\"Not Discovered\",\"port\":\"Not Discovered\","
    "\"profiles_array\":[{\"Depth\":0,\"ProfileID\":0,\"Title\":\"Not Discovered\"}]}]");

QByteArray jsonString(const QString& text)
{
    QByteArray escaped = text.toUtf8();
    escaped.replace('\\', "\\\\").replace('"', "\\\"");
    return '"' + escaped + '"';
}

}

class TestNetlib : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // No agent next to this test: every Netlib here starts none.
        QVERIFY(
            !QFileInfo::exists(QCoreApplication::applicationDirPath() + QStringLiteral("/agent")));
    }

    void init() { m_agent.reset(new FakeAgent); }
    void cleanup() { m_agent.reset(); }

    void newObjectStartsNothing()
    {
        Netlib lib;
        QCOMPARE(lib.agentIsTerminated(), false);
        QVERIFY(lib.findChild<QProcess*>() != nullptr);
        QCOMPARE(lib.findChild<QProcess*>()->state(), QProcess::NotRunning);
    }

    void discoveryWithNothingListening()
    {
        QVERIFY(portIsFree());
        Netlib lib;
        EmissionRecorder recorder(&lib);
        lib.agentDiscover();
        QVERIFY(lib.discoveryInProgress());
        QVERIFY(recorder.waitFor(ev("discoveryInProgressChanged", "false")));
        QCOMPARE(recorder.events,
            QStringList({ ev("discoveryInProgressChanged", "true"),
                ev("discoveryResultChanged", fallbackJson),
                ev("discoveryInProgressChanged", "false") }));
        QVERIFY(!lib.discoveryInProgress());
    }

    void discovery_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("expected");
        const QByteArray printer(
            "{\"name\":\"Resin One\",\"ip\":\"10.0.0.7\",\"port\":\"80\","
            "\"profiles_array\":[{\"Title\":\"Fine\",\"ProfileID\":3,\"Depth\":50}],"
            "\"extra\":{\"a\":[1,2]}}");
        QTest::newRow("printer list passed on unchanged")
            << 200 << QByteArray("{\"printers_array\":[" + printer + ",{\"name\":7}],\"other\":1}")
            << QStringLiteral(
                   "[{\"extra\":{\"a\":[1,2]},\"ip\":\"10.0.0.7\",\"name\":\"Resin One\","
                   "\"port\":\"80\",\"profiles_array\":[{\"Depth\":50,\"ProfileID\":3,"
                   "\"Title\":\"Fine\"}]},{\"name\":7}]");
        QTest::newRow("empty printer list")
            << 200 << QByteArray("{\"printers_array\":[]}") << QStringLiteral("[]");
        QTest::newRow("empty body") << 200 << QByteArray() << QStringLiteral("[]");
        QTest::newRow("not JSON") << 200 << QByteArray("printers") << QStringLiteral("[]");
        QTest::newRow("array at top level")
            << 200 << QByteArray("[{\"printers_array\":[1]}]") << QStringLiteral("[]");
        QTest::newRow("printers_array not an array")
            << 200 << QByteArray("{\"printers_array\":{\"name\":\"x\"}}") << QStringLiteral("[]");
        QTest::newRow("HTTP 404") << 404 << QByteArray("{\"printers_array\":[1]}") << fallbackJson;
        QTest::newRow("HTTP 500") << 500 << QByteArray() << fallbackJson;
    }

    void discovery()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, expected);
        QVERIFY(m_agent->listen());
        m_agent->setAnswer("/printer-details", status, body);
        Netlib lib;
        EmissionRecorder recorder(&lib);
        lib.agentDiscover();
        QVERIFY(recorder.waitFor(ev("discoveryInProgressChanged", "false")));
        QCOMPARE(recorder.events,
            QStringList(
                { ev("discoveryInProgressChanged", "true"), ev("discoveryResultChanged", expected),
                    ev("discoveryInProgressChanged", "false") }));
        const QList<AgentRequest> requests = m_agent->requests();
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests.at(0).method, QByteArray("GET"));
        QCOMPARE(requests.at(0).path, QByteArray("/printer-details"));
        QCOMPARE(requests.at(0).contentType, jsonType);
        QCOMPARE(requests.at(0).body, QByteArray());
    }

    void profiles_data()
    {
        QTest::addColumn<QString>("ip");
        QTest::addColumn<QString>("port");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QStringList>("expected");
        const QByteArray profiles("[{\"Title\":\"Fine\",\"ProfileID\":3}]");
        QTest::newRow("profiles as text and array")
            << QStringLiteral("10.0.0.7") << QStringLiteral("80") << 200 << profiles
            << QByteArray("/printer-profiles/10.0.0.7:80")
            << QStringList({ ev("fetchedProfilesChanged", QString::fromUtf8(profiles)),
                   ev("fetchingResultChanged", "[{\"ProfileID\":3,\"Title\":\"Fine\"}]") });
        QTest::newRow("two-character empty array")
            << QStringLiteral("192.168.0.10") << QStringLiteral("80") << 200 << QByteArray("[]")
            << QByteArray("/printer-profiles/192.168.0.10:80")
            << QStringList(
                   { ev("fetchedProfilesChanged", "[]"), ev("fetchingResultChanged", "[]") });
        QTest::newRow("object body gives empty array")
            << QStringLiteral("10.0.0.7") << QStringLiteral("80") << 200 << QByteArray("{\"a\":1}")
            << QByteArray("/printer-profiles/10.0.0.7:80")
            << QStringList({ ev("fetchedProfilesChanged", "{\"a\":1}"),
                   ev("fetchingResultChanged", "[]") });
        QTest::newRow("UTF-8 text")
            << QStringLiteral("h") << QStringLiteral("1") << 200
            << QByteArray("[\"R\xc3\xa9sine\"]") << QByteArray("/printer-profiles/h:1")
            << QStringList({ ev("fetchedProfilesChanged", "[\"R\xc3\xa9sine\"]"),
                   ev("fetchingResultChanged", "[\"R\xc3\xa9sine\"]") });
        QTest::newRow("empty arguments unaltered")
            << QString() << QString() << 200 << QByteArray("[1]")
            << QByteArray("/printer-profiles/:")
            << QStringList(
                   { ev("fetchedProfilesChanged", "[1]"), ev("fetchingResultChanged", "[1]") });
        QTest::newRow("HTTP 404 leaves the error text")
            << QStringLiteral("10.0.0.7") << QStringLiteral("80") << 404 << QByteArray("[1]")
            << QByteArray("/printer-profiles/10.0.0.7:80")
            << QStringList({ ev("fetchedProfilesChanged",
                   "Error transferring http://127.0.0.1:18383/printer-profiles/10.0.0.7:80 - "
                   "server "
                   "replied: Not Found") });
    }

    void profiles()
    {
        QFETCH(QString, ip);
        QFETCH(QString, port);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, path);
        QFETCH(QStringList, expected);
        QVERIFY(m_agent->listen());
        m_agent->setAnswer(path, status, body);
        Netlib lib;
        EmissionRecorder recorder(&lib);
        QSignalSpy text(&lib, &Netlib::fetchedProfilesChanged);
        lib.fetchProfiles(ip, port);
        QVERIFY(text.wait());
        QCOMPARE(recorder.events, expected);
        QCOMPARE(lib.fetchedProfiles(), text.at(0).at(0).toString());
        QCOMPARE(m_agent->requests().size(), 1);
        QCOMPARE(m_agent->requests().at(0).method, QByteArray("GET"));
        QCOMPARE(m_agent->requests().at(0).path, path);
        QCOMPARE(m_agent->requests().at(0).contentType, jsonType);
    }

    void profilesWithNothingListening()
    {
        QVERIFY(portIsFree());
        Netlib lib;
        EmissionRecorder recorder(&lib);
        QSignalSpy text(&lib, &Netlib::fetchedProfilesChanged);
        lib.fetchProfiles(QStringLiteral("10.0.0.7"), QStringLiteral("80"));
        QVERIFY(text.wait());
        QCOMPARE(
            recorder.events, QStringList({ ev("fetchedProfilesChanged", "Connection refused") }));
    }

    void profilesEmptyBodyChangesNothing()
    {
        QVERIFY(m_agent->listen());
        m_agent->setAnswers(
            "/printer-profiles/h:1", { { 200, QByteArray() }, { 200, QByteArray("[2]") } });
        Netlib lib;
        lib.setFetchedProfiles(QStringLiteral("[1]"));
        EmissionRecorder recorder(&lib);
        QSignalSpy arrived(m_agent.data(), &FakeAgent::requestReceived);
        lib.fetchProfiles(QStringLiteral("h"), QStringLiteral("1"));
        QVERIFY(arrived.wait());
        // The empty answer was on its way before the second request left.
        QSignalSpy text(&lib, &Netlib::fetchedProfilesChanged);
        lib.fetchProfiles(QStringLiteral("h"), QStringLiteral("1"));
        QVERIFY(text.wait());
        QCOMPARE(recorder.events,
            QStringList(
                { ev("fetchedProfilesChanged", "[2]"), ev("fetchingResultChanged", "[2]") }));
    }

    void profilesSameBodyEmitsEachTime()
    {
        QVERIFY(m_agent->listen());
        m_agent->setAnswer("/printer-profiles/h:1", 200, QByteArray("[]"));
        Netlib lib;
        QSignalSpy text(&lib, &Netlib::fetchedProfilesChanged);
        QSignalSpy arrays(&lib, &Netlib::fetchingResultChanged);
        lib.fetchProfiles(QStringLiteral("h"), QStringLiteral("1"));
        QVERIFY(text.wait());
        lib.fetchProfiles(QStringLiteral("h"), QStringLiteral("1"));
        QVERIFY(text.wait());
        QCOMPARE(text.size(), 2);
        QCOMPARE(arrays.size(), 2);
    }

    void singleSliceRequest_data()
    {
        QTest::addColumn<QUrl>("folder");
        QTest::addColumn<QString>("exportName");
        QTest::addColumn<QString>("ip");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("profile");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("body");
        const QUrl jobs = QUrl::fromLocalFile(QStringLiteral("/home/u/jobs"));
        QTest::newRow("fields in order")
            << jobs << QStringLiteral("part.stl") << QStringLiteral("192.0.2.10")
            << QStringLiteral("80") << QStringLiteral("3") << QStringLiteral("job one")
            << QByteArray(
                   "stl=/home/u/jobs/part.stl&printer=192.0.2.10:80&profile=3&name=job%20one");
        QTest::newRow("empty export name")
            << jobs << QString() << QStringLiteral("h") << QStringLiteral("1")
            << QStringLiteral("3") << QStringLiteral("n")
            << QByteArray("stl=/home/u/jobs/&printer=h:1&profile=3&name=n");
        QTest::newRow("folder that is not a local file")
            << QUrl(QStringLiteral("http://example.invalid/jobs")) << QStringLiteral("part.stl")
            << QStringLiteral("h") << QStringLiteral("1") << QStringLiteral("3")
            << QStringLiteral("n") << QByteArray("stl=/part.stl&printer=h:1&profile=3&name=n");
        QTest::newRow("folder ending in a slash")
            << QUrl(QStringLiteral("file:///home/u/jobs/")) << QStringLiteral("part.stl")
            << QStringLiteral("h") << QStringLiteral("1") << QStringLiteral("3")
            << QStringLiteral("n")
            << QByteArray("stl=/home/u/jobs//part.stl&printer=h:1&profile=3&name=n");
        QTest::newRow("empty printer gives a colon")
            << jobs << QStringLiteral("part.stl") << QString() << QString() << QStringLiteral("3")
            << QStringLiteral("n")
            << QByteArray("stl=/home/u/jobs/part.stl&printer=:&profile=3&name=n");
        QTest::newRow("plus signs kept")
            << QUrl::fromLocalFile(QStringLiteral("/home/u/c++")) << QStringLiteral("a+b.stl")
            << QStringLiteral("h") << QStringLiteral("1") << QStringLiteral("3")
            << QStringLiteral("a+b")
            << QByteArray("stl=/home/u/c%2B%2B/a%2Bb.stl&printer=h:1&profile=3&name=a%2Bb");
        QTest::newRow("spaces and delimiters")
            << QUrl::fromLocalFile(QStringLiteral("/home/u/my jobs"))
            << QStringLiteral("my part.stl") << QStringLiteral("h") << QStringLiteral("1")
            << QStringLiteral("a=b") << QStringLiteral("x&y#z")
            << QByteArray(
                   "stl=/home/u/my%20jobs/my%20part.stl&printer=h:1&profile=a%3Db&name=x%26y%23z");
    }

    void singleSliceRequest()
    {
        QFETCH(QUrl, folder);
        QFETCH(QString, exportName);
        QFETCH(QString, ip);
        QFETCH(QString, port);
        QFETCH(QString, profile);
        QFETCH(QString, name);
        QFETCH(QByteArray, body);
        QVERIFY(m_agent->listen());
        m_agent->setAnswer("/slice/preview", 200, QByteArray("{\"path\":\"/tmp/job 1\"}"));
        Netlib lib;
        EmissionRecorder recorder(&lib);
        QVERIFY(lib.agentSlice(folder, exportName, ip, port, profile, name));
        QVERIFY(lib.slicingInProgress());
        QVERIFY(recorder.waitFor(ev("pathOfLayerImagesChanged", "/tmp/job 1")));
        lib.setSlicingInProgress(false);
        QCOMPARE(recorder.events,
            QStringList({ ev("slicingInProgressChanged", "true"),
                ev("pathOfLayerImagesChanged", "/tmp/job 1"),
                ev("slicingInProgressChanged", "false"), ev("layerIDChanged", "") }));
        QCOMPARE(m_agent->requests().size(), 1);
        const AgentRequest request = m_agent->requests().at(0);
        QCOMPARE(request.method, QByteArray("POST"));
        QCOMPARE(request.path, QByteArray("/slice/preview"));
        QCOMPARE(request.contentType, formType);
        QCOMPARE(request.body, body);
    }

    void multiSliceRequest_data()
    {
        QTest::addColumn<QStringList>("exportNames");
        QTest::addColumn<QStringList>("profileIDs");
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("two items")
            << QStringList({ QStringLiteral("a.stl"), QStringLiteral("b.stl") })
            << QStringList({ QStringLiteral("3"), QStringLiteral("5") })
            << QByteArray(
                   "count=2&printer=192.0.2.10:80&name=two&stls_1=/home/u/jobs/a.stl&profiles_1=3"
                   "&stls_2=/home/u/jobs/b.stl&profiles_2=5");
        QTest::newRow("no items") << QStringList() << QStringList()
                                  << QByteArray("count=0&printer=192.0.2.10:80&name=two");
        QTest::newRow("repeated names kept")
            << QStringList({ QStringLiteral("a.stl"), QStringLiteral("a.stl") })
            << QStringList({ QStringLiteral("3"), QStringLiteral("3") })
            << QByteArray(
                   "count=2&printer=192.0.2.10:80&name=two&stls_1=/home/u/jobs/a.stl&profiles_1=3"
                   "&stls_2=/home/u/jobs/a.stl&profiles_2=3");
        QStringList names;
        QStringList ids;
        QByteArray eleven("count=11&printer=192.0.2.10:80&name=two");
        for (int i = 1; i <= 11; ++i) {
            names << QStringLiteral("p%1.stl").arg(i);
            ids << QString::number(i * 10);
            eleven += "&stls_" + QByteArray::number(i) + "=/home/u/jobs/p" + QByteArray::number(i)
                + ".stl&profiles_" + QByteArray::number(i) + '=' + QByteArray::number(i * 10);
        }
        QTest::newRow("numbers without leading zeros") << names << ids << eleven;
    }

    void multiSliceRequest()
    {
        QFETCH(QStringList, exportNames);
        QFETCH(QStringList, profileIDs);
        QFETCH(QByteArray, body);
        QVERIFY(m_agent->listen());
        m_agent->setAnswer("/advanced-slice", 200, QByteArray("{\"path\":\"/tmp/multi\"}"));
        Netlib lib;
        EmissionRecorder recorder(&lib);
        QVERIFY(lib.mutliItemSlice(QUrl::fromLocalFile(QStringLiteral("/home/u/jobs")), exportNames,
            QStringLiteral("192.0.2.10"), QStringLiteral("80"), profileIDs, QStringLiteral("two")));
        QVERIFY(recorder.waitFor(ev("pathOfLayerImagesChanged", "/tmp/multi")));
        lib.setSlicingInProgress(false);
        QCOMPARE(recorder.events.mid(0, 2),
            QStringList({ ev("slicingInProgressChanged", "true"),
                ev("pathOfLayerImagesChanged", "/tmp/multi") }));
        QCOMPARE(m_agent->requests().size(), 1);
        const AgentRequest request = m_agent->requests().at(0);
        QCOMPARE(request.method, QByteArray("POST"));
        QCOMPARE(request.path, QByteArray("/advanced-slice"));
        QCOMPARE(request.contentType, formType);
        QCOMPARE(request.body, body);
    }

    void multiSliceListsOfDifferentLength()
    {
        QVERIFY(m_agent->listen());
        Netlib lib;
        EmissionRecorder recorder(&lib);
        QVERIFY(!lib.mutliItemSlice(QUrl::fromLocalFile(QStringLiteral("/home/u/jobs")),
            { QStringLiteral("a.stl"), QStringLiteral("b.stl") }, QStringLiteral("h"),
            QStringLiteral("1"), { QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3") },
            QStringLiteral("n")));
        QVERIFY(!lib.slicingInProgress());
        // A later request is the first one the agent sees.
        lib.agentDiscover();
        QVERIFY(recorder.waitFor(ev("discoveryInProgressChanged", "false")));
        QCOMPARE(m_agent->paths(), QList<QByteArray>({ "/printer-details" }));
        QCOMPARE(recorder.events.first(), ev("discoveryInProgressChanged", "true"));
    }

    void slicingRequestFails_data()
    {
        QTest::addColumn<bool>("listening");
        QTest::addColumn<int>("status");
        QTest::newRow("nothing listening") << false << 0;
        QTest::newRow("HTTP 404") << true << 404;
        QTest::newRow("HTTP 500") << true << 500;
    }

    void slicingRequestFails()
    {
        QFETCH(bool, listening);
        QFETCH(int, status);
        if (listening) {
            QVERIFY(m_agent->listen());
            m_agent->setAnswer("/slice/preview", status, QByteArray("{\"path\":\"/tmp/x\"}"));
        } else {
            QVERIFY(portIsFree());
        }
        Netlib lib;
        lib.setLayerID(QStringLiteral("4"));
        lib.setLayerCount(QStringLiteral("9"));
        EmissionRecorder recorder(&lib);
        QVERIFY(lib.agentSlice(QUrl::fromLocalFile(QStringLiteral("/tmp")), QStringLiteral("a.stl"),
            QStringLiteral("h"), QStringLiteral("1"), QStringLiteral("3"), QStringLiteral("n")));
        QVERIFY(recorder.waitFor(ev("slicingDoneChanged", "false")));
        QCOMPARE(recorder.events,
            QStringList(
                { ev("slicingInProgressChanged", "true"), ev("slicingInProgressChanged", "false"),
                    ev("layerIDChanged", ""), ev("slicingDoneChanged", "false") }));
        QCOMPARE(lib.layerCount(), QStringLiteral("9"));
        QCOMPARE(lib.pathOfLayerImages(), QString());
    }

    void slicingReplyWithoutPath()
    {
        QVERIFY(m_agent->listen());
        m_agent->setAnswer("/slice/preview", 200, QByteArray("{\"path\":7}"));
        Netlib lib;
        lib.setPathOfLayerImages(QStringLiteral("/old"));
        QSignalSpy path(&lib, &Netlib::pathOfLayerImagesChanged);
        lib.agentSlice(QUrl::fromLocalFile(QStringLiteral("/tmp")), QStringLiteral("a.stl"),
            QStringLiteral("h"), QStringLiteral("1"), QStringLiteral("3"), QStringLiteral("n"));
        QVERIFY(path.wait());
        QCOMPARE(path.size(), 1);
        QCOMPARE(path.at(0).at(0).toString(), QString());
        QVERIFY(lib.slicingInProgress());
        lib.setSlicingInProgress(false);
    }

    void sendRequest_data()
    {
        QTest::addColumn<QString>("ip");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("profile");
        QTest::addColumn<QString>("jobName");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("fields in order")
            << QStringLiteral("192.168.1.50") << QStringLiteral("80") << QStringLiteral("3")
            << QStringLiteral("plate1") << QStringLiteral("/tmp/job")
            << QByteArray("printer=192.168.1.50:80&profile=3&name=plate1&path=/tmp/job");
        QTest::newRow("delimiters in the name")
            << QStringLiteral("h") << QStringLiteral("1") << QStringLiteral("3")
            << QStringLiteral("a & b") << QStringLiteral("/tmp/job")
            << QByteArray("printer=h:1&profile=3&name=a%20%26%20b&path=/tmp/job");
        QTest::newRow("empty port keeps the colon")
            << QStringLiteral("h") << QString() << QStringLiteral("3") << QStringLiteral("n")
            << QStringLiteral("/tmp/job")
            << QByteArray("printer=h:&profile=3&name=n&path=/tmp/job");
        QTest::newRow("plus in name and path")
            << QStringLiteral("h") << QStringLiteral("1") << QStringLiteral("3")
            << QStringLiteral("a+b") << QStringLiteral("/tmp/c++ jobs")
            << QByteArray("printer=h:1&profile=3&name=a%2Bb&path=/tmp/c%2B%2B%20jobs");
    }

    void sendRequest()
    {
        QFETCH(QString, ip);
        QFETCH(QString, port);
        QFETCH(QString, profile);
        QFETCH(QString, jobName);
        QFETCH(QString, path);
        QFETCH(QByteArray, body);
        QVERIFY(m_agent->listen());
        m_agent->setAnswer("/slice/send", 200, QByteArray("{}"));
        Netlib lib;
        EmissionRecorder recorder(&lib);
        QVERIFY(lib.agentSliceSend(ip, port, profile, jobName, path));
        QVERIFY(lib.sliceSendInProgress());
        QVERIFY(recorder.waitFor(ev("sliceSendInProgressChanged", "false")));
        QCOMPARE(recorder.events,
            QStringList({ ev("sliceSendInProgressChanged", "true"), ev("sliceSendResult", "true,"),
                ev("sliceSendInProgressChanged", "false") }));
        QCOMPARE(m_agent->requests().size(), 1);
        const AgentRequest request = m_agent->requests().at(0);
        QCOMPARE(request.method, QByteArray("POST"));
        QCOMPARE(request.path, QByteArray("/slice/send"));
        QCOMPARE(request.contentType, formType);
        QCOMPARE(request.body, body);
    }

    void sendFails_data()
    {
        QTest::addColumn<bool>("listening");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("message");
        QTest::newRow("nothing listening")
            << false << 0 << QByteArray() << QStringLiteral("Connection refused");
        QTest::newRow("agent's error text")
            << true << 500 << QByteArray("{\"error\":\"printer offline\"}")
            << QStringLiteral("printer offline");
        QTest::newRow("network text without one")
            << true << 404 << QByteArray("Not here")
            << QStringLiteral("Error transferring http://127.0.0.1:18383/slice/send - server "
                              "replied: Not Found");
    }

    void sendFails()
    {
        QFETCH(bool, listening);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, message);
        if (listening) {
            QVERIFY(m_agent->listen());
            m_agent->setAnswer("/slice/send", status, body);
        } else {
            QVERIFY(portIsFree());
        }
        Netlib lib;
        EmissionRecorder recorder(&lib);
        QVERIFY(lib.agentSliceSend(QStringLiteral("h"), QStringLiteral("1"), QStringLiteral("3"),
            QStringLiteral("n"), QStringLiteral("/tmp/job")));
        QVERIFY(recorder.waitFor(ev("sliceSendInProgressChanged", "false")));
        QCOMPARE(recorder.events,
            QStringList({ ev("sliceSendInProgressChanged", "true"),
                ev("sliceSendResult", QStringLiteral("false,") + message),
                ev("sliceSendInProgressChanged", "false") }));
    }

    void download_data()
    {
        // destination: "new", "existing", "none" (never set), "bare path" (a
        // URL without scheme) or "late" (set after the request left). file:
        // how the answer names the job file.
        QTest::addColumn<QString>("destination");
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("moved");
        QTest::addColumn<QString>("message");
        QTest::newRow("new destination")
            << QStringLiteral("new") << QStringLiteral("string") << true << QString();
        QTest::newRow("destination set while the agent works")
            << QStringLiteral("late") << QStringLiteral("string") << true << QString();
        QTest::newRow("existing destination")
            << QStringLiteral("existing") << QStringLiteral("string") << false
            << QStringLiteral(
                   "The job file was not saved to %1: a file of that name already exists.");
        QTest::newRow("no destination")
            << QStringLiteral("none") << QStringLiteral("string") << false
            << QStringLiteral("The job file was not saved: no destination file was chosen.");
        QTest::newRow("destination not a local file URL")
            << QStringLiteral("bare path") << QStringLiteral("string") << false
            << QStringLiteral("The job file was not saved to %1: it is not a local file.");
        QTest::newRow("file is a number")
            << QStringLiteral("new") << QStringLiteral("number") << false
            << QStringLiteral("The job file was not saved to %1: the agent named no job file.");
        QTest::newRow("no file member")
            << QStringLiteral("new") << QStringLiteral("missing") << false
            << QStringLiteral("The job file was not saved: the agent named no job file.");
        QTest::newRow("no file member, the agent says why") << QStringLiteral(
            "new") << QStringLiteral("error") << false << QStringLiteral("no job in that folder");
        QTest::newRow("answer not JSON")
            << QStringLiteral("new") << QStringLiteral("garbage") << false
            << QStringLiteral("The job file was not saved: the agent named no job file.");
        QTest::newRow("agent's file missing")
            << QStringLiteral("new") << QStringLiteral("gone") << false
            << QStringLiteral(
                   "The job file was not saved to %1: the agent's job file %2 does not exist.");
    }

    void download()
    {
        QFETCH(QString, destination);
        QFETCH(QString, file);
        QFETCH(bool, moved);
        QFETCH(QString, message);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString source = dir.filePath(QStringLiteral("agent job.bin"));
        const QString gone = dir.filePath(QStringLiteral("gone.bin"));
        const QString target = dir.filePath(QStringLiteral("saved job.bin"));
        QVERIFY(writeFile(source, QByteArrayLiteral("job bytes")));
        if (destination == QLatin1String("existing"))
            QVERIFY(writeFile(target, QByteArrayLiteral("older job")));

        QByteArray answer;
        if (file == QLatin1String("string"))
            answer = "{\"file\":" + jsonString(source) + ",\"size\":9}";
        else if (file == QLatin1String("number"))
            answer = "{\"file\":12}";
        else if (file == QLatin1String("missing"))
            answer = "{\"path\":" + jsonString(source) + '}';
        else if (file == QLatin1String("gone"))
            answer = "{\"file\":" + jsonString(gone) + '}';
        else if (file == QLatin1String("error"))
            answer = "{\"error\":\"no job in that folder\"}";
        else
            answer = "file";
        QVERIFY(m_agent->listen());
        m_agent->setAnswer("/slice/download", 200, answer);

        Netlib lib;
        if (destination == QLatin1String("new") || destination == QLatin1String("existing"))
            lib.setSliceDownloadFileUrl(QUrl::fromLocalFile(target));
        else if (destination == QLatin1String("bare path"))
            lib.setSliceDownloadFileUrl(QUrl(target));
        else if (destination == QLatin1String("late"))
            lib.setSliceDownloadFileUrl(
                QUrl::fromLocalFile(dir.filePath(QStringLiteral("first.bin"))));
        EmissionRecorder recorder(&lib);
        QVERIFY(lib.agentSliceDownload(QStringLiteral("/tmp/job one")));
        QVERIFY(lib.sliceDownloadInProgress());
        if (destination == QLatin1String("late"))
            lib.setSliceDownloadFileUrl(QUrl::fromLocalFile(target));
        QVERIFY(recorder.waitFor(ev("sliceDownloadInProgressChanged", "false")));

        const QString expectedMessage = message.contains(QLatin1String("%2"))
            ? message.arg(target, gone)
            : message.contains(QLatin1String("%1")) ? message.arg(target)
                                                    : message;
        QStringList expected { ev("sliceDownloadInProgressChanged", "true") };
        if (destination == QLatin1String("late"))
            expected << ev("sliceDownloadFileUrlChanged", QUrl::fromLocalFile(target).toString());
        expected << ev("sliceDownloadResult",
            (moved ? QStringLiteral("true,") : QStringLiteral("false,")) + expectedMessage)
                 << ev("sliceDownloadInProgressChanged", "false");
        QCOMPARE(recorder.events, expected);

        QCOMPARE(m_agent->requests().size(), 1);
        const AgentRequest request = m_agent->requests().at(0);
        QCOMPARE(request.method, QByteArray("POST"));
        QCOMPARE(request.path, QByteArray("/slice/download"));
        QCOMPARE(request.contentType, formType);
        QCOMPARE(request.body, QByteArray("path=/tmp/job%20one"));

        if (moved) {
            QCOMPARE(readFile(target), QByteArrayLiteral("job bytes"));
            QVERIFY(!QFileInfo::exists(source));
        } else {
            QCOMPARE(readFile(source), QByteArrayLiteral("job bytes"));
            QCOMPARE(QFileInfo::exists(target), destination == QLatin1String("existing"));
            if (destination == QLatin1String("existing"))
                QCOMPARE(readFile(target), QByteArrayLiteral("older job"));
        }
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("first.bin"))));
    }

    void downloadFails_data()
    {
        QTest::addColumn<bool>("listening");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("message");
        QTest::newRow("nothing listening")
            << false << 0 << QByteArray() << QStringLiteral("Connection refused");
        QTest::newRow("agent's error text")
            << true << 500 << QByteArray("{\"error\":\"no such job\",\"file\":\"/x\"}")
            << QStringLiteral("no such job");
        QTest::newRow("network text without one")
            << true << 404 << QByteArray()
            << QStringLiteral("Error transferring http://127.0.0.1:18383/slice/download - server "
                              "replied: Not Found");
    }

    void downloadFails()
    {
        QFETCH(bool, listening);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, message);
        if (listening) {
            QVERIFY(m_agent->listen());
            m_agent->setAnswer("/slice/download", status, body);
        } else {
            QVERIFY(portIsFree());
        }
        Netlib lib;
        EmissionRecorder recorder(&lib);
        QVERIFY(lib.agentSliceDownload(QStringLiteral("/tmp/job")));
        QVERIFY(recorder.waitFor(ev("sliceDownloadInProgressChanged", "false")));
        QCOMPARE(recorder.events,
            QStringList({ ev("sliceDownloadInProgressChanged", "true"),
                ev("sliceDownloadResult", QStringLiteral("false,") + message),
                ev("sliceDownloadInProgressChanged", "false") }));
    }

    void overlappingDiscoveryAndProfiles_data()
    {
        QTest::addColumn<bool>("discoveryFirst");
        QTest::newRow("discovery sent and answered first") << true;
        QTest::newRow("profiles sent and answered first") << false;
    }

    void overlappingDiscoveryAndProfiles()
    {
        QFETCH(bool, discoveryFirst);
        QVERIFY(m_agent->listen());
        m_agent->setAnswer(
            "/printer-details", 200, QByteArray("{\"printers_array\":[{\"name\":\"P\"}]}"));
        m_agent->setAnswer("/printer-profiles/h:1", 200, QByteArray("[{\"Title\":\"Fine\"}]"));
        m_agent->holdPath("/printer-details");
        m_agent->holdPath("/printer-profiles/h:1");
        Netlib lib;
        EmissionRecorder recorder(&lib);
        QSignalSpy arrived(m_agent.data(), &FakeAgent::requestReceived);
        // The second request replaces the shared reply while the first waits,
        // and the first is answered while the second is still outstanding.
        if (discoveryFirst) {
            lib.agentDiscover();
            lib.fetchProfiles(QStringLiteral("h"), QStringLiteral("1"));
        } else {
            lib.fetchProfiles(QStringLiteral("h"), QStringLiteral("1"));
            lib.agentDiscover();
        }
        QTRY_COMPARE(arrived.size(), 2);
        const QByteArray first = discoveryFirst ? "/printer-details" : "/printer-profiles/h:1";
        const QByteArray second = discoveryFirst ? "/printer-profiles/h:1" : "/printer-details";
        const QString profilesDone = ev("fetchingResultChanged", "[{\"Title\":\"Fine\"}]");
        const QString discoveryDone = ev("discoveryInProgressChanged", "false");
        QVERIFY(m_agent->releaseHeld(first));
        QVERIFY(recorder.waitFor(discoveryFirst ? discoveryDone : profilesDone));
        QVERIFY(m_agent->releaseHeld(second));
        QVERIFY(recorder.waitFor(discoveryFirst ? profilesDone : discoveryDone));
        QVERIFY(recorder.events.contains(ev("discoveryResultChanged", "[{\"name\":\"P\"}]")));
        QVERIFY(recorder.events.contains(ev("fetchedProfilesChanged", "[{\"Title\":\"Fine\"}]")));
        QCOMPARE(recorder.events.size(), 5);
        QCOMPARE(lib.fetchedProfiles(), QStringLiteral("[{\"Title\":\"Fine\"}]"));
    }

    void overlappingSendAndDownload()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString source = dir.filePath(QStringLiteral("job.bin"));
        QVERIFY(writeFile(source, QByteArrayLiteral("job")));
        QVERIFY(m_agent->listen());
        m_agent->setAnswer("/slice/send", 500, QByteArray("{\"error\":\"printer offline\"}"));
        m_agent->setAnswer("/slice/download", 200, "{\"file\":" + jsonString(source) + '}');
        m_agent->holdPath("/slice/send");
        m_agent->holdPath("/slice/download");
        Netlib lib;
        lib.setSliceDownloadFileUrl(QUrl::fromLocalFile(dir.filePath(QStringLiteral("saved.bin"))));
        EmissionRecorder recorder(&lib);
        QSignalSpy arrived(m_agent.data(), &FakeAgent::requestReceived);
        lib.agentSliceSend(QStringLiteral("h"), QStringLiteral("1"), QStringLiteral("3"),
            QStringLiteral("n"), QStringLiteral("/tmp/job"));
        lib.agentSliceDownload(QStringLiteral("/tmp/job"));
        QTRY_COMPARE(arrived.size(), 2);
        // The send is answered while the download, sent later, is outstanding.
        QVERIFY(m_agent->releaseHeld("/slice/send"));
        QVERIFY(recorder.waitFor(ev("sliceSendInProgressChanged", "false")));
        QVERIFY(m_agent->releaseHeld("/slice/download"));
        QVERIFY(recorder.waitFor(ev("sliceDownloadInProgressChanged", "false")));
        QVERIFY(recorder.events.contains(ev("sliceSendResult", "false,printer offline")));
        QVERIFY(recorder.events.contains(ev("sliceDownloadResult", "true,")));
        QCOMPARE(readFile(dir.filePath(QStringLiteral("saved.bin"))), QByteArrayLiteral("job"));
    }

    void requestKeepsNothingFromTheLastOne()
    {
        // The shared request is re-targeted each time: a GET after a POST
        // carries the JSON content type again.
        QVERIFY(m_agent->listen());
        m_agent->setAnswer("/slice/send", 200, QByteArray());
        m_agent->setAnswer("/printer-details", 200, QByteArray("{}"));
        Netlib lib;
        EmissionRecorder recorder(&lib);
        lib.agentSliceSend(QStringLiteral("h"), QStringLiteral("1"), QStringLiteral("3"),
            QStringLiteral("n"), QStringLiteral("/tmp/job"));
        QVERIFY(recorder.waitFor(ev("sliceSendInProgressChanged", "false")));
        lib.agentDiscover();
        QVERIFY(recorder.waitFor(ev("discoveryInProgressChanged", "false")));
        const QList<AgentRequest> requests = m_agent->requests();
        QCOMPARE(requests.size(), 2);
        QCOMPARE(requests.at(0).contentType, formType);
        QCOMPARE(requests.at(1).method, QByteArray("GET"));
        QCOMPARE(requests.at(1).path, QByteArray("/printer-details"));
        QCOMPARE(requests.at(1).contentType, jsonType);
        QCOMPARE(requests.at(1).body, QByteArray());
    }

    void ownedObjectsGoInReverseOrder()
    {
        ObjectTracker tracker;
        tracker.start();
        auto* lib = new Netlib;
        tracker.stop();
        QStringList released;
        const auto watch = [&released, lib](QObject* object, bool owned, const QString& name) {
            if (owned)
                connect(object, &QObject::destroyed, [&released, name] { released << name; });
        };
        for (const QPointer<QTimer>& timer : tracker.alive<QTimer>())
            watch(timer, timer->parent() == lib, QStringLiteral("timer"));
        for (const QPointer<QProcess>& process : tracker.alive<QProcess>())
            watch(process, process->parent() == lib, QStringLiteral("process"));
        for (const QPointer<QNetworkAccessManager>& manager :
            tracker.alive<QNetworkAccessManager>())
            watch(manager, true, QStringLiteral("manager"));
        delete lib;
        QCOMPARE(released,
            QStringList(
                { QStringLiteral("timer"), QStringLiteral("process"), QStringLiteral("manager") }));
    }

    void repliesAreReleased()
    {
        QVERIFY(m_agent->listen());
        m_agent->setAnswer("/printer-details", 200, QByteArray("{\"printers_array\":[]}"));
        m_agent->setAnswer("/printer-profiles/h:1", 404, QByteArray());
        m_agent->setAnswer("/slice/send", 200, QByteArray());
        m_agent->setAnswer("/slice/download", 200, QByteArray("{}"));
        m_agent->setAnswer("/slice/preview", 500, QByteArray());
        Netlib lib;
        EmissionRecorder recorder(&lib);
        ObjectTracker tracker;
        tracker.start();
        lib.agentDiscover();
        lib.fetchProfiles(QStringLiteral("h"), QStringLiteral("1"));
        lib.agentSliceSend(QStringLiteral("h"), QStringLiteral("1"), QStringLiteral("3"),
            QStringLiteral("n"), QStringLiteral("/tmp/job"));
        lib.agentSliceDownload(QStringLiteral("/tmp/job"));
        lib.agentSlice(QUrl::fromLocalFile(QStringLiteral("/tmp")), QStringLiteral("a.stl"),
            QStringLiteral("h"), QStringLiteral("1"), QStringLiteral("3"), QStringLiteral("n"));
        tracker.stop();
        const QList<QPointer<QNetworkReply>> replies = tracker.alive<QNetworkReply>();
        QCOMPARE(replies.size(), 5);
        QVERIFY(recorder.waitFor(ev("discoveryInProgressChanged", "false")));
        QVERIFY(recorder.waitFor(ev("fetchedProfilesChanged",
            "Error transferring http://127.0.0.1:18383/printer-profiles/h:1 - server replied: Not "
            "Found")));
        QVERIFY(recorder.waitFor(ev("sliceSendInProgressChanged", "false")));
        QVERIFY(recorder.waitFor(ev("sliceDownloadInProgressChanged", "false")));
        QVERIFY(recorder.waitFor(ev("slicingDoneChanged", "false")));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        for (const QPointer<QNetworkReply>& reply : replies)
            QVERIFY(reply.isNull());
    }

private:
    // The "nothing listening" cases need the port free: taking it for a
    // moment proves that no other server has it.
    bool portIsFree()
    {
        const bool free = m_agent->listen();
        m_agent->close();
        return free;
    }

    QScopedPointer<FakeAgent> m_agent;
};

QTEST_GUILESS_MAIN(TestNetlib)
#include "tst_netlib.moc"
