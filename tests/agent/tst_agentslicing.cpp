// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "agentprocess.h"
#include "formbody.h"
#include "stlbuilder.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QtEndian>

#include <algorithm>
#include <cmath>

namespace {

struct Box {
    QVector3D low;
    QVector3D high;
    bool contains(float x, float y, float z) const
    {
        return x > low.x() && x < high.x() && y > low.y() && y < high.y() && z > low.z()
            && z < high.z();
    }
};

// What a model is made of: the union of the solids, minus the cavities.
struct Model {
    QVector<Box> solids;
    QVector<Box> cavities;
    bool contains(float x, float y, float z) const
    {
        const auto in = [&](const Box& box) { return box.contains(x, y, z); };
        return std::any_of(solids.begin(), solids.end(), in)
            && std::none_of(cavities.begin(), cavities.end(), in);
    }
    float height() const
    {
        float top = 0;
        for (const Box& box : solids)
            top = std::max(top, box.high.z());
        return top;
    }
};

// The test display, sampled at pixel centres, origin in the middle: what a layer must show.
QImage referenceLayer(const Model& model, float z)
{
    QImage image(testPixelsX, testPixelsY, QImage::Format_Grayscale8);
    for (int row = 0; row < testPixelsY; ++row) {
        uchar* line = image.scanLine(row);
        const float y = float((row + 0.5 - testPixelsY / 2.0) * testPixelMm);
        for (int column = 0; column < testPixelsX; ++column) {
            const float x = float((column + 0.5 - testPixelsX / 2.0) * testPixelMm);
            line[column] = model.contains(x, y, z) ? 255 : 0;
        }
    }
    return image;
}

// Pixels of the shape that touch its outline: the tolerance of "one pixel's width at the edges".
int edgePixels(const QImage& reference)
{
    int count = 0;
    for (int y = 0; y < reference.height(); ++y) {
        for (int x = 0; x < reference.width(); ++x) {
            const auto outside = [&](int nx, int ny) {
                return nx < 0 || ny < 0 || nx >= reference.width() || ny >= reference.height()
                    || reference.constScanLine(ny)[nx] == 0;
            };
            if (outside(x, y))
                continue;
            if (outside(x - 1, y) || outside(x + 1, y) || outside(x, y - 1) || outside(x, y + 1))
                ++count;
        }
    }
    return count;
}

// Pixels that disagree between a layer image (cured at grey >= 128) and the reference, taking
// the least over the four mirrorings, which the printer profile may choose.
int differingPixels(const QImage& layer, const QImage& reference)
{
    int least = layer.width() * layer.height();
    for (const bool mirrorX : { false, true }) {
        for (const bool mirrorY : { false, true }) {
            const QImage expected = reference.mirrored(mirrorX, mirrorY);
            int differing = 0;
            for (int y = 0; y < layer.height(); ++y) {
                const uchar* got = layer.constScanLine(y);
                const uchar* want = expected.constScanLine(y);
                for (int x = 0; x < layer.width(); ++x)
                    differing += (got[x] >= 128) != (want[x] >= 128);
            }
            least = std::min(least, differing);
        }
    }
    return least;
}

int curedPixels(const QImage& image)
{
    int cured = 0;
    for (int y = 0; y < image.height(); ++y) {
        const uchar* line = image.constScanLine(y);
        for (int x = 0; x < image.width(); ++x)
            cured += line[x] >= 128;
    }
    return cured;
}

QJsonObject readJson(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object()
                                          : QJsonObject();
}

FormFields previewForm(const QString& stl, const QString& printer, const QString& profile)
{
    return { { QStringLiteral("stl"), stl }, { QStringLiteral("printer"), printer },
        { QStringLiteral("profile"), profile },
        { QStringLiteral("name"), QStringLiteral("test job") } };
}

const QString testHost = QStringLiteral("192.0.2.10:8080");

} // namespace

Q_DECLARE_METATYPE(Model)

