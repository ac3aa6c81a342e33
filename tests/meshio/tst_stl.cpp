// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "stl.h"
#include "../agent/engine/enginetestutil.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <limits>

#include <sys/stat.h>

class TestStl : public QObject {
    Q_OBJECT

private:
    static bool parse(const QByteArray& bytes, Mesh& mesh, std::string& error)
    {
        return parseStl(reinterpret_cast<const unsigned char*>(bytes.constData()),
            std::size_t(bytes.size()), mesh, error);
    }

private slots:
    void readsBinaryCornersInOrder()
    {
        const Triangle t = { 1.5f, -2.25f, 3.f, 4.f, 5.f, 6.125f, -7.f, 8.f, 1e-3f };
        Mesh mesh;
        std::string error;
        QVERIFY(parse(binaryStl({ t, box(0, 0, 0, 1, 1, 1)[0] }), mesh, error));
        QCOMPARE(mesh.triangleCount(), std::size_t(2));
        for (int k = 0; k < 9; ++k)
            QCOMPARE(mesh.xyz[std::size_t(k)], t[std::size_t(k)]);
        QCOMPARE(mesh.xyz[9 + 2], 0.f);
    }

    void binaryWithSolidHeaderIsBinary()
    {
        // Many exporters start the binary header with "solid": the exact size decides.
        QByteArray bytes = binaryStl(box(0, 0, 0, 1, 1, 1));
        bytes.replace(0, 12, "solid  cube ");
        Mesh mesh;
        std::string error;
        QVERIFY2(parse(bytes, mesh, error), error.c_str());
        QCOMPARE(mesh.triangleCount(), std::size_t(12));
    }

