// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Sliced jobs sent through the agent to printer host emulators on 127.0.0.1, in both dialects,
// with each kind of credential, and every way a host can fail.
#include "agentprocess.h"
#include "../shared/filebytes.h"
#include "formbody.h"
#include "netlib.h"
#include "printerhost.h"
#include "privatenetwork.h"
#include "stlbuilder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMap>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <map>
#include <memory>

namespace {

const QString apiKey = QStringLiteral("K3y+with/odd=chars");
const QString user = QStringLiteral("maker");
const QString password = QStringLiteral("s3cret pass");
// The port the desktop client always talks to.
constexpr int clientPort = 18383;

QJsonObject profileRecord()
{
    return QJsonObject { { QStringLiteral("Title"), QStringLiteral("Coarse") },
        { QStringLiteral("ProfileID"), 1 }, { QStringLiteral("Depth"), 100 },
        { QStringLiteral("PixelsX"), testPixelsX }, { QStringLiteral("PixelsY"), testPixelsY },
        { QStringLiteral("PixelSizeX"), testPixelMm * 1000 }, { QStringLiteral("Exposure"), 5 },
        { QStringLiteral("MaxHeight"), 40 } };
}

// One emulated host: how it is started, and what the printers file says about it.
struct HostSetup {
    QStringList options;
    QJsonObject credentials; // the keys added to its printers file record
};

} // namespace

class TestAgentSend : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void configuredHostIsListedWithItsProfiles();
    void exposedSecretsAreReported();
    void jobLandsOnEveryKindOfHost_data();
    void jobLandsOnEveryKindOfHost();
    void namesAreMadeSafe_data();
    void namesAreMadeSafe();
    void failuresReachTheUser_data();
    void failuresReachTheUser();
    void slowHostBlocksNobody();
    void gooJobLandsAsGoo();
    void endingAgentDropsItsSends();

private:
    QString portOf(const QString& host) const;
    HttpAnswer send(const QString& host, const QString& name);
    QString printersFile() const { return m_dir.filePath(QStringLiteral("data/printers.json")); }

    QTemporaryDir m_dir;
    std::unique_ptr<AgentProcess> m_agent;
    std::unique_ptr<Netlib> m_netlib;
    std::map<QString, std::unique_ptr<PrinterHost>> m_hosts;
    QString m_job; // a finished job folder
    QByteArray m_file; // its job file, as a download gives it
};

