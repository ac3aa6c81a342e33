// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "meshimport.h"
#include "stlbuilder.h"
#include "zipwriter.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <new>

// Opening model files the way the editor does: every format gives the triangles at their place
// in millimetres, and every fault one sentence naming the file.
class TestMeshImport : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString write(const QString& name, const QByteArray& bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return QString();
        return path;
    }

    // A 3MF package holding the root model part and any others, deflated as the usual writers do.
    QString write3mf(const QString& name, const QByteArray& model,
        const QVector<QPair<QString, QByteArray>>& otherParts = {})
    {
        const QString path = m_dir.filePath(name);
        std::FILE* file = std::fopen(QFile::encodeName(path).constData(), "wb");
        if (!file)
            return QString();
        ZipWriter zip(file, 0);
        std::string error;
        const QByteArray types("<?xml version=\"1.0\"?><Types/>");
        bool ok = zip.add("[Content_Types].xml",
                      reinterpret_cast<const std::uint8_t*>(types.constData()),
                      std::size_t(types.size()), false, error)
            && zip.add("3D/3dmodel.model", reinterpret_cast<const std::uint8_t*>(model.constData()),
                std::size_t(model.size()), true, error);
        for (const auto& part : otherParts) {
            ok = ok
                && zip.add(part.first.toStdString(),
                    reinterpret_cast<const std::uint8_t*>(part.second.constData()),
                    std::size_t(part.second.size()), true, error);
        }
        ok = ok && zip.finish(error);
        std::fclose(file);
        return ok ? path : QString();
    }

    // One tetrahedron (1 x 2 x 3 mm) as object 1, placed by the given build items.
    static QByteArray tetrahedronModel(
        const QString& unit, const QString& items, const QString& extraObjects = QString())
    {
        return QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<model unit=\"%1\" "
            "xmlns=\"http://schemas.microsoft.com/3dmanufacturing/core/2015/02\">"
            "<resources><object id=\"1\" type=\"model\"><mesh><vertices>"
            "<vertex x=\"0\" y=\"0\" z=\"0\"/><vertex x=\"1\" y=\"0\" z=\"0\"/>"
            "<vertex x=\"0\" y=\"2\" z=\"0\"/><vertex x=\"0\" y=\"0\" z=\"3\"/>"
            "</vertices><triangles>"
            "<triangle v1=\"0\" v2=\"2\" v3=\"1\"/><triangle v1=\"0\" v2=\"1\" v3=\"3\"/>"
            "<triangle v1=\"0\" v2=\"3\" v3=\"2\"/><triangle v1=\"1\" v2=\"2\" v3=\"3\"/>"
            "</triangles></mesh></object>%3</resources><build>%2</build></model>")
            .arg(unit, items, extraObjects)
            .toUtf8();
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void readsEveryFormat_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("triangles");
        QTest::addColumn<QVector3D>("size");

        QTest::newRow("binary STL") << write(
            QStringLiteral("box.stl"), StlBuilder().box({ 10, 20, 0 }, { 30, 25, 8 }).binary())
                                    << 12 << QVector3D(20, 5, 8);
        QTest::newRow("ASCII STL") << write(QStringLiteral("facet.STL"),
            "solid t\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 4 0 0\n"
            "vertex 0 3 1\nendloop\nendfacet\nendsolid t\n")
                                   << 1 << QVector3D(4, 3, 1);
        // A quad (two triangles) and a triangle named by negative numbers, with the corner
        // forms v/vt, v//vn and v/vt/vn; comments, normals and groups are skipped.
        QTest::newRow("OBJ") << write(QStringLiteral("quad.obj"),
            "# made by hand\nv 0 0 0\nv 10 0 0\nv 10 6 0\nv 0 6 0\nvn 0 0 1\nvt 0 0\ng top\n"
            "f 1/1 2//1 3/1/1 4\nv 0 0 2\nf -1 -5 -4\n")
                             << 3 << QVector3D(10, 6, 2);
        QTest::newRow("3MF, two build items") << write3mf(QStringLiteral("two.3mf"),
            tetrahedronModel(QStringLiteral("millimeter"),
                QStringLiteral("<item objectid=\"1\"/>"
                               "<item objectid=\"1\" "
                               "transform=\"1 0 0 0 1 0 0 0 1 10 0 0\"/>")))
                                              << 8 << QVector3D(11, 2, 3);
        // Each build item's transform turns and moves its object: a quarter turn about z takes
        // the 1 x 2 base to 2 x 1.
        QTest::newRow("3MF, turned item in centimetres") << write3mf(QStringLiteral("turned.3mf"),
            tetrahedronModel(QStringLiteral("centimeter"),
                QStringLiteral("<item objectid=\"1\" "
                               "transform=\"0 1 0 -1 0 0 0 0 1 5 5 5\"/>")))
                                                         << 4 << QVector3D(20, 10, 30);
        QTest::newRow("3MF, components") << write3mf(QStringLiteral("parts.3mf"),
            tetrahedronModel(QStringLiteral("millimeter"),
                QStringLiteral("<item objectid=\"2\" "
                               "transform=\"1 0 0 0 1 0 0 0 1 0 0 7\"/>"),
                QStringLiteral("<object id=\"2\"><components>"
                               "<component objectid=\"1\"/>"
                               "<component objectid=\"1\" "
                               "transform=\"1 0 0 0 1 0 0 0 1 0 4 0\"/>"
                               "</components></object>")))
                                         << 8 << QVector3D(1, 6, 3);
        // As slicers write multi-part projects: the root part's object is made of components
        // whose meshes live in parts of their own.
        QTest::newRow("3MF, components in another part") << write3mf(QStringLiteral("project.3mf"),
            QByteArray("<?xml version=\"1.0\"?><model unit=\"millimeter\" "
                       "xmlns:p=\"http://schemas.microsoft.com/3dmanufacturing/production/"
                       "2015/06\"><resources><object id=\"5\"><components>"
                       "<component p:path=\"/3D/Objects/part_1.model\" objectid=\"1\" "
                       "transform=\"1 0 0 0 1 0 0 0 1 0 0 2\"/></components></object>"
                       "</resources><build><item objectid=\"5\"/></build></model>"),
            { { QStringLiteral("3D/Objects/part_1.model"),
                tetrahedronModel(QStringLiteral("millimeter"), QString()) } })
                                                         << 4 << QVector3D(1, 2, 3);
    }

    void readsEveryFormat()
    {
        QFETCH(QString, path);
        QFETCH(int, triangles);
        QFETCH(QVector3D, size);
        QVERIFY(!path.isEmpty());
        const MeshImport import = importMeshFile(path);
        QVERIFY2(import.error.isEmpty(), qPrintable(import.error));
        QCOMPARE(import.mesh.triangleCount, triangles);
        QCOMPARE(import.mesh.boundsMax - import.mesh.boundsMin, size);
        // Centred on its own box, so the object turns about its middle.
        QCOMPARE(import.mesh.boundsMin + import.mesh.boundsMax, QVector3D());
    }

    void faultsGiveOneSentence_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("sentence");

        QByteArray truncatedStl = StlBuilder().box({ 0, 0, 0 }, { 1, 1, 1 }).binary();
        truncatedStl.chop(30);
        QTest::newRow("broken STL") << write(QStringLiteral("broken.stl"), truncatedStl)
                                    << QStringLiteral("Cannot open “broken.stl”: the STL file");
        QTest::newRow("empty OBJ")
            << write(QStringLiteral("empty.obj"), "# nothing here\n")
            << QStringLiteral("Cannot open “empty.obj”: the OBJ file holds no "
                              "triangles.");
        QTest::newRow("OBJ naming a missing vertex")
            << write(QStringLiteral("missing.obj"), "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 4\n")
            << QStringLiteral("Cannot open “missing.obj”: the OBJ file has a face naming vertex 4");
        const QString whole = write3mf(QStringLiteral("whole.3mf"),
            tetrahedronModel(
                QStringLiteral("millimeter"), QStringLiteral("<item objectid=\"1\"/>")));
        QFile file(whole);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray zip = file.readAll();
        QTest::newRow("truncated 3MF")
            << write(QStringLiteral("truncated.3mf"), zip.left(zip.size() / 2))
            << QStringLiteral("Cannot open “truncated.3mf”: the 3MF file is not a complete zip "
                              "archive.");
        QByteArray flipped = zip;
        // A few bytes into the deflated model part, behind its local header and name.
        const int modelData = zip.indexOf("PK\x03\x04", 4) + 30 + 16 + 8;
        flipped[modelData] = char(flipped.at(modelData) ^ 0x55);
        QTest::newRow("3MF with damaged data")
            << write(QStringLiteral("damaged.3mf"), flipped)
            << QStringLiteral("Cannot open “damaged.3mf”: the 3MF file's model part is damaged");
        QTest::newRow("3MF placing a missing object")
            << write3mf(QStringLiteral("ghost.3mf"),
                   tetrahedronModel(
                       QStringLiteral("millimeter"), QStringLiteral("<item objectid=\"9\"/>")))
            << QStringLiteral("Cannot open “ghost.3mf”: the 3MF model places object “9”, which "
                              "it does not define.");
        QTest::newRow("3MF with components that contain themselves")
            << write3mf(QStringLiteral("loop.3mf"),
                   tetrahedronModel(QStringLiteral("millimeter"),
                       QStringLiteral("<item objectid=\"2\"/>"),
                       QStringLiteral("<object id=\"2\"><components><component objectid=\"2\"/>"
                                      "</components></object>")))
            << QStringLiteral("Cannot open “loop.3mf”: the 3MF model nests its components too "
                              "deeply.");
        // Ten components of the next object, twelve levels deep: 10^12 placements of nothing.
        QString levels;
        for (int level = 2; level < 14; ++level) {
            levels += QStringLiteral("<object id=\"%1\"><components>").arg(level);
            for (int i = 0; i < 10; ++i)
                levels += QStringLiteral("<component objectid=\"%1\"/>").arg(level + 1);
            levels += QStringLiteral("</components></object>");
        }
        levels += QStringLiteral("<object id=\"14\"><mesh><vertices/><triangles/></mesh></object>");
        QTest::newRow("3MF placing objects without end")
            << write3mf(QStringLiteral("fanout.3mf"),
                   tetrahedronModel(QStringLiteral("millimeter"),
                       QStringLiteral("<item objectid=\"2\"/>"), levels))
            << QStringLiteral("Cannot open “fanout.3mf”: the 3MF model places its objects more "
                              "than 10000 times.");
        QTest::newRow("text named .stl")
            << write(QStringLiteral("notes.stl"), "Print this one in grey, please.\n")
            << QStringLiteral("Cannot open “notes.stl”: the file is text, not an STL file.");
        QTest::newRow("no such file") << m_dir.filePath(QStringLiteral("gone.stl"))
                                      << QStringLiteral("Cannot open “gone.stl”: there is no "
                                                        "such file.");
    }

    void faultsGiveOneSentence()
    {
        QFETCH(QString, path);
        QFETCH(QString, sentence);
        const MeshImport import = importMeshFile(path);
        QVERIFY2(import.error.startsWith(sentence), qPrintable(import.error));
        QVERIFY(import.error.endsWith(QLatin1Char('.')));
        QCOMPARE(import.mesh.triangleCount, 0);
        QVERIFY(import.mesh.vertices.isEmpty());
    }

    // Whatever runs out of memory while a file is read, the window stays and names the file.
    void runningOutOfMemoryNamesTheFile()
    {
        const MeshImport import = guardedImport(
            QStringLiteral("/models/big.3mf"), []() -> MeshImport { throw std::bad_alloc(); });
        QCOMPARE(import.error,
            QStringLiteral("Cannot open “big.3mf”: the file is too large to open with the memory "
                           "available."));
        QCOMPARE(import.mesh.triangleCount, 0);
    }
};

QTEST_GUILESS_MAIN(TestMeshImport)
#include "tst_meshimport.moc"
