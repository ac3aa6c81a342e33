// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "facetmath.h"
#include "meshreader.h"
#include "stlrecord.h"

#include <QMatrix4x4>
#include <QRandomGenerator>
#include <QTest>

#include <array>
#include <cstring>

namespace {

quint32 bitsOf(float value)
{
    quint32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

QMatrix4x4 randomMatrix(QRandomGenerator& random)
{
    float values[16];
    for (float& v : values)
        v = float(random.generateDouble() * 20.0 - 10.0);
    return QMatrix4x4(values);
}

}

class TestStlRecord : public QObject {
    Q_OBJECT

private slots:
    void header()
    {
        char out[StlRecord::headerSize + 1];
        out[StlRecord::headerSize] = '#';
        StlRecord::writeHeader(out);
        QCOMPARE(QByteArray(out, StlRecord::headerSize), QByteArray("abcdefghij").repeated(8));
        QCOMPARE(out[StlRecord::headerSize], '#');
    }

    void count_data()
    {
        QTest::addColumn<quint32>("count");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("zero") << 0u << QByteArray::fromHex("00000000");
        QTest::newRow("one") << 1u << QByteArray::fromHex("01000000");
        QTest::newRow("byte order") << 0x01020304u << QByteArray::fromHex("04030201");
        QTest::newRow("largest") << 0xffffffffu << QByteArray::fromHex("ffffffff");
    }

    void count()
    {
        QFETCH(quint32, count);
        QFETCH(QByteArray, bytes);
        char out[StlRecord::countSize];
        StlRecord::writeCount(count, out);
        QCOMPARE(QByteArray(out, StlRecord::countSize), bytes);
    }

    void record()
    {
        const float corner0[3] = { 1.0f, -2.0f, 0.5f };
        const float corner1[3] = { -0.0f, 3.0f, 0.25f };
        const float corner2[3] = { 100.0f, 1.5f, -1.0f };
        const float* const corners[3] = { corner0, corner1, corner2 };
        char out[StlRecord::recordSize + 1];
        out[StlRecord::recordSize] = '#';
        StlRecord::writeRecord(QVector3D(0.0f, 0.0f, -1.0f), corners, out);
        const QByteArray expected = QByteArray::fromHex("00000000"
                                                        "00000000"
                                                        "000080bf" // normal
                                                        "0000803f"
                                                        "000000c0"
                                                        "0000003f" // corner 0
                                                        "00000080"
                                                        "00004040"
                                                        "0000803e" // corner 1
                                                        "0000c842"
                                                        "0000c03f"
                                                        "000080bf" // corner 2
                                                        "6161");
        QCOMPARE(QByteArray(out, StlRecord::recordSize), expected);
        QCOMPARE(out[StlRecord::recordSize], '#');
    }

    // The product must be the plain one, summed left to right, bit for bit:
    // random matrices make any other order or a fused multiply-add show.
    void productMatchesQMatrix4x4()
    {
        QRandomGenerator random(20261208);
        for (int trial = 0; trial < 2000; ++trial) {
            const QMatrix4x4 left = randomMatrix(random);
            QMatrix4x4 right = randomMatrix(random);
            for (int column = 0; column < 3; ++column)
                right(3, column) = 1.0f;
            for (int row = 0; row < 4; ++row)
                right(row, 3) = 0.0f;
            right.optimize();
            const QMatrix4x4 product = left * right;

            FacetMath::CornerColumns columns;
            for (int c = 0; c < 3; ++c)
                for (int r = 0; r < 4; ++r)
                    columns.column[c][r] = right(r, c);
            FacetMath::multiply(left.constData(), columns);
            for (int c = 0; c < 3; ++c)
                for (int r = 0; r < 4; ++r)
                    QCOMPARE(bitsOf(columns.column[c][r]), bitsOf(product(r, c)));
        }
    }

    void productOrder()
    {
        // 1e8 + 1 - 1e8 is 0 in floats when summed left to right, 1 otherwise.
        const float left[16] = { 1e8f, 0, 0, 0, 1.0f, 0, 0, 0, -1e8f, 0, 0, 0, 0, 0, 0, 1.0f };
        FacetMath::CornerColumns columns
            = FacetMath::cornerColumns(std::array<float, 3> { 1, 1, 1 }.data(),
                std::array<float, 3> { 0, 0, 0 }.data(), std::array<float, 3> { 0, 0, 0 }.data());
        FacetMath::multiply(left, columns);
        QCOMPARE(columns.column[0][0], 0.0f);
        QCOMPARE(columns.column[0][3], 1.0f);
    }

