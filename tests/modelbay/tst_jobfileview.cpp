// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "islandlist.h"
#include "jobfileview.h"
#include "jobformat.h"

#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <vector>

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;
constexpr int kLayers = 4;

void fill(std::vector<std::uint8_t>& grey, int x0, int y0, int x1, int y1)
{
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x)
            grey[std::size_t(y * kWidth + x)] = 255;
    }
}

// A post from the plate up, a block that starts at layer 1 on nothing and a speck at layer 3.
std::vector<std::uint8_t> layerImage(int layer)
{
    std::vector<std::uint8_t> grey(std::size_t(kWidth * kHeight), 0);
    fill(grey, 10, 10, 20, 20);
    if (layer == 1 || layer == 2)
        fill(grey, 40, 30, 50, 40);
    if (layer == 3)
        fill(grey, 30, 5, 34, 9);
    return grey;
}

JobSettings jobSettings()
{
    JobSettings s;
    s.printerName = "Test printer";
    s.printerModel = "TEST";
    s.profileName = "test profile";
    s.jobName = "part";
    s.created = "2026-12-09T04:00:00Z";
    s.pixelsX = kWidth;
    s.pixelsY = kHeight;
    s.pixelUmX = 50;
    s.pixelUmY = 40;
    s.mirrorX = true;
    s.maxHeightMm = 100;
    s.layerHeightMm = 0.05;
    s.layerCount = kLayers;
    s.bottomLayers = 1;
    s.exposureS = 2.5;
    s.bottomExposureS = 20;
    s.printTimeS = 3900;
    s.volumeMl = 1.5;
    return s;
}

// Writes the job in the format with this id through our own writer; the file's path.
QString writeJob(const QTemporaryDir& dir, const std::string& id)
{
    JobFormat format;
    if (!findJobFormat(id, format))
        return QString();
    const QString path
        = dir.filePath(QStringLiteral("part") + QString::fromStdString(format.extension));
    std::unique_ptr<JobWriter> writer = makeJobWriter(format);
    std::FILE* file = std::fopen(QFile::encodeName(path).constData(), "w+b");
    std::string error;
    bool ok = writer && file && writer->begin(file, jobSettings(), PreviewSource(), error);
    for (int layer = 0; ok && layer < kLayers; ++layer) {
        const std::vector<std::uint8_t> grey = layerImage(layer);
        JobLayer input;
        input.pixels = grey.data();
        ok = writer->addLayer(input, error);
    }
    ok = ok && writer->finish(error);
    if (file)
        std::fclose(file);
    if (!ok)
        qWarning("%s", error.c_str());
    return ok ? path : QString();
}

// Opens the file and waits for the outcome, whichever it is; true when the job is shown.
bool openAndWait(JobFileView& view, const QString& path)
{
    QSignalSpy opened(&view, &JobFileView::opened);
    QEventLoop loop;
    QObject::connect(&view, &JobFileView::opened, &loop, &QEventLoop::quit);
    QObject::connect(&view, &JobFileView::failed, &loop, &QEventLoop::quit);
    view.open(QUrl::fromLocalFile(path));
    loop.exec();
    return !opened.isEmpty();
}

} // namespace

class TestJobFileView : public QObject {
    Q_OBJECT

private slots:
    void formats_data()
    {
        QTest::addColumn<QString>("format");
        // The Photon Workshop version that keeps both pixel sizes.
        for (const char* id : { "sl1", "goo", "ctb", "pm5s" })
            QTest::newRow(id) << QString::fromLatin1(id);
    }

