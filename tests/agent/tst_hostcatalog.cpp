// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostcatalog.h"

#include <QTest>

namespace {

const Printer* printerAt(
    const std::vector<Printer>& printers, const std::string& ip, const std::string& port)
{
    for (const Printer& printer : printers) {
        if (printer.ip == ip && printer.port == port)
            return &printer;
    }
    return nullptr;
}

std::vector<int> profileIds(const Printer& printer)
{
    std::vector<int> ids;
    for (const Profile& profile : printer.profiles)
        ids.push_back(profile.profileId);
    return ids;
}

} // namespace

class TestHostCatalog : public QObject {
    Q_OBJECT

private slots:
    void discoveredHostsGetProfiles_data();
    void discoveredHostsGetProfiles();
    void configuredRecordWins();
};

void TestHostCatalog::discoveredHostsGetProfiles_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("builtinPort"); // the built-in class whose profiles it gets
    QTest::newRow("model of a built-in class")
        << QStringLiteral("DLP-1080P") << QStringLiteral("dlp1080");
    QTest::newRow("model in other case") << QStringLiteral("lcd-6k") << QStringLiteral("lcd6k");
    QTest::newRow("unknown model: generic")
        << QStringLiteral("Other 8K") << QStringLiteral("lcd4k");
    QTest::newRow("no model: generic") << QString() << QStringLiteral("lcd4k");
}

void TestHostCatalog::discoveredHostsGetProfiles()
{
    QFETCH(QString, model);
    QFETCH(QString, builtinPort);
    const std::vector<Printer> builtins = builtinPrinters();
    const std::vector<Printer> printers = withDiscoveredHosts(
        builtins, { { "Shop printer", "10.77.0.1", "8080", model.toStdString() } });
    QCOMPARE(printers.size(), builtins.size() + 1);
    const Printer* host = printerAt(printers, "10.77.0.1", "8080");
    QVERIFY(host);
    QCOMPARE(host->name, std::string("Shop printer"));
    QVERIFY(!host->local);
    QCOMPARE(
        profileIds(*host), profileIds(*printerAt(builtins, "local", builtinPort.toStdString())));
}

void TestHostCatalog::configuredRecordWins()
{
    Printer configured;
    configured.name = "Workshop";
    configured.ip = "10.77.0.1";
    configured.port = "8080";
    configured.local = false;
    Profile own;
    own.profileId = 7;
    configured.profiles = { own };
    const std::vector<Printer> printers = withDiscoveredHosts({ configured },
        { { "Announced name", "10.77.0.1", "8080", "LCD-2K" },
            { "Next door", "10.77.0.2", "80", "LCD-2K" } });
    QCOMPARE(printers.size(), std::size_t(2));
    QCOMPARE(printers[0].name, std::string("Workshop"));
    QCOMPARE(profileIds(printers[0]), std::vector<int> { 7 });
    QCOMPARE(printers[1].name, std::string("Next door"));
}

QTEST_GUILESS_MAIN(TestHostCatalog)
#include "tst_hostcatalog.moc"
