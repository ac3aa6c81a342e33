// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "goofile.h"
#include "jobfile.h"
#include "plate.h"
#include "pngreader.h"
#include "pngruns.h"
#include "pngwriter.h"
#include "printermodels.h"
#include "slicer.h"
#include "enginetestutil.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

namespace {

QByteArray encoded(const QByteArray& pixels)
{
    std::vector<std::uint8_t> chunks;
    encodeGooLayer(reinterpret_cast<const std::uint8_t*>(pixels.constData()),
        std::size_t(pixels.size()), chunks);
    return QByteArray(reinterpret_cast<const char*>(chunks.data()), int(chunks.size()));
}

// A small plate's settings, every field set to something a reader could get wrong.
JobSettings smallJob(int layers)
{
    JobSettings s;
    s.printerName = "Elegoo Saturn 3 Ultra";
    s.profileName = "0.05 mm standard";
    s.created = "2026-12-09T10:00:00Z";
    s.pixelsX = 37;
    s.pixelsY = 23;
    s.pixelUmX = 19;
    s.pixelUmY = 24;
    s.mirrorX = true;
    s.maxHeightMm = 260;
    s.layerHeightMm = 0.05;
    s.layerCount = layers;
    s.bottomLayers = 2;
    s.exposureS = 2.5;
    s.bottomExposureS = 30;
    s.bottomLiftMm = 7;
    s.bottomLiftSpeed = 50;
    s.liftMm = 5;
    s.liftSpeed = 90;
    s.bottomRetractSpeed = 100;
    s.retractSpeed = 150;
    s.waitBeforeExposureS = 1.5;
    s.bottomWaitBeforeExposureS = 2;
    s.lightPwm = 200;
    s.bottomLightPwm = 250;
    s.printTimeS = 1234;
    s.volumeMl = 4.5;
    return s;
}

// Layer k: every grey there is, shifted by k, with black and white runs across the row ends.
std::vector<std::uint8_t> layerPixels(const JobSettings& s, int k)
{
    std::vector<std::uint8_t> pixels(std::size_t(s.pixelsX) * std::size_t(s.pixelsY));
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = i < 100 ? 0 : i < 180 ? 255 : std::uint8_t((i * 7 + std::size_t(k)) % 256);
    return pixels;
}

RgbImage picture(PreviewView view, int width, int height)
{
    RgbImage image;
    image.width = width;
    image.height = height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.rgb.insert(image.rgb.end(),
                { std::uint8_t(x * 2), std::uint8_t(y),
                    std::uint8_t(view == PreviewView::Top ? 40 : 200) });
    return image;
}

bool writeGoo(const QString& path, const JobSettings& s, std::string& error)
{
    JobFormat format;
    findJobFormat("goo", format);
    std::unique_ptr<JobWriter> writer = makeJobWriter(format);
    std::FILE* file = std::fopen(path.toLocal8Bit().constData(), "w+b");
    bool ok = writer->begin(file, s, picture, error);
    for (int k = 0; ok && k < s.layerCount; ++k) {
        const std::vector<std::uint8_t> pixels = layerPixels(s, k);
        JobLayer layer;
        layer.pixels = pixels.data();
        ok = writer->addLayer(layer, error);
    }
    ok = ok && writer->finish(error);
    std::fclose(file);
    return ok;
}

} // namespace

