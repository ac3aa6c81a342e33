// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ctbfile.h"
#include "jobfiletestlayers.h"
#include "../../shared/filebytes.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <QtEndian>

namespace {

constexpr int kWidth = 40;
constexpr int kHeight = 30;
constexpr int kLayers = 5;

CtbHeader testHeader(int version, std::uint32_t key)
{
    CtbHeader h;
    h.version = version;
    h.machineName = "Phrozen Sonic Mini 4K";
    h.pixelsX = kWidth;
    h.pixelsY = kHeight;
    h.displayWidthMm = 1.4f;
    h.displayHeightMm = 1.05f;
    h.buildHeightMm = 130;
    h.layerHeightMm = 0.05f;
    h.exposureS = 2.5f;
    h.bottomExposureS = 30;
    h.lightOffDelayS = 0.5f;
    h.bottomLightOffDelayS = 1.5f;
    h.bottomLayers = 2;
    h.liftHeightMm = 6;
    h.liftSpeedMmMin = 90;
    h.bottomLiftHeightMm = 7;
    h.bottomLiftSpeedMmMin = 60;
    h.retractSpeedMmMin = 150;
    h.volumeMl = 12.25f;
    h.weightG = 13.5f;
    h.price = 0.75f;
    h.printTimeS = 4321;
    h.mirrored = true;
    h.lightPwm = 200;
    h.bottomLightPwm = 255;
    h.transitionLayers = 3;
    h.timestampMinutes = 29000000;
    h.key = key;
    h.largePreview.resize(kCtbLargePreviewWidth * kCtbLargePreviewHeight);
    for (std::size_t i = 0; i < h.largePreview.size(); ++i)
        h.largePreview[i] = std::uint16_t((i / 500) * 0x0841 & ~0x20); // runs across rows
    h.smallPreview.resize(kCtbSmallPreviewWidth * kCtbSmallPreviewHeight);
    for (std::size_t i = 0; i < h.smallPreview.size(); ++i)
        h.smallPreview[i] = std::uint16_t(i * 0x40 & ~0x20); // every pixel its own colour
    h.layerCount = kLayers;
    return h;
}

QString writeJob(const QTemporaryDir& dir, const CtbHeader& h)
{
    const QString path = dir.filePath(QStringLiteral("job.ctb"));
    std::FILE* file = std::fopen(path.toLocal8Bit().constData(), "wb");
    CtbWriter writer;
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

class TestCtbFile : public QObject {
    Q_OBJECT

private slots:
    void layerCoding_data();
    void layerCoding();
    void keystream();
    void previewCoding();
    void roundTrip_data();
    void roundTrip();
    void damaged_data();
    void damaged();
    void packedJob();
    void cataloguePrinter();
};

void TestCtbFile::layerCoding_data()
{
    QTest::addColumn<QByteArray>("image");
    QTest::addColumn<QByteArray>("coded");
    QTest::addColumn<QByteArray>("readBack");

    QByteArray exampleBack = workedExample();
    exampleBack[19] = char(129);
    exampleBack[20] = char(137);
    QTest::newRow("worked example, runs across row ends")
        << workedExample() << QByteArray::fromHex("800aff0480047f40447f800a") << exampleBack;
    QTest::newRow("300 black") << QByteArray(300, char(0)) << QByteArray::fromHex("80812c")
                               << QByteArray(300, char(0));
    QTest::newRow("5120 white") << QByteArray(5120, char(255)) << QByteArray::fromHex("ff9400")
                                << QByteArray(5120, char(255));
    // Where each length form ends and the next begins.
    QTest::newRow("127 and 128") << QByteArray(127, char(0)) + QByteArray(128, char(255))
                                 << QByteArray::fromHex("807fff8080")
                                 << QByteArray(127, char(0)) + QByteArray(128, char(255));
    QTest::newRow("16383 and 16384") << QByteArray(16383, char(0)) + QByteArray(16384, char(255))
                                     << QByteArray::fromHex("80bfffffc04000")
                                     << QByteArray(16383, char(0)) + QByteArray(16384, char(255));
    // A blank frame of the largest panel needs the four-byte form.
    QTest::newRow("all black 11520 x 5120")
        << QByteArray(11520 * 5120, char(0)) << QByteArray::fromHex("80e3840000")
        << QByteArray(11520 * 5120, char(0));
    // 1 is stored as 0 and reads back black; 127 stays uncured, 128 cured.
    QTest::newRow("grey levels") << QByteArray::fromHex("0102037f8081fe")
                                 << QByteArray::fromHex("0081023fc0027f")
                                 << QByteArray::fromHex("0003037f8181ff");
}

void TestCtbFile::layerCoding()
{
    QFETCH(QByteArray, image);
    QFETCH(QByteArray, coded);
    QFETCH(QByteArray, readBack);

    std::vector<std::uint8_t> out;
    const std::vector<std::uint8_t> in = vec(image);
    encodeCtbLayer(in.data(), in.size(), out);
    QCOMPARE(bytes(out).toHex(), coded.toHex());
    std::vector<std::uint8_t> decoded(in.size());
    std::string error;
    QVERIFY2(decodeCtbLayer(out.data(), out.size(), decoded.data(), decoded.size(), error),
        error.c_str());
    QVERIFY(bytes(decoded) == readBack);
}

void TestCtbFile::keystream()
{
    std::vector<std::uint8_t> zeros(8, 0);
    ctbKeystream(0x12345678, 0, zeros.data(), zeros.size());
    QCOMPARE(bytes(zeros).toHex(), QByteArray("27c5d1ceea294a23"));
    std::vector<std::uint8_t> second(3, 0); // cut off inside a word
    ctbKeystream(0x12345678, 1, second.data(), second.size());
    QCOMPARE(bytes(second).toHex(), QByteArray("4e051e"));
    ctbKeystream(0, 1, second.data(), second.size());
    QCOMPARE(bytes(second).toHex(), QByteArray("4e051e"));
}

void TestCtbFile::previewCoding()
{
    // Three white then three black pixels, the white written as 1 + 2 by another writer.
    const QByteArray theirs = QByteArray::fromHex("dfffffff013020000230");
    std::vector<std::uint16_t> words;
    std::string error;
    QVERIFY2(decodeCtbPreview(reinterpret_cast<const std::uint8_t*>(theirs.constData()),
                 std::size_t(theirs.size()), 6, words, error),
        error.c_str());
    QVERIFY(words == std::vector<std::uint16_t>({ 0xFFDF, 0xFFDF, 0xFFDF, 0, 0, 0 }));
    std::vector<std::uint8_t> ours;
    encodeCtbPreview(words, ours);
    QCOMPARE(bytes(ours).toHex(), QByteArray("ffff023020000230"));
    // 4097 equal pixels: the longest run, then a single word.
    ours.clear();
    encodeCtbPreview(std::vector<std::uint16_t>(4097, 0x0841), ours);
    QCOMPARE(bytes(ours).toHex(), QByteArray("6108ff3f4108"));
}

void TestCtbFile::roundTrip_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<uint>("key");
    QTest::newRow("version 2") << 2 << 0u;
    QTest::newRow("version 3") << 3 << 0u;
    QTest::newRow("version 3, scrambled layers") << 3 << 0x12345678u;
}

void TestCtbFile::roundTrip()
{
    QFETCH(int, version);
    QFETCH(uint, key);
    QTemporaryDir dir;
    const CtbHeader w = testHeader(version, key);
    const QString path = writeJob(dir, w);
    QVERIFY(!path.isEmpty());

    CtbReader reader;
    std::string error;
    QVERIFY2(reader.open(path.toStdString(), error), error.c_str());
    const CtbHeader& r = reader.header();
    QCOMPARE(r.version, w.version);
    QCOMPARE(r.machineName, w.machineName);
    QCOMPARE(r.pixelsX, w.pixelsX);
    QCOMPARE(r.pixelsY, w.pixelsY);
    QCOMPARE(r.displayWidthMm, w.displayWidthMm);
    QCOMPARE(r.displayHeightMm, w.displayHeightMm);
    QCOMPARE(r.buildHeightMm, w.buildHeightMm);
    QCOMPARE(r.layerHeightMm, w.layerHeightMm);
    QCOMPARE(r.exposureS, w.exposureS);
    QCOMPARE(r.bottomExposureS, w.bottomExposureS);
    QCOMPARE(r.lightOffDelayS, w.lightOffDelayS);
    QCOMPARE(r.bottomLightOffDelayS, w.bottomLightOffDelayS);
    QCOMPARE(r.bottomLayers, w.bottomLayers);
    QCOMPARE(r.liftHeightMm, w.liftHeightMm);
    QCOMPARE(r.liftSpeedMmMin, w.liftSpeedMmMin);
    QCOMPARE(r.bottomLiftHeightMm, w.bottomLiftHeightMm);
    QCOMPARE(r.bottomLiftSpeedMmMin, w.bottomLiftSpeedMmMin);
    QCOMPARE(r.retractSpeedMmMin, w.retractSpeedMmMin);
    QCOMPARE(r.volumeMl, w.volumeMl);
    QCOMPARE(r.weightG, w.weightG);
    QCOMPARE(r.price, w.price);
    QCOMPARE(r.printTimeS, w.printTimeS);
    QCOMPARE(r.mirrored, w.mirrored);
    QCOMPARE(r.lightPwm, w.lightPwm);
    QCOMPARE(r.bottomLightPwm, w.bottomLightPwm);
    QCOMPARE(r.transitionLayers, w.transitionLayers);
    QCOMPARE(r.timestampMinutes, w.timestampMinutes);
    QCOMPARE(r.key, w.key);
    QVERIFY(r.largePreview == w.largePreview);
    QVERIFY(r.smallPreview == w.smallPreview);
    QCOMPARE(r.layerCount, kLayers);

    std::uint64_t nextAddress = reader.layers().front().address;
    for (int i = 0; i < kLayers; ++i) {
        const CtbLayer& layer = reader.layers()[std::size_t(i)];
        std::vector<std::uint8_t> grey;
        QVERIFY2(reader.readLayer(i, grey, error), error.c_str());
        std::vector<std::uint8_t> expected = testLayer(kWidth, kHeight, i);
        for (std::uint8_t& g : expected)
            g = std::uint8_t(g >> 1 ? (g >> 1) << 1 | 1 : 0);
        QCOMPARE(bytes(grey).toHex(), bytes(expected).toHex());
        QCOMPARE(layer.address, nextAddress); // back to back, each after its extended entry
        nextAddress += layer.length + (version == 3 ? 84 : 0);
        const bool bottom = i < 2;
        QCOMPARE(layer.positionZMm, float((i + 1) * double(w.layerHeightMm)));
        QCOMPARE(layer.exposureS, bottom ? w.bottomExposureS : w.exposureS);
        QCOMPARE(layer.lightOffDelayS, bottom ? w.bottomLightOffDelayS : w.lightOffDelayS);
        if (version == 3) {
            QCOMPARE(layer.liftHeightMm, bottom ? w.bottomLiftHeightMm : w.liftHeightMm);
            QCOMPARE(layer.liftSpeedMmMin, bottom ? w.bottomLiftSpeedMmMin : w.liftSpeedMmMin);
            QCOMPARE(layer.retractSpeedMmMin, w.retractSpeedMmMin);
        }
    }
    // Nothing follows the last layer.
    QCOMPARE(qint64(nextAddress - (version == 3 ? 84 : 0)), QFileInfo(path).size());
}

void TestCtbFile::damaged_data()
{
    QTest::addColumn<int>("at"); // byte to change; negative: bytes cut off the end
    QTest::addColumn<int>("value"); // a u32 written over the bytes at `at`
    QTest::addColumn<QString>("sentence");

    QTest::newRow("encrypted") << 0 << 0x12FD0107 << QStringLiteral("an encrypted CTB file");
    QTest::newRow("version 4") << 4 << 4
                               << QStringLiteral("of CTB version 4, which we do not read");
    QTest::newRow("no display") << 0x34 << 0 << QStringLiteral("display of 0 x 30 pixels");
    QTest::newRow("cut short") << -3 << 0 << QStringLiteral("layer 5 lies beyond the end");
    // The first layer's first code given a length longer than the display.
    QTest::newRow("run past the image")
        << -1000 << 0x0F
        << QStringLiteral("is damaged: in its layer 1, its runs cover more pixels");
    QTest::newRow("extended entry")
        << -1001 << 0x0F << QStringLiteral("layer 1's extended entry disagrees");
}

void TestCtbFile::damaged()
{
    QFETCH(int, at);
    QFETCH(int, value);
    QFETCH(QString, sentence);
    QTemporaryDir dir;
    const QString path = writeJob(dir, testHeader(3, 0));
    QByteArray file = readFile(path);
    if (at <= -1000) {
        CtbReader good;
        std::string error;
        QVERIFY(good.open(path.toStdString(), error));
        const int layer = int(good.layers().front().address);
        if (at == -1000) {
            file[layer] = char(0x80);
            file[layer + 1] = char(0xC0 | value);
        } else {
            file[layer - 84 + 36] = char(value); // total size
        }
    } else if (at < 0) {
        file.chop(-at);
    } else {
        qToLittleEndian<quint32>(quint32(value), file.data() + at);
    }
    QVERIFY(writeFile(path, file));

    CtbReader reader;
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

void TestCtbFile::packedJob()
{
    QTemporaryDir dir;
    std::string error;
    const QString job = sliceTestJob(dir.path(), "ctb", 40, error);
    QVERIFY2(!job.isEmpty(), error.c_str());
    const std::string out = dir.filePath(QStringLiteral("part.ctb")).toStdString();
    QVERIFY2(writeJobFile(job.toStdString(), out, error), error.c_str());

    CtbReader file;
    QVERIFY2(file.open(out, error), error.c_str());
    QVERIFY(file.header().key != 0); // layers scrambled, as the maker's own files are
    QCOMPARE(file.header().version, 3);
    QCOMPARE(file.header().machineName, std::string("Test printer"));

    std::unique_ptr<JobReader> reader = makeJobReader(out);
    QVERIFY(reader);
    QVERIFY2(reader->open(out, error), error.c_str());
    const JobSettings& s = reader->settings();
    QCOMPARE(s.pixelsX, 400);
    QCOMPARE(s.pixelsY, 300);
    QCOMPARE(float(s.pixelUmX), 50.0f);
    QCOMPARE(float(s.pixelUmY), 40.0f);
    QVERIFY(s.mirrorX);
    QCOMPARE(s.exposureS, 3.0);
    QCOMPARE(s.bottomExposureS, 21.0);
    QCOMPARE(int(reader->previews().size()), 2);
    const std::vector<std::vector<std::uint8_t>> layers = jobLayers(job);
    QCOMPARE(s.layerCount, int(layers.size()));
    QVERIFY(s.layerCount > 3);
    QVERIFY(std::count(layers[0].begin(), layers[0].end(), 255) > 1000); // the parts are there
    for (int i = 0; i < s.layerCount; ++i) {
        std::vector<std::uint8_t> grey;
        QVERIFY2(reader->readLayer(i, grey, error), error.c_str());
        std::vector<std::uint8_t> expected = layers[std::size_t(i)];
        for (std::uint8_t& g : expected)
            g = std::uint8_t(g >> 1 ? (g >> 1) << 1 | 1 : 0);
        QVERIFY(grey == expected);
    }
}

void TestCtbFile::cataloguePrinter()
{
    QTemporaryDir dir;
    std::string error, extension;
    const std::string out = dir.filePath(QStringLiteral("part.ctb")).toStdString();
    const QString job
        = sliceCatalogueJob(dir.path(), "Phrozen Sonic Mini 4K", out, extension, error);
    QVERIFY2(!job.isEmpty(), error.c_str());
    QCOMPARE(extension, std::string(".ctb"));
    CtbReader reader;
    QVERIFY2(reader.open(out, error), error.c_str());
    const CtbHeader& h = reader.header();
    QCOMPARE(h.version, 3);
    QCOMPARE(h.machineName, std::string("Phrozen Sonic Mini 4K"));
    QCOMPARE(h.pixelsX, 3840);
    QCOMPARE(h.pixelsY, 2160);
    QCOMPARE(h.displayWidthMm, 134.4f);
    QCOMPARE(h.displayHeightMm, 75.6f);
    QCOMPARE(h.buildHeightMm, 130.0f);
    QVERIFY(h.mirrored);
    const std::vector<std::vector<std::uint8_t>> layers = jobLayers(job);
    QCOMPARE(h.layerCount, int(layers.size()));
    for (int i = 0; i < h.layerCount; ++i) {
        std::vector<std::uint8_t> grey;
        QVERIFY2(reader.readLayer(i, grey, error), error.c_str());
        std::vector<std::uint8_t> expected = layers[std::size_t(i)];
        for (std::uint8_t& g : expected)
            g = std::uint8_t(g >> 1 ? (g >> 1) << 1 | 1 : 0);
        QVERIFY(grey == expected);
    }
}

QTEST_GUILESS_MAIN(TestCtbFile)
#include "tst_ctbfile.moc"