    void cornerColumns()
    {
        const float a[3] = { 1, 2, 3 }, b[3] = { 4, 5, 6 }, c[3] = { 7, 8, 9 };
        const FacetMath::CornerColumns columns = FacetMath::cornerColumns(a, b, c);
        const float expected[3][4] = { { 1, 2, 3, 1 }, { 4, 5, 6, 1 }, { 7, 8, 9, 1 } };
        QVERIFY(std::memcmp(columns.column, expected, sizeof expected) == 0);
    }

    void normal_data()
    {
        QTest::addColumn<QVector3D>("c0");
        QTest::addColumn<QVector3D>("c1");
        QTest::addColumn<QVector3D>("c2");
        QTest::addColumn<QVector3D>("normal");
        QTest::newRow("unit, counter-clockwise")
            << QVector3D(0, 0, 0) << QVector3D(1, 0, 0) << QVector3D(0, 1, 0) << QVector3D(0, 0, 1);
        QTest::newRow("unit, clockwise") << QVector3D(0, 0, 0) << QVector3D(0, 1, 0)
                                         << QVector3D(1, 0, 0) << QVector3D(0, 0, -1);
        QTest::newRow("degenerate")
            << QVector3D(1, 2, 3) << QVector3D(1, 2, 3) << QVector3D(4, 5, 6) << QVector3D(0, 0, 0);
        // QVector3D::normalize() leaves vectors this short as they are.
        QTest::newRow("tiny") << QVector3D(0, 0, 0) << QVector3D(1e-4f, 0, 0)
                              << QVector3D(0, 1e-4f, 0) << QVector3D(0, 0, 1e-4f * 1e-4f);
        QTest::newRow("slanted") << QVector3D(0, 0, 0) << QVector3D(3, 0, 0) << QVector3D(0, 0, 4)
                                 << QVector3D(0, -1, 0);
    }

    void normal()
    {
        QFETCH(QVector3D, c0);
        QFETCH(QVector3D, c1);
        QFETCH(QVector3D, c2);
        QFETCH(QVector3D, normal);
        const float a[3] = { c0.x(), c0.y(), c0.z() }, b[3] = { c1.x(), c1.y(), c1.z() },
                    c[3] = { c2.x(), c2.y(), c2.z() };
        const QVector3D actual = FacetMath::facetNormal(a, b, c);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(bitsOf(actual[i]), bitsOf(normal[i]));
    }

    void normalMatchesQVector3D()
    {
        QRandomGenerator random(7);
        for (int trial = 0; trial < 2000; ++trial) {
            float p[3][3];
            for (auto& corner : p)
                for (float& v : corner)
                    v = float(random.generateDouble() * 2.0 - 1.0);
            const QVector3D v0(p[0][0], p[0][1], p[0][2]), v1(p[1][0], p[1][1], p[1][2]),
                v2(p[2][0], p[2][1], p[2][2]);
            QVector3D expected = QVector3D::crossProduct(v1 - v0, v2 - v0);
            expected.normalize();
            const QVector3D actual = FacetMath::facetNormal(p[0], p[1], p[2]);
            for (int i = 0; i < 3; ++i)
                QCOMPARE(bitsOf(actual[i]), bitsOf(expected[i]));
        }
    }

    void readerCorners_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("base");
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("elements");
        QTest::addColumn<quint64>("vertex");
        QTest::addColumn<QVector3D>("corner");
        // Floats 0, 1, 2, ... ; doubles 0.1, 1.1, 2.1, ...
        const int f = int(MeshReader::Kind::Float), d = int(MeshReader::Kind::Double);
        QTest::newRow("first") << f << 0 << 3 << 12 << quint64(0) << QVector3D(0, 1, 2);
        QTest::newRow("last that fits") << f << 0 << 3 << 12 << quint64(3) << QVector3D(9, 10, 11);
        QTest::newRow("one past the end") << f << 0 << 3 << 12 << quint64(4) << QVector3D(0, 0, 0);
        QTest::newRow("partly past the end")
            << f << 1 << 3 << 12 << quint64(3) << QVector3D(0, 0, 0);
        QTest::newRow("base and stride") << f << 2 << 5 << 12 << quint64(1) << QVector3D(7, 8, 9);
        QTest::newRow("huge index")
            << f << 0 << 3 << 12 << quint64(0xffffffffu) << QVector3D(0, 0, 0);
        QTest::newRow("doubles to nearest floats")
            << d << 0 << 3 << 6 << quint64(1) << QVector3D(float(3.1), float(4.1), float(5.1));
        QTest::newRow("double past the end")
            << d << 0 << 3 << 6 << quint64(2) << QVector3D(0, 0, 0);
        QTest::newRow("no positions")
            << int(MeshReader::Kind::None) << 0 << 3 << 12 << quint64(0) << QVector3D(0, 0, 0);
    }

