// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "agentprocess.h"
#include "stlbuilder.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString shop = QStringLiteral("192.0.2.20:80");

// The exposure and motion keys of the shop's one profile, as its printers file gives them.
QJsonObject shopMotion()
{
    return QJsonObject { { QStringLiteral("BottomExposure"), 30 },
        { QStringLiteral("BottomLayers"), 2 }, { QStringLiteral("TransitionLayers"), 0 },
        { QStringLiteral("BottomLiftDistance"), 5 }, { QStringLiteral("BottomLiftSpeed"), 60 },
        { QStringLiteral("BottomRetractSpeed"), 150 }, { QStringLiteral("LiftDistance"), 6 },
        { QStringLiteral("LiftSpeed"), 120 }, { QStringLiteral("RetractSpeed"), 180 },
        { QStringLiteral("WaitBeforeLift"), 0.5 }, { QStringLiteral("WaitAfterLift"), 0.5 },
        { QStringLiteral("WaitAfterRetract"), 1 }, { QStringLiteral("LightPWM"), 200 } };
}

// One printer host with the test display (200 x 120 pixels of 0.1 mm) and 0.1 mm layers.
bool writeShopPrinters(const QString& dataDir)
{
    QJsonObject profile = shopMotion();
    profile.insert(QStringLiteral("Title"), QStringLiteral("Shop standard"));
    profile.insert(QStringLiteral("ProfileID"), 1);
    profile.insert(QStringLiteral("Depth"), 100);
    profile.insert(QStringLiteral("PixelsX"), testPixelsX);
    profile.insert(QStringLiteral("PixelsY"), testPixelsY);
    profile.insert(QStringLiteral("PixelSizeX"), testPixelMm * 1000);
    profile.insert(QStringLiteral("Exposure"), 5);
    profile.insert(QStringLiteral("MaxHeight"), 40);
    const QJsonObject host { { QStringLiteral("name"), QStringLiteral("Shop") },
        { QStringLiteral("ip"), QStringLiteral("192.0.2.20") }, { QStringLiteral("port"), 80 },
        { QStringLiteral("profiles_array"), QJsonArray { profile } } };
    QFile file(dataDir + QStringLiteral("/printers.json"));
    const QByteArray bytes
        = QJsonDocument(QJsonObject { { QStringLiteral("printers_array"), QJsonArray { host } } })
              .toJson();
    return QDir().mkpath(dataDir) && file.open(QIODevice::WriteOnly)
        && file.write(bytes) == bytes.size();
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestAgentProfiles : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase() { delete m_agent; }
    void printersFileKeysAreAnswered();
    void userProfileIsSavedListedAndSliced();
    void userProfileIsReplacedAndDeleted();
    void refusesBadProfiles_data();
    void refusesBadProfiles();
    void damagedFileIsLeftAlone();

private:
    QJsonArray shopProfiles() const
    {
        return QJsonDocument::fromJson(
            m_agent->get(QStringLiteral("/printer-profiles/") + shop).body)
            .array();
    }
    HttpAnswer save(const FormFields& values, const QString& title = QStringLiteral("My resin"))
    {
        FormFields form { { QStringLiteral("printer"), shop },
            { QStringLiteral("base"), QStringLiteral("1") }, { QStringLiteral("title"), title } };
        return m_agent->postForm(QStringLiteral("/user-profile"), form + values);
    }
    QString userProfilesFile() const
    {
        return m_agent->dataDir() + QStringLiteral("/user-profiles.json");
    }

    QTemporaryDir m_dir;
    AgentProcess* m_agent = nullptr;
};

void TestAgentProfiles::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QString data = m_dir.filePath(QStringLiteral("data"));
    QVERIFY(writeShopPrinters(data));
    m_agent = new AgentProcess(data);
    QVERIFY(m_agent->start());
}

void TestAgentProfiles::printersFileKeysAreAnswered()
{
    const QJsonArray profiles = shopProfiles();
    QCOMPARE(profiles.size(), 1);
    const QJsonObject profile = profiles.at(0).toObject();
    const QJsonObject motion = shopMotion();
    for (auto key = motion.begin(); key != motion.end(); ++key)
        QVERIFY2(profile.value(key.key()) == key.value(), qPrintable(key.key()));
    QVERIFY(!profile.contains(QStringLiteral("UserProfile")));
}