void TestAgentSend::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qRegisterMetaType<QProcess::ExitStatus>(); // for the waits on an agent's end
    const QJsonObject keyCredentials { { QStringLiteral("apiKey"), apiKey } };
    const QJsonObject digestCredentials { { QStringLiteral("user"), user },
        { QStringLiteral("password"), password } };
    const QStringList keyHost { QStringLiteral("--api-key"), apiKey };
    const QStringList digestHost { QStringLiteral("--user"), user, QStringLiteral("--password"),
        password };
    const QStringList put { QStringLiteral("--dialect"), QStringLiteral("put") };
    const QStringList form { QStringLiteral("--dialect"), QStringLiteral("form") };
    const auto failing = [&](const char* mode) {
        return HostSetup { put + keyHost
                + QStringList { QStringLiteral("--fail"), QLatin1String(mode) },
            keyCredentials };
    };
    const std::map<QString, HostSetup> setups {
        { QStringLiteral("form key"), { form + keyHost, keyCredentials } },
        { QStringLiteral("form digest"), { form + digestHost, digestCredentials } },
        { QStringLiteral("put key"), { put + keyHost, keyCredentials } },
        { QStringLiteral("put digest"), { put + digestHost, digestCredentials } },
        { QStringLiteral("put other storage"),
            { put + keyHost + QStringList { QStringLiteral("--storage"), QStringLiteral("usb") },
                QJsonObject { { QStringLiteral("apiKey"), apiKey },
                    { QStringLiteral("storage"), QStringLiteral("usb") } } } },
        { QStringLiteral("wrong key"),
            { put + keyHost,
                QJsonObject { { QStringLiteral("apiKey"), QStringLiteral("nope") } } } },
        { QStringLiteral("wrong password"),
            { form + digestHost,
                QJsonObject { { QStringLiteral("user"), user },
                    { QStringLiteral("password"), QStringLiteral("wrong") } } } },
        { QStringLiteral("no credentials"), { put + keyHost, QJsonObject() } },
        { QStringLiteral("name taken"), failing("409") },
        { QStringLiteral("too large"), failing("413") },
        { QStringLiteral("storage full"), failing("507") },
        { QStringLiteral("type refused"), failing("415") },
        { QStringLiteral("internal error"), failing("500") },
        { QStringLiteral("stalls"), failing("stall") },
        { QStringLiteral("drips"), failing("drip") },
        { QStringLiteral("floods"), failing("flood") },
        { QStringLiteral("floods compressed"), failing("gzip-flood") },
        { QStringLiteral("endless head"), failing("long-head") },
        // A nonce that reads as a line break once percent-decoded, and one of 10 KB.
        { QStringLiteral("odd nonce"),
            { put + digestHost
                    + QStringList { QStringLiteral("--nonce"),
                        QStringLiteral("ab%0D%0AX-Injected:%20yes") },
                digestCredentials } },
        { QStringLiteral("long nonce"),
            { put + digestHost
                    + QStringList { QStringLiteral("--nonce"), QString(10000, QLatin1Char('n')) },
                digestCredentials } },
        { QStringLiteral("basic first"),
            { form + digestHost + QStringList { QStringLiteral("--basic-first") },
                digestCredentials } },
        { QStringLiteral("hangs up"), failing("close") },
        { QStringLiteral("gone"), { put, QJsonObject() } },
        { QStringLiteral("other panel"), { put + keyHost, keyCredentials } },
        { QStringLiteral("goo printer"), { put + keyHost, keyCredentials } },
    };
    QJsonArray records;
    for (const auto& setup : setups) {
        auto host
            = std::make_unique<PrinterHost>(m_dir.filePath(QStringLiteral("hosts/") + setup.first));
        QVERIFY2(host->start(setup.second.options), qPrintable(setup.first));
        QJsonObject record = setup.second.credentials;
        record.insert(QStringLiteral("name"), setup.first);
        record.insert(QStringLiteral("ip"), QStringLiteral("127.0.0.1"));
        record.insert(QStringLiteral("port"), host->port());
        QJsonObject profile = profileRecord();
        // A display the job was not sliced for.
        if (setup.first == QLatin1String("other panel"))
            profile.insert(QStringLiteral("PixelsX"), testPixelsX / 2);
        if (setup.first == QLatin1String("goo printer"))
            record.insert(QStringLiteral("format"), QStringLiteral("goo"));
        record.insert(QStringLiteral("profiles_array"), QJsonArray { profile });
        records.append(record);
        m_hosts[setup.first] = std::move(host);
    }
    // Nothing listens on the port of a host that has ended.
    m_hosts[QStringLiteral("gone")]->stop();

    QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("data"))));
    QFile file(printersFile());
    QVERIFY(file.open(QIODevice::WriteOnly));
    const QByteArray document
        = QJsonDocument(QJsonObject { { QStringLiteral("printers_array"), records } }).toJson();
    QCOMPARE(file.write(document), qint64(document.size()));
    file.close();
    QVERIFY(file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner));

    // A job file an earlier agent left when it ended during a send.
    QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("data/outbox"))));
    QVERIFY(
        QFile(m_dir.filePath(QStringLiteral("data/outbox/left.sl1"))).open(QIODevice::WriteOnly));

    m_agent = std::make_unique<AgentProcess>(m_dir.filePath(QStringLiteral("data")));
    // Two seconds for a host's answer after the upload, not a minute, for the host that drips it.
    QVERIFY(m_agent->start(
        { QStringLiteral("--port"), QString::number(clientPort), QStringLiteral("--data-dir"),
            m_agent->dataDir(), QStringLiteral("--host-answer-seconds"), QStringLiteral("2") },
        withoutDiscovery()));
    const QString stl = m_dir.filePath(QStringLiteral("plate.stl"));
    QVERIFY(StlBuilder().box({ -3, -2, 0 }, { 3, 2, 1 }).write(stl));
    const HttpAnswer sliced = m_agent->post(QStringLiteral("/slice/preview"),
        formBody({ { QStringLiteral("stl"), stl },
            { QStringLiteral("printer"),
                QStringLiteral("127.0.0.1:") + portOf(QStringLiteral("put key")) },
            { QStringLiteral("profile"), QStringLiteral("1") },
            { QStringLiteral("name"), QStringLiteral("plate") } }));
    QCOMPARE(sliced.status, 200);
    m_job = sliced.object().value(QStringLiteral("path")).toString();
    QCOMPARE(m_agent->waitForJob(m_job).object().value(QStringLiteral("percentage")).toString(),
        QStringLiteral("100"));
    const HttpAnswer download = m_agent->post(
        QStringLiteral("/slice/download"), formBody({ { QStringLiteral("path"), m_job } }));
    QCOMPARE(download.status, 200);
    m_file = readFile(download.object().value(QStringLiteral("file")).toString());
    QVERIFY(m_file.startsWith("PK"));

    m_netlib = std::make_unique<Netlib>();
}