class TestAgentSlicing : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void pollBeforeAnyJob();
    void layersShowTheModel_data();
    void layersShowTheModel();
    void itemsShareOnePlate();
    void readsPathsAsSent_data();
    void readsPathsAsSent();
    void refusesBadModels_data();
    void refusesBadModels();
    void refusesBadRequests_data();
    void refusesBadRequests();
    void newJobReplacesTheRunningOne();
    void backgroundFailureFailsThePoll();

private:
    QString writeModel(const QString& name, const StlBuilder& mesh);
    // Checks every layer image of a finished job against the model.
    void checkLayers(const QString& folder, const Model& model);

    QTemporaryDir m_dir;
    AgentProcess* m_agent = nullptr;
};

void TestAgentSlicing::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QString data = m_dir.filePath(QStringLiteral("data"));
    QVERIFY(writeTestPrinters(data));
    m_agent = new AgentProcess(data);
    QVERIFY(m_agent->start());
}

void TestAgentSlicing::cleanupTestCase() { delete m_agent; }

QString TestAgentSlicing::writeModel(const QString& name, const StlBuilder& mesh)
{
    const QString path = m_dir.filePath(name);
    return mesh.write(path) ? path : QString();
}

void TestAgentSlicing::checkLayers(const QString& folder, const Model& model)
{
    const QJsonObject plate = readJson(folder + QStringLiteral("/plate.json"));
    const QJsonArray layers = plate.value(QStringLiteral("layers")).toArray();
    const int expectedCount = int(std::ceil(model.height() / testLayerMm - 1e-4));
    QCOMPARE(plate.value(QStringLiteral("layerCount")).toInt(), expectedCount);
    QCOMPARE(layers.size(), expectedCount);
    for (int i = 0; i < layers.size(); ++i) {
        const QString file = folder + QLatin1Char('/') + layers.at(i).toString();
        const QImage layer(file);
        QVERIFY2(!layer.isNull(), qPrintable(file));
        QCOMPARE(layer.format(), QImage::Format_Grayscale8);
        QCOMPARE(layer.size(), QSize(testPixelsX, testPixelsY));
        const QImage reference = referenceLayer(model, float((i + 0.5) * testLayerMm));
        const int differing = differingPixels(layer, reference);
        const int tolerance = edgePixels(reference);
        QVERIFY2(differing <= tolerance,
            qPrintable(QStringLiteral("layer %1: %2 pixels differ (cured %3, expected %4), "
                                      "at most %5 may")
                           .arg(i)
                           .arg(differing)
                           .arg(curedPixels(layer))
                           .arg(curedPixels(reference))
                           .arg(tolerance)));
    }
}

void TestAgentSlicing::pollBeforeAnyJob()
{
    const HttpAnswer answer = m_agent->get(QStringLiteral("/slice"));
    QCOMPARE(answer.status, 404);
    QCOMPARE(answer.error(), QStringLiteral("No slicing job has been started."));
}

void TestAgentSlicing::layersShowTheModel_data()
{
    QTest::addColumn<QByteArray>("stl");
    QTest::addColumn<Model>("model");

    const Box cube { { -5, -5, 0 }, { 5, 5, 10 } };
    QTest::newRow("cube") << StlBuilder().box(cube.low, cube.high).binary()
                          << Model { { cube }, {} };

    // A closed cavity: the inner box's faces point inwards, as in any hollowed model.
    const Box cavity { { -3, -3, 2 }, { 3, 3, 8 } };
    QTest::newRow("hollow box")
        << StlBuilder().box(cube.low, cube.high).box(cavity.low, cavity.high, true).binary()
        << Model { { cube }, { cavity } };

    // Overlapping closed shells unite: an even-odd fill would leave the overlap empty.
    const Box left { { -6, -4, 0 }, { 2, 4, 8 } };
    const Box right { { -2, -4, 0 }, { 6, 4, 4 } };
    QTest::newRow("overlapping cubes")
        << StlBuilder().box(left.low, left.high).box(right.low, right.high).binary()
        << Model { { left, right }, {} };

    // Off the pixel grid, so that edges cut through pixels.
    const Box offGrid { { -4.33f, -2.71f, 0 }, { 3.87f, 5.05f, 3.04f } };
    QTest::newRow("box off the grid")
        << StlBuilder().box(offGrid.low, offGrid.high).binary() << Model { { offGrid }, {} };
}