    void readerCorners()
    {
        QFETCH(int, kind);
        QFETCH(int, base);
        QFETCH(int, step);
        QFETCH(int, elements);
        QFETCH(quint64, vertex);
        QFETCH(QVector3D, corner);
        // Exactly the declared elements, so that ASan sees any read past them.
        QVector<float> floats(elements);
        QVector<double> doubles(elements);
        for (int i = 0; i < elements; ++i) {
            floats[i] = float(i);
            doubles[i] = double(i) + 0.1;
        }
        MeshReader reader;
        reader.positionKind = MeshReader::Kind(kind);
        reader.positionData = reader.positionKind == MeshReader::Kind::Double
            ? reinterpret_cast<const char*>(doubles.constData())
            : reinterpret_cast<const char*>(floats.constData());
        reader.positionElements = quint64(elements);
        reader.positionBase = quint64(base);
        reader.positionStep = quint64(step);
        float out[3] = { -1, -1, -1 };
        reader.corner(vertex, out);
        QCOMPARE(QVector3D(out[0], out[1], out[2]), corner);
    }

    void readerIndices_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("first");
        QTest::addColumn<quint64>("fitting");
        QTest::addColumn<QVector<quint64>>("second"); // indices of triangle 1
        const int s = int(MeshReader::Kind::UShort), u = int(MeshReader::Kind::UInt);
        // Index data: 7 elements with values 100, 101, ... 106.
        QTest::newRow("ushort") << s << 0 << quint64(2) << QVector<quint64> { 103, 104, 105 };
        QTest::newRow("ushort with offset")
            << s << 1 << quint64(2) << QVector<quint64> { 104, 105, 106 };
        QTest::newRow("uint") << u << 0 << quint64(2) << QVector<quint64> { 103, 104, 105 };
        QTest::newRow("uint offset leaves one triple")
            << u << 2 << quint64(1) << QVector<quint64>();
        QTest::newRow("offset beyond the data") << u << 9 << quint64(0) << QVector<quint64>();
        QTest::newRow("unreadable type")
            << int(MeshReader::Kind::None) << 0 << quint64(2) << QVector<quint64> { 0, 0, 0 };
    }

    void readerIndices()
    {
        QFETCH(int, kind);
        QFETCH(int, first);
        QFETCH(quint64, fitting);
        QFETCH(QVector<quint64>, second);
        const quint16 shorts[7] = { 100, 101, 102, 103, 104, 105, 106 };
        const quint32 ints[7] = { 100, 101, 102, 103, 104, 105, 106 };
        MeshReader reader;
        reader.indexed = true;
        reader.indexKind = MeshReader::Kind(kind);
        reader.indexData = reader.indexKind == MeshReader::Kind::UInt
            ? reinterpret_cast<const char*>(ints)
            : reinterpret_cast<const char*>(shorts);
        reader.indexElements = 7;
        reader.indexFirst = quint64(first);
        QCOMPARE(reader.fittingTriangles(), fitting);
        if (second.isEmpty())
            return;
        quint64 index[3] = { 9, 9, 9 };
        reader.indices(1, index);
        QCOMPARE(QVector<quint64>({ index[0], index[1], index[2] }), second);
    }

    void readerVertexTriples()
    {
        MeshReader reader; // not indexed
        quint64 index[3];
        reader.indices(5, index);
        QCOMPARE(
            QVector<quint64>({ index[0], index[1], index[2] }), QVector<quint64>({ 15, 16, 17 }));
    }
};

QTEST_GUILESS_MAIN(TestStlRecord)
#include "tst_stlrecord.moc"
