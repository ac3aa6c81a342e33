// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakeagent.h"
#include "jobsettings.h"
#include "printerchoice.h"
#include "resinchoice.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray printerProfile = R"({"Title": "0.05 mm", "ProfileID": 3, "Depth": 50,
    "PixelsX": 3840, "PixelsY": 2400, "PixelSizeX": 35, "MaxHeight": 130, "Exposure": 2.5,
    "BottomExposure": 25, "BottomLayers": 5, "TransitionLayers": 0, "BottomLiftDistance": 6,
    "BottomLiftSpeed": 60, "BottomRetractSpeed": 120, "LiftDistance": 6, "LiftSpeed": 120,
    "RetractSpeed": 180, "WaitBeforeLift": 0, "WaitAfterLift": 0, "WaitAfterRetract": 1,
    "LightPWM": 255})";

const QByteArray ownProfile = R"({"Title": "Grey resin", "ProfileID": 1000000, "Depth": 50,
    "PixelsX": 3840, "PixelsY": 2400, "PixelSizeX": 35, "MaxHeight": 130, "Exposure": 3.5,
    "BottomExposure": 25, "BottomLayers": 4, "TransitionLayers": 0, "BottomLiftDistance": 6,
    "BottomLiftSpeed": 60, "BottomRetractSpeed": 120, "LiftDistance": 6, "LiftSpeed": 120,
    "RetractSpeed": 180, "WaitBeforeLift": 0, "WaitAfterLift": 0, "WaitAfterRetract": 1,
    "LightPWM": 255, "UserProfile": true})";

} // namespace

// The job settings panel's class against a fake agent: changed values saved as a profile of
// the user's own, which then is the chosen one, and deleted again; and the resin estimates.
class TestJobSettings : public QObject {
    Q_OBJECT

private:
    FakeAgent m_agent;

