// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "printermodels.h"
#include "profile.h"
#include "enginetestutil.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <set>

#include <sys/stat.h>

class TestProfile : public QObject {
    Q_OBJECT

private:
    static QJsonObject parseObject(const std::string& text)
    {
        return QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
    }

    static bool sameProfile(const Profile& a, const Profile& b)
    {
        return a.title == b.title && a.profileId == b.profileId && a.depthUm == b.depthUm
            && a.pixelsX == b.pixelsX && a.pixelsY == b.pixelsY && a.pixelUmX == b.pixelUmX
            && a.pixelUmY == b.pixelUmY && a.exposureS == b.exposureS
            && a.bottomExposureS == b.bottomExposureS && a.bottomLayers == b.bottomLayers
            && a.mirrorX == b.mirrorX && a.mirrorY == b.mirrorY && a.maxHeightMm == b.maxHeightMm
            && a.transitionLayers == b.transitionLayers && a.bottomLiftMm == b.bottomLiftMm
            && a.bottomLiftSpeed == b.bottomLiftSpeed
            && a.bottomRetractSpeed == b.bottomRetractSpeed && a.liftMm == b.liftMm
            && a.liftSpeed == b.liftSpeed && a.retractSpeed == b.retractSpeed
            && a.waitBeforeLiftS == b.waitBeforeLiftS && a.waitAfterLiftS == b.waitAfterLiftS
            && a.waitAfterRetractS == b.waitAfterRetractS && a.lightPwm == b.lightPwm
            && a.antiAliasing == b.antiAliasing && a.gamma == b.gamma
            && a.elephantFootMm == b.elephantFootMm && a.elephantFootLayers == b.elephantFootLayers;
    }

private slots:
    void catalogueHasTheFourClasses()
    {
        const std::vector<Printer> printers = builtinPrinters();
        QCOMPARE(printers.size(), std::size_t(4));
        const int widths[4] = { 2560, 3840, 5760, 1920 };
        std::set<std::string> addresses;
        std::set<int> ids;
        for (std::size_t i = 0; i < printers.size(); ++i) {
            const Printer& printer = printers[i];
            QVERIFY(printer.local);
            QVERIFY(!printer.name.empty() && !printer.model.empty());
            QVERIFY(addresses.insert(printer.ip + ":" + printer.port).second);
            // The address travels in a URL path and a form value: plain characters only.
            for (char c : printer.ip + printer.port)
                QVERIFY(std::isalnum((unsigned char)c) || c == '.');
            QVERIFY(printer.profiles.size() >= 2);
            bool hasFine = false, hasStandard = false;
            for (const Profile& p : printer.profiles) {
                QVERIFY(ids.insert(p.profileId).second);
                QCOMPARE(p.pixelsX, widths[i]);
                QVERIFY(p.pixelsY > 0 && p.pixelUmX > 20 && p.pixelUmX < 60);
                QVERIFY(p.exposureS > 0 && p.bottomExposureS > p.exposureS && p.bottomLayers > 0);
                QVERIFY(p.maxHeightMm >= 100);
                // Bottom layers stick hardest to the vat: they lift at most as fast, as far.
                QVERIFY(p.bottomLiftSpeed <= p.liftSpeed && p.bottomLiftMm >= p.liftMm);
                QVERIFY(p.liftMm >= 3 && p.lightPwm == 255);
                hasFine |= p.depthUm == 25;
                hasStandard |= p.depthUm == 50;
            }
            QVERIFY(hasFine && hasStandard);
        }
        // The projector's image is mirrored, the panels' are not.
        QVERIFY(printers[3].profiles[0].mirrorX);
        QVERIFY(!printers[0].profiles[0].mirrorX);
    }