void TestAgentSend::cleanupTestCase()
{
    m_netlib.reset(); // asks the agent to end
    m_agent.reset();
    m_hosts.clear();
}

QString TestAgentSend::portOf(const QString& host) const
{
    return QString::number(m_hosts.at(host)->port());
}

HttpAnswer TestAgentSend::send(const QString& host, const QString& name)
{
    return m_agent->post(QStringLiteral("/slice/send"),
        formBody({ { QStringLiteral("printer"), QStringLiteral("127.0.0.1:") + portOf(host) },
            { QStringLiteral("profile"), QStringLiteral("1") }, { QStringLiteral("name"), name },
            { QStringLiteral("path"), m_job } }));
}

void TestAgentSend::configuredHostIsListedWithItsProfiles()
{
    const HttpAnswer details = m_agent->get(QStringLiteral("/printer-details"));
    QCOMPARE(details.status, 200);
    QJsonObject listed;
    for (const QJsonValue& value :
        details.object().value(QStringLiteral("printers_array")).toArray()) {
        if (value.toObject().value(QStringLiteral("name")).toString()
            == QLatin1String("put digest"))
            listed = value.toObject();
    }
    QCOMPARE(listed.value(QStringLiteral("port")).toString(), portOf(QStringLiteral("put digest")));
    QCOMPARE(listed.value(QStringLiteral("local")).toBool(true), false);
    // The secrets stay in the agent.
    QVERIFY(!details.body.contains(password.toUtf8()));
    QVERIFY(!details.body.contains("K3y+with"));
    QVERIFY(!details.object().contains(QStringLiteral("printers_file_error")));

    const HttpAnswer profiles = m_agent->get(
        QStringLiteral("/printer-profiles/127.0.0.1:") + portOf(QStringLiteral("put digest")));
    QCOMPARE(profiles.status, 200);
    const QJsonArray array = QJsonDocument::fromJson(profiles.body).array();
    QCOMPARE(array.size(), 1);
    QCOMPARE(
        array.at(0).toObject().value(QStringLiteral("Title")).toString(), QStringLiteral("Coarse"));
}