    void readsAscii_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("triangles");
        QTest::addColumn<float>("lastX");
        const QByteArray facet = "facet normal 0 0 1\n outer loop\n  vertex 0 0 0\n  vertex 1 0 0\n"
                                 "  vertex 0 1 0\n endloop\nendfacet\n";
        QTest::newRow("one facet") << QByteArray("solid a\n" + facet + "endsolid a\n") << 1 << 0.f;
        QTest::newRow("CRLF, tabs, signs, exponents") << QByteArray(
            "solid x y z\r\n\tfacet normal -0 +0 1e0\r\nouter loop\r\nvertex 1 2 3\r\n"
            "vertex +4.5 -5E-1 6\r\nvertex 7.25e1 8 9\r\nendloop\r\nendfacet\r\nendsolid\r\n")
                                                      << 1 << 72.5f;
        QTest::newRow("two solids") << QByteArray(
            "solid a\n" + facet + facet + "endsolid a\nsolid b\n" + facet + "endsolid b\n")
                                    << 3 << 0.f;
        QTest::newRow("no name, no newline at end")
            << QByteArray("solid\n" + facet + "endsolid") << 1 << 0.f;
    }

    void readsAscii()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, triangles);
        QFETCH(float, lastX);
        Mesh mesh;
        std::string error;
        QVERIFY2(parse(text, mesh, error), error.c_str());
        QCOMPARE(int(mesh.triangleCount()), triangles);
        QCOMPARE(mesh.xyz[mesh.xyz.size() - 3], lastX);
    }

    void asciiCornersExact()
    {
        Mesh mesh;
        std::string error;
        QVERIFY(parse("solid\nfacet normal 0 0 0\nouter loop\nvertex 0.1 -2 3\nvertex 4 5 6\n"
                      "vertex 7 8 -9.5\nendloop\nendfacet\nendsolid\n",
            mesh, error));
        const std::vector<float> expected = { 0.1f, -2, 3, 4, 5, 6, 7, 8, -9.5f };
        QCOMPARE(mesh.xyz, expected);
    }

    void refuses_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("sentence");

        const QByteArray good = binaryStl(box(0, 0, 0, 1, 1, 1));
        QTest::newRow("empty") << QByteArray() << "The STL file is empty.";
        QTest::newRow("shorter than the header")
            << good.left(50)
            << "The STL file is truncated: 50 bytes are too few for a binary STL header and "
               "triangle count.";
        QTest::newRow("truncated record")
            << good.left(good.size() - 7)
            << "The STL file is neither binary STL (its size of 677 bytes does not match the "
               "triangle count in its header) nor ASCII STL.";
        QByteArray more = good;
        more.append(QByteArray(50, '\0'));
        QTest::newRow("more records than declared")
            << more
            << "The STL file is neither binary STL (its size of 734 bytes does not match the "
               "triangle count in its header) nor ASCII STL.";
        QByteArray huge = good;
        qToLittleEndian<quint32>(0xFFFFFFFFu, huge.data() + 80);
        QTest::newRow("count beyond the file")
            << huge
            << "The STL file is neither binary STL (its size of 684 bytes does not match the "
               "triangle count in its header) nor ASCII STL.";
        QTest::newRow("no triangles") << binaryStl({}) << "The STL file holds no triangles.";

        QByteArray nan = good;
        qToLittleEndian<float>(
            std::numeric_limits<float>::quiet_NaN(), nan.data() + 84 + 50 * 3 + 12 + 4);
        QTest::newRow("NaN coordinate")
            << nan << "The STL file has a coordinate that is not a finite number (triangle 4).";
        QByteArray inf = good;
        qToLittleEndian<float>(
            -std::numeric_limits<float>::infinity(), inf.data() + 84 + 50 * 11 + 12 + 32);
        QTest::newRow("infinite coordinate")
            << inf << "The STL file has a coordinate that is not a finite number (triangle 12).";
        QByteArray nanNormal = good;
        qToLittleEndian<float>(std::numeric_limits<float>::quiet_NaN(), nanNormal.data() + 84);
        QTest::newRow("NaN only in the ignored normal: the count check still applies")
            << nanNormal.left(90)
            << "The STL file is neither binary STL (its size of 90 bytes does not match the "
               "triangle count in its header) nor ASCII STL.";

        const QByteArray facetStart = "solid s\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\n";
        QTest::newRow("ascii NaN")
            << QByteArray(
                   facetStart + "vertex nan 0 0\nvertex 0 1 0\nendloop\nendfacet\nendsolid\n")
            << "The STL file has a coordinate that is not a finite number (triangle 1).";
        QTest::newRow("ascii beyond float")
            << QByteArray(
                   facetStart + "vertex 1e39 0 0\nvertex 0 1 0\nendloop\nendfacet\nendsolid\n")
            << "The STL file has a coordinate that is not a finite number (triangle 1).";
        // Numbers beyond any floating-point range were once read as 0.
        QTest::newRow("ascii 1e999")
            << QByteArray(
                   facetStart + "vertex 1e999 0 0\nvertex 0 1 0\nendloop\nendfacet\nendsolid\n")
            << "The STL file has a coordinate that is not a finite number (triangle 1).";
        QTest::newRow("ascii -1e999")
            << QByteArray(
                   facetStart + "vertex 0 -1e999 0\nvertex 0 1 0\nendloop\nendfacet\nendsolid\n")
            << "The STL file has a coordinate that is not a finite number (triangle 1).";
        QTest::newRow("ascii with a control byte")
            << QByteArray(
                   facetStart + "vertex 1 0 0\x01\nvertex 0 1 0\nendloop\nendfacet\nendsolid\n")
            << "The STL file is neither binary STL (its size of 104 bytes does not match the "
               "triangle count in its header) nor ASCII STL.";
        QTest::newRow("ascii cut off")
            << QByteArray(facetStart + "vertex 1 0")
            << "The ASCII STL file is not valid at line 5: expected a number.";
        QTest::newRow("ascii without endsolid")
            << QByteArray(facetStart + "vertex 1 0 0\nvertex 0 1 0\nendloop\nendfacet\n")
            << "The ASCII STL file is not valid at line 9: the file ends before \"endsolid\".";
        QTest::newRow("ascii two corners")
            << QByteArray(facetStart + "vertex 1 0 0\nendloop\nendfacet\nendsolid\n")
            << "The ASCII STL file is not valid at line 6: expected \"vertex\".";
        QTest::newRow("ascii word for a number")
            << QByteArray(facetStart + "vertex 1 zero 0\n")
            << "The ASCII STL file is not valid at line 5: expected a number.";
        QTest::newRow("ascii no facets")
            << QByteArray("solid empty\nendsolid empty\n") << "The STL file holds no triangles.";
        QTest::newRow("garbage text")
            << QByteArray("solid but then\nthis is just a letter, not a model.\n")
            << "The ASCII STL file is not valid at line 2: expected \"facet\" or \"endsolid\".";
        // Text given the ending ".stl" by mistake is not a damaged STL.
        QTest::newRow("other text than STL, short")
            << QByteArray("hello") << "The file is text, not an STL file.";
        QTest::newRow("other text than STL")
            << QByteArray("Dear printer,\r\nplease print the attached part in grey resin.\r\n"
                          "Thank you, and kind regards.\r\n")
            << "The file is text, not an STL file.";
    }

    void refuses()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, sentence);
        Mesh mesh;
        mesh.xyz = { 1, 2, 3 };
        std::string error;
        QVERIFY(!parse(bytes, mesh, error));
        QCOMPARE(QString::fromStdString(error), sentence);
        QVERIFY(mesh.xyz.empty());
    }

    void refusesHugeCountsBeforeReading_data()
    {
        QTest::addColumn<quint32>("count");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("sentence");
        // Sparse files: what they claim would take hundreds of gigabytes if it were believed.
        QTest::newRow("size matches a count beyond the limit")
            << quint32(0xFFFFFFFFu) << qint64(84 + 50 * qint64(0xFFFFFFFFu))
            << QStringLiteral(
                   "The STL file holds more than 50000000 triangles, more than the agent slices.");
        QTest::newRow("count does not match 2 GiB")
            << quint32(12) << (qint64(2) << 30)
            << QStringLiteral("The STL file is neither binary STL (its size of 2147483648 bytes "
                              "does not match the triangle count in its header) nor ASCII STL.");
    }

    void refusesHugeCountsBeforeReading()
    {
        QFETCH(quint32, count);
        QFETCH(qint64, size);
        QFETCH(QString, sentence);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("huge.stl"));
        QByteArray head = binaryStl(box(0, 0, 0, 1, 1, 1));
        qToLittleEndian<quint32>(count, head.data() + 80);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(head) == head.size()
            && file.resize(size));
        file.close();
        Mesh mesh;
        std::string error;
        QVERIFY(!readStlFile(path.toStdString(), mesh, error));
        QCOMPARE(QString::fromStdString(error),
            sentence.chopped(1) + QStringLiteral(" (%1).").arg(path));
        QVERIFY(mesh.xyz.empty());
    }

    void readsFilesAndNamesThemInSentences()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString good = dir.filePath(QStringLiteral("good.stl"));
        const QString cut = dir.filePath(QStringLiteral("cut.stl"));
        QVERIFY(writeFile(good, binaryStl(box(0, 0, 0, 2, 2, 2))));
        QVERIFY(writeFile(cut, binaryStl(box(0, 0, 0, 2, 2, 2)).left(100)));
        Mesh mesh;
        std::string error;
        QVERIFY2(readStlFile(good.toStdString(), mesh, error), error.c_str());
        QCOMPARE(mesh.triangleCount(), std::size_t(12));

        QVERIFY(!readStlFile(cut.toStdString(), mesh, error));
        QCOMPARE(QString::fromStdString(error),
            QStringLiteral("The STL file is neither binary STL (its size of 100 bytes does not "
                           "match the triangle count in its header) nor ASCII STL (%1).")
                .arg(cut));

        // Large binary files are decoded while read, in batches: same corners, same sentences.
        std::vector<Triangle> many;
        for (int i = 0; i < 5000; ++i)
            many.push_back({ float(i), 0.5f, 1, 2, float(-i), 3, 4, 5, 6.25f });
        QByteArray bytes = binaryStl(many);
        const QString big = dir.filePath(QStringLiteral("big.stl"));
        QVERIFY(writeFile(big, bytes));
        Mesh parsed;
        QVERIFY(readStlFile(big.toStdString(), mesh, error));
        QVERIFY(parse(bytes, parsed, error));
        QCOMPARE(mesh.xyz, parsed.xyz);
        QCOMPARE(mesh.xyz[4500 * 9], 4500.f);
        qToLittleEndian<float>(
            std::numeric_limits<float>::quiet_NaN(), bytes.data() + 84 + 50 * 4500 + 12 + 16);
        QVERIFY(writeFile(big, bytes));
        QVERIFY(!readStlFile(big.toStdString(), mesh, error));
        QCOMPARE(QString::fromStdString(error),
            QStringLiteral(
                "The STL file has a coordinate that is not a finite number (triangle 4501) (%1).")
                .arg(big));
        QVERIFY(mesh.xyz.empty());

        const QString missing = dir.filePath(QStringLiteral("missing.stl"));
        QVERIFY(!readStlFile(missing.toStdString(), mesh, error));
        QCOMPARE(QString::fromStdString(error),
            QStringLiteral("Cannot open the STL file %1: No such file or directory.").arg(missing));

        QVERIFY(!readStlFile(dir.path().toStdString(), mesh, error));
        QCOMPARE(QString::fromStdString(error),
            QStringLiteral("The STL path %1 is not a regular file.").arg(dir.path()));

        // A named pipe without a writer is refused at once rather than waited on.
        const QString pipe = dir.filePath(QStringLiteral("pipe.stl"));
        QCOMPARE(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        QVERIFY(!readStlFile(pipe.toStdString(), mesh, error));
        QCOMPARE(QString::fromStdString(error),
            QStringLiteral("The STL path %1 is not a regular file.").arg(pipe));
    }
};

QTEST_GUILESS_MAIN(TestStl)
#include "tst_stl.moc"