void TestAgentProfiles::userProfileIsSavedListedAndSliced()
{
    const HttpAnswer saved = save({ { QStringLiteral("Exposure"), QStringLiteral("7") },
        { QStringLiteral("TransitionLayers"), QStringLiteral("2") },
        { QStringLiteral("LiftSpeed"), QStringLiteral("90") },
        { QStringLiteral("WaitAfterRetract"), QStringLiteral("2") },
        { QStringLiteral("LightPWM"), QStringLiteral("180") } });
    QCOMPARE(saved.status, 200);
    const QJsonObject record = saved.object().value(QStringLiteral("profile")).toObject();
    QCOMPARE(record.value(QStringLiteral("Title")).toString(), QStringLiteral("My resin"));
    QCOMPARE(record.value(QStringLiteral("UserProfile")).toBool(), true);
    QCOMPARE(record.value(QStringLiteral("Exposure")).toDouble(), 7.0);
    QCOMPARE(record.value(QStringLiteral("BottomExposure")).toDouble(), 30.0); // the base's
    const int id = record.value(QStringLiteral("ProfileID")).toInt();
    QVERIFY(id != 1);
    QVERIFY(QFileInfo::exists(userProfilesFile()));

    const QJsonArray listed = shopProfiles();
    QCOMPARE(listed.size(), 2);
    QCOMPARE(listed.at(1).toObject(), record);

    const QString stl = m_dir.filePath(QStringLiteral("box.stl"));
    QVERIFY(StlBuilder().box({ -3, -2, 0 }, { 3, 2, 1 }).write(stl));
    const HttpAnswer started = m_agent->postForm(QStringLiteral("/slice/preview"),
        { { QStringLiteral("stl"), stl }, { QStringLiteral("printer"), shop },
            { QStringLiteral("profile"), QString::number(id) },
            { QStringLiteral("name"), QStringLiteral("own") } });
    QCOMPARE(started.status, 200);
    const QString folder = started.object().value(QStringLiteral("path")).toString();
    QCOMPARE(m_agent->waitForJob(folder).object().value(QStringLiteral("percentage")).toString(),
        QStringLiteral("100"));
    const QJsonObject plate
        = QJsonDocument::fromJson(readAll(folder + QStringLiteral("/plate.json"))).object();
    QCOMPARE(plate.value(QStringLiteral("layerCount")).toInt(), 10);
    const QJsonObject settings = plate.value(QStringLiteral("settings")).toObject();
    QCOMPARE(settings.value(QStringLiteral("LightPWM")).toInt(), 180);
    QCOMPARE(settings.value(QStringLiteral("LiftSpeed")).toDouble(), 90.0);
    // Exposures: 2 x 30 s, transition 30 - 23/3 and 30 - 46/3 (37 s together), 6 x 7 s: 139 s.
    // Bottom layers move 5 mm at 60 and 150 mm/min (7 s), the others 6 mm at 90 and 180 (6 s),
    // every layer waits 0.5 + 0.5 + 2 s: 139 + 14 + 48 + 30.
    QCOMPARE(plate.value(QStringLiteral("printTime")).toDouble(), 231.0);
    // 6 x 4 x 1 mm of resin.
    QCOMPARE(plate.value(QStringLiteral("usedMaterial")).toDouble(), 0.024);
}

void TestAgentProfiles::userProfileIsReplacedAndDeleted()
{
    const HttpAnswer first = save(
        { { QStringLiteral("Exposure"), QStringLiteral("6") } }, QStringLiteral("Grey resin"));
    QCOMPARE(first.status, 200);
    const auto idOf = [](const HttpAnswer& answer) {
        return answer.object()
            .value(QStringLiteral("profile"))
            .toObject()
            .value(QStringLiteral("ProfileID"))
            .toInt();
    };
    const int id = idOf(first);
    const int before = shopProfiles().size();
    // The same name again replaces it, keeping its ID.
    const HttpAnswer second = save(
        { { QStringLiteral("Exposure"), QStringLiteral("6.5") } }, QStringLiteral("Grey resin"));
    QCOMPARE(second.status, 200);
    QCOMPARE(idOf(second), id);
    QJsonArray listed = shopProfiles();
    QCOMPARE(listed.size(), before);
    QCOMPARE(listed.last().toObject().value(QStringLiteral("Exposure")).toDouble(), 6.5);

    const FormFields form { { QStringLiteral("printer"), shop },
        { QStringLiteral("profile"), QString::number(id) } };
    QCOMPARE(m_agent->postForm(QStringLiteral("/user-profile/delete"), form).status, 200);
    QCOMPARE(shopProfiles().size(), before - 1);
    for (const QJsonValue& profile : shopProfiles())
        QVERIFY(profile.toObject().value(QStringLiteral("ProfileID")).toInt() != id);
    const HttpAnswer again = m_agent->postForm(QStringLiteral("/user-profile/delete"), form);
    QCOMPARE(again.status, 404);
    QCOMPARE(again.error(),
        QStringLiteral("The printer Shop has no profile of your own with the ID %1.").arg(id));
    const HttpAnswer own = m_agent->postForm(QStringLiteral("/user-profile/delete"),
        { { QStringLiteral("printer"), shop },
            { QStringLiteral("profile"), QStringLiteral("1") } });
    QCOMPARE(own.status, 400);
    QCOMPARE(own.error(),
        QStringLiteral("The profile 1 is one of Shop's own, which cannot be deleted."));
    QCOMPARE(shopProfiles().size(), before - 1);
    // No temporary file is left beside the saved one.
    QCOMPARE(QDir(m_agent->dataDir()).entryList({ QStringLiteral("user-profiles*") }, QDir::Files),
        QStringList { QStringLiteral("user-profiles.json") });
}