void TestAgentSend::exposedSecretsAreReported()
{
    QFile file(printersFile());
    QVERIFY(
        file.setPermissions(file.permissions() | QFileDevice::ReadOther | QFileDevice::ReadGroup));
    const HttpAnswer exposed = m_agent->get(QStringLiteral("/printer-details"));
    QVERIFY(file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    QCOMPARE(exposed.status, 200);
    const QString warning
        = exposed.object().value(QStringLiteral("printers_file_error")).toString();
    QVERIFY2(warning.endsWith(QStringLiteral("chmod 600 '%1'").arg(printersFile())),
        qPrintable(warning));
    // Still in use: the hosts are listed.
    QVERIFY(exposed.body.contains("\"put key\""));
    QVERIFY(!exposed.body.contains(password.toUtf8()));
}

void TestAgentSend::jobLandsOnEveryKindOfHost_data()
{
    QTest::addColumn<QString>("host");
    QTest::newRow("form upload, API key") << QStringLiteral("form key");
    QTest::newRow("form upload, Digest") << QStringLiteral("form digest");
    QTest::newRow("PUT, API key") << QStringLiteral("put key");
    QTest::newRow("PUT, Digest") << QStringLiteral("put digest");
    QTest::newRow("PUT to another storage") << QStringLiteral("put other storage");
    QTest::newRow("Digest nonce with escapes") << QStringLiteral("odd nonce");
    QTest::newRow("Digest offered after Basic") << QStringLiteral("basic first");
}

void TestAgentSend::jobLandsOnEveryKindOfHost()
{
    QFETCH(QString, host);
    const QString name = QStringLiteral("plate for ") + host;
    const HttpAnswer answer = send(host, name);
    QCOMPARE(answer.status, 200);
    const QString stored = name + QStringLiteral(".sl1");
    QCOMPARE(answer.object().value(QStringLiteral("file")).toString(), stored);
    QCOMPARE(m_hosts.at(host)->storedFiles(), QStringList { stored });
    QVERIFY(readFile(m_hosts.at(host)->folder() + QLatin1Char('/') + stored) == m_file);
    // The packed file was the agent's to remove, and so was the one left by an earlier run.
    QCOMPARE(
        QDir(m_agent->dataDir() + QStringLiteral("/outbox")).entryList(QDir::Files), QStringList());
}

void TestAgentSend::gooJobLandsAsGoo()
{
    // The printer list tells each printer's job file, and the maker of the built-in ones.
    const QJsonArray printers = m_agent->get(QStringLiteral("/printer-details"))
                                    .object()
                                    .value(QStringLiteral("printers_array"))
                                    .toArray();
    QMap<QString, QJsonObject> byName;
    for (const QJsonValue& value : printers)
        byName.insert(value.toObject().value(QStringLiteral("name")).toString(), value.toObject());
    QCOMPARE(byName.value(QStringLiteral("goo printer")).value(QStringLiteral("format")).toString(),
        QStringLiteral("goo"));
    QCOMPARE(byName.value(QStringLiteral("goo printer"))
                 .value(QStringLiteral("fileExtension"))
                 .toString(),
        QStringLiteral(".goo"));
    QCOMPARE(byName.value(QStringLiteral("Elegoo Saturn 3 Ultra"))
                 .value(QStringLiteral("maker"))
                 .toString(),
        QStringLiteral("Elegoo"));
    QCOMPARE(byName.value(QStringLiteral("put key")).value(QStringLiteral("format")).toString(),
        QStringLiteral("sl1"));

    // A job sliced for a printer that reads GOO files goes there as one, under its extension.
    const QString stl = m_dir.filePath(QStringLiteral("goo.stl"));
    QVERIFY(StlBuilder().box({ -2, -2, 0 }, { 2, 2, 1 }).write(stl));
    const QString printer = QStringLiteral("127.0.0.1:") + portOf(QStringLiteral("goo printer"));
    const HttpAnswer sliced = m_agent->post(QStringLiteral("/slice/preview"),
        formBody({ { QStringLiteral("stl"), stl }, { QStringLiteral("printer"), printer },
            { QStringLiteral("profile"), QStringLiteral("1") },
            { QStringLiteral("name"), QStringLiteral("resin block") } }));
    QCOMPARE(sliced.status, 200);
    const QString job = sliced.object().value(QStringLiteral("path")).toString();
    QCOMPARE(m_agent->waitForJob(job).object().value(QStringLiteral("percentage")).toString(),
        QStringLiteral("100"));
    const HttpAnswer answer = m_agent->post(QStringLiteral("/slice/send"),
        formBody({ { QStringLiteral("printer"), printer },
            { QStringLiteral("profile"), QStringLiteral("1") },
            { QStringLiteral("name"), QStringLiteral("resin block") },
            { QStringLiteral("path"), job } }));
    QCOMPARE(answer.status, 200);
    QCOMPARE(answer.object().value(QStringLiteral("file")).toString(),
        QStringLiteral("resin block.goo"));
    const QByteArray stored = readFile(
        m_hosts.at(QStringLiteral("goo printer"))->folder() + QStringLiteral("/resin block.goo"));
    QVERIFY(stored.startsWith("V3.0"));
    // The same bytes as the download of that job.
    const HttpAnswer download = m_agent->post(
        QStringLiteral("/slice/download"), formBody({ { QStringLiteral("path"), job } }));
    QCOMPARE(download.status, 200);
    const QString file = download.object().value(QStringLiteral("file")).toString();
    QVERIFY2(file.endsWith(QStringLiteral("/resin_block.goo")), qPrintable(file));
    QVERIFY(readFile(file) == stored);
    // The SL1 job of the other printers is no job for this one.
    const HttpAnswer refused = send(QStringLiteral("goo printer"), QStringLiteral("plate"));
    QCOMPARE(refused.status, 409);
    QVERIFY2(refused.object()
                 .value(QStringLiteral("error"))
                 .toString()
                 .contains(QStringLiteral("reads sl1 job files")),
        refused.body.constData());
}

void TestAgentSend::namesAreMadeSafe_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("stored");
    for (const QString& host : { QStringLiteral("form key"), QStringLiteral("put key") }) {
        const QByteArray tag = host.toLatin1() + ": ";
        QTest::newRow(tag + "separators")
            << host << QStringLiteral("../up/and\\out") << QStringLiteral("job.._up_and_out.sl1");
        QTest::newRow(tag + "quote and percent") << host << QStringLiteral("50% \"fine\" + more")
                                                 << QStringLiteral("50% \"fine\" + more.sl1");
    }
}

