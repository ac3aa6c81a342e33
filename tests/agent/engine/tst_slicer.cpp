// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "layersweep.h"
#include "plate.h"
#include "slicer.h"
#include "enginetestutil.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <mutex>

namespace {

// Pixel centres c + 0.5 in [a, b): how many columns (or rows) a span of the image covers.
int centresIn(double a, double b) { return int(std::ceil(b - 0.5) - std::ceil(a - 0.5)); }

// Cured pixels of an axis-aligned rectangle on the 400 x 300 test display (50 um pixels).
long long rectanglePixels(double x0, double y0, double x1, double y1)
{
    return (long long)centresIn(200 + x0 / 0.05, 200 + x1 / 0.05)
        * centresIn(150 - y1 / 0.05, 150 - y0 / 0.05);
}

struct Item {
    std::vector<Triangle> triangles;
    Profile profile;
};

struct Result {
    bool ok = false;
    std::string error;
    QString jobDir;
    QJsonObject plate;
    std::vector<long long> cured; // decoded from the images
    std::vector<QImage> images;
};

} // namespace

Q_DECLARE_METATYPE(std::vector<Triangle>)

class TestSlicer : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    int m_jobs = 0;

    Result slice(const std::vector<Item>& items,
        const std::atomic<bool>& cancel = std::atomic<bool>(false),
        const std::function<void(int)>& progress = {})
    {
        Result result;
        const QString folder = m_dir.filePath(QStringLiteral("job%1").arg(++m_jobs));
        QDir().mkpath(folder);
        std::vector<std::pair<std::string, Profile>> plateItems;
        for (std::size_t i = 0; i < items.size(); ++i) {
            const QString stl = folder + QStringLiteral("/item%1.stl").arg(i + 1);
            writeFile(stl, binaryStl(items[i].triangles));
            plateItems.push_back({ stl.toStdString(), items[i].profile });
        }
        result.jobDir = folder + QStringLiteral("/layers");
        QDir().mkpath(result.jobDir);
        Printer printer;
        printer.name = "Test printer";
        printer.model = "TEST";
        printer.ip = "local";
        printer.port = "test";
        Plate plate;
        result.ok = loadPlate("test job", printer, plateItems, plate, result.error)
            && slicePlate(plate, result.jobDir.toStdString(), progress, cancel, result.error);
        if (!result.ok)
            return result;
        QFile json(result.jobDir + QStringLiteral("/plate.json"));
        json.open(QIODevice::ReadOnly);
        result.plate = QJsonDocument::fromJson(json.readAll()).object();
        for (const QJsonValue& name : result.plate.value(QStringLiteral("layers")).toArray()) {
            const QImage image(result.jobDir + QLatin1Char('/') + name.toString());
            result.images.push_back(image);
            result.cured.push_back(curedPixels(image));
        }
        return result;
    }

    static std::string sentence(const Result& result) { return result.error; }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void cube()
    {
        const Result r = slice({ { box(-4.98f, -3.02f, 0, 5.03f, 4.01f, 2), testProfile() } });
        QVERIFY2(r.ok, r.error.c_str());
        QCOMPARE(rectanglePixels(-4.98, -3.02, 5.03, 4.01), 201LL * 140);
        QCOMPARE(r.cured.size(), std::size_t(20));
        for (std::size_t i = 0; i < r.cured.size(); ++i)
            QCOMPARE(r.cured[i], 201LL * 140);
        const QImage& first = r.images.front();
        QCOMPARE(first.size(), QSize(400, 300));
        QCOMPARE(first.format(), QImage::Format_Grayscale8);
        // White = cured; nothing grey.
        QCOMPARE(first.pixel(200, 150), qRgb(255, 255, 255));
        QCOMPARE(first.pixel(99, 150), qRgb(0, 0, 0));
        QCOMPARE(first.pixel(100, 150), qRgb(255, 255, 255));
        QCOMPARE(first.pixel(300, 150), qRgb(255, 255, 255));
        QCOMPARE(first.pixel(301, 150), qRgb(0, 0, 0));
    }

    void sweepHoldsEachTriangleOnce()
    {
        // Tall triangles over many layers: once listed per group of layers, they took memory
        // in proportion to triangles times layers.
        Plate plate;
        plate.items.resize(2);
        for (const Triangle& t : box(-5, -5, 0, 5, 5, 100) + box(1, 1, 20.004f, 2, 2, 20.016f))
            plate.items[0].mesh.xyz.insert(plate.items[0].mesh.xyz.end(), t.begin(), t.end());
        for (const Triangle& t : box(-1, -1, 99.9f, 1, 1, 100))
            plate.items[1].mesh.xyz.insert(plate.items[1].mesh.xyz.end(), t.begin(), t.end());
        const double h = 0.001;
        const int layers = 100000;
        const std::vector<LayerSpan> spans = layerSpans(plate, h, layers);
        QCOMPARE(spans.size(), std::size_t(36));

        // Whatever layer a band starts at, every triangle the layer's plane cuts is there.
        for (const int start : { 0, 20003, 99950 }) {
            LayerSweep sweep(spans, start);
            for (int layer = start; layer < std::min(layers, start + 20); ++layer) {
                const std::vector<const float*>& active = sweep.advance(layer);
                const double zc = (layer + 0.5) * h;
                for (const PlateItem& item : plate.items) {
                    for (std::size_t i = 0; i < item.mesh.xyz.size(); i += 9) {
                        const float* t = item.mesh.xyz.data() + i;
                        const bool above[3] = { t[2] >= zc, t[5] >= zc, t[8] >= zc };
                        const bool cut = !(above[0] == above[1] && above[1] == above[2]);
                        if (cut)
                            QVERIFY(std::find(active.begin(), active.end(), t) != active.end());
                    }
                }
                QVERIFY(active.size() <= spans.size());
            }
        }
    }

    void openMeshesAreClosedOrRefused_data()
    {
        QTest::addColumn<std::vector<Triangle>>("triangles");
        QTest::addColumn<QString>("sentence"); // empty: slices as the closed cube, -3..3 x -2..2

        const std::vector<Triangle> cube = box(-3, -2, 0, 3, 2, 1);
        std::vector<Triangle> noSide = cube;
        noSide.erase(noSide.begin() + 8, noSide.begin() + 10); // the x = 3 side
        std::vector<Triangle> noTriangle = cube;
        noTriangle.erase(noTriangle.begin() + 9);
        // The x = 3 side moved out by a tenth of a pixel, as rounding in an exporter might.
        std::vector<Triangle> rounded = cube;
        for (std::size_t t = 8; t < 10; ++t) {
            for (std::size_t k = 0; k < 9; k += 3)
                rounded[t][k] += 0.005f;
        }
        const QString hole = QStringLiteral("is not closed: its outline at a height of 0.");
        QTest::newRow("cube without a side") << noSide << hole;
        QTest::newRow("cube without a triangle") << noTriangle << hole;
        QTest::newRow("gap of a tenth of a pixel") << rounded << QString();
        // A shell and its own inside-out copy: closed, yet nothing lies inside.
        QTest::newRow("nothing inside") << cube + box(-3, -2, 0, 3, 2, 1, true)
                                        << QStringLiteral("Every layer of the job is empty");
    }

    void openMeshesAreClosedOrRefused()
    {
        QFETCH(std::vector<Triangle>, triangles);
        QFETCH(QString, sentence);
        const Result r = slice({ { triangles, testProfile() } });
        if (sentence.isEmpty()) {
            QVERIFY2(r.ok, r.error.c_str());
            for (const long long cured : r.cured)
                QCOMPARE(cured, rectanglePixels(-3, -2, 3, 2));
        } else {
            QVERIFY(!r.ok);
            QVERIFY2(QString::fromStdString(r.error).contains(sentence), r.error.c_str());
            if (sentence.startsWith(QLatin1String("is not")))
                QVERIFY2(r.error.find("item1.stl") != std::string::npos, r.error.c_str());
        }
    }

    void hollowBoxWithReversedInnerShell()
    {
        const auto outer = box(-5.01f, -4.02f, 0, 5.03f, 4.01f, 3);
        const auto inner = box(-2.98f, -1.99f, 1.02f, 3.03f, 2.03f, 2.04f, true);
        const Result r = slice({ { outer + inner, testProfile() } });
        QVERIFY2(r.ok, r.error.c_str());
        const long long full = rectanglePixels(-5.01, -4.02, 5.03, 4.01);
        const long long hole = rectanglePixels(-2.98, -1.99, 3.03, 2.03);
        QCOMPARE(full, 201LL * 160);
        QCOMPARE(hole, 121LL * 81);
        QCOMPARE(r.cured.size(), std::size_t(30));
        for (int i = 0; i < 30; ++i) {
            // Middle planes 1.05 .. 1.95 mm lie inside the cavity (1.02 to 2.04 mm).
            const bool hollow = i >= 10 && i <= 19;
            QCOMPARE(r.cured[std::size_t(i)], hollow ? full - hole : full);
        }
    }

    void overlappingCubesUnite_data()
    {
        QTest::addColumn<bool>("twoItems");
        QTest::newRow("one mesh") << false;
        QTest::newRow("two plate items") << true;
    }

    void overlappingCubesUnite()
    {
        QFETCH(bool, twoItems);
        const auto a = box(-6.01f, -3.02f, 0, 2.03f, 4.01f, 1);
        const auto b = box(-1.02f, -5.03f, 0, 7.04f, 1.98f, 1.53f);
        const Result r = twoItems ? slice({ { a, testProfile(1) }, { b, testProfile(2) } })
                                  : slice({ { a + b, testProfile(1) } });
        QVERIFY2(r.ok, r.error.c_str());
        const long long both = rectanglePixels(-6.01, -3.02, 2.03, 4.01)
            + rectanglePixels(-1.02, -5.03, 7.04, 1.98) - rectanglePixels(-1.02, -3.02, 2.03, 1.98);
        const long long upper = rectanglePixels(-1.02, -5.03, 7.04, 1.98);
        QCOMPARE(r.cured.size(), std::size_t(16));
        for (int i = 0; i < 16; ++i)
            QCOMPARE(r.cured[std::size_t(i)], i < 10 ? both : i < 15 ? upper : 0LL);
        const QJsonArray counted = r.plate.value(QStringLiteral("curedPixels")).toArray();
        for (int i = 0; i < 16; ++i)
            QCOMPARE((long long)counted.at(i).toDouble(), r.cured[std::size_t(i)]);
    }

    void mirrorFlags_data()
    {
        QTest::addColumn<bool>("mirrorX");
        QTest::addColumn<bool>("mirrorY");
        QTest::newRow("plain") << false << false;
        QTest::newRow("mirrored in x") << true << false;
        QTest::newRow("mirrored in y") << false << true;
        QTest::newRow("both") << true << true;
    }

    void mirrorFlags()
    {
        QFETCH(bool, mirrorX);
        QFETCH(bool, mirrorY);
        Profile profile = testProfile();
        profile.mirrorX = mirrorX;
        profile.mirrorY = mirrorY;
        const Result r = slice({ { box(2.03f, 1.02f, 0, 6.01f, 3.04f, 0.5f), profile } });
        QVERIFY2(r.ok, r.error.c_str());
        const QImage& image = r.images.front();
        QRect cured;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.constScanLine(y)[x] == 255)
                    cured |= QRect(x, y, 1, 1);
        // Unmirrored, +x is right and +y is up on the image.
        const QRect plain(QPoint(241, 89), QPoint(319, 129));
        const QRect expected(mirrorX ? 399 - plain.right() : plain.left(),
            mirrorY ? 299 - plain.bottom() : plain.top(), plain.width(), plain.height());
        QCOMPARE(cured, expected);
        QCOMPARE(r.plate.value(QStringLiteral("mirrorX")).toBool(), mirrorX);
        QCOMPARE(r.plate.value(QStringLiteral("mirrorY")).toBool(), mirrorY);
    }

    void thumbnailsShowThePlateFromAbove_data() { mirrorFlags_data(); }

    void thumbnailsShowThePlateFromAbove()
    {
        QFETCH(bool, mirrorX);
        QFETCH(bool, mirrorY);
        Profile profile = testProfile();
        profile.mirrorX = mirrorX;
        profile.mirrorY = mirrorY;
        // A large part left and up, a small one right and down: mirrored layer images must not
        // turn the picture around.
        const Result r = slice({ { box(-6, 1, 0, -2, 5, 1) + box(3, -4, 0, 4, -3, 1), profile } });
        QVERIFY2(r.ok, r.error.c_str());
        const QImage picture(r.jobDir + QStringLiteral("/thumbnail/thumbnail400x400.png"));
        QCOMPARE(picture.size(), QSize(400, 400));
        int left = 0, right = 0, top = 0, bottom = 0;
        for (int y = 0; y < 400; ++y) {
            for (int x = 0; x < 400; ++x) {
                if (qRed(picture.pixel(x, y)) < 150)
                    continue;
                (x < 200 ? left : right) += 1;
                (y < 200 ? top : bottom) += 1;
            }
        }
        QVERIFY2(left > 4 * right && right > 0,
            qPrintable(QStringLiteral("%1 %2").arg(left).arg(right)));
        QVERIFY2(top > 4 * bottom && bottom > 0,
            qPrintable(QStringLiteral("%1 %2").arg(top).arg(bottom)));
    }

    void refusesModelsOffThePlate_data()
    {
        QTest::addColumn<float>("x1");
        QTest::addColumn<float>("z0");
        QTest::addColumn<float>("z1");
        QTest::addColumn<QString>("problem");
        QTest::newRow("beyond the right edge")
            << 10.5f << 0.f << 1.f
            << "reaches outside the plate: it spans x 8.00 to 10.50 mm and y -1.00 to 1.00 mm, but "
               "the plate spans x -10.00 to 10.00 mm and y -7.50 to 7.50 mm.";
        QTest::newRow("too tall")
            << 9.f << 0.f << 50.5f
            << "is too tall for the printer: it reaches z 50.50 mm, the build height is 50.00 mm.";
        QTest::newRow("below the plate")
            << 9.f << -0.5f << 1.f << "reaches below the plate: its lowest point is at z -0.50 mm.";
    }

    void refusesModelsOffThePlate()
    {
        QFETCH(float, x1);
        QFETCH(float, z0);
        QFETCH(float, z1);
        QFETCH(QString, problem);
        const Result r = slice({ { box(8, -1, z0, x1, 1, z1), testProfile() } });
        QVERIFY(!r.ok);
        QCOMPARE(QString::fromStdString(r.error),
            QStringLiteral("The model %1/job%2/item1.stl ").arg(m_dir.path()).arg(m_jobs)
                + problem);
        QVERIFY(!QFileInfo::exists(r.jobDir + QStringLiteral("/plate.json")));
    }

    void refusesProfilesThatCannotSharePlate_data()
    {
        QTest::addColumn<int>("field");
        QTest::newRow("layer height") << 0;
        QTest::newRow("resolution") << 1;
        QTest::newRow("pixel size") << 2;
        QTest::newRow("mirroring") << 3;
    }

    void refusesProfilesThatCannotSharePlate()
    {
        QFETCH(int, field);
        Profile other = testProfile(2);
        if (field == 0)
            other.depthUm = 50;
        else if (field == 1)
            other.pixelsY = 301;
        else if (field == 2)
            other.pixelUmX = 49.5;
        else
            other.mirrorY = true;
        const Result r = slice(
            { { box(0, 0, 0, 1, 1, 1), testProfile(1) }, { box(2, 2, 0, 3, 3, 1), other } });
        QVERIFY(!r.ok);
        QCOMPARE(r.error,
            std::string("The profiles \"test 1\" and \"test 2\" cannot share a plate: their layer "
                        "height, resolution, pixel size or mirroring differ."));
    }

    void islandsInPlateJson_data()
    {
        QTest::addColumn<bool>("pillarBelow");
        QTest::addColumn<bool>("mirror");
        QTest::addColumn<int>("antiAliasing");
        QTest::newRow("floating") << false << false << 1;
        QTest::newRow("mirrored display, same place on the plate") << false << true << 1;
        QTest::newRow("held by pillars") << true << false << 1;
        QTest::newRow("floating, grey edges") << false << false << 4;
        QTest::newRow("held by pillars, grey edges") << true << false << 8;
    }

    void islandsInPlateJson()
    {
        QFETCH(bool, pillarBelow);
        QFETCH(bool, mirror);
        QFETCH(int, antiAliasing);
        Profile profile = testProfile();
        profile.mirrorX = mirror;
        profile.mirrorY = mirror;
        profile.antiAliasing = antiAliasing;
        // A box on the plate, and beside it a bar that starts in the air at each of the layers
        // 1 to 12: whichever worker slices the layer below, each start is found.
        auto model = box(-8.02f, -5.03f, 0, -6.01f, -3.04f, 2.5f);
        for (int layer = 1; layer <= 12; ++layer) {
            const float x = -5.02f + layer * 0.8f;
            model = model + box(x, 1.02f, layer * 0.1f, x + 0.5f, 3.04f, 2.5f);
            if (pillarBelow)
                model = model + box(x + 0.1f, 1.52f, 0, x + 0.4f, 2.03f, layer * 0.1f + 0.05f);
        }
        const Result r = slice({ { model, profile } });
        QVERIFY2(r.ok, r.error.c_str());
        const QJsonArray islands = r.plate.value(QStringLiteral("islands")).toArray();
        QCOMPARE(r.plate.value(QStringLiteral("islandCount")).toInt(), pillarBelow ? 0 : 12);
        QCOMPARE(islands.size(), pillarBelow ? 0 : 12);
        for (int i = 0; i < islands.size(); ++i) {
            const QJsonObject island = islands.at(i).toObject();
            QCOMPARE(island.value(QStringLiteral("layer")).toInt(), i + 1);
            // The centroid of the cured pixels, within half a pixel of the bar's centre.
            const double x = -5.02 + (i + 1) * 0.8 + 0.25;
            QVERIFY(std::fabs(island.value(QStringLiteral("x")).toDouble() - x) < 0.025);
            QVERIFY(std::fabs(island.value(QStringLiteral("y")).toDouble() - 2.03) < 0.025);
            // Grey edges count where at least half covered, as the centres do; corners may differ.
            QVERIFY(std::fabs(island.value(QStringLiteral("areaMm2")).toDouble()
                        - double(rectanglePixels(x - 0.25, 1.02, x + 0.25, 3.04)) * 0.05 * 0.05)
                <= (antiAliasing == 1 ? 0 : 4 * 0.05 * 0.05));
        }
    }

    // A plate with a square hole, and beside it a wall narrower than twice any shrink: the plate
    // shrinks and its hole grows by 4 pixels on the first layer, 3, 2, 1 on the next ones, then
    // stays as modelled; the wall keeps its width throughout.
    void elephantFootShrinksAndFades_data()
    {
        QTest::addColumn<int>("antiAliasing");
        QTest::newRow("sharp") << 1;
        QTest::newRow("grey edges") << 4;
    }

    void elephantFootShrinksAndFades()
    {
        QFETCH(int, antiAliasing);
        Profile profile = testProfile();
        profile.antiAliasing = antiAliasing;
        profile.elephantFootMm = 0.2;
        profile.elephantFootLayers = 4;
        const auto model = box(-6, -4, 0, -1, 4, 1) + box(1, -4, 0, 6, 4, 1)
            + box(-1, -4, 0, 1, -1, 1) + box(-1, 1, 0, 1, 4, 1) + box(7, -4, 0, 7.0875f, 4, 1);
        const Result r = slice({ { model, profile } });
        QVERIFY2(r.ok, r.error.c_str());
        QCOMPARE(r.images.size(), std::size_t(10));
        for (int layer = 0; layer < 10; ++layer) {
            const QImage& image = r.images[std::size_t(layer)];
            const int shrink = std::max(0, 4 - layer);
            const auto cured = [&image](int row, int from, int to) {
                int n = 0;
                for (int c = from; c < to; ++c)
                    n += qGray(image.pixel(c, row)) >= 128;
                return n;
            };
            QCOMPARE(cured(100, 0, 330), 240 - 2 * shrink); // 2.5 mm up: the plate only
            QCOMPARE(cured(150, 0, 330), 200 - 4 * shrink); // through the hole
            QCOMPARE(cured(150, 330, 400), 2); // the wall, 1.75 pixels
            double grey = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    grey += qGray(image.pixel(x, y)) / 255.0;
            const double area = (240.0 - 2 * shrink) * (160 - 2 * shrink)
                - (40.0 + 2 * shrink) * (40 + 2 * shrink) + (antiAliasing == 1 ? 2 : 1.75) * 160;
            QVERIFY2(std::fabs(grey - area) < 1, qPrintable(QString::number(grey - area)));
        }
    }

    void peelWarningWhereTheAreaJumps()
    {
        // A thin stem under a wide top: the top's first layer adds 144 mm² at once.
        const auto model = box(-0.5f, -0.5f, 0, 0.5f, 0.5f, 1.0f) + box(-6, -6, 1.0f, 6, 6, 1.5f);
        const Result r = slice({ { model, testProfile() } });
        QVERIFY2(r.ok, r.error.c_str());
        QCOMPARE(r.plate.value(QStringLiteral("islandCount")).toInt(), 0);
        QCOMPARE(r.plate.value(QStringLiteral("peelWarningCount")).toInt(), 1);
        QCOMPARE(r.plate.value(QStringLiteral("peelWarningLayers")).toArray(), QJsonArray { 10 });
    }

    void plateJsonComesLastAndDescribesTheJob()
    {
        std::mutex mutex;
        std::vector<int> reported;
        bool plateSeenEarly = false;
        QString jobDir = m_dir.filePath(QStringLiteral("job%1/layers").arg(m_jobs + 1));
        auto progress = [&](int done) {
            std::lock_guard<std::mutex> lock(mutex);
            reported.push_back(done);
            plateSeenEarly |= QFileInfo::exists(jobDir + QStringLiteral("/plate.json"));
        };
        const Result r = slice({ { box(-3, -3, 0, 3, 3, 2.5f), testProfile(1) },
                                   { box(4, 4, 0, 6, 6, 1), testProfile(2) } },
            std::atomic<bool>(false), progress);
        QVERIFY2(r.ok, r.error.c_str());
        QCOMPARE(r.jobDir, jobDir);
        QVERIFY(!plateSeenEarly);
        std::sort(reported.begin(), reported.end());
        QCOMPARE(reported.size(), std::size_t(25));
        for (int i = 0; i < 25; ++i)
            QCOMPARE(reported[std::size_t(i)], i + 1); // one report per layer, counting up to all

        const QDateTime written = QFileInfo(jobDir + QStringLiteral("/plate.json")).lastModified();
        const QJsonArray layers = r.plate.value(QStringLiteral("layers")).toArray();
        QCOMPARE(layers.size(), 25);
        QCOMPARE(layers.at(0).toString(), QStringLiteral("test_job00000.png"));
        QCOMPARE(layers.at(24).toString(), QStringLiteral("test_job00024.png"));
        for (const QJsonValue& layer : layers)
            QVERIFY(
                QFileInfo(jobDir + QLatin1Char('/') + layer.toString()).lastModified() <= written);
        QCOMPARE(QDir(jobDir).entryList({ QStringLiteral("*.png") }, QDir::Files).size(), 25);

        const QJsonObject& p = r.plate;
        QCOMPARE(p.value(QStringLiteral("name")).toString(), QStringLiteral("test job"));
        QCOMPARE(p.value(QStringLiteral("jobDir")).toString(), QStringLiteral("test_job"));
        QCOMPARE(p.value(QStringLiteral("layerCount")).toInt(), 25);
        QCOMPARE(p.value(QStringLiteral("layerHeight")).toDouble(), 0.1);
        QCOMPARE(p.value(QStringLiteral("pixelsX")).toInt(), 400);
        QCOMPARE(p.value(QStringLiteral("pixelsY")).toInt(), 300);
        QCOMPARE(p.value(QStringLiteral("pixelSizeX")).toDouble(), 50.0);
        QCOMPARE(p.value(QStringLiteral("displayWidth")).toDouble(), 20.0);
        QCOMPARE(
            p.value(QStringLiteral("printer")).toObject().value(QStringLiteral("model")).toString(),
            QStringLiteral("TEST"));
        // Each item keeps its own exposure; the job exposes for the longest.
        const QJsonArray items = p.value(QStringLiteral("items")).toArray();
        QCOMPARE(items.size(), 2);
        QCOMPARE(items.at(0).toObject().value(QStringLiteral("exposure")).toDouble(), 3.0);
        QCOMPARE(items.at(1).toObject().value(QStringLiteral("exposure")).toDouble(), 4.0);
        QCOMPARE(items.at(1).toObject().value(QStringLiteral("bottomExposure")).toDouble(), 22.0);
        QCOMPARE(items.at(0).toObject().value(QStringLiteral("bottomLayers")).toInt(), 3);
        QCOMPARE(items.at(1).toObject().value(QStringLiteral("stl")).toString(),
            m_dir.filePath(QStringLiteral("job%1/item2.stl").arg(m_jobs)));
        QCOMPARE(p.value(QStringLiteral("exposure")).toDouble(), 4.0);
        QCOMPARE(p.value(QStringLiteral("bottomExposure")).toDouble(), 22.0);
        QCOMPARE(p.value(QStringLiteral("bottomLayers")).toInt(), 4);
        // 6 x 6 x 2.5 mm and 2 x 2 x 1 mm: 94 mm3.
        QVERIFY(std::fabs(p.value(QStringLiteral("usedMaterial")).toDouble() - 0.094) < 1e-9);

        const QImage square(jobDir + QStringLiteral("/thumbnail/thumbnail400x400.png"));
        const QImage wide(jobDir + QStringLiteral("/thumbnail/thumbnail800x480.png"));
        QCOMPARE(square.size(), QSize(400, 400));
        QCOMPARE(wide.size(), QSize(800, 480));
        // The larger part fills the picture's middle; the corners show the empty plate.
        QVERIFY(qRed(wide.pixel(400, 240)) > 200);
        QVERIFY(qRed(wide.pixel(2, 2)) < 64);
    }

    void cancelStopsWithoutPlateJson()
    {
        std::atomic<bool> cancel { false };
        const Result r
            = slice({ { box(-3, -3, 0, 3, 3, 4), testProfile() } }, cancel, [&](int done) {
                  if (done == 3)
                      cancel = true;
              });
        QVERIFY(!r.ok);
        QCOMPARE(r.error, std::string("Slicing was cancelled."));
        QVERIFY(!QFileInfo::exists(r.jobDir + QStringLiteral("/plate.json")));
        QVERIFY(QDir(r.jobDir).entryList({ QStringLiteral("*.png") }, QDir::Files).size() < 40);
    }

    void reportsUnwritableFolder()
    {
        Printer printer;
        Plate plate;
        std::string error;
        const QString stl = m_dir.filePath(QStringLiteral("lone.stl"));
        QVERIFY(writeFile(stl, binaryStl(box(0, 0, 0, 1, 1, 1))));
        QVERIFY(loadPlate("lone", printer, { { stl.toStdString(), testProfile() } }, plate, error));
        QCOMPARE(plate.layerCount, 10);
        const QString missing = m_dir.filePath(QStringLiteral("no/such/folder"));
        std::atomic<bool> cancel { false };
        QVERIFY(!slicePlate(plate, missing.toStdString(), {}, cancel, error));
        QVERIFY2(QString::fromStdString(error).startsWith(
                     QStringLiteral("Cannot write the image %1/lone000").arg(missing)),
            error.c_str());
        QVERIFY(QString::fromStdString(error).endsWith(
            QStringLiteral(".png: No such file or directory.")));
    }

    void refusesMissingStl()
    {
        Printer printer;
        Plate plate;
        std::string error;
        const QString stl = m_dir.filePath(QStringLiteral("absent.stl"));
        QVERIFY(!loadPlate("x", printer, { { stl.toStdString(), testProfile() } }, plate, error));
        QCOMPARE(QString::fromStdString(error),
            QStringLiteral("Cannot open the STL file %1: No such file or directory.").arg(stl));
        QVERIFY(!loadPlate("x", printer, {}, plate, error));
        QCOMPARE(error, std::string("The job has no models to slice."));

        // A printers file may describe absurd printers; their counts must not overflow.
        Profile absurd = testProfile();
        absurd.depthUm = 1;
        absurd.maxHeightMm = 1e7;
        const QString tall = m_dir.filePath(QStringLiteral("tall.stl"));
        QVERIFY(writeFile(tall, binaryStl(box(0, 0, 0, 1, 1, 2000))));
        QVERIFY(!loadPlate("x", printer, { { tall.toStdString(), absurd } }, plate, error));
        QCOMPARE(error,
            std::string(
                "The job would have 2000000 layers, more than the 65530 a job file can hold."));
    }
};

QTEST_GUILESS_MAIN(TestSlicer)
#include "tst_slicer.moc"
