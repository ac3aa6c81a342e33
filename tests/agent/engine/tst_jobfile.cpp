// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobfile.h"
#include "jobfiletestlayers.h"
#include "plate.h"
#include "slicer.h"
#include "enginetestutil.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <zlib.h>

namespace {

quint32 le32(const QByteArray& b, int at) { return qFromLittleEndian<quint32>(b.constData() + at); }
quint16 le16(const QByteArray& b, int at) { return qFromLittleEndian<quint16>(b.constData() + at); }

// Reads a zip the way an unzip tool does: end record, central directory, then every local
// header and its data, inflating and checking each CRC. Fails the test on any inconsistency.
bool readZip(const QByteArray& zip, QStringList& names, QMap<QString, QByteArray>& entries)
{
    if (zip.size() < 22 || le32(zip, zip.size() - 22) != 0x06054b50u)
        return false;
    const int count = le16(zip, zip.size() - 12);
    int at = int(le32(zip, zip.size() - 6));
    if (le16(zip, zip.size() - 14) != count
        || at + int(le32(zip, zip.size() - 10)) != zip.size() - 22)
        return false;
    for (int i = 0; i < count; ++i) {
        if (le32(zip, at) != 0x02014b50u)
            return false;
        const quint16 method = le16(zip, at + 10);
        const quint32 crc = le32(zip, at + 16);
        const quint32 packed = le32(zip, at + 20);
        const quint32 size = le32(zip, at + 24);
        const int nameLength = le16(zip, at + 28);
        const int skip = le16(zip, at + 30) + le16(zip, at + 32);
        const int local = int(le32(zip, at + 42));
        const QString name = QString::fromUtf8(zip.mid(at + 46, nameLength));
        at += 46 + nameLength + skip;
        if (le32(zip, local) != 0x04034b50u || le16(zip, local + 8) != method
            || le32(zip, local + 14) != crc || le32(zip, local + 18) != packed
            || le32(zip, local + 22) != size
            || zip.mid(local + 30, le16(zip, local + 26)) != name.toUtf8())
            return false;
        const QByteArray data
            = zip.mid(local + 30 + le16(zip, local + 26) + le16(zip, local + 28), int(packed));
        QByteArray content;
        if (method == 0) {
            content = data;
        } else if (method == 8) {
            content.resize(int(size));
            z_stream stream {};
            inflateInit2(&stream, -15);
            stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
            stream.avail_in = uInt(data.size());
            stream.next_out = reinterpret_cast<Bytef*>(content.data());
            stream.avail_out = uInt(size);
            const int result = inflate(&stream, Z_FINISH);
            inflateEnd(&stream);
            if (result != Z_STREAM_END || stream.total_out != size)
                return false;
        } else {
            return false;
        }
        if (crc32(0, reinterpret_cast<const Bytef*>(content.constData()), uInt(content.size()))
            != crc)
            return false;
        names.append(name);
        entries.insert(name, content);
    }
    return true;
}

QMap<QString, QString> ini(const QByteArray& text)
{
    QMap<QString, QString> values;
    for (const QByteArray& line : text.split('\n')) {
        const int equals = line.indexOf(" = ");
        if (equals > 0)
            values.insert(
                QString::fromUtf8(line.left(equals)), QString::fromUtf8(line.mid(equals + 3)));
    }
    return values;
}

} // namespace