void TestAgentSlicing::layersShowTheModel()
{
    QFETCH(QByteArray, stl);
    QFETCH(Model, model);
    const QString path = m_dir.filePath(
        QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('_'))
        + QStringLiteral(".stl"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(stl), qint64(stl.size()));
    file.close();

    const HttpAnswer started = m_agent->postForm(
        QStringLiteral("/slice/preview"), previewForm(path, testHost, QStringLiteral("1")));
    QCOMPARE(started.status, 200);
    const QString folder = started.object().value(QStringLiteral("path")).toString();
    QVERIFY(QFileInfo(folder).isAbsolute());
    QCOMPARE(QFileInfo(folder).dir().absolutePath(), m_agent->dataDir() + QStringLiteral("/jobs"));

    QStringList percentages;
    const HttpAnswer done = m_agent->waitForJob(folder, &percentages);
    QCOMPARE(done.status, 200);
    const QJsonObject progress = done.object();
    const int expectedCount = int(std::ceil(model.height() / testLayerMm - 1e-4));
    // Every value is a JSON string: the client reads them with toString().
    QCOMPARE(
        progress.value(QStringLiteral("layerCount")), QJsonValue(QString::number(expectedCount)));
    QCOMPARE(progress.value(QStringLiteral("layerID")), QJsonValue(QString::number(expectedCount)));
    QCOMPARE(progress.value(QStringLiteral("percentage")), QJsonValue(QStringLiteral("100")));
    int previous = 0;
    for (int i = 0; i < percentages.size(); ++i) {
        bool number = false;
        const int value = percentages.at(i).toInt(&number);
        QVERIFY(number);
        QVERIFY(value >= previous);
        QVERIFY(value < 100 || i == percentages.size() - 1);
        previous = value;
    }
    // "100" promises the whole job on disk.
    QVERIFY(QFileInfo(folder + QStringLiteral("/plate.json")).isFile());
    checkLayers(folder, model);
}

void TestAgentSlicing::itemsShareOnePlate()
{
    const Box left { { -6, -4, 0 }, { 2, 4, 8 } };
    const Box right { { -2, -4, 0 }, { 6, 4, 4 } };
    const QString first
        = writeModel(QStringLiteral("left.stl"), StlBuilder().box(left.low, left.high));
    const QString second
        = writeModel(QStringLiteral("right.stl"), StlBuilder().box(right.low, right.high));
    QVERIFY(!first.isEmpty() && !second.isEmpty());
    const HttpAnswer started = m_agent->postForm(QStringLiteral("/advanced-slice"),
        { { QStringLiteral("count"), QStringLiteral("2") }, { QStringLiteral("printer"), testHost },
            { QStringLiteral("name"), QStringLiteral("two") }, { QStringLiteral("stls_1"), first },
            { QStringLiteral("profiles_1"), QStringLiteral("1") },
            { QStringLiteral("stls_2"), second },
            { QStringLiteral("profiles_2"), QStringLiteral("2") } });
    QCOMPARE(started.status, 200);
    const QString folder = started.object().value(QStringLiteral("path")).toString();
    QCOMPARE(m_agent->waitForJob(folder).object().value(QStringLiteral("percentage")).toString(),
        QStringLiteral("100"));
    checkLayers(folder, Model { { left, right }, {} });
    // Each item keeps the exposure of its own profile.
    const QJsonArray items
        = readJson(folder + QStringLiteral("/plate.json")).value(QStringLiteral("items")).toArray();
    QCOMPARE(items.size(), 2);
    QCOMPARE(items.at(0).toObject().value(QStringLiteral("stl")).toString(), first);
    QCOMPARE(items.at(0).toObject().value(QStringLiteral("exposure")).toDouble(), 5.0);
    QCOMPARE(items.at(1).toObject().value(QStringLiteral("stl")).toString(), second);
    QCOMPARE(items.at(1).toObject().value(QStringLiteral("exposure")).toDouble(), 8.0);
}