void TestAgentSend::namesAreMadeSafe()
{
    QFETCH(QString, host);
    QFETCH(QString, name);
    QFETCH(QString, stored);
    const HttpAnswer answer = send(host, name);
    QCOMPARE(answer.status, 200);
    QCOMPARE(answer.object().value(QStringLiteral("file")).toString(), stored);
    QVERIFY(m_hosts.at(host)->storedFiles().contains(stored));
    QVERIFY(readFile(m_hosts.at(host)->folder() + QLatin1Char('/') + stored) == m_file);
}

void TestAgentSend::failuresReachTheUser_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("sentence");
    const auto row = [](const char* host, int status, const QString& sentence) {
        QTest::newRow(host) << QString::fromLatin1(host) << status << sentence;
    };
    const QString refused
        = QStringLiteral("The printer host at %1 refused the API key or the user name and password "
                         "of the printers file. The host says: ");
    row("gone", 502,
        QStringLiteral("The printer host at %1 cannot be reached or refused the connection; check "
                       "that it is on and on this network."));
    row("wrong key", 403, refused + QStringLiteral("Invalid API key."));
    row("wrong password", 403, refused + QStringLiteral("Unauthorized."));
    row("no credentials", 403, refused + QStringLiteral("Unauthorized."));
    row("name taken", 409,
        QStringLiteral(
            "The printer host at %1 already has a file named refused.sl1 or is busy printing; "
            "rename the job or try again later. The host says: File is being printed."));
    row("too large", 507,
        QStringLiteral("The printer host at %1 has no room for the job file. The host says: "
                       "Payload too large."));
    row("storage full", 507,
        QStringLiteral("The printer host at %1 has no room for the job file. The host says: Not "
                       "enough space on the storage."));
    row("type refused", 415,
        QStringLiteral("The printer host at %1 does not take this type of job file. The host says: "
                       "File type not allowed."));
    row("internal error", 502,
        QStringLiteral("The printer host at %1 did not store the job (HTTP status 500). The host "
                       "says: Storage failure in the emulated host."));
    row("other panel", 409,
        QStringLiteral("The job was sliced for 200 x 120 pixels in layers of 100 µm, which the "
                       "profile \"Coarse\" of other panel does not print; slice it again for this "
                       "printer."));
    const QString tooLarge = QStringLiteral(
        "The printer host at %1 sent a far longer answer than any printer host gives, so the "
        "agent stopped reading it; the job is not confirmed.");
    row("floods", 502, tooLarge);
    row("floods compressed", 502, tooLarge);
    row("endless head", 502, tooLarge);
    row("drips", 504,
        QStringLiteral("The printer host at %1 took too long to answer after the upload, so the "
                       "job is not confirmed; check on the host whether it arrived."));
    row("long nonce", 502,
        QStringLiteral("The printer host at %1 asked for a password with a challenge too long to "
                       "answer, so the job was not sent."));
    row("hangs up", 502,
        QStringLiteral("The printer host at %1 closed the connection before it confirmed the job; "
                       "the job was not sent."));
}

void TestAgentSend::failuresReachTheUser()
{
    QFETCH(QString, host);
    QFETCH(int, status);
    QFETCH(QString, sentence);
    sentence.replace(QStringLiteral("%1"), QStringLiteral("127.0.0.1:") + portOf(host));

    const HttpAnswer answer = send(host, QStringLiteral("refused"));
    QCOMPARE(answer.status, status);
    QCOMPARE(answer.error(), sentence);

    // The same through the desktop client.
    QSignalSpy result(m_netlib.get(), &Netlib::sliceSendResult);
    QSignalSpy progress(m_netlib.get(), &Netlib::sliceSendInProgressChanged);
    QVERIFY(m_netlib->agentSliceSend(QStringLiteral("127.0.0.1"), portOf(host), QStringLiteral("1"),
        QStringLiteral("refused"), m_job));
    QVERIFY(result.wait(60000));
    QCOMPARE(result.at(0).at(0).toBool(), false);
    QCOMPARE(result.at(0).at(1).toString(), sentence);
    QCOMPARE(progress.size(), 2);
    QCOMPARE(progress.at(1).at(0).toBool(), false);
    QVERIFY(!m_netlib->sliceSendInProgress());
    QCOMPARE(m_hosts.at(host)->storedFiles(), QStringList());
}