    void catalogueHasThePrintersPeopleOwn()
    {
        const std::vector<Printer> printers = catalogPrinters();
        QCOMPARE(printers.size(), std::size_t(15));
        std::set<std::string> addresses;
        for (const Printer& printer : printers) {
            QVERIFY(printer.local && !printer.maker.empty() && !printer.format.empty());
            QVERIFY(printer.name.rfind(printer.maker + " ", 0) == 0);
            QVERIFY(addresses.insert(printer.port).second);
            for (char c : printer.ip + printer.port)
                QVERIFY(std::isalnum((unsigned char)c) || c == '.');
            QCOMPARE(printer.profiles.size(), std::size_t(2));
            QCOMPARE(printer.profiles[0].depthUm, 50);
            QCOMPARE(printer.profiles[1].depthUm, 30);
            for (const Profile& p : printer.profiles) {
                // Every one of them exposes the part upside down: images mirrored left-right.
                QVERIFY(p.mirrorX && !p.mirrorY);
                QVERIFY(p.exposureS > 0.5 && p.bottomExposureS > 4 * p.exposureS);
            }
        }
        const auto named = [&](const char* name) {
            for (const Printer& printer : printers)
                if (printer.name == name)
                    return printer;
            return Printer();
        };
        const Profile saturn = named("Elegoo Saturn 3 Ultra").profiles.at(0);
        QCOMPARE(saturn.pixelsX, 11520);
        QCOMPARE(saturn.pixelsY, 5120);
        QCOMPARE(saturn.pixelUmX, 19.0);
        QCOMPARE(saturn.pixelUmY, 24.0);
        QCOMPARE(saturn.maxHeightMm, 260.0);
        QCOMPARE(named("Elegoo Saturn 3 Ultra").format, std::string("goo"));
        QCOMPARE(named("Phrozen Sonic Mini 8K S").format, std::string("prz"));
        QCOMPARE(named("Phrozen Sonic Mini 4K").formatVersion, 3);
        QCOMPARE(named("Anycubic Photon Mono M5s Pro").profiles.at(1).pixelUmY, 24.8);
        QCOMPARE(named("Anycubic Photon Mono X 6K").formatVersion, 516);
        QCOMPARE(named("Prusa SL1S SPEED").model, std::string("SL1S"));
    }

    void documentsCarryTheKeysAndTypes()
    {
        const std::vector<Printer> printers = builtinPrinters();
        const QJsonObject root = parseObject(printersDocument(printers));
        const QJsonArray list = root.value(QStringLiteral("printers_array")).toArray();
        QCOMPARE(list.size(), 4);
        const QJsonObject first = list.at(0).toObject();
        QCOMPARE(first.value(QStringLiteral("name")).toString(), QStringLiteral("Resin LCD 2K"));
        QVERIFY(first.value(QStringLiteral("ip")).isString());
        QVERIFY(first.value(QStringLiteral("port")).isString());
        const QJsonObject profile
            = first.value(QStringLiteral("profiles_array")).toArray().at(0).toObject();
        QCOMPARE(
            profile.value(QStringLiteral("Title")).toString(), QStringLiteral("0.05 mm standard"));
        QCOMPARE(profile.value(QStringLiteral("ProfileID")).toDouble(), 101.0);
        QCOMPARE(profile.value(QStringLiteral("Depth")).toDouble(), 50.0);
        QCOMPARE(profile.value(QStringLiteral("PixelsX")).toDouble(), 2560.0);
        QCOMPARE(profile.value(QStringLiteral("PixelSizeX")).toDouble(), 47.25);
        QCOMPARE(profile.value(QStringLiteral("MirrorX")).toBool(true), false);

        const QJsonArray profiles = QJsonDocument::fromJson(
            QByteArray::fromStdString(profilesDocument(printers[3].profiles)))
                                        .array();
        QCOMPARE(profiles.size(), int(printers[3].profiles.size()));
        QCOMPARE(profiles.at(1).toObject().value(QStringLiteral("Depth")).toDouble(), 25.0);
        QCOMPARE(profiles.at(1).toObject().value(QStringLiteral("MirrorX")).toBool(), true);
        QCOMPARE(profilesDocument({}), std::string("[]"));
    }

