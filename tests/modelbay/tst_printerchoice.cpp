// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakeagent.h"
#include "printerchoice.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray twoPrinters = R"({"printers_array": [
    {"name": "Mono 4K", "ip": "10.0.0.7", "port": "80", "format": "sl1", "local": false},
    {"name": "Elegoo Mars 4", "maker": "Elegoo", "ip": "local", "port": "2", "local": true},
    {"name": "Not Discovered", "ip": "Not Discovered", "port": "Not Discovered"}]})";

const QByteArray profiles = R"([
    {"Title": "0.05 mm", "ProfileID": 1, "Depth": 50, "PixelsX": 3840, "PixelsY": 2400,
     "PixelSizeX": 35, "PixelSizeY": 40, "MaxHeight": 130, "MirrorX": true},
    {"Title": "0.1 mm", "ProfileID": 2, "Depth": 100, "PixelsX": 3840, "PixelsY": 2400,
     "PixelSizeX": 35, "MaxHeight": 130}])";

} // namespace

// The printer list against a fake agent: makers, the filter, the remembered choice, the plate it
// gives, and printers that come and go while the window is open.
class TestPrinterChoice : public QObject {
    Q_OBJECT

private:
    FakeAgent m_agent;
    QTemporaryDir m_dir;

    QString settingsFile() const { return m_dir.filePath(QStringLiteral("settings.ini")); }

    void start(PrinterChoice& choice)
    {
        choice.setAgentAddress(QStringLiteral("127.0.0.1"), QString::number(m_agent.port()));
        choice.setSettingsFile(settingsFile());
        QSignalSpy listed(&choice, &PrinterChoice::listChanged);
        choice.discover();
        QTRY_VERIFY(!choice.searching());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(m_agent.listen(0));
        m_agent.setAnswer("/printer-details", 200, twoPrinters);
        m_agent.setAnswer("/printer-profiles/10.0.0.7:80", 200, profiles);
        m_agent.setAnswer("/printer-profiles/local:2", 200, profiles);
    }

    void listsByMakerAndRemembers()
    {
        PrinterChoice choice;
        start(choice);
        QCOMPARE(choice.rowCount(), 2);
        // Grouped by maker: the agent's maker, else the name's first word.
        QCOMPARE(
            choice.index(0).data(PrinterChoice::MakerRole).toString(), QStringLiteral("Elegoo"));
        QCOMPARE(choice.index(1).data(PrinterChoice::MakerRole).toString(), QStringLiteral("Mono"));
        QCOMPARE(choice.index(1).data(PrinterChoice::FormatRole).toString(), QStringLiteral("SL1"));
        QTRY_VERIFY(choice.hasProfile());
        QCOMPARE(choice.printerName(), QStringLiteral("Mono 4K")); // the agent's first
        // Pixels of 35 × 40 µm: the plate is not square in its pixels.
        QCOMPARE(choice.plateWidth(), 3840 * 0.035);
        QCOMPARE(choice.plateDepth(), 2400 * 0.040);
        QCOMPARE(choice.pixelText(), QStringLiteral("35 × 40 µm"));
        QCOMPARE(choice.volumeText(), QStringLiteral("134.4 × 96 × 130 mm"));
        QVERIFY(choice.mirrorX());

        choice.setFilter(QStringLiteral("mars"));
        QCOMPARE(choice.rowCount(), 1);
        QCOMPARE(choice.chosenRow(), -1); // still chosen, only not shown
        choice.choose(0);
        QTRY_VERIFY(choice.hasProfile());
        choice.chooseProfile(1);
        QVERIFY(choice.printerTakesFiles());
        QCOMPARE(choice.plateDepth(), 2400 * 0.035); // no PixelSizeY: square pixels

        // A new window finds the choice again.
        PrinterChoice again;
        start(again);
        QTRY_VERIFY(again.hasProfile());
        QCOMPARE(again.printerName(), QStringLiteral("Elegoo Mars 4"));
        QCOMPARE(again.profileIndex(), 1);
        QCOMPARE(QSettings(settingsFile(), QSettings::IniFormat)
                     .value(QStringLiteral("printer/profile"))
                     .toString(),
            QStringLiteral("local:2/2"));
    }

    // A printer added to the agent shows up, one removed goes, without a restart.
    void followsTheAgent()
    {
        QVERIFY(QFile::remove(settingsFile()) || !QFile::exists(settingsFile()));
        PrinterChoice choice;
        choice.setRefreshInterval(50);
        start(choice);
        QTRY_VERIFY(choice.hasProfile());
        m_agent.setAnswer("/printer-details", 200,
            R"({"printers_array": [{"name": "Mono 4K", "ip": "10.0.0.7", "port": "80"},
                {"name": "New One", "ip": "10.0.0.9", "port": "80"}]})");
        QTRY_COMPARE(
            choice.index(1).data(PrinterChoice::NameRole).toString(), QStringLiteral("New One"));
        QCOMPARE(choice.printerCount(), 2); // the Elegoo went
        QCOMPARE(choice.printerName(), QStringLiteral("Mono 4K"));
        m_agent.setAnswer("/printer-details", 200, twoPrinters);
    }

    void retriesUntilTheAgentAnswers()
    {
        FakeAgent late;
        QVERIFY(late.listen(0));
        late.setAnswers(
            "/printer-details", { { 500, "{\"error\":\"starting\"}" }, { 200, twoPrinters } });
        late.setAnswer("/printer-profiles/10.0.0.7:80", 200, profiles);
        PrinterChoice choice;
        choice.setAgentAddress(QStringLiteral("127.0.0.1"), QString::number(late.port()));
        choice.discover();
        QTRY_VERIFY(!choice.searching());
        QCOMPARE(choice.printerCount(), 2);
        QVERIFY(!choice.notFound());
    }
};

QTEST_GUILESS_MAIN(TestPrinterChoice)
#include "tst_printerchoice.moc"