void TestAgentSlicing::readsPathsAsSent_data()
{
    QTest::addColumn<QString>("fileName");
    // The client's body, or one as web forms write it (space as "+"), or as clients that leave a
    // "+" bare wrote it.
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");
    QTest::newRow("client: plus and space")
        << QStringLiteral("C++ part.stl") << QByteArray() << QByteArray();
    QTest::newRow("client: non-ASCII")
        << QStringLiteral("pi\u00e8ce \u00e9t\u00e9.stl") << QByteArray() << QByteArray();
    QTest::newRow("form: space as plus")
        << QStringLiteral("my part.stl") << QByteArray("%20") << QByteArray("+");
    QTest::newRow("bare plus and space")
        << QStringLiteral("C++ part.stl") << QByteArray("%2B") << QByteArray("+");
    QTest::newRow("bare plus only")
        << QStringLiteral("a+b.stl") << QByteArray("%2B") << QByteArray("+");
}

void TestAgentSlicing::readsPathsAsSent()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    const QString path = writeModel(fileName, StlBuilder().box({ -1, -1, 0 }, { 1, 1, 0.3f }));
    QVERIFY(!path.isEmpty());
    QByteArray body = formBody({ { QStringLiteral("stl"), path },
        { QStringLiteral("printer"), testHost }, { QStringLiteral("profile"), QStringLiteral("1") },
        { QStringLiteral("name"), QStringLiteral("paths") } });
    if (!from.isEmpty())
        body.replace(from, to);
    const HttpAnswer answer = m_agent->post(QStringLiteral("/slice/preview"), body);
    QCOMPARE(answer.status, 200);
    const QString folder = answer.object().value(QStringLiteral("path")).toString();
    QCOMPARE(m_agent->waitForJob(folder).object().value(QStringLiteral("percentage")).toString(),
        QStringLiteral("100"));
    const QJsonArray items
        = readJson(folder + QStringLiteral("/plate.json")).value(QStringLiteral("items")).toArray();
    QCOMPARE(items.at(0).toObject().value(QStringLiteral("stl")).toString(), path);
}

void TestAgentSlicing::refusesBadModels_data()
{
    QTest::addColumn<QByteArray>("content"); // "-" for no file at all
    QTest::addColumn<bool>("folder"); // the path names a folder
    QTest::addColumn<QString>("profiles"); // comma-separated, one item each, all the same file

    const QByteArray cube = StlBuilder().box({ -5, -5, 0 }, { 5, 5, 10 }).binary();
    QByteArray nan = cube;
    qToLittleEndian<float>(std::nanf(""), nan.data() + 84 + 12 + 4); // first corner's y
    QByteArray infinite = cube;
    qToLittleEndian<float>(INFINITY, infinite.data() + 84 + 12);
    QByteArray overCount = cube;
    qToLittleEndian<quint32>(13, overCount.data() + 80);

    QTest::newRow("missing file") << QByteArray("-") << false << QStringLiteral("1");
    QTest::newRow("folder") << QByteArray() << true << QStringLiteral("1");
    QTest::newRow("empty file") << QByteArray() << false << QStringLiteral("1");
    QTest::newRow("header only") << cube.left(84) << false << QStringLiteral("1");
    QTest::newRow("truncated") << cube.left(84 + 50 * 5 + 20) << false << QStringLiteral("1");
    QTest::newRow("count above size") << overCount << false << QStringLiteral("1");
    QTest::newRow("nan corner") << nan << false << QStringLiteral("1");
    QTest::newRow("infinite corner") << infinite << false << QStringLiteral("1");
    QTest::newRow("not stl") << QByteArray("hello, this is not a model\n") << false
                             << QStringLiteral("1");
    QTest::newRow("ascii without end")
        << QByteArray("solid x\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\n") << false
        << QStringLiteral("1");
    QTest::newRow("beyond the plate")
        << StlBuilder().box({ 5, 0, 0 }, { 15, 5, 5 }).binary() << false << QStringLiteral("1");
    QTest::newRow("below the plate")
        << StlBuilder().box({ -1, -1, -1 }, { 1, 1, 1 }).binary() << false << QStringLiteral("1");
    QTest::newRow("taller than the printer")
        << StlBuilder().box({ -1, -1, 0 }, { 1, 1, 41 }).binary() << false << QStringLiteral("1");
    QTest::newRow("layer heights differ") << cube << false << QStringLiteral("1,3");
    QTest::newRow("displays differ") << cube << false << QStringLiteral("1,4");
}