    void printersFileRoundTrip()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        std::vector<Printer> written = builtinPrinters();
        for (Printer& printer : catalogPrinters())
            written.push_back(printer);
        written[1].ip = "192.168.1.50";
        written[1].profiles[0].antiAliasing = 16;
        written[1].profiles[0].gamma = 1.8;
        written[1].profiles[0].elephantFootMm = 0.15;
        written[1].profiles[0].elephantFootLayers = 3;
        written[1].port = "80";
        const QString path = dir.filePath(QStringLiteral("printers.json"));
        QVERIFY(writeFile(path, QByteArray::fromStdString(printersDocument(written))));
        std::vector<Printer> read;
        std::string error;
        QVERIFY2(readPrintersFile(path.toStdString(), read, error), error.c_str());
        QCOMPARE(read.size(), written.size());
        for (std::size_t i = 0; i < read.size(); ++i) {
            QCOMPARE(read[i].name, written[i].name);
            QCOMPARE(read[i].ip, written[i].ip);
            QCOMPARE(read[i].port, written[i].port);
            QCOMPARE(read[i].model, written[i].model);
            QCOMPARE(read[i].maker, written[i].maker);
            QCOMPARE(read[i].format, written[i].format.empty() ? "sl1" : written[i].format);
            QCOMPARE(read[i].formatVersion, written[i].formatVersion);
            QVERIFY(!read[i].local); // a file describes hosts on the network
            QCOMPARE(read[i].profiles.size(), written[i].profiles.size());
            for (std::size_t k = 0; k < read[i].profiles.size(); ++k)
                QVERIFY(sameProfile(read[i].profiles[k], written[i].profiles[k]));
        }
    }

    void printersFileDefaults()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("printers.json"));
        QVERIFY(writeFile(path, R"({"printers_array":[{"name":"Shop","ip":"10.0.0.7","port":8080,
            "profiles_array":[{"Title":"T","ProfileID":7,"Depth":30,"PixelsX":100,"PixelsY":50,
            "PixelSizeX":40,"Exposure":3,"MaxHeight":120}]}]})"));
        std::vector<Printer> read;
        std::string error;
        QVERIFY2(readPrintersFile(path.toStdString(), read, error), error.c_str());
        QCOMPARE(read.size(), std::size_t(1));
        QCOMPARE(read[0].port, std::string("8080"));
        QCOMPARE(read[0].model, std::string("Shop"));
        const Profile& p = read[0].profiles.at(0);
        QCOMPARE(p.pixelUmY, 40.0);
        QCOMPARE(p.bottomExposureS, 3.0);
        QCOMPARE(p.bottomLayers, 0);
        QVERIFY(!p.mirrorX && !p.mirrorY);
        QCOMPARE(p.transitionLayers, 0);
        QCOMPARE(p.bottomLiftSpeed, 60.0);
        QCOMPARE(p.waitAfterRetractS, 1.0);
        QCOMPARE(p.lightPwm, 255);
        QCOMPARE(p.antiAliasing, 1);
        QCOMPARE(p.gamma, 1.0);
        QCOMPARE(p.elephantFootMm, 0.0);
        QCOMPARE(p.elephantFootLayers, -1);
        for (const Printer& printer : builtinPrinters())
            for (const Profile& builtin : printer.profiles)
                QCOMPARE(builtin.antiAliasing, 4);
    }

    void printersFileErrors_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("tail");
        const QByteArray profile
            = R"("Title":"T","ProfileID":7,"Depth":30,"PixelsX":100,"PixelsY":50,"PixelSizeX":40,"Exposure":3,"MaxHeight":120)";
        auto file = [&](const QByteArray& printer, const QByteArray& profiles) {
            return QByteArray(
                R"({"printers_array":[{)" + printer + R"(,"profiles_array":[)" + profiles + "]}]}");
        };
        const QByteArray host = R"("name":"Shop","ip":"10.0.0.7","port":"80")";
        QTest::newRow("not JSON") << QByteArray("{\"printers_array\": [")
                                  << " is not valid JSON: unterminated array at offset 20.";
        QTest::newRow("no list") << QByteArray("{\"printers\":[]}")
                                 << " has no \"printers_array\" list.";
        QTest::newRow("no ip") << file(R"("name":"Shop","port":"80")", "{" + profile + "}")
                               << " is not valid: printer 1: it has no text \"ip\".";
        QTest::newRow("no resolution")
            << file(host, R"({"Title":"T","ProfileID":7,"Depth":30})")
            << " is not valid: printer 1, profile 1: it has no number \"PixelsX\".";
        QTest::newRow("zero layer height")
            << file(host, "{" + QByteArray(profile).replace("\"Depth\":30", "\"Depth\":0") + "}")
            << " is not valid: printer 1, profile 1: its \"Depth\" is out of range.";
        QTest::newRow("mirror as text")
            << file(host, "{" + profile + R"(,"MirrorX":"yes"})")
            << " is not valid: printer 1, profile 1: its \"MirrorX\" is not true or false.";
        QTest::newRow("anti-aliasing 3")
            << file(host, "{" + profile + R"(,"AntiAliasing":3})")
            << " is not valid: printer 1, profile 1: its \"AntiAliasing\" is not 1, 2, 4, 8 or 16.";
        QTest::newRow("negative elephant foot")
            << file(host, "{" + profile + R"(,"ElephantFootMm":-0.1})")
            << " is not valid: printer 1, profile 1: its \"ElephantFootMm\" is out of range.";
        QTest::newRow("same address twice") << QByteArray(R"({"printers_array":[{)" + host
            + R"(,"profiles_array":[]},{"name":"Shop 2","ip":"10.0.0.7","port":80,"profiles_array":[]}]})")
                                            << " is not valid: printer 2 (\"Shop 2\") has the "
                                               "address 10.0.0.7:80 of the printer \"Shop\".";
        QTest::newRow("larger than 1 MB")
            << QByteArray(R"({"printers_array":[]})" + QByteArray(1024 * 1024, ' '))
            << " is larger than 1 MB.";
        QTest::newRow("unknown format")
            << file(QByteArray(host) + R"(,"format":"zip")", "{" + profile + "}")
            << " is not valid: printer 1: its \"format\" zip is not a job file the agent writes.";
        QTest::newRow("light above 255")
            << file(host, "{" + profile + R"(,"LightPWM":256})")
            << " is not valid: printer 1, profile 1: its \"LightPWM\" is out of range (0 to 255).";
        QTest::newRow("lift speed zero")
            << file(host, "{" + profile + R"(,"LiftSpeed":0})")
            << " is not valid: printer 1, profile 1: its \"LiftSpeed\" is out of range (1 to "
               "6000).";
        QTest::newRow("half a transition layer")
            << file(host, "{" + profile + R"(,"TransitionLayers":1.5})")
            << " is not valid: printer 1, profile 1: its \"TransitionLayers\" is not a whole "
               "number.";
        QTest::newRow("same id twice")
            << file(host, "{" + profile + "},{" + profile + "}")
            << " is not valid: printer 1: the \"ProfileID\" 7 appears twice.";
    }

    void printersFileErrors()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, tail);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("printers.json"));
        QVERIFY(writeFile(path, content));
        std::vector<Printer> read = builtinPrinters();
        std::string error;
        QVERIFY(!readPrintersFile(path.toStdString(), read, error));
        QCOMPARE(QString::fromStdString(error), QStringLiteral("The printers file ") + path + tail);
        QVERIFY(read.empty());
    }

    void missingPrintersFileIsNoPrinters()
    {
        QTemporaryDir dir;
        std::vector<Printer> read = builtinPrinters();
        std::string error;
        QVERIFY(
            readPrintersFile(dir.filePath(QStringLiteral("none.json")).toStdString(), read, error));
        QVERIFY(read.empty());
        QVERIFY(error.empty());
    }
};

QTEST_GUILESS_MAIN(TestProfile)
#include "tst_profile.moc"
