// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "photonworkshopfile.h"
#include "jobfiletestlayers.h"
#include "../../shared/filebytes.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

namespace {

constexpr int kWidth = 40;
constexpr int kHeight = 30;
constexpr int kLayers = 5;

PhotonWorkshopHeader testHeader(int version)
{
    PhotonWorkshopHeader h;
    h.version = version;
    h.machineName = "Photon Mono X 6K";
    h.pixelsX = kWidth;
    h.pixelsY = kHeight;
    h.pixelUmX = 34.5f;
    h.pixelUmY = version == 518 ? 24.25f : 34.5f; // only v518 keeps both
    h.displayWidthMm = 1.38f;
    h.displayHeightMm = 0.7275f;
    h.buildHeightMm = 245;
    h.layerHeightMm = 0.05f;
    h.exposureS = 2.5f;
    h.lightOffDelayS = 0.5f;
    h.bottomExposureS = 30;
    h.bottomLayers = 2;
    h.liftHeightMm = 6;
    h.liftSpeedMmS = 1.5f;
    h.retractSpeedMmS = 2.75f;
    h.volumeMl = 12.25f;
    h.weightG = 13.5f;
    h.price = 0.75f;
    h.printTimeS = 4321;
    h.transitionLayers = 3;
    h.softwareName = "Corvane";
    h.softwareVersion = "1.2.3";
    h.preview.resize(kPhotonWorkshopPreviewWidth * kPhotonWorkshopPreviewHeight);
    for (std::size_t i = 0; i < h.preview.size(); ++i)
        h.preview[i] = std::uint16_t(i * 7);
    if (version == 518) {
        h.preview2.resize(kPhotonWorkshopPreview2Width * kPhotonWorkshopPreview2Height);
        for (std::size_t i = 0; i < h.preview2.size(); ++i)
            h.preview2[i] = std::uint16_t(i * 13);
    }
    h.layerCount = kLayers;
    return h;
}

// What a reader finds of `h` in a file of its version: the tables an older version lacks read
// as nothing.
PhotonWorkshopHeader readable(PhotonWorkshopHeader h)
{
    if (h.version < 516) {
        h.machineName.clear();
        h.displayWidthMm = h.displayHeightMm = h.buildHeightMm = 0;
    }
    if (h.version < 517) {
        h.softwareName.clear();
        h.softwareVersion.clear();
    }
    return h;
}

QString writeJob(const QTemporaryDir& dir, const PhotonWorkshopHeader& h)
{
    const QString path = dir.filePath(QStringLiteral("job.pwmb"));
    std::FILE* file = std::fopen(path.toLocal8Bit().constData(), "wb");
    PhotonWorkshopWriter writer;
    std::string error;
    bool ok = file && writer.begin(file, h, error);
    for (int i = 0; ok && i < h.layerCount; ++i)
        ok = writer.addLayer(testLayer(h.pixelsX, h.pixelsY, i).data(), error);
    ok = ok && writer.finish(error);
    if (file)
        std::fclose(file);
    return ok ? path : QString();
}

} // namespace

class TestPhotonWorkshopFile : public QObject {
    Q_OBJECT

private slots:
    void layerCoding_data();
    void layerCoding();
    void roundTrip_data();
    void roundTrip();
    void damaged_data();
    void damaged();
    void packedJob_data();
    void packedJob();
    void cataloguePrinter();
};

void TestPhotonWorkshopFile::layerCoding_data()
{
    QTest::addColumn<QByteArray>("image");
    QTest::addColumn<QByteArray>("coded");
    QTest::addColumn<QByteArray>("readBack");
    QTest::addColumn<int>("nonZero");

    QByteArray example = workedExample();
    QByteArray exampleBack = example;
    exampleBack[19] = char(136);
    exampleBack[20] = char(136);
    QTest::newRow("worked example, runs across row ends")
        << example << QByteArray::fromHex("000af0040004f00182f001000a") << exampleBack << 8;
    // 10 000 white pixels: two runs of the longest 4 095, then 1 810.
    QTest::newRow("all white") << QByteArray(10000, char(255))
                               << QByteArray::fromHex("fffffffff712")
                               << QByteArray(10000, char(255)) << 10000;
    QTest::newRow("longest run and one more")
        << QByteArray(4096, char(0)) << QByteArray::fromHex("0fff0001") << QByteArray(4096, char(0))
        << 0;
    // Greys between black and white run at most 15 pixels.
    QTest::newRow("grey run of 16") << QByteArray(16, char(100)) << QByteArray::fromHex("6f61")
                                    << QByteArray(16, char(102)) << 16;
    // Each 4-bit level once; 127 stays below the cure threshold, 128 above it; 15 is stored as 0.
    QByteArray levels;
    for (int g = 0; g < 256; g += 16)
        levels += char(g);
    levels += QByteArray::fromHex("7f800f");
    QByteArray levelsBack;
    for (int code = 0; code < 16; ++code)
        levelsBack += char(code * 17);
    levelsBack += QByteArray::fromHex("778800");
    QTest::newRow("grey levels") << levels
                                 << QByteArray::fromHex(
                                        "0001112131415161718191a1b1c1d1e1f00171810001")
                                 << levelsBack << 17;
}