void TestAgentProfiles::refusesBadProfiles_data()
{
    QTest::addColumn<QString>("printer");
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("title");
    QTest::addColumn<FormFields>("values");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("sentence");
    const FormFields none;
    QTest::newRow("no name") << shop << "1"
                             << "  " << none << 400 << "A profile of your own needs a name.";
    QTest::newRow("long name") << shop << "1" << QString(61, QLatin1Char('x')) << none << 400
                               << "The name of a profile can have at most 60 characters.";
    QTest::newRow("a printer's own name") << shop << "1"
                                          << "Shop standard" << none << 409
                                          << "The printer Shop has a profile of its own named "
                                             "\"Shop standard\"; choose another name.";
    QTest::newRow("display key") << shop << "1"
                                 << "x"
                                 << FormFields { { QStringLiteral("PixelsX"),
                                        QStringLiteral("10") } }
                                 << 400 << "A profile of your own cannot change \"PixelsX\".";
    QTest::newRow("no number") << shop << "1"
                               << "x"
                               << FormFields { { QStringLiteral("LiftSpeed"),
                                      QStringLiteral("fast") } }
                               << 400 << "The value of \"LiftSpeed\" must be a number.";
    QTest::newRow("light too strong")
        << shop << "1"
        << "x" << FormFields { { QStringLiteral("LightPWM"), QStringLiteral("300") } } << 400
        << "The profile cannot be saved: its \"LightPWM\" is out of range (0 to 255).";
    QTest::newRow("unknown base") << shop << "77"
                                  << "x" << none << 400 << "The printer Shop has no profile 77.";
}

void TestAgentProfiles::refusesBadProfiles()
{
    QFETCH(QString, printer);
    QFETCH(QString, base);
    QFETCH(QString, title);
    QFETCH(FormFields, values);
    QFETCH(int, status);
    QFETCH(QString, sentence);
    const QByteArray before = readAll(userProfilesFile());
    const int listed = shopProfiles().size();
    const HttpAnswer answer = m_agent->postForm(QStringLiteral("/user-profile"),
        FormFields { { QStringLiteral("printer"), printer }, { QStringLiteral("base"), base },
            { QStringLiteral("title"), title } }
            + values);
    QCOMPARE(answer.status, status);
    QCOMPARE(answer.error(), sentence);
    QCOMPARE(readAll(userProfilesFile()), before);
    QCOMPARE(shopProfiles().size(), listed);
}

void TestAgentProfiles::damagedFileIsLeftAlone()
{
    const QByteArray good = readAll(userProfilesFile());
    const QByteArray damaged = good.left(good.size() / 2);
    {
        QFile file(userProfilesFile());
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(damaged) == damaged.size());
    }
    const HttpAnswer answer = save({ { QStringLiteral("Exposure"), QStringLiteral("4") } });
    QCOMPARE(answer.status, 500);
    const QString sentence = QStringLiteral("The file of profiles of your own ")
        + userProfilesFile() + QStringLiteral(" is damaged: it is not valid JSON.");
    QCOMPARE(answer.error(), sentence + QStringLiteral(" The agent leaves it as it is."));
    QCOMPARE(readAll(userProfilesFile()), damaged);
    // The printer's own profiles stay, and the reason rides along with the printers.
    QCOMPARE(shopProfiles().size(), 1);
    const QJsonObject details = m_agent->get(QStringLiteral("/printer-details")).object();
    QCOMPARE(details.value(QStringLiteral("printers_file_error")).toString(), sentence);
    QFile file(userProfilesFile());
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(good) == good.size());
}

QTEST_GUILESS_MAIN(TestAgentProfiles)
#include "tst_agentprofiles.moc"