void TestAgentSlicing::refusesBadModels()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, folder);
    QFETCH(QString, profiles);
    const QString path = m_dir.filePath(QStringLiteral("bad-%1.stl")
                                            .arg(QString::fromLatin1(QTest::currentDataTag()))
                                            .replace(QLatin1Char(' '), QLatin1Char('_')));
    if (folder) {
        QVERIFY(QDir().mkpath(path));
    } else if (content != "-") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(content), qint64(content.size()));
    }
    const QStringList ids = profiles.split(QLatin1Char(','));
    FormFields form { { QStringLiteral("count"), QString::number(ids.size()) },
        { QStringLiteral("printer"), testHost },
        { QStringLiteral("name"), QStringLiteral("bad") } };
    for (int i = 0; i < ids.size(); ++i) {
        form.append({ QStringLiteral("stls_%1").arg(i + 1), path });
        form.append({ QStringLiteral("profiles_%1").arg(i + 1), ids.at(i) });
    }
    const HttpAnswer answer = m_agent->postForm(QStringLiteral("/advanced-slice"), form);
    QCOMPARE(answer.status, 400);
    const QString sentence = answer.error();
    QVERIFY2(sentence.endsWith(QLatin1Char('.')) && !sentence.contains(QLatin1Char('\n')),
        qPrintable(sentence));
    if (ids.size() == 1) // a fault of the file names the file
        QVERIFY2(sentence.contains(QFileInfo(path).fileName()), qPrintable(sentence));
    // The refused request is the newest job now: a poll never reports the end of the job before.
    const HttpAnswer poll = m_agent->get(QStringLiteral("/slice"));
    QCOMPARE(poll.status, 500);
    QCOMPARE(poll.error(), sentence);
    // The agent lives on and keeps serving.
    QCOMPARE(m_agent->get(QStringLiteral("/printer-details")).status, 200);
}

void TestAgentSlicing::refusesBadRequests_data()
{
    QTest::addColumn<QString>("endpoint");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("sentence");

    const QByteArray form = "application/x-www-form-urlencoded; charset=utf-8";
    const QByteArray good = "stl=/x/cube.stl&printer=192.0.2.10:8080&profile=1&name=n";
    QTest::newRow("json body")
        << QStringLiteral("/slice/preview") << QByteArray("{}")
        << QByteArray("application/json; charset=utf-8") << 415
        << QStringLiteral("The request body must be a form (application/x-www-form-urlencoded).");
    QTest::newRow("bad escape")
        << QStringLiteral("/slice/preview") << QByteArray(good + "%") << form << 400
        << QStringLiteral("The form has a \"%\" that is not followed by two hexadecimal digits.");
    QTest::newRow("missing field")
        << QStringLiteral("/slice/preview")
        << QByteArray("stl=/x/cube.stl&printer=192.0.2.10:8080&name=n") << form << 400
        << QStringLiteral("The form lacks the field \"profile\".");
    QTest::newRow("unknown printer")
        << QStringLiteral("/slice/preview")
        << QByteArray("stl=/x/cube.stl&printer=192.0.2.11:8080&profile=1&name=n") << form << 400
        << QStringLiteral("No printer is known at 192.0.2.11:8080.");
    QTest::newRow("unknown profile")
        << QStringLiteral("/slice/preview")
        << QByteArray("stl=/x/cube.stl&printer=192.0.2.10:8080&profile=9&name=n") << form << 400
        << QStringLiteral("The printer Test host has no profile 9.");
    QTest::newRow("profile of another printer")
        << QStringLiteral("/slice/preview")
        << QByteArray("stl=/x/cube.stl&printer=local:lcd2k&profile=1&name=n") << form << 400
        << QStringLiteral("The printer Resin LCD 2K has no profile 1.");
    QTest::newRow("no items")
        << QStringLiteral("/advanced-slice") << QByteArray("count=0&printer=192.0.2.10:8080&name=n")
        << form << 400
        << QStringLiteral("The field \"count\" must be a number of items from 1 to 256.");
}