    void formats()
    {
        QFETCH(QString, format);
        QTemporaryDir dir;
        const QString path = writeJob(dir, format.toStdString());
        QVERIFY(!path.isEmpty());
        QVERIFY(JobFileView::isJobFile(QUrl::fromLocalFile(path)));

        JobFileView view;
        QSignalSpy islands(&view, &JobFileView::islandsChanged);
        QVERIFY(openAndWait(view, path));
        QVERIFY(view.shown());
        QCOMPARE(view.fileName(), QFileInfo(path).fileName());
        QCOMPARE(view.layerCount(), kLayers);
        QCOMPARE(float(view.layerHeight()), 0.05f);
        QVERIFY(view.mirrorX());
        QVERIFY(!view.mirrorY());
        const QStringList details = view.details();
        QVERIFY2(details.contains(QStringLiteral("Display: 64 × 48 px, pixel 50 × 40 µm, "
                                                 "mirrored left-right")),
            qPrintable(details.join(QLatin1Char('\n'))));
        QVERIFY(details.contains(QStringLiteral("4 layers of 0.05 mm, 0.2 mm high")));
        QVERIFY(details.contains(QStringLiteral("Exposure 2.5 s; 1 bottom layers 20 s")));

        // Every layer as the preview loads it, in any order.
        for (int layer : { 3, 0, 2, 1 }) {
            const QUrl url = view.layerImage(layer);
            QVERIFY(url.isLocalFile());
            const QImage image
                = QImage(url.toLocalFile()).convertToFormat(QImage::Format_Grayscale8);
            QCOMPARE(image.size(), QSize(kWidth, kHeight));
            std::vector<std::uint8_t> grey;
            for (int y = 0; y < kHeight; ++y)
                grey.insert(grey.end(), image.constScanLine(y), image.constScanLine(y) + kWidth);
            QVERIFY2(grey == layerImage(layer), qPrintable(QString::number(layer)));
        }
        QVERIFY(view.layerImage(kLayers).isEmpty());

        while (view.findingIslands())
            QVERIFY(islands.wait());
        const QVariantList found = view.islands()->islands();
        QCOMPARE(found.size(), 2);
        const QVariantMap block = found.at(0).toMap();
        QCOMPARE(block.value(QStringLiteral("layer")).toInt(), 1);
        // Centre (45, 35) of 64 x 48 pixels of 50 x 40 µm, mirrored left-right.
        QCOMPARE(float(block.value(QStringLiteral("x")).toDouble()), -0.65f);
        QCOMPARE(float(block.value(QStringLiteral("y")).toDouble()), -0.44f);
        QCOMPARE(float(block.value(QStringLiteral("areaMm2")).toDouble()), 0.2f);
        QCOMPARE(found.at(1).toMap().value(QStringLiteral("layer")).toInt(), 3);
        QCOMPARE(view.islands()->summary(), QStringLiteral("2 islands, first at layer 2, 0.10 mm"));

        const QString shownLayer = view.layerImage(0).toLocalFile();
        view.close();
        QVERIFY(!view.shown());
        QVERIFY(view.islands()->islands().isEmpty());
        QVERIFY(!QFileInfo::exists(shownLayer)); // the layer images go with the job
        QVERIFY(view.layerImage(0).isEmpty());
    }

    void tellsOfALayerThatCannotBeRead()
    {
        // The last layer's checksum is wrong: the file opens, and the islands search tells.
        QTemporaryDir dir;
        const QString path = writeJob(dir, "goo");
        QVERIFY(!path.isEmpty());
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.seek(file.size() - 11 - 2 - 1));
        char checksum = 0;
        QVERIFY(file.getChar(&checksum));
        QVERIFY(file.seek(file.size() - 11 - 2 - 1));
        QVERIFY(file.putChar(char(checksum ^ 0x5a)));
        file.close();

        JobFileView view;
        QSignalSpy failed(&view, &JobFileView::failed);
        QVERIFY(openAndWait(view, path));
        QSignalSpy islands(&view, &JobFileView::islandsChanged);
        while (view.findingIslands())
            QVERIFY(islands.wait());
        const QString sentence
            = QStringLiteral("The job file %1 is damaged: layer 4's checksum does "
                             "not match its image.")
                  .arg(path);
        QCOMPARE(view.islandsError(), sentence);
        QCOMPARE(failed.size(), 1);
        QCOMPARE(failed.at(0).at(0).toString(), sentence);
        QVERIFY(view.islands()->summary().isEmpty());
        QVERIFY(view.layerImage(3).isEmpty()); // and the layer cannot be shown
        QCOMPARE(failed.size(), 2);
    }

    void refusesDamagedFiles_data() { formats_data(); }

    void refusesDamagedFiles()
    {
        QFETCH(QString, format);
        QTemporaryDir dir;
        const QString good = writeJob(dir, "goo");
        QVERIFY(!good.isEmpty());
        JobFileView view;
        QVERIFY(openAndWait(view, good));
        const QUrl firstLayer = view.layerImage(0);

        QTemporaryDir other;
        const QString path = writeJob(other, format.toStdString());
        QVERIFY(!path.isEmpty());
        QFile file(path);
        QVERIFY(file.resize(file.size() / 2));
        QSignalSpy failed(&view, &JobFileView::failed);
        QSignalSpy shown(&view, &JobFileView::shownChanged);
        QVERIFY(!openAndWait(view, path));
        QCOMPARE(failed.size(), 1);
        const QString sentence = failed.at(0).at(0).toString();
        QVERIFY2(sentence.startsWith(QStringLiteral("The job file %1 ").arg(path)),
            qPrintable(sentence));
        QVERIFY(sentence.endsWith(QLatin1Char('.')));
        // The job shown before stays as it was.
        QCOMPARE(shown.size(), 0);
        QCOMPARE(view.fileName(), QFileInfo(good).fileName());
        QCOMPARE(view.layerImage(0), firstLayer);
        QVERIFY(QFileInfo::exists(firstLayer.toLocalFile()));
    }
};

QTEST_GUILESS_MAIN(TestJobFileView)
#include "tst_jobfileview.moc"