void TestPhotonWorkshopFile::layerCoding()
{
    QFETCH(QByteArray, image);
    QFETCH(QByteArray, coded);
    QFETCH(QByteArray, readBack);
    QFETCH(int, nonZero);

    std::vector<std::uint8_t> out;
    const std::vector<std::uint8_t> in = vec(image);
    QCOMPARE(int(encodePw0(in.data(), in.size(), out)), nonZero);
    QCOMPARE(bytes(out).toHex(), coded.toHex());
    std::vector<std::uint8_t> decoded(in.size());
    std::string error;
    QVERIFY2(
        decodePw0(out.data(), out.size(), decoded.data(), decoded.size(), error), error.c_str());
    QCOMPARE(bytes(decoded).toHex(), readBack.toHex());
}

void TestPhotonWorkshopFile::roundTrip_data()
{
    QTest::addColumn<int>("version");
    for (int version : { 1, 515, 516, 517, 518 })
        QTest::addRow("version %d", version) << version;
}

void TestPhotonWorkshopFile::roundTrip()
{
    QFETCH(int, version);
    QTemporaryDir dir;
    const PhotonWorkshopHeader written = testHeader(version);
    const QString path = writeJob(dir, written);
    QVERIFY(!path.isEmpty());

    PhotonWorkshopReader reader;
    std::string error;
    QVERIFY2(reader.open(path.toStdString(), error), error.c_str());
    const PhotonWorkshopHeader w = readable(written);
    const PhotonWorkshopHeader& r = reader.header();
    QCOMPARE(r.version, w.version);
    QCOMPARE(r.machineName, w.machineName);
    QCOMPARE(r.pixelsX, w.pixelsX);
    QCOMPARE(r.pixelsY, w.pixelsY);
    QCOMPARE(r.pixelUmX, w.pixelUmX);
    QCOMPARE(r.pixelUmY, w.pixelUmY);
    QCOMPARE(r.displayWidthMm, w.displayWidthMm);
    QCOMPARE(r.displayHeightMm, w.displayHeightMm);
    QCOMPARE(r.buildHeightMm, w.buildHeightMm);
    QCOMPARE(r.layerHeightMm, w.layerHeightMm);
    QCOMPARE(r.exposureS, w.exposureS);
    QCOMPARE(r.lightOffDelayS, w.lightOffDelayS);
    QCOMPARE(r.bottomExposureS, w.bottomExposureS);
    QCOMPARE(r.bottomLayers, w.bottomLayers);
    QCOMPARE(r.liftHeightMm, w.liftHeightMm);
    QCOMPARE(r.liftSpeedMmS, w.liftSpeedMmS);
    QCOMPARE(r.retractSpeedMmS, w.retractSpeedMmS);
    QCOMPARE(r.volumeMl, w.volumeMl);
    QCOMPARE(r.weightG, w.weightG);
    QCOMPARE(r.price, w.price);
    QCOMPARE(r.printTimeS, w.printTimeS);
    QCOMPARE(r.transitionLayers, w.transitionLayers);
    QCOMPARE(r.softwareName, w.softwareName);
    QCOMPARE(r.softwareVersion, w.softwareVersion);
    if (version >= 517) {
        // The box around every lit pixel of every layer, from the display's centre.
        int left = kWidth, right = -1, top = kHeight, bottom = -1;
        for (int i = 0; i < kLayers; ++i) {
            const std::vector<std::uint8_t> image = testLayer(kWidth, kHeight, i);
            for (int y = 0; y < kHeight; ++y) {
                for (int x = 0; x < kWidth; ++x) {
                    if (image[std::size_t(y * kWidth + x)] >> 4) {
                        left = std::min(left, x);
                        right = std::max(right, x);
                        top = std::min(top, y);
                        bottom = std::max(bottom, y);
                    }
                }
            }
        }
        const double mmX = w.pixelUmX / 1000.0, mmY = w.pixelUmY / 1000.0;
        QCOMPARE(r.modelMin[0], float((left - kWidth / 2.0) * mmX));
        QCOMPARE(r.modelMax[0], float((right + 1 - kWidth / 2.0) * mmX));
        QCOMPARE(r.modelMin[1], float((kHeight / 2.0 - bottom - 1) * mmY));
        QCOMPARE(r.modelMax[1], float((kHeight / 2.0 - top) * mmY));
        QCOMPARE(r.modelMin[2], 0.0f);
        QCOMPARE(r.modelMax[2], float(kLayers * double(w.layerHeightMm)));
    }
    QVERIFY(r.preview == w.preview);
    QVERIFY(r.preview2 == w.preview2);
    QCOMPARE(r.layerCount, kLayers);

    std::uint32_t nextAddress = reader.layers().front().address;
    for (int i = 0; i < kLayers; ++i) {
        const PhotonWorkshopLayer& layer = reader.layers()[std::size_t(i)];
        std::vector<std::uint8_t> grey;
        QVERIFY2(reader.readLayer(i, grey, error), error.c_str());
        std::vector<std::uint8_t> expected = testLayer(kWidth, kHeight, i);
        std::uint32_t lit = 0;
        for (std::uint8_t& g : expected) {
            g = std::uint8_t((g >> 4) * 17);
            lit += g != 0;
        }
        QCOMPARE(bytes(grey).toHex(), bytes(expected).toHex());
        QCOMPARE(layer.address, nextAddress); // back to back, layer 0 first
        nextAddress += layer.length;
        QCOMPARE(layer.nonZeroPixels, lit);
        QCOMPARE(layer.exposureS, i < 2 ? w.bottomExposureS : w.exposureS);
        QCOMPARE(layer.layerHeightMm, w.layerHeightMm);
        QCOMPARE(layer.liftHeightMm, w.liftHeightMm);
        QCOMPARE(layer.liftSpeedMmS, w.liftSpeedMmS);
    }
    // Nothing follows the last layer.
    QCOMPARE(qint64(nextAddress), QFileInfo(path).size());
}