class TestGooFile : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void encodesRuns_data()
    {
        QTest::addColumn<QByteArray>("pixels");
        QTest::addColumn<QByteArray>("chunks");
        QByteArray example(32, 0);
        example.replace(10, 4, QByteArray(4, char(255)));
        example[18] = char(255);
        example[19] = char(128);
        example[20] = char(136);
        example[21] = char(255);
        QTest::newRow("worked example, runs across rows") << example
                                                          << QByteArray::fromHex("0AC404C14180418"
                                                                                 "8C10A");
        QTest::newRow("all black, 5120 pixels")
            << QByteArray(5120, 0) << QByteArray::fromHex("200140");
        QTest::newRow("all white, 32 pixels")
            << QByteArray(32, char(255)) << QByteArray::fromHex("D002");
        QTest::newRow("grey 200 pixels") << QByteArray(200, char(128))
                                         << QByteArray::fromHex("5880"
                                                                "0C");
        QTest::newRow("grey 1 and 254 single") << QByteArray::fromHex("01FE")
                                               << QByteArray::fromHex("4101"
                                                                      "41FE");
        QTest::newRow("longest without length byte")
            << QByteArray(15, 0) << QByteArray::fromHex("0F");
        QTest::newRow("shortest with one") << QByteArray(16, 0) << QByteArray::fromHex("1001");
        QTest::newRow("longest with one")
            << QByteArray(4095, char(255)) << QByteArray::fromHex("DFFF");
        QTest::newRow("shortest with two") << QByteArray(4096, 0) << QByteArray::fromHex("200100");
        QTest::newRow("longest with two")
            << QByteArray(1048575, 0) << QByteArray::fromHex("2FFFFF");
        QTest::newRow("shortest with three")
            << QByteArray(1048576, char(255)) << QByteArray::fromHex("F0010000");
    }

    void encodesRuns()
    {
        QFETCH(QByteArray, pixels);
        QFETCH(QByteArray, chunks);
        QCOMPARE(encoded(pixels).toHex(), chunks.toHex());
        // And back: every pixel, no more and no fewer.
        std::vector<std::uint8_t> back(std::size_t(pixels.size()));
        std::string why;
        QVERIFY2(decodeGooLayer(reinterpret_cast<const std::uint8_t*>(chunks.constData()),
                     std::size_t(chunks.size()), back.data(), back.size(), why),
            why.c_str());
        QVERIFY(std::equal(back.begin(), back.end(), pixels.constBegin(),
            [](std::uint8_t a, char b) { return a == std::uint8_t(b); }));
    }

    void layerRunsComeStraightFromThePng_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("pattern");
        QTest::newRow("blank") << 300 << 7 << 0;
        QTest::newRow("all cured") << 300 << 7 << 1;
        QTest::newRow("runs longer than a copy, across rows") << 700 << 9 << 2;
        QTest::newRow("grey levels") << 37 << 23 << 3;
    }

    void layerRunsComeStraightFromThePng()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, pattern);
        std::vector<std::uint8_t> rows;
        for (int y = 0; y < height; ++y) {
            rows.push_back(0);
            for (int x = 0; x < width; ++x) {
                const int i = y * width + x;
                rows.push_back(std::uint8_t(pattern == 0 ? 0
                        : pattern == 1                   ? 255
                        : pattern == 2                   ? (i / 611 % 2 ? 255 : 0)
                                                         : (i * 7) % 256));
            }
        }
        PngWriter writer;
        QVERIFY(writer.encode(rows.data(), width, height, 1));
        std::vector<LayerRun> runs;
        QVERIFY(pngLayerRuns(writer.data().data(), writer.data().size(), width, height, runs));
        PngReader reader;
        std::string why;
        QVERIFY2(reader.decode(writer.data().data(), writer.data().size(), why), why.c_str());
        std::vector<std::uint8_t> expanded;
        for (const LayerRun& run : runs)
            expanded.insert(expanded.end(), run.length, run.grey);
        QVERIFY(expanded == reader.pixels());
        // The GOO chunks are the same from runs as from pixels.
        std::vector<std::uint8_t> fromRuns, fromPixels;
        QCOMPARE(encodeGooRuns(runs.data(), runs.size(), fromRuns), expanded.size());
        encodeGooLayer(reader.pixels().data(), reader.pixels().size(), fromPixels);
        QVERIFY(fromRuns == fromPixels);
        // Another size is no image of this display.
        QVERIFY(!pngLayerRuns(writer.data().data(), writer.data().size(), width + 1, height, runs));
    }

    void checksumIsTheInvertedSum()
    {
        const QByteArray chunks = QByteArray::fromHex("0AC404C141804188C10A");
        QCOMPARE(int(gooChecksum(reinterpret_cast<const std::uint8_t*>(chunks.constData()),
                     std::size_t(chunks.size()))),
            0x17);
    }

    void refusesChunksThatMissPixels_data()
    {
        QTest::addColumn<QByteArray>("chunks");
        QTest::addColumn<QString>("why");
        QTest::newRow("short") << QByteArray::fromHex("0A") << QStringLiteral("covers only 10");
        QTest::newRow("long") << QByteArray::fromHex("1002") << QStringLiteral("more pixels");
        QTest::newRow("zero run") << QByteArray::fromHex("00"
                                                         "1001")
                                  << QStringLiteral("no pixels");
        QTest::newRow("cut length") << QByteArray::fromHex("20") << QStringLiteral("ends inside");
        QTest::newRow("difference below 0")
            << QByteArray::fromHex("A1") << QStringLiteral("out of range");
    }

    void refusesChunksThatMissPixels()
    {
        QFETCH(QByteArray, chunks);
        QFETCH(QString, why);
        std::vector<std::uint8_t> pixels(16);
        std::string reason;
        QVERIFY(!decodeGooLayer(reinterpret_cast<const std::uint8_t*>(chunks.constData()),
            std::size_t(chunks.size()), pixels.data(), pixels.size(), reason));
        QVERIFY2(QString::fromStdString(reason).contains(why), reason.c_str());
    }

    void writesAndReadsBack()
    {
        const JobSettings s = smallJob(5);
        const QString path = m_dir.filePath(QStringLiteral("back.goo"));
        std::string error;
        QVERIFY2(writeGoo(path, s, error), error.c_str());
        const QByteArray bytes = readFile(path);
        QCOMPARE(bytes.left(4), QByteArray("V3.0"));
        QCOMPARE(bytes.right(11).toHex(), QByteArray("00000007000000444c5000"));
        // The layer content offset names the header's end, where the first record starts.
        QCOMPARE(qFromBigEndian<quint32>(bytes.constData() + 0x2FB8E), 0x2FB95u);
        QCOMPARE(bytes.mid(0x2FB95 + 64, 2).toHex(), QByteArray("0d0a"));

        std::unique_ptr<JobReader> reader = makeJobReader(path.toStdString());
        QVERIFY(reader);
        QVERIFY2(reader->open(path.toStdString(), error), error.c_str());
        const JobSettings& r = reader->settings();
        QCOMPARE(r.printerName, s.printerName);
        QCOMPARE(r.profileName, s.profileName);
        QCOMPARE(r.created, std::string("2026-12-09 10:00:00"));
        QCOMPARE(r.pixelsX, s.pixelsX);
        QCOMPARE(r.pixelsY, s.pixelsY);
        QCOMPARE(float(r.pixelUmX), float(s.pixelUmX));
        QCOMPARE(float(r.pixelUmY), float(s.pixelUmY));
        QCOMPARE(r.mirrorX, true);
        QCOMPARE(r.mirrorY, false);
        QCOMPARE(r.layerCount, 5);
        QCOMPARE(r.bottomLayers, 2);
        const double pairs[][2] = { { r.maxHeightMm, s.maxHeightMm },
            { r.layerHeightMm, s.layerHeightMm }, { r.exposureS, s.exposureS },
            { r.bottomExposureS, s.bottomExposureS }, { r.bottomLiftMm, s.bottomLiftMm },
            { r.bottomLiftSpeed, s.bottomLiftSpeed }, { r.liftMm, s.liftMm },
            { r.liftSpeed, s.liftSpeed }, { r.bottomRetractSpeed, s.bottomRetractSpeed },
            { r.retractSpeed, s.retractSpeed }, { r.waitBeforeExposureS, s.waitBeforeExposureS },
            { r.bottomWaitBeforeExposureS, s.bottomWaitBeforeExposureS },
            { r.printTimeS, s.printTimeS }, { r.volumeMl, s.volumeMl } };
        for (const auto& pair : pairs)
            QCOMPARE(float(pair[0]), float(pair[1]));
        QCOMPARE(r.lightPwm, 200);
        QCOMPARE(r.bottomLightPwm, 250);
        for (int k = 0; k < 5; ++k) {
            std::vector<std::uint8_t> pixels;
            QVERIFY2(reader->readLayer(k, pixels, error), error.c_str());
            QVERIFY(pixels == layerPixels(s, k));
        }
        // The previews, as RGB565 keeps them: 5, 6 and 5 bits.
        const std::vector<RgbImage> previews = reader->previews();
        QCOMPARE(previews.size(), std::size_t(2));
        QCOMPARE(previews[1].width, 290);
        const RgbImage drawn = picture(PreviewView::Angled, 290, 290);
        for (std::size_t i = 0; i < drawn.rgb.size(); ++i)
            QCOMPARE(
                previews[1].rgb[i] >> (i % 3 == 1 ? 2 : 3), drawn.rgb[i] >> (i % 3 == 1 ? 2 : 3));
    }

    void refusesDamagedFiles_data()
    {
        QTest::addColumn<int>("at"); // where to change a byte; -1: cut the file there
        QTest::addColumn<int>("cut");
        QTest::addColumn<QString>("why");
        QTest::newRow("not a GOO file") << 5 << 0 << QStringLiteral("does not start like");
        QTest::newRow("cut in a layer")
            << -1 << 0x2FB95 + 100 << QStringLiteral("ends inside layer");
        QTest::newRow("no ending") << -1 << -11 << QStringLiteral("does not end");
        QTest::newRow("checksum") << 0x2FB95 + 71 << 0 << QStringLiteral("checksum");
    }

    void refusesDamagedFiles()
    {
        QFETCH(int, at);
        QFETCH(int, cut);
        QFETCH(QString, why);
        const JobSettings s = smallJob(3);
        const QString path = m_dir.filePath(QStringLiteral("damaged.goo"));
        std::string error;
        QVERIFY2(writeGoo(path, s, error), error.c_str());
        QByteArray bytes = readFile(path);
        if (at >= 0)
            bytes[at] = char(bytes[at] ^ 0x10);
        else
            bytes = bytes.left(cut < 0 ? bytes.size() + cut : cut);
        QVERIFY(writeFile(path, bytes));
        std::unique_ptr<JobReader> reader = makeJobReader(path.toStdString());
        error.clear();
        bool ok = reader->open(path.toStdString(), error);
        std::vector<std::uint8_t> pixels;
        for (int k = 0; ok && k < 3; ++k)
            ok = reader->readLayer(k, pixels, error);
        QVERIFY(!ok);
        const QString sentence = QString::fromStdString(error);
        QVERIFY2(sentence.startsWith(
                     QStringLiteral("The job file ") + path + QStringLiteral(" is damaged: "))
                && sentence.contains(why) && sentence.endsWith(QLatin1Char('.')),
            error.c_str());
    }

    void catalogPrinterJobKeepsMirroringAndPixelSizes()
    {
        // A 4 x 2 mm block at x 2..6 mm, y 1..3 mm, 0.1 mm high, on 19 x 24 micrometre pixels.
        const std::vector<Printer> printers = catalogPrinters();
        const auto printer = std::find_if(printers.begin(), printers.end(),
            [](const Printer& p) { return p.name == "Elegoo Saturn 3 Ultra"; });
        QVERIFY(printer != printers.end());
        QCOMPARE(printer->format, std::string("goo"));
        const QString folder = m_dir.filePath(QStringLiteral("saturn"));
        QDir().mkpath(folder + QStringLiteral("/layers"));
        const QString stl = folder + QStringLiteral("/part.stl");
        QVERIFY(writeFile(stl, binaryStl(box(2, 1, 0, 6, 3, 0.1f))));
        Plate plate;
        std::string error;
        std::atomic<bool> cancel { false };
        QVERIFY2(loadPlate("block", *printer, { { stl.toStdString(), printer->profiles.front() } },
                     plate, error)
                && slicePlate(
                    plate, (folder + QStringLiteral("/layers")).toStdString(), {}, cancel, error),
            error.c_str());
        const QString path = folder + QStringLiteral("/block.goo");
        QVERIFY2(writeJobFile(
                     (folder + QStringLiteral("/layers")).toStdString(), path.toStdString(), error),
            error.c_str());
        std::unique_ptr<JobReader> reader = makeJobReader(path.toStdString());
        QVERIFY2(reader->open(path.toStdString(), error), error.c_str());
        const JobSettings& r = reader->settings();
        QCOMPARE(r.pixelsX, 11520);
        QCOMPARE(r.pixelsY, 5120);
        QCOMPARE(qRound(r.pixelUmX * 10), 190);
        QCOMPARE(qRound(r.pixelUmY * 10), 240);
        QVERIFY(r.mirrorX && !r.mirrorY);
        QCOMPARE(r.layerCount, 2);
        QCOMPARE(r.antiAliasing, 4); // as the catalogue's printers slice
        std::vector<std::uint8_t> pixels;
        QVERIFY2(reader->readLayer(0, pixels, error), error.c_str());
        // The block's edges lie inside pixels: their greys survive the packing.
        QVERIFY(std::any_of(pixels.begin(), pixels.end(),
            [](std::uint8_t grey) { return grey > 0 && grey < 255; }));
        int left = r.pixelsX, right = -1, top = r.pixelsY, bottom = -1;
        for (int y = 0; y < r.pixelsY; ++y) {
            for (int x = 0; x < r.pixelsX; ++x) {
                if (pixels[std::size_t(y) * std::size_t(r.pixelsX) + std::size_t(x)] >= 128) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
            }
        }
        // Mirrored left-right: +x lies left of the centre column 5760; +y is up.
        QVERIFY2(std::abs(left - (5760 - 6000 / 19.0)) <= 1
                && std::abs(right + 1 - (5760 - 2000 / 19.0)) <= 1,
            qPrintable(QStringLiteral("%1..%2").arg(left).arg(right)));
        QVERIFY2(std::abs(top - (2560 - 3000 / 24.0)) <= 1
                && std::abs(bottom + 1 - (2560 - 1000 / 24.0)) <= 1,
            qPrintable(QStringLiteral("%1..%2").arg(top).arg(bottom)));
    }
};

QTEST_GUILESS_MAIN(TestGooFile)
#include "tst_goofile.moc"
