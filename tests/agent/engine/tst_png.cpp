// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "pngwriter.h"
#include "rundeflate.h"

#include <QImage>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <zlib.h>

class TestPng : public QObject {
    Q_OBJECT

private slots:
    void runDeflateRoundTrip_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("nothing") << QByteArray();
        QTest::newRow("one byte") << QByteArray(1, '\x7f');
        QTest::newRow("two equal bytes: literals only") << QByteArray(2, '\xff');
        QTest::newRow("three: shortest copy") << QByteArray(3, '\0');
        QByteArray lengths;
        // Runs around the 258-byte copy limit and its remainders of 1 and 2.
        for (int n : { 257, 258, 259, 260, 261, 262, 516, 517, 518, 519, 1000, 4 })
            lengths.append(QByteArray(n, char(lengths.size() % 2 ? 0 : 255)));
        QTest::newRow("run lengths around 258") << lengths;
        QTest::newRow("one long run (adler sums wrap)") << QByteArray(5000000, '\xff');
        QByteArray noise(70000, '\0');
        QRandomGenerator random(7);
        for (char& c : noise)
            c = char(random.bounded(256));
        QTest::newRow("no runs at all") << noise;
        QByteArray mixed;
        for (int i = 0; i < 3000; ++i)
            mixed.append(QByteArray(int(random.bounded(1, 600)), char(random.bounded(256))));
        QTest::newRow("mixed runs") << mixed;
        QByteArray edges; // anti-aliased rows: long runs, one or two greys between them
        for (int i = 0; i < 20000; ++i)
            edges.append(QByteArray(int(random.bounded(3, 900)), char(i % 2 ? 255 : 0)))
                .append(QByteArray(int(random.bounded(1, 3)), char(random.bounded(1, 255))));
        QTest::newRow("grey edges between long runs") << edges;
    }

    void runDeflateRoundTrip()
    {
        QFETCH(QByteArray, data);
        std::vector<std::uint8_t> out;
        runDeflate(
            reinterpret_cast<const std::uint8_t*>(data.constData()), std::size_t(data.size()), out);
        // zlib checks the header, every code and the Adler-32 trailer.
        std::vector<std::uint8_t> back(std::size_t(data.size()) + 16);
        uLongf length = uLongf(back.size());
        QCOMPARE(uncompress(back.data(), &length, out.data(), uLong(out.size())), Z_OK);
        QCOMPARE(int(length), data.size());
        QVERIFY(std::equal(back.begin(), back.begin() + long(length),
            reinterpret_cast<const std::uint8_t*>(data.constData())));
    }

    void longRunsStaySmall()
    {
        // 2 bits per 258 bytes: an empty 2560 x 1440 layer stays under 4 KB.
        const std::vector<std::uint8_t> empty(1441u * 2561u, 0);
        std::vector<std::uint8_t> out;
        runDeflate(empty.data(), empty.size(), out);
        QVERIFY(out.size() < 4000);
    }

    void encodesPngsThatDecodeToTheSamePixels_data()
    {
        QTest::addColumn<int>("channels");
        QTest::newRow("greyscale layer") << 1;
        QTest::newRow("RGB picture") << 3;
    }

    void encodesPngsThatDecodeToTheSamePixels()
    {
        QFETCH(int, channels);
        const int width = 37, height = 23;
        const std::size_t stride = 1 + std::size_t(width * channels);
        std::vector<std::uint8_t> rows(stride * height, 0);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width * channels; ++x)
                rows[std::size_t(y) * stride + 1 + std::size_t(x)]
                    = std::uint8_t(x * 7 + y * 13 + (x > 20 ? 200 : 0));
        PngWriter writer;
        QVERIFY(writer.encode(rows.data(), width, height, channels));
        QImage image = QImage::fromData(writer.data().data(), int(writer.data().size()), "PNG");
        QCOMPARE(image.size(), QSize(width, height));
        QCOMPARE(image.format(), channels == 1 ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const std::uint8_t* p
                    = rows.data() + std::size_t(y) * stride + 1 + std::size_t(x * channels);
                if (channels == 1)
                    QCOMPARE(image.constScanLine(y)[x], p[0]);
                else
                    QCOMPARE(image.pixel(x, y), qRgb(p[0], p[1], p[2]));
            }
        }
    }

    void savesAndReportsFailures()
    {
        QTemporaryDir dir;
        const std::vector<std::uint8_t> rows(3 * (1 + 2), 0);
        PngWriter writer;
        QVERIFY(writer.encode(rows.data(), 2, 3, 1));
        std::string error;
        const QString path = dir.filePath(QStringLiteral("a.png"));
        QVERIFY(writer.save(path.toStdString(), error));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(),
            QByteArray(
                reinterpret_cast<const char*>(writer.data().data()), int(writer.data().size())));
        const QString bad = dir.filePath(QStringLiteral("no/such/folder/a.png"));
        QVERIFY(!writer.save(bad.toStdString(), error));
        QCOMPARE(QString::fromStdString(error),
            QStringLiteral("Cannot write the image %1: No such file or directory.").arg(bad));
        QVERIFY(!writer.encode(rows.data(), 0, 3, 1));
        QVERIFY(!writer.encode(rows.data(), 2, 3, 2));
    }
};

QTEST_GUILESS_MAIN(TestPng)
#include "tst_png.moc"
