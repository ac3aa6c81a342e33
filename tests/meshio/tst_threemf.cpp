// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "threemf.h"
#include "../shared/zipbuilder.h"

#include <QTest>

// 3MF packages a few kilobytes long that would unfold into gigabytes: each is refused with one
// sentence before the memory is spent.
class TestThreeMf : public QObject {
    Q_OBJECT

private:
    static QByteArray model(const QByteArray& resources, const QByteArray& build)
    {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<model unit=\"millimeter\" "
               "xmlns=\"http://schemas.microsoft.com/3dmanufacturing/core/2015/02\"><resources>"
            + resources + "</resources><build>" + build + "</build></model>";
    }

    // Object 1, a tetrahedron.
    static QByteArray tetrahedron()
    {
        return "<object id=\"1\" type=\"model\"><mesh><vertices>"
               "<vertex x=\"0\" y=\"0\" z=\"0\"/><vertex x=\"1\" y=\"0\" z=\"0\"/>"
               "<vertex x=\"0\" y=\"2\" z=\"0\"/><vertex x=\"0\" y=\"0\" z=\"3\"/>"
               "</vertices><triangles>"
               "<triangle v1=\"0\" v2=\"2\" v3=\"1\"/><triangle v1=\"0\" v2=\"1\" v3=\"3\"/>"
               "<triangle v1=\"0\" v2=\"3\" v3=\"2\"/><triangle v1=\"1\" v2=\"2\" v3=\"3\"/>"
               "</triangles></mesh></object>";
    }

    // Object `id` made of `count` components, each a placement of object `of`.
    static QByteArray assembly(int id, int of, int count)
    {
        const QByteArray component = "<component objectid=\"" + QByteArray::number(of) + "\"/>";
        return "<object id=\"" + QByteArray::number(id) + "\"><components>"
            + component.repeated(count) + "</components></object>";
    }

    static QByteArray package(const QVector<ZipPiece>& modelPieces)
    {
        ZipBuilder zip;
        zip.add(QStringLiteral("[Content_Types].xml"), { { "<?xml version=\"1.0\"?><Types/>" } });
        zip.add(QStringLiteral("3D/3dmodel.model"), modelPieces);
        return zip.finish();
    }

    static bool parse(const QByteArray& archive, Mesh& mesh, std::string& error)
    {
        return parse3mf(reinterpret_cast<const unsigned char*>(archive.constData()),
            std::size_t(archive.size()), mesh, error);
    }

private slots:
    void readsTheBuild()
    {
        Mesh mesh;
        std::string error;
        QVERIFY2(parse(package({ { model(tetrahedron() + assembly(2, 1, 3),
                           "<item objectid=\"2\" transform=\"1 0 0 0 1 0 0 0 1 0 0 5\"/>") } }),
                     mesh, error),
            error.c_str());
        QCOMPARE(mesh.triangleCount(), std::size_t(12));
        QCOMPARE(mesh.xyz.at(2), 5.f); // the item's move reaches every component
    }

    // Model text as writers lay it out: the reader sees tags and attributes, whatever surrounds
    // them and however the inflated text is cut into pieces.
    void readsWhatWritersWrite_data()
    {
        QTest::addColumn<QByteArray>("archive");
        QTest::addColumn<int>("triangles");

        const QByteArray plain = model(tetrahedron(), "<item objectid=\"1\"/>");
        QTest::newRow("plain") << package({ { plain } }) << 4;
        QByteArray dressed = plain;
        dressed.replace("<resources>", "<resources>\n  <!-- made <by> hand -->\n  <?tool x?>");
        dressed.replace("<vertices>", "<vertices><![CDATA[ <vertex/> ]]>");
        dressed.replace("<item objectid=\"1\"/>",
            "<item objectid = '&#49;' transform=\" 1 0 0 0 1 0 0 0 1 +0 0 0 \"></item>");
        dressed.replace("<triangle v1=\"0\"", "<triangle\n v1=\" 0 \"");
        QTest::newRow("comments, instructions, CDATA, quotes, references")
            << package({ { dressed } }) << 4;
        QByteArray prefixed = plain;
        prefixed.replace("<model ", "<m:model xmlns:m=\"urn:x\" ");
        prefixed.replace("</model>", "</m:model>");
        QTest::newRow("prefixed names") << package({ { prefixed } }) << 4;
        // Some 400 KB of triangles: tags cut by the ends of the pieces the text inflates in.
        const int at = plain.indexOf("</triangles>");
        QTest::newRow("across pieces") << package({ { plain.left(at) },
            { "<triangle v1=\"1\" v2=\"2\" v3=\"3\"/>", 12'345 }, { plain.mid(at) } })
                                       << 4 + 12'345;
    }

    void readsWhatWritersWrite()
    {
        QFETCH(QByteArray, archive);
        QFETCH(int, triangles);
        Mesh mesh;
        std::string error;
        QVERIFY2(parse(archive, mesh, error), error.c_str());
        QCOMPARE(mesh.triangleCount(), std::size_t(triangles));
        QCOMPARE(mesh.xyz.at(mesh.xyz.size() - 3), 0.f); // vertex 3 of the last: (0, 0, 3)
        QCOMPARE(mesh.xyz.back(), 3.f);
    }

    void refusesBrokenText_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("sentence");
        const QByteArray plain = model(tetrahedron(), "<item objectid=\"1\"/>");
        QTest::newRow("end tag of another element")
            << QByteArray(plain).replace("</vertices>", "\n</vertex>")
            << QStringLiteral("The 3MF model part is not a complete 3MF model (line 3).");
        QTest::newRow("document type")
            << QByteArray(plain).replace("<model", "<!DOCTYPE model>\n<model")
            << QStringLiteral("The 3MF model part is not a complete 3MF model (line 2).");
        QTest::newRow("cut short") << plain.left(plain.size() - 20)
                                   << QStringLiteral("The 3MF model part is not a complete 3MF "
                                                     "model (line 2).");
        QTest::newRow("unknown reference")
            << QByteArray(plain).replace("v1=\"0\"", "v1=\"&zero;\"")
            << QStringLiteral("The 3MF model has a triangle without its three vertex numbers "
                              "(line 2).");
    }

    void refusesBrokenText()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, sentence);
        Mesh mesh;
        std::string error;
        QVERIFY(!parse(package({ { text } }), mesh, error));
        QCOMPARE(QString::fromStdString(error), sentence);
    }