void TestPhotonWorkshopFile::damaged_data()
{
    QTest::addColumn<int>("at"); // byte to change; negative: bytes cut off the end
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("sentence");

    QTest::newRow("not ours") << 0 << int('X') << QStringLiteral("does not start with ANYCUBIC");
    QTest::newRow("unknown version")
        << 13 << 1 << QStringLiteral("has file version 260, which we do not read");
    QTest::newRow("header length")
        << 52 + 12 << 83 << QStringLiteral("its HEADER table has the wrong name or length");
    QTest::newRow("cut short") << -3 << 0 << QStringLiteral("layer 5 lies beyond the end");
    // The first layer's first run made longer than the display.
    QTest::newRow("run past the image")
        << -1000 << 0x0F
        << QStringLiteral("is damaged: in its layer 1, its runs cover more pixels");
}

void TestPhotonWorkshopFile::damaged()
{
    QFETCH(int, at);
    QFETCH(int, value);
    QFETCH(QString, sentence);
    QTemporaryDir dir;
    const QString path = writeJob(dir, testHeader(516));
    QByteArray file = readFile(path);
    if (at == -1000) {
        PhotonWorkshopReader good;
        std::string error;
        QVERIFY(good.open(path.toStdString(), error));
        file[int(good.layers().front().address)] = char(value);
        file[int(good.layers().front().address) + 1] = char(0xFF);
    } else if (at < 0) {
        file.chop(-at);
    } else {
        file[at] = char(value);
    }
    QVERIFY(writeFile(path, file));

    PhotonWorkshopReader reader;
    std::string error;
    bool ok = reader.open(path.toStdString(), error);
    std::vector<std::uint8_t> grey;
    for (int i = 0; ok && i < kLayers; ++i)
        ok = reader.readLayer(i, grey, error);
    QVERIFY(!ok);
    QVERIFY2(QString::fromStdString(error).contains(sentence), error.c_str());
    QVERIFY2(QString::fromStdString(error).contains(path), error.c_str()); // names the file
    QVERIFY(error.back() == '.');
}

