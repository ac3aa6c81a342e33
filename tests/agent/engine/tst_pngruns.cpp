// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "pngruns.h"
#include "pngwriter.h"

#include <QRandomGenerator>
#include <QTest>
#include <QtEndian>

#include <zlib.h>

namespace {

// Rows with their filter byte in front, for PngWriter and for zlib.
QByteArray filtered(const QByteArray& image, int width, char filter = 0)
{
    QByteArray rows;
    for (int y = 0; y < image.size() / width; ++y)
        rows += filter + image.mid(y * width, width);
    return rows;
}

// A greyscale PNG around any zlib stream.
QByteArray pngAround(const QByteArray& zlibStream, int width, int height)
{
    const auto chunk = [](const char* type, const QByteArray& body) {
        QByteArray out(4, '\0');
        qToBigEndian<quint32>(quint32(body.size()), out.data());
        const QByteArray typed = QByteArray(type) + body;
        QByteArray crc(4, '\0');
        qToBigEndian<quint32>(quint32(crc32(0, reinterpret_cast<const Bytef*>(typed.constData()),
                                  uInt(typed.size()))),
            crc.data());
        return out + typed + crc;
    };
    QByteArray header(13, '\0');
    qToBigEndian<quint32>(quint32(width), header.data());
    qToBigEndian<quint32>(quint32(height), header.data() + 4);
    header[8] = 8; // depth; colour type 0 = grey
    return QByteArray::fromHex("89504e470d0a1a0a") + chunk("IHDR", header)
        + chunk("IDAT", zlibStream) + chunk("IEND", QByteArray());
}

QByteArray zlibOf(const QByteArray& data)
{
    uLongf size = compressBound(uLong(data.size()));
    QByteArray out(int(size), '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &size,
        reinterpret_cast<const Bytef*>(data.constData()), uLong(data.size()), 9);
    out.resize(int(size));
    return out;
}

QByteArray expanded(const std::vector<GreyRun>& runs)
{
    QByteArray image;
    for (const GreyRun& run : runs)
        image += QByteArray(int(run.length), char(run.grey));
    return image;
}

} // namespace

class TestPngRuns : public QObject {
    Q_OBJECT

private slots:
    void slicerImages_data();
    void slicerImages();
    void othersFallBack_data();
    void othersFallBack();
};

void TestPngRuns::slicerImages_data()
{
    QTest::addColumn<QByteArray>("image");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("runs");
    QTest::newRow("blank") << QByteArray(300 * 200, '\0') << 300 << 1;
    QTest::newRow("white") << QByteArray(300 * 200, '\xff') << 300 << 1;
    // A white band that crosses a row end is one run.
    QByteArray band(64 * 4, '\0');
    band.replace(60, 10, QByteArray(10, '\xff'));
    QTest::newRow("run across a row end") << band << 64 << 3;
    QByteArray mixed;
    QRandomGenerator random(3);
    while (mixed.size() < 500 * 100)
        mixed += QByteArray(int(random.bounded(1, 900)), char(random.bounded(256)));
    mixed.truncate(500 * 100);
    QTest::newRow("runs of every length and grey") << mixed << 500 << -1;
}

void TestPngRuns::slicerImages()
{
    QFETCH(QByteArray, image);
    QFETCH(int, width);
    QFETCH(int, runs);
    const int height = image.size() / width;
    const QByteArray rows = filtered(image, width);
    PngWriter writer;
    QVERIFY(
        writer.encode(reinterpret_cast<const std::uint8_t*>(rows.constData()), width, height, 1));
    PngRunReader reader;
    QVERIFY(reader.decode(writer.data().data(), writer.data().size(), width, height));
    QVERIFY(expanded(reader.runs()) == image);
    if (runs >= 0)
        QCOMPARE(int(reader.runs().size()), runs);
    for (std::size_t i = 1; i < reader.runs().size(); ++i)
        QVERIFY(reader.runs()[i].grey != reader.runs()[i - 1].grey);
}

void TestPngRuns::othersFallBack_data()
{
    QTest::addColumn<QByteArray>("png");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QByteArray stripes;
    for (int i = 0; i < 64 * 8; ++i)
        stripes += char(i % 2 ? 255 : 0);
    // zlib copies the stripes from two bytes back: no runs to read.
    QTest::newRow("copies further back")
        << pngAround(zlibOf(filtered(stripes, 64)), 64, 8) << 64 << 8;
    QTest::newRow("filtered rows")
        << pngAround(zlibOf(filtered(QByteArray(64 * 8, '\0'), 64, 1)), 64, 8) << 64 << 8;
    QTest::newRow("another size") << pngAround(zlibOf(filtered(QByteArray(64 * 8, '\0'), 64)), 64,
        8) << 64 << 9;
    QByteArray rows = filtered(QByteArray(64 * 8, '\0'), 64);
    QTest::newRow("short of rows")
        << pngAround(zlibOf(rows.left(rows.size() - 65)), 64, 8) << 64 << 8;
    QByteArray cut = pngAround(zlibOf(rows), 64, 8);
    QTest::newRow("cut short") << cut.left(cut.size() - 20) << 64 << 8;
}

void TestPngRuns::othersFallBack()
{
    QFETCH(QByteArray, png);
    QFETCH(int, width);
    QFETCH(int, height);
    PngRunReader reader;
    QVERIFY(!reader.decode(reinterpret_cast<const std::uint8_t*>(png.constData()),
        std::size_t(png.size()), width, height));
}

QTEST_GUILESS_MAIN(TestPngRuns)
#include "tst_pngruns.moc"