    void refusesWhatUnfoldsBeyondReason_data()
    {
        QTest::addColumn<QByteArray>("archive");
        QTest::addColumn<QString>("sentence");

        // Megabytes of text around a tiny model, from archives of a few kilobytes: many comments
        // between the elements, one long comment, one long attribute value.
        const QByteArray head = model(tetrahedron(), "<item objectid=\"1\"/>");
        const int split = head.indexOf("<object");
        const QString tooMuchText = QStringLiteral("The 3MF file is too large: its model inflates "
                                                   "to far more text than its triangles need.");
        QTest::newRow("comments") << package({ { head.left(split) },
            { "\n  <!-- nothing to see -->", 1'000'000 }, { head.mid(split) } })
                                  << tooMuchText;
        const quint64 filler = quint64(8) << 20;
        QTest::newRow("one comment") << package(
            { { head.left(split) + "<!--" }, { "x", filler }, { "-->" + head.mid(split) } })
                                     << tooMuchText;
        const int name = head.indexOf("type=\"model\"") + 6;
        QTest::newRow("attribute")
            << package({ { head.left(name) }, { "m", filler }, { head.mid(name) } }) << tooMuchText;

        // 300 assemblies of 300 tetrahedra: 90 000 placements from a few kilobytes.
        QTest::newRow("90 000 placements")
            << package({ { model(tetrahedron() + assembly(2, 1, 300) + assembly(3, 2, 300),
                   "<item objectid=\"3\"/>") } })
            << QStringLiteral("The 3MF model places its objects more than 10000 times.");

        // 5000 placements of 10 001 triangles: counted before a single one is made.
        const QByteArray vertices = "<vertex x=\"0\" y=\"0\" z=\"0\"/><vertex x=\"1\" y=\"0\" "
                                    "z=\"0\"/><vertex x=\"0\" y=\"1\" z=\"0\"/>";
        const QByteArray many = model("@", "<item objectid=\"2\"/>");
        const int at = many.indexOf('@');
        QTest::newRow("triangles beyond the limit once placed")
            << package({ { many.left(at) + "<object id=\"1\"><mesh><vertices>" + vertices
                             + "</vertices><triangles>" },
                   { "<triangle v1=\"0\" v2=\"1\" v3=\"2\"/>", 10'001 },
                   { "</triangles></mesh></object>" + assembly(2, 1, 5000) + many.mid(at + 1) } })
            << QStringLiteral("The 3MF build holds 50005000 triangles once every object is "
                              "placed, more than the 50000000 the agent slices.");
    }

    void refusesWhatUnfoldsBeyondReason()
    {
        QFETCH(QByteArray, archive);
        QFETCH(QString, sentence);
        QVERIFY(archive.size() < 100'000);
        Mesh mesh;
        std::string error;
        QVERIFY(!parse(archive, mesh, error));
        QCOMPARE(QString::fromStdString(error), sentence);
        QVERIFY(mesh.xyz.empty());
    }
};

QTEST_GUILESS_MAIN(TestThreeMf)
#include "tst_threemf.moc"