class TestJobFile : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_job;

    QString sliceJob(const QString& name, bool mirrorX,
        const std::string& printerName = "Test printer", const std::string& profileTitle = "test 1")
    {
        const QString folder = m_dir.filePath(name);
        QDir().mkpath(folder + QStringLiteral("/layers"));
        const QString stl = folder + QStringLiteral("/part.stl");
        writeFile(stl, binaryStl(box(-2, -2, 0, 2, 2, 1.2f)));
        Profile profile = testProfile(1);
        profile.mirrorX = mirrorX;
        profile.title = profileTitle;
        Printer printer;
        printer.name = printerName;
        printer.model = "TEST";
        Plate plate;
        std::string error;
        std::atomic<bool> cancel { false };
        if (!loadPlate("my part #1", printer, { { stl.toStdString(), profile } }, plate, error)
            || !slicePlate(
                plate, (folder + QStringLiteral("/layers")).toStdString(), {}, cancel, error))
            return QString::fromStdString(error);
        return folder + QStringLiteral("/layers");
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_job = sliceJob(QStringLiteral("job"), true);
        QVERIFY2(QFileInfo::exists(m_job + QStringLiteral("/plate.json")), qPrintable(m_job));
    }

    void packsTheLayoutWithTheSameBytes()
    {
        const QString out = m_dir.filePath(QStringLiteral("out/part.sl1"));
        QDir().mkpath(m_dir.filePath(QStringLiteral("out")));
        std::string error;
        QVERIFY2(writeJobFile(m_job.toStdString(), out.toStdString(), error), error.c_str());
        QStringList names;
        QMap<QString, QByteArray> entries;
        QVERIFY(readZip(readFile(out), names, entries));

        QStringList expected = { QStringLiteral("config.ini"), QStringLiteral("prusaslicer.ini"),
            QStringLiteral("thumbnail/thumbnail400x400.png"),
            QStringLiteral("thumbnail/thumbnail800x480.png") };
        for (int i = 0; i < 12; ++i)
            expected.append(QStringLiteral("my_part__1%1.png").arg(i, 5, 10, QLatin1Char('0')));
        expected.append(QStringLiteral("plate.json"));
        QCOMPARE(names, expected);
        for (int i = 0; i < 12; ++i) {
            const QString name = QStringLiteral("my_part__1%1.png").arg(i, 5, 10, QLatin1Char('0'));
            QCOMPARE(entries.value(name), readFile(m_job + QLatin1Char('/') + name));
        }
        QCOMPARE(entries.value(QStringLiteral("plate.json")),
            readFile(m_job + QStringLiteral("/plate.json")));
        QCOMPARE(entries.value(QStringLiteral("thumbnail/thumbnail800x480.png")),
            readFile(m_job + QStringLiteral("/thumbnail/thumbnail800x480.png")));

        const QMap<QString, QString> config = ini(entries.value(QStringLiteral("config.ini")));
        QCOMPARE(config.value(QStringLiteral("action")), QStringLiteral("print"));
        QCOMPARE(config.value(QStringLiteral("jobDir")), QStringLiteral("my_part__1"));
        QCOMPARE(config.value(QStringLiteral("expTime")), QStringLiteral("3"));
        QCOMPARE(config.value(QStringLiteral("expTimeFirst")), QStringLiteral("21"));
        QCOMPARE(config.value(QStringLiteral("numFade")), QStringLiteral("3"));
        QCOMPARE(config.value(QStringLiteral("numFast")), QStringLiteral("12"));
        QCOMPARE(config.value(QStringLiteral("numSlow")), QStringLiteral("0"));
        QCOMPARE(config.value(QStringLiteral("layerHeight")), QStringLiteral("0.1"));
        // Three bottom layers of 21 s and nine of 3 s; at the profile's default motion a bottom
        // layer lifts 6 mm at 60 mm/min and comes back at 120 (9 s), the others at 120 and 180
        // (5 s); each waits 1 s before its light: 63 + 27 + 27 + 45 + 12.
        QCOMPARE(config.value(QStringLiteral("printTime")), QStringLiteral("174"));
        QCOMPARE(config.value(QStringLiteral("liftSpeed")), QStringLiteral("120"));
        QCOMPARE(config.value(QStringLiteral("bottomLiftSpeed")), QStringLiteral("60"));
        QCOMPARE(config.value(QStringLiteral("waitAfterRetract")), QStringLiteral("1"));
        QCOMPARE(config.value(QStringLiteral("transitionLayers")), QStringLiteral("0"));
        QCOMPARE(config.value(QStringLiteral("lightPWM")), QStringLiteral("255"));
        // 4 x 4 x 1.2 mm = 0.0192 ml.
        QCOMPARE(config.value(QStringLiteral("usedMaterial")), QStringLiteral("0.0192"));
        QCOMPARE(config.value(QStringLiteral("printerModel")), QStringLiteral("TEST"));
        QCOMPARE(config.value(QStringLiteral("printProfile")), QStringLiteral("test 1"));
        QVERIFY(
            QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d at \\d\\d:\\d\\d:\\d\\d UTC$"))
                .match(config.value(QStringLiteral("fileCreationTimestamp")))
                .hasMatch());

        const QMap<QString, QString> printer
            = ini(entries.value(QStringLiteral("prusaslicer.ini")));
        QCOMPARE(printer.value(QStringLiteral("display_width")), QStringLiteral("20"));
        QCOMPARE(printer.value(QStringLiteral("display_height")), QStringLiteral("15"));
        QCOMPARE(printer.value(QStringLiteral("display_pixels_x")), QStringLiteral("400"));
        QCOMPARE(printer.value(QStringLiteral("display_pixels_y")), QStringLiteral("300"));
        QCOMPARE(printer.value(QStringLiteral("display_orientation")), QStringLiteral("landscape"));
        QCOMPARE(printer.value(QStringLiteral("display_mirror_x")), QStringLiteral("1"));
        QCOMPARE(printer.value(QStringLiteral("display_mirror_y")), QStringLiteral("0"));
        QCOMPARE(printer.value(QStringLiteral("max_print_height")), QStringLiteral("50"));
        QCOMPARE(printer.value(QStringLiteral("thumbnails")), QStringLiteral("400x400,800x480"));
        QCOMPARE(printer.value(QStringLiteral("layer_height")), QStringLiteral("0.1"));
        QVERIFY(QDir(m_dir.filePath(QStringLiteral("out"))).entryList(QDir::Files)
            == QStringList { QStringLiteral("part.sl1") });
    }

    void namesCannotAddIniLines()
    {
        // Printer names and profile titles come from the printers file: a line break in one must
        // not become a key of its own, which readers would take over the real one.
        const QString job = sliceJob(
            QStringLiteral("names"), false, "Evil\njobDir = ../x", "fine\r\nexpTime = 0");
        QVERIFY2(QFileInfo::exists(job + QStringLiteral("/plate.json")), qPrintable(job));
        const QString out = m_dir.filePath(QStringLiteral("names.sl1"));
        std::string error;
        QVERIFY2(writeJobFile(job.toStdString(), out.toStdString(), error), error.c_str());
        QStringList names;
        QMap<QString, QByteArray> entries;
        QVERIFY(readZip(readFile(out), names, entries));

        const QByteArray configText = entries.value(QStringLiteral("config.ini"));
        QCOMPARE(configText.count('\n'), 28);
        QVERIFY(!configText.contains('\r'));
        const QMap<QString, QString> config = ini(configText);
        QCOMPARE(config.value(QStringLiteral("jobDir")), QStringLiteral("my_part__1"));
        QCOMPARE(config.value(QStringLiteral("expTime")), QStringLiteral("3"));
        QCOMPARE(
            config.value(QStringLiteral("printerProfile")), QStringLiteral("Evil jobDir = ../x"));
        QCOMPARE(config.value(QStringLiteral("printProfile")), QStringLiteral("fine  expTime = 0"));

        const QByteArray printerText = entries.value(QStringLiteral("prusaslicer.ini"));
        QCOMPARE(printerText.count('\n'), 18);
        QVERIFY(!printerText.contains('\r'));
        const QMap<QString, QString> printer = ini(printerText);
        QCOMPARE(printer.value(QStringLiteral("printer_settings_id")),
            QStringLiteral("Evil jobDir = ../x"));
        QCOMPARE(printer.value(QStringLiteral("exposure_time")), QStringLiteral("3"));
    }

    void readsBackWhatItWrote()
    {
        const QString out = m_dir.filePath(QStringLiteral("back.sl1"));
        std::string error;
        QVERIFY2(writeJobFile(m_job.toStdString(), out.toStdString(), error), error.c_str());
        std::unique_ptr<JobReader> reader = makeJobReader(out.toStdString());
        QVERIFY(reader);
        QVERIFY2(reader->open(out.toStdString(), error), error.c_str());
        const JobSettings& s = reader->settings();
        QCOMPARE(s.printerName, std::string("Test printer"));
        QCOMPARE(s.profileName, std::string("test 1"));
        QCOMPARE(s.pixelsX, 400);
        QCOMPARE(s.pixelsY, 300);
        QCOMPARE(s.pixelUmX, 50.0);
        QCOMPARE(s.pixelUmY, 50.0);
        QVERIFY(s.mirrorX);
        QVERIFY(!s.mirrorY);
        QCOMPARE(s.layerHeightMm, 0.1);
        QCOMPARE(s.layerCount, 12);
        QCOMPARE(s.bottomLayers, 3);
        QCOMPARE(s.exposureS, 3.0);
        QCOMPARE(s.bottomExposureS, 21.0);
        QCOMPARE(s.printTimeS, 174.0);
        QCOMPARE(s.volumeMl, 0.0192);
        QCOMPARE(s.maxHeightMm, 50.0);
        const std::vector<RgbImage> previews = reader->previews();
        QCOMPARE(int(previews.size()), 2);
        QCOMPARE(previews[1].width, 800);
        const std::vector<std::vector<std::uint8_t>> layers = jobLayers(m_job);
        QCOMPARE(int(layers.size()), 12);
        for (int i = s.layerCount - 1; i >= 0; --i) { // any order
            std::vector<std::uint8_t> grey;
            QVERIFY2(reader->readLayer(i, grey, error), error.c_str());
            QVERIFY(grey == layers[std::size_t(i)]);
        }
        std::vector<std::uint8_t> none;
        QVERIFY(!reader->readLayer(12, none, error));
        QCOMPARE(error, "The job file " + out.toStdString() + " has no layer 13.");
    }

    void refusesDamagedZips_data()
    {
        QTest::addColumn<QByteArray>("from"); // replaced in the file's bytes, or cut from its end
        QTest::addColumn<QByteArray>("to");
        QTest::addColumn<int>("chop");
        QTest::addColumn<QString>("sentence");
        QTest::newRow("cut short") << QByteArray() << QByteArray() << 30
                                   << QStringLiteral("it is not a complete zip archive");
        QTest::newRow("no config") << QByteArray("config.ini") << QByteArray("cosmic.ini") << 0
                                   << QStringLiteral("it has no config.ini");
        QTest::newRow("no layers") << QByteArray(".png") << QByteArray(".pig") << 0
                                   << QStringLiteral("it holds no layer images");
        QTest::newRow("broken layer")
            << QByteArray("IDAT") << QByteArray("IDAX") << 0 << QStringLiteral("layer 1 is broken");
    }

    void refusesDamagedZips()
    {
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        QFETCH(int, chop);
        QFETCH(QString, sentence);
        const QString out = m_dir.filePath(QStringLiteral("damaged.sl1"));
        std::string error;
        QVERIFY2(writeJobFile(m_job.toStdString(), out.toStdString(), error), error.c_str());
        QByteArray bytes = readFile(out);
        if (!from.isEmpty()) {
            // Only in the entries' data and names, past the two ini files' headers.
            const int at = from == "IDAT" ? bytes.indexOf("my_part__100000.png") : 0;
            QVERIFY(at >= 0);
            bytes = bytes.left(at) + bytes.mid(at).replace(from, to);
        }
        bytes.chop(chop);
        QVERIFY(writeFile(out, bytes));
        std::unique_ptr<JobReader> reader = makeJobReader(out.toStdString());
        QVERIFY(reader);
        QVERIFY(!reader->open(out.toStdString(), error));
        QCOMPARE(QString::fromStdString(error),
            QStringLiteral("The job file %1 is damaged: %2.").arg(out, sentence));
    }

    void replacesAndNeverLeavesHalfFiles()
    {
        const QString outDir = m_dir.filePath(QStringLiteral("again"));
        QDir().mkpath(outDir);
        const QString out = outDir + QStringLiteral("/job.sl1");
        QVERIFY(writeFile(out, "an older file"));
        std::string error;
        QVERIFY2(writeJobFile(m_job.toStdString(), out.toStdString(), error), error.c_str());
        const QByteArray first = readFile(out);
        QStringList names;
        QMap<QString, QByteArray> entries;
        QVERIFY(readZip(first, names, entries));
        QCOMPARE(names.size(), 17);
        QVERIFY(QFileInfo(out).permissions() & QFileDevice::ReadOther);

        // A job whose layer image has gone: the file that stood there stays as it was.
        const QString broken = sliceJob(QStringLiteral("broken"), false);
        const QString lost = broken + QStringLiteral("/my_part__100005.png");
        QVERIFY(QFile::remove(lost));
        QVERIFY(!writeJobFile(broken.toStdString(), out.toStdString(), error));
        QCOMPARE(QString::fromStdString(error),
            QStringLiteral("The job is missing %1: No such file or directory.").arg(lost));
        QCOMPARE(readFile(out), first);
        QCOMPARE(QDir(outDir).entryList(QDir::Files | QDir::Hidden),
            QStringList { QStringLiteral("job.sl1") });
    }

    void refusesFoldersThatAreNoSlicedJob()
    {
        const QString empty = m_dir.filePath(QStringLiteral("empty"));
        QDir().mkpath(empty);
        const QString out = m_dir.filePath(QStringLiteral("none.sl1"));
        std::string error;
        QVERIFY(!writeJobFile(empty.toStdString(), out.toStdString(), error));
        QCOMPARE(QString::fromStdString(error),
            QStringLiteral(
                "The job has no readable plate.json (%1/plate.json): it was not sliced completely.")
                .arg(empty));
        QVERIFY(!QFileInfo::exists(out));

        QVERIFY(writeFile(empty + QStringLiteral("/plate.json"),
            R"({"jobDir":"x","layerCount":1,"layers":["../../etc/passwd"],
            "pixelsX":1,"pixelsY":1,"depth":50,"items":[{"profile":{"Title":"T","ProfileID":1,"Depth":50,"PixelsX":1,
            "PixelsY":1,"PixelSizeX":50,"Exposure":1,"MaxHeight":10}}]})"));
        QVERIFY(!writeJobFile(empty.toStdString(), out.toStdString(), error));
        QCOMPARE(QString::fromStdString(error),
            QStringLiteral("The job's plate.json (%1/plate.json) is damaged: it names a layer "
                           "image outside the job.")
                .arg(empty));
        QVERIFY(!QFileInfo::exists(out));

        QVERIFY(writeFile(empty + QStringLiteral("/plate.json"),
            R"({"jobDir":"../x","layerCount":1,"layers":["a.png"],
            "pixelsX":1,"pixelsY":1,"depth":50,"items":[{"profile":{"Title":"T","ProfileID":1,"Depth":50,"PixelsX":1,
            "PixelsY":1,"PixelSizeX":50,"Exposure":1,"MaxHeight":10}}]})"));
        QVERIFY(!writeJobFile(empty.toStdString(), out.toStdString(), error));
        QCOMPARE(QString::fromStdString(error),
            QStringLiteral(
                "The job's plate.json (%1/plate.json) is damaged: its jobDir is no plain name.")
                .arg(empty));
        QVERIFY(!QFileInfo::exists(out));

        const QString nowhere = m_dir.filePath(QStringLiteral("no/such/folder/a.sl1"));
        QVERIFY(!writeJobFile(m_job.toStdString(), nowhere.toStdString(), error));
        QCOMPARE(QString::fromStdString(error),
            QStringLiteral("Cannot create the job file %1: No such file or directory.")
                .arg(nowhere));
    }
};

QTEST_GUILESS_MAIN(TestJobFile)
#include "tst_jobfile.moc"
