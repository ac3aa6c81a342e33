// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Printer hosts found over mDNS. Everything runs inside a network namespace this test makes for
// itself: a veth pair with addresses from 10.77.0.0/24, a private system bus, an Avahi daemon
// allowed only on the veth ends, the emulator announcing itself, and the agent. No multicast ever
// leaves the namespace; where one cannot be made, the test is skipped.
#include "agentprocess.h"
#include "../shared/filebytes.h"
#include "printerhost.h"
#include "privatenetwork.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// Made in main, before any thread exists: a namespace is a property of the thread that makes
// it, and only threads started afterwards inherit it.
bool isolated = false;

const QString hostAddress = QStringLiteral("10.77.0.1");

bool run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(program, arguments);
    return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
}

} // namespace

class TestHostDiscovery : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void findsAnnouncedHostAndDropsItWhenItEnds();

private:
    QJsonObject listed(const QString& name);
    // A web server announced without a model, started with the emulator's --fail mode.
    std::unique_ptr<PrinterHost> hostileService(const QString& name, const QString& mode);

    QTemporaryDir m_dir;
    QProcessEnvironment m_environment;
    QProcess m_bus;
    QProcess m_avahi;
    QProcess m_otherService;
    std::unique_ptr<AgentProcess> m_agent;
};

void TestHostDiscovery::initTestCase()
{
    if (!isolated)
        QSKIP("This test needs its own network namespace (unshare -n, as root) so that no mDNS "
              "leaves the machine; none could be made here.");
    for (const char* program : { "ip", "dbus-daemon", "avahi-daemon", "avahi-publish" }) {
        if (QStandardPaths::findExecutable(QLatin1String(program)).isEmpty())
            QSKIP(qPrintable(QStringLiteral("%1 is not installed (scripts/setup.sh installs it).")
                                 .arg(QLatin1String(program))));
    }
    QVERIFY(m_dir.isValid());
    qRegisterMetaType<QProcess::ExitStatus>(); // for the wait on the agent's end
    const QString ip = QStringLiteral("ip");
    if (!run(ip,
            { QStringLiteral("link"), QStringLiteral("add"), QStringLiteral("d0"),
                QStringLiteral("type"), QStringLiteral("veth"), QStringLiteral("peer"),
                QStringLiteral("name"), QStringLiteral("d1") }))
        QSKIP("This kernel cannot make a veth pair inside the test's network namespace.");
    for (const QString& link : { QStringLiteral("d0"), QStringLiteral("d1") })
        QVERIFY(run(ip,
            { QStringLiteral("link"), QStringLiteral("set"), link, QStringLiteral("multicast"),
                QStringLiteral("on"), QStringLiteral("up") }));
    QVERIFY(run(ip,
        { QStringLiteral("addr"), QStringLiteral("add"), hostAddress + QStringLiteral("/24"),
            QStringLiteral("dev"), QStringLiteral("d0") }));

    // A system bus of our own, so the Avahi daemon and its clients meet nowhere else.
    const QString socket = m_dir.filePath(QStringLiteral("bus"));
    const QString busConfig = m_dir.filePath(QStringLiteral("bus.conf"));
    QVERIFY(writeFile(busConfig,
        QStringLiteral(
            "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
            " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
            "<busconfig>\n"
            "  <type>system</type>\n"
            "  <listen>unix:path=%1</listen>\n"
            "  <auth>EXTERNAL</auth>\n"
            "  <policy context=\"default\">\n"
            "    <allow user=\"*\"/><allow own=\"*\"/>\n"
            "    <allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>\n"
            "  </policy>\n"
            "  <includedir>/usr/share/dbus-1/system.d</includedir>\n"
            "</busconfig>\n")
            .arg(socket)
            .toUtf8()));
    m_bus.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_bus.start(QStringLiteral("dbus-daemon"),
        { QStringLiteral("--config-file=") + busConfig, QStringLiteral("--nofork") });
    QVERIFY(m_bus.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(socket), 30000);
    m_environment = QProcessEnvironment::systemEnvironment();
    m_environment.insert(
        QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), QStringLiteral("unix:path=") + socket);

    const QString avahiConfig = m_dir.filePath(QStringLiteral("avahi.conf"));
    QVERIFY(writeFile(avahiConfig,
        "[server]\nallow-interfaces=d0,d1\nuse-ipv4=yes\nuse-ipv6=no\n"
        "enable-dbus=yes\n[wide-area]\nenable-wide-area=no\n"
        "[publish]\npublish-workstation=no\npublish-hinfo=no\n"));
    m_avahi.setProcessEnvironment(m_environment);
    m_avahi.setProcessChannelMode(QProcess::MergedChannels);
    m_avahi.start(QStringLiteral("avahi-daemon"),
        { QStringLiteral("-f"), avahiConfig, QStringLiteral("--no-drop-root"),
            QStringLiteral("--no-chroot"), QStringLiteral("--no-rlimits") });
    QVERIFY(m_avahi.waitForStarted());
    // A daemon that cannot run in this environment (a leftover pid file of a running one, a
    // missing /run) is the machine's matter, not the agent's.
    QByteArray avahiLog;
    QTRY_VERIFY_WITH_TIMEOUT((avahiLog += m_avahi.readAll()).contains("Server startup complete")
            || m_avahi.state() == QProcess::NotRunning,
        30000);
    if (!avahiLog.contains("Server startup complete"))
        QSKIP(qPrintable(QStringLiteral("avahi-daemon does not run here: %1")
                             .arg(QString::fromLocal8Bit(avahiLog).trimmed())));

    m_agent = std::make_unique<AgentProcess>(m_dir.filePath(QStringLiteral("data")));
    QVERIFY(m_agent->start({ QStringLiteral("--port"), QStringLiteral("0"),
                               QStringLiteral("--data-dir"), m_agent->dataDir() },
        m_environment));
}

