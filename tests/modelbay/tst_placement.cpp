// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "meshdata.h"
#include "placement.h"
#include "stl.h"

#include <QTest>

#include <cmath>

// A placed object's box, its matrix and the moves built on them, checked on a box mesh whose
// every corner is known.
class TestPlacement : public QObject {
    Q_OBJECT

private:
    // A box from low to high as the editor holds it (centred on the origin).
    static MeshData boxMesh(const QVector3D& low, const QVector3D& high)
    {
        Mesh mesh;
        const float x[2] = { low.x(), high.x() }, y[2] = { low.y(), high.y() },
                    z[2] = { low.z(), high.z() };
        // Three triangles are enough to touch all eight corners.
        const int corners[6][3]
            = { { 0, 0, 0 }, { 1, 1, 0 }, { 1, 0, 1 }, { 0, 1, 1 }, { 1, 1, 1 }, { 0, 0, 1 } };
        for (const auto& c : corners)
            mesh.xyz.insert(mesh.xyz.end(), { x[c[0]], y[c[1]], z[c[2]] });
        mesh.xyz.insert(mesh.xyz.end(), { x[1], y[0], z[0] });
        mesh.xyz.insert(mesh.xyz.end(), { x[0], y[1], z[0] });
        mesh.xyz.insert(mesh.xyz.end(), { x[0], y[0], z[0] });
        return meshDataFromSoup(mesh);
    }

    static bool near(const QVector3D& a, const QVector3D& b, float tolerance = 1e-4f)
    {
        return (a - b).length() <= tolerance;
    }

private slots:
    void boundsFollowEveryVertex_data()
    {
        QTest::addColumn<QVector3D>("rotation");
        QTest::addColumn<QVector3D>("scale");
        QTest::addColumn<QVector3D>("size");
        const float diagonal = std::sqrt(2.0f) * 10.0f;
        // The turned box of a 10 x 10 x 4 box: wider than the box itself only when turned.
        QTest::newRow("as read") << QVector3D() << QVector3D(1, 1, 1) << QVector3D(10, 10, 4);
        QTest::newRow("45 degrees about z")
            << QVector3D(0, 0, 45) << QVector3D(1, 1, 1) << QVector3D(diagonal, diagonal, 4);
        QTest::newRow("on its side")
            << QVector3D(90, 0, 0) << QVector3D(1, 1, 1) << QVector3D(10, 4, 10);
        QTest::newRow("scaled per axis")
            << QVector3D() << QVector3D(0.5f, 2, 3) << QVector3D(5, 20, 12);
    }

    void boundsFollowEveryVertex()
    {
        QFETCH(QVector3D, rotation);
        QFETCH(QVector3D, scale);
        QFETCH(QVector3D, size);
        const MeshData mesh = boxMesh({ 0, 0, 0 }, { 10, 10, 4 });
        Placement placement;
        placement.rotation = rotation;
        placement.scale = scale;
        placement.translation = { 3, -7, 11 };
        const Bounds bounds = placedBounds(mesh, placement);
        QVERIFY2(near(bounds.size(), size, 1e-3f),
            qPrintable(QStringLiteral("%1 %2 %3")
                           .arg(bounds.size().x())
                           .arg(bounds.size().y())
                           .arg(bounds.size().z())));
        QVERIFY(near(bounds.centre(), { 3, -7, 11 }, 1e-3f));
    }

    void outsideTheVolume_data()
    {
        QTest::addColumn<QVector3D>("min");
        QTest::addColumn<QVector3D>("max");
        QTest::addColumn<bool>("outside");
        // A plate 100 wide (x), 60 deep (y), 150 high.
        QTest::newRow("well inside") << QVector3D(-10, -10, 0) << QVector3D(10, 10, 20) << false;
        QTest::newRow("exactly to the edges")
            << QVector3D(-50, -30, 0) << QVector3D(50, 30, 150) << false;
        QTest::newRow("past the right edge")
            << QVector3D(40, -10, 0) << QVector3D(50.5f, 10, 20) << true;
        QTest::newRow("past the back") << QVector3D(0, 25, 0) << QVector3D(10, 30.5f, 20) << true;
        QTest::newRow("sunk into the plate")
            << QVector3D(-10, -10, -1) << QVector3D(10, 10, 20) << true;
        QTest::newRow("taller than the volume")
            << QVector3D(-10, -10, 0) << QVector3D(10, 10, 151) << true;
    }

    void outsideTheVolume()
    {
        QFETCH(QVector3D, min);
        QFETCH(QVector3D, max);
        QFETCH(bool, outside);
        PlateVolume volume;
        volume.width = 100;
        volume.depth = 60;
        volume.height = 150;
        QCOMPARE(isOutside({ min, max }, volume), outside);
    }

    void layFlatTurnsTheFaceDown_data()
    {
        QTest::addColumn<QVector3D>("normal");
        QTest::addColumn<QVector3D>("rotation");
        QTest::addColumn<QVector3D>("scale");
        QTest::newRow("side face") << QVector3D(1, 0, 0) << QVector3D() << QVector3D(1, 1, 1);
        QTest::newRow("top face, turned half over")
            << QVector3D(0, 0, 1) << QVector3D() << QVector3D(1, 1, 1);
        QTest::newRow("already down") << QVector3D(0, 0, -1) << QVector3D() << QVector3D(1, 1, 1);
        QTest::newRow("slanted face of a turned object")
            << QVector3D(1, 1, 1).normalized() << QVector3D(10, 20, 30) << QVector3D(1, 1, 1);
        // Stretching changes the direction a slanted face looks in.
        QTest::newRow("slanted face of a stretched object")
            << QVector3D(1, 0, 1).normalized() << QVector3D() << QVector3D(3, 1, 1);
    }

    void layFlatTurnsTheFaceDown()
    {
        QFETCH(QVector3D, normal);
        QFETCH(QVector3D, rotation);
        QFETCH(QVector3D, scale);
        Placement placement;
        placement.rotation = rotation;
        placement.scale = scale;
        placement.rotation = rotationLayingFlat(placement, normal);
        // The face's placed normal: the inverse transpose of the linear part.
        const QVector3D placedNormal
            = placementMatrix(placement).inverted().transposed().mapVector(normal);
        QVERIFY2(near(placedNormal.normalized(), { 0, 0, -1 }, 1e-4f),
            qPrintable(QStringLiteral("%1 %2 %3")
                           .arg(placedNormal.x())
                           .arg(placedNormal.y())
                           .arg(placedNormal.z())));
    }
};

QTEST_GUILESS_MAIN(TestPlacement)
#include "tst_placement.moc"
