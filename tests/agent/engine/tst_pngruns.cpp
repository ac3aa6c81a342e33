// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "pngruns.h"

#include <QTest>
#include <QtEndian>

#include <zlib.h>

namespace {

// Rows with their filter byte in front.
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

} // namespace

// The slicer's own images are read into runs (tst_goofile); these are the PNGs the run reader
// must turn away, for the caller to decode them the ordinary way.
class TestPngRuns : public QObject {
    Q_OBJECT

private slots:
    void othersFallBack_data();
    void othersFallBack();
};

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
    std::vector<LayerRun> runs;
    QVERIFY(!pngLayerRuns(reinterpret_cast<const std::uint8_t*>(png.constData()),
        std::size_t(png.size()), width, height, runs));
}

QTEST_GUILESS_MAIN(TestPngRuns)
#include "tst_pngruns.moc"
