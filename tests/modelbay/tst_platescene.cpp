// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "facetlab.h"
#include "meshdata.h"
#include "platemodel.h"
#include "platescene.h"
#include "stl.h"
#include "stlbuilder.h"
#include "supportoptions.h"

#include <Qt3DCore/QTransform>
#include <Qt3DRender/QAttribute>
#include <Qt3DRender/QBuffer>
#include <Qt3DRender/QGeometry>
#include <Qt3DRender/QGeometryRenderer>
#include <Qt3DRender/QObjectPicker>
#include <Qt3DRender/QPickEvent>

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <algorithm>

// The scene's entities, built from the plate model without a render engine: they follow the
// model's rows, share its mesh bytes, and export to the STL the slicer reads.
class TestPlateScene : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QStringList m_files;
    int m_exports = 0;

    static Qt3DRender::QGeometryRenderer* rendererOf(Qt3DCore::QEntity* entity)
    {
        const auto renderers = entity ? entity->componentsOfType<Qt3DRender::QGeometryRenderer>()
                                      : QVector<Qt3DRender::QGeometryRenderer*>();
        return renderers.isEmpty() ? nullptr : renderers.first();
    }

    static Qt3DCore::QTransform* transformOf(Qt3DCore::QEntity* entity)
    {
        const auto transforms = entity->componentsOfType<Qt3DCore::QTransform>();
        return transforms.isEmpty() ? nullptr : transforms.first();
    }

    static bool open(PlateModel& model, const QStringList& files)
    {
        QSignalSpy opened(&model, &PlateModel::filesOpened);
        model.openFiles(files);
        return (!opened.isEmpty() || opened.wait(10000))
            && opened.first().first().toStringList().isEmpty();
    }

    // Waits until the model has built the supports it was asked for.
    static bool built(PlateModel& model)
    {
        QSignalSpy busy(&model, &PlateModel::supportsBusyChanged);
        while (model.supportsBusy()) {
            if (!busy.wait(30000))
                return false;
        }
        return true;
    }

    // Exports the entities as the slicer gets them; the box around every vertex of the file.
    bool exported(const QVariant& entities, int& triangles, Bounds& bounds)
    {
        const QString name = QStringLiteral("export%1").arg(m_exports++);
        if (!Facetlab().exportStl(QUrl::fromLocalFile(m_dir.path()), name, entities))
            return false;
        Mesh mesh;
        std::string error;
        QFile file(m_dir.filePath(name + QStringLiteral(".stl")));
        if (!file.open(QIODevice::ReadOnly))
            return false;
        const QByteArray bytes = file.readAll();
        if (!parseStl(reinterpret_cast<const unsigned char*>(bytes.constData()),
                std::size_t(bytes.size()), mesh, error))
            return false;
        triangles = int(mesh.triangleCount());
        bounds.min = QVector3D(1e9f, 1e9f, 1e9f);
        bounds.max = -bounds.min;
        for (std::size_t i = 0; i < mesh.xyz.size(); i += 3) {
            const QVector3D p(mesh.xyz[i], mesh.xyz[i + 1], mesh.xyz[i + 2]);
            for (int axis = 0; axis < 3; ++axis) {
                bounds.min[axis] = std::min(bounds.min[axis], p[axis]);
                bounds.max[axis] = std::max(bounds.max[axis], p[axis]);
            }
        }
        return true;
    }

    static bool near(const QVector3D& a, const QVector3D& b) { return (a - b).length() < 1e-3f; }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        for (const QVector3D& high : { QVector3D(20, 10, 5), QVector3D(6, 6, 12) }) {
            const QString path = m_dir.filePath(QStringLiteral("box%1.stl").arg(m_files.size()));
            QVERIFY(StlBuilder().box({ 0, 0, 0 }, high).write(path));
            m_files.append(path);
        }
    }

    void entitiesFollowTheRows()
    {
        PlateModel model;
        PlateScene scene;
        scene.setModel(&model);
        QVERIFY(open(model, m_files));
        QCOMPARE(scene.childNodes().size(), 2);

        for (int row = 0; row < 2; ++row) {
            Qt3DCore::QEntity* entity = scene.entityAt(row);
            Qt3DRender::QGeometryRenderer* renderer = rendererOf(entity);
            QVERIFY(renderer && renderer->geometry());
            const Qt3DRender::QAttribute* position = nullptr;
            for (Qt3DRender::QAttribute* attribute : renderer->geometry()->attributes()) {
                if (attribute->name() == Qt3DRender::QAttribute::defaultPositionAttributeName())
                    position = attribute;
            }
            QVERIFY(position);
            QCOMPARE(int(position->count()), 36);
            // The very bytes the model holds, not a copy of them.
            QCOMPARE(
                position->buffer()->data().constData(), model.meshAt(row)->vertices.constData());
            QCOMPARE(transformOf(entity)->matrix(), model.matrixAt(row));
        }

        model.setTranslation(1, { 30, 0, 6 });
        QCOMPARE(transformOf(scene.entityAt(1))->matrix(), model.matrixAt(1));

        Qt3DCore::QEntity* second = scene.entityAt(1);
        model.remove(0);
        QCOMPARE(scene.entityAt(0), second);
        QCOMPARE(scene.entityAt(1), nullptr);
        model.undo();
        QCOMPARE(scene.entityAt(1), second);
        QVERIFY(scene.entityAt(0) != nullptr);
    }

    void exportsThePlacedObjects()
    {
        PlateModel model;
        PlateScene scene;
        scene.setModel(&model);
        QVERIFY(open(model, m_files));
        model.setRotation(1, { 90, 0, 30 });
        model.dropToPlate(1);

        int triangles = 0;
        Bounds bounds;
        QVERIFY(exported(scene.exportEntities(), triangles, bounds));
        QCOMPARE(triangles, 24);
        const Bounds first = model.boundsAt(0);
        const Bounds second = model.boundsAt(1);
        QVERIFY(near(bounds.min,
            QVector3D(std::min(first.min.x(), second.min.x()),
                std::min(first.min.y(), second.min.y()), 0)));

        // One object alone, for slicing each with its own profile.
        QVERIFY(exported(scene.exportEntity(1), triangles, bounds));
        QCOMPARE(triangles, 12);
        QVERIFY(near(bounds.min, second.min));
        QVERIFY(near(bounds.max, second.max));
    }

    // Supports are scene geometry like the objects: the scene draws what the model built, the
    // slicer gets them through the export, and the object stands lifted on them; with supports
    // off the object is exported as it stands.
    void exportsTheSupportsWithTheLiftedObject()
    {
        PlateModel model;
        PlateScene scene;
        SupportOptions& options = *model.supportOptions();
        scene.setModel(&model);
        QVERIFY(open(model, { m_files.first() }));
        const Bounds box = model.boundsAt(0);
        const QVector3D middle = (box.min + box.max) / 2;
        model.addSupportPoint(0, { middle.x(), middle.y(), 0 });
        model.addSupportPoint(0, { box.min.x() + 1, box.min.y() + 1, 0 });
        QCOMPARE(scene.supportsEntityAt(0), nullptr); // off: points kept, nothing built

        options.setAutomatic(true);
        QVERIFY(built(model));
        QVERIFY(scene.supportsEntityAt(0) != nullptr);
        QCOMPARE(model.liftAt(0), options.lift());
        QVERIFY(qFuzzyCompare(transformOf(scene.entityAt(0))->matrix()(2, 3),
            model.matrixAt(0)(2, 3) + float(options.lift())));

        int triangles = 0;
        Bounds bounds;
        QVERIFY(exported(scene.exportEntities(), triangles, bounds));
        QVERIFY(triangles > 12);
        // The pad lies on the plate, the box on its supports.
        QVERIFY(qAbs(bounds.min.z()) < 1e-3f);
        QVERIFY(qAbs(bounds.max.z() - (box.max.z() + float(options.lift()))) < 1e-3f);
        QCOMPARE(scene.exportEntity(0).value<QVector<Qt3DCore::QEntity*>>().size(), 2);

        // A press on a support, at any height, names the point it stands under.
        QSignalSpy supportPressed(&scene, &PlateScene::supportPressed);
        const auto pickers
            = scene.supportsEntityAt(0)->componentsOfType<Qt3DRender::QObjectPicker>();
        QCOMPARE(pickers.size(), 1);
        Qt3DRender::QPickEvent onShaft(
            QPointF(), QVector3D(middle.x() + 0.3f, middle.y(), 2.5f), QVector3D(), 10);
        emit pickers.first()->pressed(&onShaft);
        QCOMPARE(supportPressed.size(), 1);
        QCOMPARE(supportPressed.first().at(0).toInt(), 0);
        QCOMPARE(supportPressed.first().at(1).toInt(), 0);
        Qt3DRender::QPickEvent onPad(
            QPointF(), QVector3D(box.max.x() + 5, box.max.y() + 5, 0.5f), QVector3D(), 10);
        emit pickers.first()->pressed(&onPad);
        QCOMPARE(supportPressed.size(), 1);

        // Moved, the object takes its supports along, drawn by the same entity.
        Qt3DCore::QEntity* drawn = scene.supportsEntityAt(0);
        model.moveBy(0, 10, -4, false);
        QCOMPARE(scene.supportsEntityAt(0), drawn);
        Bounds moved;
        QVERIFY(exported(scene.exportEntities(), triangles, moved));
        QVERIFY(near(moved.min, bounds.min + QVector3D(10, -4, 0)));
        QVERIFY(near(moved.max, bounds.max + QVector3D(10, -4, 0)));
        model.undo(); // the move

        // Built again, they are drawn again; undoing the points takes them away.
        options.setLift(8);
        QVERIFY(built(model));
        QVERIFY(scene.supportsEntityAt(0) != drawn);
        QVERIFY(qFuzzyCompare(
            transformOf(scene.entityAt(0))->matrix()(2, 3), model.matrixAt(0)(2, 3) + 8.0f));
        model.undo();
        model.undo();
        QCOMPARE(scene.supportsEntityAt(0), nullptr);
        QCOMPARE(transformOf(scene.entityAt(0))->matrix(), model.matrixAt(0));

        model.redo();
        QVERIFY(built(model));
        QVERIFY(scene.supportsEntityAt(0) != nullptr);
        options.setAutomatic(false);
        QCOMPARE(scene.supportsEntityAt(0), nullptr);
        QVERIFY(exported(scene.exportEntities(), triangles, bounds));
        QCOMPARE(triangles, 12);
        QVERIFY(near(bounds.max, box.max));
    }
};

QTEST_MAIN(TestPlateScene)
#include "tst_platescene.moc"