    void start(PrinterChoice& printers, JobSettings& settings)
    {
        const QString port = QString::number(m_agent.port());
        printers.setAgentAddress(QStringLiteral("127.0.0.1"), port);
        printers.setRefreshInterval(0);
        settings.setAgentAddress(QStringLiteral("127.0.0.1"), port);
        settings.setPrinters(&printers);
        printers.discover();
        QTRY_VERIFY(printers.hasProfile());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_agent.listen(0));
        m_agent.setAnswer("/printer-details", 200,
            R"({"printers_array": [{"name": "Mono 4K", "ip": "10.0.0.7", "port": "80"}]})");
    }

    void savesAndDeletesAProfileOfOnesOwn()
    {
        m_agent.setAnswers("/printer-profiles/10.0.0.7:80",
            { { 200, "[" + printerProfile + "]" },
                { 200, "[" + printerProfile + "," + ownProfile + "]" },
                { 200, "[" + printerProfile + "]" } });
        m_agent.setAnswer("/user-profile", 200, R"({"profile": )" + ownProfile + "}");
        m_agent.setAnswer("/user-profile/delete", 200, R"({"deleted": 1000000})");
        PrinterChoice printers;
        JobSettings settings;
        start(printers, settings);
        QCOMPARE(settings.value(QStringLiteral("Exposure")), 2.5);
        QCOMPARE(settings.fields().size(), 14);
        QVERIFY(!settings.edited());

        QSignalSpy edited(&settings, &JobSettings::valuesEdited);
        settings.setValue(QStringLiteral("Exposure"), 3.5);
        settings.setValue(QStringLiteral("BottomLayers"), 4.4); // a count is whole
        settings.setValue(QStringLiteral("LightPWM"), 300); // kept in range: no change
        settings.setValue(QStringLiteral("Depth"), 100); // not the panel's to change
        QCOMPARE(edited.count(), 2);
        QVERIFY(settings.edited());
        QCOMPARE(settings.value(QStringLiteral("BottomLayers")), 4.0);
        QCOMPARE(settings.value(QStringLiteral("LightPWM")), 255.0);
        QVERIFY(!settings.ownProfile());

        settings.saveAs(QStringLiteral(" Grey resin "));
        QVERIFY(settings.busy());
        QTRY_COMPARE(printers.profileId(), QStringLiteral("1000000"));
        const QByteArray form = m_agent.requestsTo("/user-profile").last().body;
        QCOMPARE(formField(form, QStringLiteral("printer")), QStringLiteral("10.0.0.7:80"));
        QCOMPARE(formField(form, QStringLiteral("base")), QStringLiteral("3"));
        QCOMPARE(formField(form, QStringLiteral("title")), QStringLiteral("Grey resin"));
        QCOMPARE(formField(form, QStringLiteral("Exposure")), QStringLiteral("3.5"));
        QCOMPARE(formField(form, QStringLiteral("BottomLayers")), QStringLiteral("4"));
        QCOMPARE(formField(form, QStringLiteral("WaitAfterRetract")), QStringLiteral("1"));
        QCOMPARE(formField(form, QStringLiteral("Depth")), QString());
        QCOMPARE(printers.profileTitles(),
            QStringList({ QStringLiteral("0.05 mm"), QStringLiteral("Grey resin") }));
        QVERIFY(settings.ownProfile());
        QVERIFY(!settings.edited());
        QCOMPARE(settings.message(), QStringLiteral("Saved the profile “Grey resin”."));

        settings.deleteProfile();
        QTRY_COMPARE(printers.profileId(), QStringLiteral("3"));
        const QByteArray removal = m_agent.requestsTo("/user-profile/delete").last().body;
        QCOMPARE(formField(removal, QStringLiteral("printer")), QStringLiteral("10.0.0.7:80"));
        QCOMPARE(formField(removal, QStringLiteral("profile")), QStringLiteral("1000000"));
        QCOMPARE(settings.value(QStringLiteral("Exposure")), 2.5);
        QVERIFY(!settings.ownProfile());
    }

    // A refusal is said in the agent's words; the choice and the changed values stay.
    void refusalKeepsTheValues()
    {
        m_agent.setAnswer("/printer-profiles/10.0.0.7:80", 200, "[" + printerProfile + "]");
        m_agent.setAnswer("/user-profile", 409,
            R"({"error": "The printer already has a profile named 0.05 mm."})");
        PrinterChoice printers;
        JobSettings settings;
        start(printers, settings);
        settings.setValue(QStringLiteral("Exposure"), 3);
        settings.saveAs(QStringLiteral("0.05 mm"));
        QTRY_VERIFY(!settings.busy());
        QVERIFY(settings.trouble());
        QCOMPARE(
            settings.message(), QStringLiteral("The printer already has a profile named 0.05 mm."));
        QCOMPARE(printers.profileId(), QStringLiteral("3"));
        QCOMPARE(settings.value(QStringLiteral("Exposure")), 3.0);
        settings.revert();
        QVERIFY(!settings.edited());
    }

    void weightAndCost_data()
    {
        QTest::addColumn<double>("ml");
        QTest::addColumn<double>("density");
        QTest::addColumn<double>("price");
        QTest::addColumn<double>("grams");
        QTest::addColumn<double>("cost");
        QTest::newRow("standard") << 72.6 << 1.1 << 30.0 << 79.86 << 2.178;
        QTest::newRow("litre") << 1000.0 << 1.25 << 45.0 << 1250.0 << 45.0;
        QTest::newRow("nothing") << 0.0 << 1.1 << 30.0 << 0.0 << 0.0;
        QTest::newRow("free resin") << 10.0 << 1.1 << 0.0 << 11.0 << 0.0;
        QTest::newRow("no density") << 10.0 << -1.0 << 30.0 << 0.0 << 0.3;
    }

    void weightAndCost()
    {
        QFETCH(double, ml);
        QFETCH(double, density);
        QFETCH(double, price);
        QFETCH(double, grams);
        QFETCH(double, cost);
        QCOMPARE(resinWeightG(ml, density), grams);
        QCOMPARE(resinCost(ml, price), cost);
    }

    // The resin chosen in Preferences is kept in the settings file and names the estimates.
    void resinIsRemembered()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("settings.ini"));
        {
            ResinChoice resin;
            resin.setSettingsFile(file);
            QCOMPARE(resin.materialText(72.6), QStringLiteral("72.6 ml · 79.9 g · 2.18 €"));
            resin.choose(QStringLiteral("Tough grey"), 1.2, 50, QStringLiteral("$"));
        }
        ResinChoice resin;
        resin.setSettingsFile(file);
        QCOMPARE(resin.name(), QStringLiteral("Tough grey"));
        QCOMPARE(resin.materialText(10), QStringLiteral("10.0 ml · 12.0 g · 0.50 $"));
    }
};

QTEST_MAIN(TestJobSettings)
#include "tst_jobsettings.moc"