void TestAgentSlicing::refusesBadRequests()
{
    QFETCH(QString, endpoint);
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, contentType);
    QFETCH(int, status);
    QFETCH(QString, sentence);
    const HttpAnswer answer = m_agent->post(endpoint, body, contentType);
    QCOMPARE(answer.status, status);
    QCOMPARE(answer.error(), sentence);
    const HttpAnswer poll = m_agent->get(QStringLiteral("/slice"));
    QCOMPARE(poll.status, 500);
    QCOMPARE(poll.error(), sentence);
}

void TestAgentSlicing::newJobReplacesTheRunningOne()
{
    // A long job on a built-in printer (its address comes back from discovery as it is sent here).
    const QString tall
        = writeModel(QStringLiteral("tall.stl"), StlBuilder().box({ -10, -10, 0 }, { 10, 10, 20 }));
    const HttpAnswer first = m_agent->postForm(QStringLiteral("/slice/preview"),
        previewForm(tall, QStringLiteral("local:lcd6k"), QStringLiteral("302")));
    QCOMPARE(first.status, 200);
    const QString firstFolder = first.object().value(QStringLiteral("path")).toString();
    QCOMPARE(m_agent->get(QStringLiteral("/slice"))
                 .object()
                 .value(QStringLiteral("layerCount"))
                 .toString(),
        QStringLiteral("800"));

    const QString small
        = writeModel(QStringLiteral("small.stl"), StlBuilder().box({ -1, -1, 0 }, { 1, 1, 0.5f }));
    const HttpAnswer second = m_agent->postForm(
        QStringLiteral("/slice/preview"), previewForm(small, testHost, QStringLiteral("1")));
    QCOMPARE(second.status, 200);
    const QString secondFolder = second.object().value(QStringLiteral("path")).toString();
    QVERIFY(secondFolder != firstFolder);
    QStringList percentages;
    const HttpAnswer done = m_agent->waitForJob(secondFolder, &percentages);
    QCOMPARE(done.object().value(QStringLiteral("percentage")).toString(), QStringLiteral("100"));
    // Only the new job's figures are reported, never the old one's.
    QCOMPARE(done.object().value(QStringLiteral("layerCount")).toString(), QStringLiteral("5"));
    for (const QString& percentage : qAsConst(percentages))
        QVERIFY(percentage.toInt() <= 100);
    // The replaced job was cancelled: its folder never gets a "plate.json".
    QVERIFY(!QFileInfo::exists(firstFolder + QStringLiteral("/plate.json")));
    QCOMPARE(m_agent
                 ->postForm(
                     QStringLiteral("/slice/download"), { { QStringLiteral("path"), firstFolder } })
                 .status,
        409);
}

void TestAgentSlicing::backgroundFailureFailsThePoll()
{
    const QString tall = writeModel(
        QStringLiteral("tall2.stl"), StlBuilder().box({ -10, -10, 0 }, { 10, 10, 20 }));
    const HttpAnswer started = m_agent->postForm(QStringLiteral("/slice/preview"),
        previewForm(tall, QStringLiteral("local:lcd6k"), QStringLiteral("302")));
    QCOMPARE(started.status, 200);
    const QString folder = started.object().value(QStringLiteral("path")).toString();
    // Taking the folder away makes the next layer image impossible to write.
    QVERIFY(QDir(folder).removeRecursively());
    // Each poll waits for its answer; the deadline only keeps a broken agent from hanging us.
    HttpAnswer answer;
    const QDeadlineTimer deadline(120000);
    do {
        answer = m_agent->get(QStringLiteral("/slice"));
    } while (answer.status == 200 && !deadline.hasExpired());
    QCOMPARE(answer.status, 500);
    QVERIFY2(answer.error().endsWith(QLatin1Char('.')), qPrintable(answer.error()));
    // The failure stays with that job: later polls report it too.
    QCOMPARE(m_agent->get(QStringLiteral("/slice")).status, 500);
}

QTEST_GUILESS_MAIN(TestAgentSlicing)
#include "tst_agentslicing.moc"