void TestAgentSend::slowHostBlocksNobody()
{
    // A host that takes the upload and then says nothing: the agent gives up when its time
    // for the answer is over (2 s here, a minute for the desktop program).
    QSignalSpy result(m_netlib.get(), &Netlib::sliceSendResult);
    QSignalSpy progress(m_netlib.get(), &Netlib::sliceSendInProgressChanged);
    QVERIFY(m_netlib->agentSliceSend(QStringLiteral("127.0.0.1"), portOf(QStringLiteral("stalls")),
        QStringLiteral("1"), QStringLiteral("slow"), m_job));
    // Meanwhile polls are answered and another host gets its job.
    QCOMPARE(m_agent->get(QStringLiteral("/slice")).status, 200);
    const HttpAnswer other = send(QStringLiteral("put digest"), QStringLiteral("meanwhile"));
    QCOMPARE(other.status, 200);
    QVERIFY(m_hosts.at(QStringLiteral("put digest"))
                ->storedFiles()
                .contains(QStringLiteral("meanwhile.sl1")));
    QVERIFY(result.isEmpty());
    QVERIFY(m_netlib->sliceSendInProgress());

    QVERIFY(result.wait(120000));
    QCOMPARE(result.at(0).at(0).toBool(), false);
    QCOMPARE(result.at(0).at(1).toString(),
        QStringLiteral("The printer host at 127.0.0.1:%1 stopped answering, so the job was not "
                       "sent; try again.")
            .arg(portOf(QStringLiteral("stalls"))));
    QCOMPARE(progress.size(), 2);
    QVERIFY(!m_netlib->sliceSendInProgress());
}

void TestAgentSend::endingAgentDropsItsSends()
{
    // An agent of its own, since this one ends; its printers file names the stalling host.
    const QString data = m_dir.filePath(QStringLiteral("ending"));
    QVERIFY(QDir().mkpath(data));
    QVERIFY(QFile::copy(printersFile(), data + QStringLiteral("/printers.json")));
    AgentProcess agent(data);
    QVERIFY(agent.start());
    const QString printer = QStringLiteral("127.0.0.1:") + portOf(QStringLiteral("stalls"));
    const HttpAnswer sliced = agent.post(QStringLiteral("/slice/preview"),
        formBody({ { QStringLiteral("stl"), m_dir.filePath(QStringLiteral("plate.stl")) },
            { QStringLiteral("printer"), printer },
            { QStringLiteral("profile"), QStringLiteral("1") },
            { QStringLiteral("name"), QStringLiteral("ending") } }));
    QCOMPARE(sliced.status, 200);
    const QString job = sliced.object().value(QStringLiteral("path")).toString();
    QCOMPARE(agent.waitForJob(job).object().value(QStringLiteral("percentage")).toString(),
        QStringLiteral("100"));

    QNetworkAccessManager network;
    QNetworkRequest request(
        QUrl(QStringLiteral("http://127.0.0.1:%1/slice/send").arg(agent.port())));
    request.setHeader(QNetworkRequest::ContentTypeHeader,
        QStringLiteral("application/x-www-form-urlencoded; charset=utf-8"));
    QNetworkReply* reply = network.post(request,
        formBody({ { QStringLiteral("printer"), printer },
            { QStringLiteral("profile"), QStringLiteral("1") },
            { QStringLiteral("name"), QStringLiteral("ending") },
            { QStringLiteral("path"), job } }));
    // The job file waits in the outbox while it goes out.
    QTRY_VERIFY_WITH_TIMEOUT(
        !QDir(data + QStringLiteral("/outbox")).entryList(QDir::Files).isEmpty(), 60000);
    QCOMPARE(agent.get(QStringLiteral("/terminate")).status, 200);
    // Well before the host's 30 s of silence would end the send.
    QVERIFY(agent.waitForExit(15000));
    QCOMPARE(agent.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(agent.process().exitCode(), 0);
    QTRY_VERIFY(reply->isFinished());
    delete reply;
}

int main(int argc, char** argv)
{
    // Port 18383 of its own, where it can: no other program's agent or client meets this one.
    enterPrivateNetwork();
    QCoreApplication app(argc, argv);
    TestAgentSend test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_agentsend.moc"