void TestPhotonWorkshopFile::packedJob_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("version");
    QTest::addColumn<double>("pixelUmY");
    QTest::newRow("pwmb") << QStringLiteral("pwmb") << 516 << 50.0;
    QTest::newRow("px6s") << QStringLiteral("px6s") << 517 << 50.0;
    // Only version 518 keeps unequal pixel sizes apart.
    QTest::newRow("pm5s, unequal pixels") << QStringLiteral("pm5s") << 518 << 40.0;
}

void TestPhotonWorkshopFile::packedJob()
{
    QFETCH(QString, format);
    QFETCH(int, version);
    QFETCH(double, pixelUmY);
    QTemporaryDir dir;
    std::string error;
    const QString job = sliceTestJob(dir.path(), format.toStdString(), pixelUmY, error);
    QVERIFY2(!job.isEmpty(), error.c_str());
    const std::string out = dir.filePath(QStringLiteral("part.") + format).toStdString();
    QVERIFY2(writeJobFile(job.toStdString(), out, error), error.c_str());

    std::unique_ptr<JobReader> reader = makeJobReader(out);
    QVERIFY(reader);
    QVERIFY2(reader->open(out, error), error.c_str());
    const JobSettings& s = reader->settings();
    QCOMPARE(s.pixelsX, 400);
    QCOMPARE(s.pixelsY, 300);
    QCOMPARE(s.pixelUmX, 50.0);
    QCOMPARE(s.pixelUmY, pixelUmY);
    QVERIFY(s.mirrorX);
    QCOMPARE(s.exposureS, 3.0);
    QCOMPARE(s.bottomExposureS, 21.0);
    QCOMPARE(s.printerName.empty(), version < 516);
    QCOMPARE(int(reader->previews().size()), version == 518 ? 2 : 1);
    const std::vector<std::vector<std::uint8_t>> layers = jobLayers(job);
    QCOMPARE(s.layerCount, int(layers.size()));
    QVERIFY(s.layerCount > 3);
    QVERIFY(std::count(layers[0].begin(), layers[0].end(), 255) > 1000); // the parts are there
    for (int i = 0; i < s.layerCount; ++i) {
        std::vector<std::uint8_t> grey;
        QVERIFY2(reader->readLayer(i, grey, error), error.c_str());
        std::vector<std::uint8_t> expected = layers[std::size_t(i)];
        for (std::uint8_t& g : expected)
            g = std::uint8_t((g >> 4) * 17);
        QVERIFY(grey == expected);
    }
}

void TestPhotonWorkshopFile::cataloguePrinter()
{
    QTemporaryDir dir;
    std::string error, extension;
    const std::string out = dir.filePath(QStringLiteral("part.pm3n")).toStdString();
    const QString job
        = sliceCatalogueJob(dir.path(), "Anycubic Photon Mono 2", out, extension, error);
    QVERIFY2(!job.isEmpty(), error.c_str());
    QCOMPARE(extension, std::string(".pm3n"));
    PhotonWorkshopReader reader;
    QVERIFY2(reader.open(out, error), error.c_str());
    const PhotonWorkshopHeader& h = reader.header();
    QCOMPARE(h.version, 517);
    QCOMPARE(h.machineName, std::string("Photon Mono 2"));
    QCOMPARE(h.pixelsX, 4096);
    QCOMPARE(h.pixelsY, 2560);
    QCOMPARE(h.pixelUmX, 35.0f);
    QCOMPARE(h.displayWidthMm, 143.36f);
    QCOMPARE(h.buildHeightMm, 165.0f);
    const std::vector<std::vector<std::uint8_t>> layers = jobLayers(job);
    QCOMPARE(h.layerCount, int(layers.size()));
    for (int i = 0; i < h.layerCount; ++i) {
        std::vector<std::uint8_t> grey;
        QVERIFY2(reader.readLayer(i, grey, error), error.c_str());
        std::vector<std::uint8_t> expected = layers[std::size_t(i)];
        for (std::uint8_t& g : expected)
            g = std::uint8_t((g >> 4) * 17);
        QVERIFY(grey == expected);
    }
}

QTEST_GUILESS_MAIN(TestPhotonWorkshopFile)
#include "tst_photonworkshopfile.moc"