void TestHostDiscovery::cleanupTestCase()
{
    m_agent.reset();
    // Each stopped by its own process id, the bus last.
    for (QProcess* process : { &m_otherService, &m_avahi, &m_bus }) {
        if (process->state() != QProcess::NotRunning) {
            process->terminate();
            process->waitForFinished(30000);
        }
    }
}

std::unique_ptr<PrinterHost> TestHostDiscovery::hostileService(
    const QString& name, const QString& mode)
{
    auto service = std::make_unique<PrinterHost>(m_dir.filePath(name));
    service->setEnvironment(m_environment);
    if (!service->start({ QStringLiteral("--bind"), hostAddress, QStringLiteral("--announce"), name,
            QStringLiteral("--service"), QStringLiteral("_http._tcp"), QStringLiteral("--model"),
            QString(), QStringLiteral("--fail"), mode }))
        return nullptr;
    return service;
}

QJsonObject TestHostDiscovery::listed(const QString& name)
{
    const HttpAnswer answer = m_agent->get(QStringLiteral("/printer-details"));
    for (const QJsonValue& value :
        answer.object().value(QStringLiteral("printers_array")).toArray()) {
        if (value.toObject().value(QStringLiteral("name")).toString() == name)
            return value.toObject();
    }
    return {};
}

void TestHostDiscovery::findsAnnouncedHostAndDropsItWhenItEnds()
{
    // A web server that is no printer host: announced, but nothing there answers like one.
    m_otherService.setProcessEnvironment(m_environment);
    m_otherService.setProcessChannelMode(QProcess::MergedChannels);
    m_otherService.start(QStringLiteral("avahi-publish"),
        { QStringLiteral("-s"), QStringLiteral("Router"), QStringLiteral("_http._tcp"),
            QStringLiteral("9") });
    QVERIFY(m_otherService.waitForStarted());
    QByteArray published;
    QTRY_VERIFY_WITH_TIMEOUT(
        (published += m_otherService.readAll()).contains("Established"), 30000);

    // Web servers that ask the agent's probe for patience or memory: one answers "/api/version"
    // a byte a second, one with a version document that inflates to 64 MiB. Announced first,
    // they must hold up neither the hosts announced after them nor the agent's end.
    const auto dripping
        = hostileService(QStringLiteral("Dripping"), QStringLiteral("drip-version"));
    QVERIFY(dripping);
    const auto flooding = hostileService(QStringLiteral("Flooding"), QStringLiteral("gzip-flood"));
    QVERIFY(flooding);

    PrinterHost host(m_dir.filePath(QStringLiteral("uploads")));
    host.setEnvironment(m_environment);
    QVERIFY(host.start({ QStringLiteral("--bind"), hostAddress, QStringLiteral("--announce"),
        QStringLiteral("Shop printer"), QStringLiteral("--model"), QStringLiteral("lcd-6k") }));

    // A printer host among the web servers, known by its answer to "/api/version".
    PrinterHost webHost(m_dir.filePath(QStringLiteral("web uploads")));
    webHost.setEnvironment(m_environment);
    QVERIFY(webHost.start({ QStringLiteral("--bind"), hostAddress, QStringLiteral("--announce"),
        QStringLiteral("Web printer"), QStringLiteral("--service"), QStringLiteral("_http._tcp"),
        QStringLiteral("--model"), QString() }));

    QTRY_VERIFY_WITH_TIMEOUT(!listed(QStringLiteral("Shop printer")).isEmpty(), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(!listed(QStringLiteral("Web printer")).isEmpty(), 30000);
    const QJsonObject printer = listed(QStringLiteral("Shop printer"));
    QCOMPARE(printer.value(QStringLiteral("ip")).toString(), hostAddress);
    QCOMPARE(printer.value(QStringLiteral("port")).toString(), QString::number(host.port()));
    QCOMPARE(printer.value(QStringLiteral("local")).toBool(true), false);
    // The model it reports picks the built-in class's profiles.
    const HttpAnswer profiles
        = m_agent->get(QStringLiteral("/printer-profiles/%1:%2").arg(hostAddress).arg(host.port()));
    QCOMPARE(profiles.status, 200);
    QStringList ids;
    for (const QJsonValue& profile : QJsonDocument::fromJson(profiles.body).array())
        ids << QString::number(profile.toObject().value(QStringLiteral("ProfileID")).toInt());
    QCOMPARE(ids, (QStringList { QStringLiteral("301"), QStringLiteral("302") }));
    QVERIFY(listed(QStringLiteral("Router")).isEmpty());
    QVERIFY(listed(QStringLiteral("Flooding")).isEmpty());
    QVERIFY(listed(QStringLiteral("Dripping")).isEmpty());

    // The emulator withdraws its announcement as it ends.
    host.stop();
    QTRY_VERIFY_WITH_TIMEOUT(listed(QStringLiteral("Shop printer")).isEmpty(), 30000);
    QVERIFY(!listed(QStringLiteral("Web printer")).isEmpty());
    webHost.stop();
    QTRY_VERIFY_WITH_TIMEOUT(listed(QStringLiteral("Web printer")).isEmpty(), 30000);
    QVERIFY(listed(QStringLiteral("Router")).isEmpty());

    // It ends cleanly on SIGTERM with a daemon to let go of and a service still dripping, with
    // nothing leaked.
    m_agent->process().terminate();
    QVERIFY(m_agent->waitForExit());
    QCOMPARE(m_agent->process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_agent->process().exitCode(), 0);
}

int main(int argc, char** argv)
{
    isolated = enterPrivateNetwork();
    QCoreApplication app(argc, argv);
    TestHostDiscovery test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_hostdiscovery.moc"
