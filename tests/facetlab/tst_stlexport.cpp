// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "facetlab.h"

#include "meshscene.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJSEngine>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <Qt3DCore/QEntity>
#include <Qt3DCore/QTransform>
#include <Qt3DExtras/QCuboidMesh>
#include <Qt3DRender/QGeometryFactory>
#include <Qt3DRender/QMesh>

#include <functional>

using namespace MeshScene;
using Qt3DCore::QEntity;

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("(unreadable)");
    return file.readAll();
}

QVariant entityList(const QVector<QEntity*>& entities) { return QVariant::fromValue(entities); }

Qt3DCore::QTransform* addTransform(QEntity* entity)
{
    auto* transform = new Qt3DCore::QTransform(entity);
    entity->addComponent(transform);
    return transform;
}

// An entity with a mesh of vertices and indices and, when wanted, one
// transform of its own.
QEntity* meshEntity(QEntity* parent, const QVector<QVector3D>& vertices,
    const QVector<quint32>& indices, Qt3DCore::QTransform** transform = nullptr)
{
    auto* entity = new QEntity(parent);
    entity->addComponent(makeRenderer(entity, vertices, indices));
    if (transform)
        *transform = addTransform(entity);
    return entity;
}

const QVector<QVector3D> square = { { 0, 0, 0 }, { 1, 0, 0 }, { 0, 1, 0 }, { 1, 1, 0 } };
const QVector<quint32> squareIndices = { 0, 1, 2, 2, 1, 3 };

class CountingFactory : public Qt3DRender::QGeometryFactory {
public:
    QT3D_FUNCTOR(CountingFactory)
    QVector<QPointer<Qt3DRender::QGeometry>>* built;
    explicit CountingFactory(QVector<QPointer<Qt3DRender::QGeometry>>* built)
        : built(built)
    {
    }
    Qt3DRender::QGeometry* operator()() override
    {
        built->append(makeGeometry(square, squareIndices));
        return built->last();
    }
    bool equals(const Qt3DRender::QGeometryFactory&) const override { return false; }
};

}

class TestStlExport : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QUrl folder() const { return QUrl::fromLocalFile(dir.path()); }
    QString path(const QString& name) const { return dir.filePath(name); }

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void init()
    {
        QDir files(dir.path());
        for (const QString& name : files.entryList(QDir::Files | QDir::System))
            QVERIFY(files.remove(name));
    }

    void naming_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("file");
        QTest::newRow("ending added") << QStringLiteral("part") << QStringLiteral("part.stl");
        QTest::newRow("ending kept") << QStringLiteral("part.stl") << QStringLiteral("part.stl");
        QTest::newRow("upper-case ending kept")
            << QStringLiteral("PART.STL") << QStringLiteral("PART.STL");
        QTest::newRow("mixed-case ending kept")
            << QStringLiteral("Part.Stl") << QStringLiteral("Part.Stl");
        QTest::newRow("inner ending is no ending")
            << QStringLiteral("part.stl.bak") << QStringLiteral("part.stl.bak.stl");
        QTest::newRow("ending without a dot")
            << QStringLiteral("partstl") << QStringLiteral("partstl.stl");
    }

    void naming()
    {
        QFETCH(QString, name);
        QFETCH(QString, file);
        Facetlab facetlab;
        QVERIFY(facetlab.exportStl(folder(), name, entityList({})));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList { file });
        QCOMPARE(readAll(path(file)), fileStart(0));
    }

    void folderWithTrailingSlash()
    {
        Facetlab facetlab;
        QVERIFY(facetlab.exportStl(QUrl::fromLocalFile(dir.path() + QLatin1Char('/')),
            QStringLiteral("slash"), entityList({})));
        QCOMPARE(readAll(path(QStringLiteral("slash.stl"))), fileStart(0));
    }

    void emptyScene_data()
    {
        QTest::addColumn<QVariant>("v");
        QTest::newRow("empty entity list") << entityList({});
        QTest::newRow("not an entity list") << QVariant(42);
        QTest::newRow("nothing") << QVariant();
    }

    void emptyScene()
    {
        QFETCH(QVariant, v);
        Facetlab facetlab;
        QSignalSpy inProgress(&facetlab, &Facetlab::stlExportInProgressChanged);
        QSignalSpy progress(&facetlab, &Facetlab::progressbarValChanged);
        QVERIFY(facetlab.exportStl(folder(), QStringLiteral("empty"), v));
        QCOMPARE(inProgress.count(), 2);
        QCOMPARE(inProgress[0][0].toBool(), true);
        QCOMPARE(inProgress[1][0].toBool(), false);
        QCOMPARE(progress.count(), 0);
        QCOMPARE(readAll(path(QStringLiteral("empty.stl"))), fileStart(0));
    }

    // QML passes its entity arrays as script values or variant lists.
    void scriptArrays_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("JavaScript array") << QStringLiteral("script");
        QTest::newRow("variant list") << QStringLiteral("variants");
    }

    void scriptArrays()
    {
        QFETCH(QString, kind);
        QEntity root;
        Qt3DCore::QTransform* transform = nullptr;
        QEntity* entity = meshEntity(&root, square, squareIndices, &transform);
        transform->setTranslation(QVector3D(3, 4, 5));
        // Parented, so that the script engine leaves it alone.
        auto* notAnEntity = new QObject(&root);

        QJSEngine engine;
        QVariant v;
        if (kind == QLatin1String("script")) {
            QJSValue array = engine.newArray(3);
            array.setProperty(0, engine.newQObject(entity));
            array.setProperty(1, engine.newQObject(notAnEntity));
            array.setProperty(2, engine.newQObject(entity));
            v = QVariant::fromValue(array);
        } else {
            v = QVariantList { QVariant::fromValue<QObject*>(entity),
                QVariant::fromValue<QObject*>(notAnEntity), QVariant(7),
                QVariant::fromValue<QObject*>(entity) };
        }
        Facetlab facetlab;
        QVERIFY(facetlab.exportStl(folder(), QStringLiteral("script"), v));
        const QByteArray once = records(triangles(square, squareIndices), { transform->matrix() });
        QCOMPARE(readAll(path(QStringLiteral("script.stl"))), fileStart(4) + once + once);
    }

    void overwriteLongerFile()
    {
        QFile old(path(QStringLiteral("over.stl")));
        QVERIFY(old.open(QIODevice::WriteOnly));
        QCOMPARE(old.write(QByteArray(10000, 'x')), qint64(10000));
        old.close();

        QEntity root;
        Qt3DCore::QTransform* transform = nullptr;
        QEntity* entity = meshEntity(&root, square, squareIndices, &transform);
        Facetlab facetlab;
        QVERIFY(facetlab.exportStl(folder(), QStringLiteral("over"), entityList({ entity })));
        QCOMPARE(readAll(old.fileName()),
            fileStart(2) + records(triangles(square, squareIndices), { QMatrix4x4() }));
    }

    // root (R) -> parent (P1, P2, a mesh) -> child (E1, E2, a mesh): the child
    // is moved by E2 only, then by every transform of its ancestors.
    void transformChain()
    {
        QEntity root;
        Qt3DCore::QTransform* r = addTransform(&root);
        r->setTranslation(QVector3D(10.0f, -3.5f, 0.25f));
        r->setRotationY(17.0f);

        Qt3DCore::QTransform* p2 = nullptr;
        QEntity* parent = meshEntity(&root, square, squareIndices);
        Qt3DCore::QTransform* p1 = addTransform(parent);
        p1->setScale(2.5f);
        p2 = addTransform(parent);
        p2->setRotationX(-41.0f);
        p2->setTranslation(QVector3D(0, 1.25f, 0));

        const QVector<QVector3D> tetra
            = { { 0.1f, 0.2f, 0.3f }, { 1.7f, 0, 0 }, { 0, 1.3f, 0.05f }, { 0, 0, 2.9f } };
        const QVector<quint32> tetraIndices = { 0, 2, 1, 0, 1, 3, 0, 3, 2, 1, 2, 3 };
        QEntity* child = meshEntity(parent, tetra, tetraIndices);
        Qt3DCore::QTransform* e1 = addTransform(child);
        e1->setTranslation(QVector3D(100, 100, 100));
        Qt3DCore::QTransform* e2 = addTransform(child);
        e2->setScale3D(QVector3D(-1.0f, 1.0f, 1.0f)); // a mirror
        e2->setRotationZ(12.5f);

        Facetlab facetlab;
        QVERIFY(
            facetlab.exportStl(folder(), QStringLiteral("chain"), entityList({ child, parent })));
        const QByteArray childRecords = records(triangles(tetra, tetraIndices),
            { e2->matrix(), p1->matrix(), p2->matrix(), r->matrix() });
        const QByteArray parentRecords
            = records(triangles(square, squareIndices), { p2->matrix(), r->matrix() });
        QCOMPARE(readAll(path(QStringLiteral("chain.stl"))),
            fileStart(6) + childRecords + parentRecords);
    }

    void collection_data()
    {
        QTest::addColumn<QString>("scene");
        QTest::addColumn<int>(
            "expectedMeshes"); // 0: none, 1: a, 2: a then b, 3: b then a, 4: a twice
        QTest::newRow("in list order") << QStringLiteral("b a") << 3;
        QTest::newRow("listed twice, written twice") << QStringLiteral("a a") << 4;
        QTest::newRow("no transform: skipped") << QStringLiteral("untransformed") << 0;
        QTest::newRow("lines: skipped") << QStringLiteral("lines") << 0;
        QTest::newRow("triangle strip: skipped") << QStringLiteral("strip") << 0;
        QTest::newRow("last triangle renderer wins") << QStringLiteral("a then b") << 5;
        QTest::newRow("a later line renderer is passed over")
            << QStringLiteral("a then lines") << 1;
        QTest::newRow("null entity skipped") << QStringLiteral("null a") << 1;
    }

    void collection()
    {
        QFETCH(QString, scene);
        QFETCH(int, expectedMeshes);
        const QVector<QVector3D> other = { { 5, 5, 5 }, { 6, 5, 5 }, { 5, 5, 6 } };
        QEntity root;
        QEntity* a = meshEntity(&root, square, squareIndices);
        addTransform(a)->setTranslation(QVector3D(1, 2, 3));
        QEntity* b = meshEntity(&root, other, { 0, 1, 2 });
        addTransform(b);

        QVector<QEntity*> list;
        if (scene == QLatin1String("b a")) {
            list = { b, a };
        } else if (scene == QLatin1String("a a")) {
            list = { a, a };
        } else if (scene == QLatin1String("untransformed")) {
            list = { meshEntity(&root, square, squareIndices) };
        } else if (scene == QLatin1String("lines") || scene == QLatin1String("strip")) {
            QEntity* entity = meshEntity(&root, square, squareIndices);
            addTransform(entity);
            auto* renderer = entity->componentsOfType<Qt3DRender::QGeometryRenderer>().first();
            renderer->setPrimitiveType(scene == QLatin1String("lines")
                    ? Qt3DRender::QGeometryRenderer::Lines
                    : Qt3DRender::QGeometryRenderer::TriangleStrip);
            list = { entity };
        } else if (scene == QLatin1String("a then b")) {
            auto* renderer = makeRenderer(a, other, { 0, 1, 2 });
            a->addComponent(renderer);
            list = { a };
        } else if (scene == QLatin1String("a then lines")) {
            auto* renderer = makeRenderer(a, other, { 0, 1, 2 });
            renderer->setPrimitiveType(Qt3DRender::QGeometryRenderer::Lines);
            a->addComponent(renderer);
            list = { a };
        } else if (scene == QLatin1String("null a")) {
            list = { nullptr, a };
        }

        QMatrix4x4 moved;
        moved.translate(1, 2, 3);
        const QByteArray aRecords = records(triangles(square, squareIndices), { moved });
        const QByteArray bRecords = records(triangles(other, { 0, 1, 2 }), { QMatrix4x4() });
        const QByteArray aWithB = records(triangles(other, { 0, 1, 2 }), { moved });
        const QByteArray expected[] = { QByteArray(), aRecords, aRecords + bRecords,
            bRecords + aRecords, aRecords + aRecords, aWithB };

        Facetlab facetlab;
        QVERIFY(facetlab.exportStl(folder(), QStringLiteral("scene"), entityList(list)));
        const QByteArray body = expected[expectedMeshes];
        QCOMPARE(readAll(path(QStringLiteral("scene.stl"))),
            fileStart(quint32(body.size() / 50)) + body);
    }

    void progress_data()
    {
        QTest::addColumn<QVector<int>>("meshes");
        QTest::addColumn<QVector<float>>("values");
        QTest::newRow("17856: no progress at all") << QVector<int> { 17856 } << QVector<float>();
        QTest::newRow("17857: one 100") << QVector<int> { 17857 } << QVector<float> { 100.0f };
        QTest::newRow("40000: two steps, no final 100")
            << QVector<int> { 40000 }
            << QVector<float> { float(17857 * 100.0 / 40000), float(2 * 17857 * 100.0 / 40000) };
        QTest::newRow("40000 over two meshes: the run counts")
            << QVector<int> { 10000, 30000 }
            << QVector<float> { float(17857 * 100.0 / 40000), float(2 * 17857 * 100.0 / 40000) };
    }

    void progress()
    {
        QFETCH(QVector<int>, meshes);
        QFETCH(QVector<float>, values);
        QEntity root;
        QVector<QEntity*> list;
        QByteArray body;
        for (int count : meshes) {
            QVector<QVector3D> vertices;
            QVector<quint32> indices;
            strip(count, vertices, indices);
            Qt3DCore::QTransform* transform = nullptr;
            list.append(meshEntity(&root, vertices, indices, &transform));
            transform->setTranslation(QVector3D(float(list.size()), 0, 0));
            body += records(triangles(vertices, indices), { transform->matrix() });
        }
        Facetlab facetlab;
        facetlab.setProgressbarVal(12.5f);
        QSignalSpy progress(&facetlab, &Facetlab::progressbarValChanged);
        QVector<bool> inProgressAtSteps;
        connect(&facetlab, &Facetlab::progressbarValChanged, this,
            [&] { inProgressAtSteps.append(facetlab.stlExportInProgress()); });
        QVERIFY(facetlab.exportStl(folder(), QStringLiteral("progress"), entityList(list)));

        QVector<float> actual;
        for (const QList<QVariant>& arguments : qAsConst(progress))
            actual.append(arguments[0].toFloat());
        QCOMPARE(actual, values);
        QCOMPARE(facetlab.progressbarVal(), values.isEmpty() ? 12.5f : values.last());
        QCOMPARE(inProgressAtSteps, QVector<bool>(values.size(), true));
        QCOMPARE(readAll(path(QStringLiteral("progress.stl"))),
            fileStart(quint32(body.size() / 50)) + body);
    }

    // The user interface only gets the events at the progress steps: a call
    // queued before the run, which queues itself again each time it runs,
    // runs once per step and sees that step's value.
    void eventsProcessedAtProgressSteps_data()
    {
        QTest::addColumn<QVector<int>>("meshes");
        QTest::addColumn<QVector<float>>("values");
        QTest::newRow("17856: never") << QVector<int> { 17856 } << QVector<float>();
        QTest::newRow("40000 over three meshes: twice")
            << QVector<int> { 10000, 7857, 22143 }
            << QVector<float> { float(17857 * 100.0 / 40000), float(2 * 17857 * 100.0 / 40000) };
    }

    void eventsProcessedAtProgressSteps()
    {
        QFETCH(QVector<int>, meshes);
        QFETCH(QVector<float>, values);
        QEntity root;
        QVector<QEntity*> list;
        for (int count : meshes) {
            QVector<QVector3D> vertices;
            QVector<quint32> indices;
            strip(count, vertices, indices);
            list.append(meshEntity(&root, vertices, indices, nullptr));
            addTransform(list.last());
        }
        Facetlab facetlab;
        facetlab.setProgressbarVal(12.5f);
        QVector<float> seen;
        auto context = std::make_unique<QObject>();
        std::function<void()> poll = [&] {
            seen.append(facetlab.progressbarVal());
            QMetaObject::invokeMethod(context.get(), poll, Qt::QueuedConnection);
        };
        QMetaObject::invokeMethod(context.get(), poll, Qt::QueuedConnection);
        QVERIFY(facetlab.exportStl(folder(), QStringLiteral("events"), entityList(list)));
        context.reset(); // drops the call still queued
        QCOMPARE(seen, values);
    }

    void cancel_data()
    {
        QTest::addColumn<QVector<int>>("meshes");
        QTest::addColumn<int>("cancelAtStep");
        QTest::addColumn<int>("kept"); // records on disk
        QTest::addColumn<bool>("result");
        // The step falls on run-wide triangle 17857 (index 17856); the records
        // after the mesh's first flushed one are dropped.
        QTest::newRow("first step") << QVector<int> { 40000 } << 1 << 1 << false;
        QTest::newRow("second step, a batch flushed before")
            << QVector<int> { 40000 } << 2 << 17858 << false;
        QTest::newRow("two meshes: the second is never visited")
            << QVector<int> { 20000, 20000 } << 1 << 1 << false;
        QTest::newRow("step in the second mesh keeps the whole first")
            << QVector<int> { 10000, 30000 } << 1 << 10001 << false;
        QTest::newRow("step on the very last triangle: not seen")
            << QVector<int> { 17857 } << 1 << 17857 << true;
    }

    void cancel()
    {
        QFETCH(QVector<int>, meshes);
        QFETCH(int, cancelAtStep);
        QFETCH(int, kept);
        QFETCH(bool, result);
        QEntity root;
        QVector<QEntity*> list;
        QByteArray body;
        quint32 total = 0;
        for (int count : meshes) {
            QVector<QVector3D> vertices;
            QVector<quint32> indices;
            strip(count, vertices, indices);
            list.append(meshEntity(&root, vertices, indices, nullptr));
            addTransform(list.last());
            body += records(triangles(vertices, indices), { QMatrix4x4() });
            total += quint32(count);
        }
        Facetlab facetlab;
        int steps = 0;
        // QML cancels from code that runs during a progress update.
        connect(&facetlab, &Facetlab::progressbarValChanged, this, [&] {
            if (++steps == cancelAtStep)
                facetlab.setExportCanceled(true);
        });
        QCOMPARE(facetlab.exportStl(folder(), QStringLiteral("cancel"), entityList(list)), result);
        QCOMPARE(facetlab.exportCanceled(), true);
        QCOMPARE(facetlab.stlExportInProgress(), false);
        QCOMPARE(steps, cancelAtStep);
        const QByteArray bytes = readAll(path(QStringLiteral("cancel.stl")));
        QCOMPARE(bytes, fileStart(total) + body.left(50 * kept));
        // A reader that checks the size against the count tells a canceled file.
        QCOMPARE(bytes.size() == 84 + 50 * int(total), result);
    }

    // QML may destroy an entity from code that runs during a progress
    // update. A mesh whose transforms are gone can no longer be placed in the
    // scene: the run stops there like a canceled one, and reports failure.
    void objectDeletedDuringRun_data()
    {
        QTest::addColumn<int>("deleted"); // object destroyed at the first progress update
        QTest::addColumn<int>("kept"); // records on disk
        QTest::addColumn<bool>("result");
        // The update falls on the second mesh's triangle 7857; it has flushed one record.
        QTest::newRow("the entity being written") << 0 << 10001 << false;
        QTest::newRow("a transform of its parent") << 1 << 10001 << false;
        QTest::newRow("an entity not yet written") << 2 << 30000 << false;
        QTest::newRow("an entity already written") << 3 << 40000 << true;
    }

    void objectDeletedDuringRun()
    {
        QFETCH(int, deleted);
        QFETCH(int, kept);
        QFETCH(bool, result);
        QEntity root;
        auto* parent = new QEntity(&root);
        Qt3DCore::QTransform* parentTransform = addTransform(parent);
        parentTransform->setTranslation(QVector3D(0, 0, 4));
        QVector<QEntity*> list;
        QByteArray body;
        for (int count : { 10000, 20000, 10000 }) {
            QVector<QVector3D> vertices;
            QVector<quint32> indices;
            strip(count, vertices, indices);
            const bool child = list.size() == 1;
            list.append(meshEntity(child ? parent : &root, vertices, indices, nullptr));
            Qt3DCore::QTransform* own = addTransform(list.last());
            own->setTranslation(QVector3D(float(list.size()), 0, 0));
            QVector<QMatrix4x4> chain = { own->matrix() };
            if (child)
                chain.append(parentTransform->matrix());
            body += records(triangles(vertices, indices), chain);
        }
        QObject* const objects[] = { list[1], parentTransform, list[2], list[0] };
        QPointer<QObject> victim = objects[deleted];

        Facetlab facetlab;
        connect(&facetlab, &Facetlab::progressbarValChanged, this, [&] { delete victim; });
        QCOMPARE(facetlab.exportStl(folder(), QStringLiteral("deleted"), entityList(list)), result);
        QVERIFY(!victim);
        QCOMPARE(facetlab.stlExportInProgress(), false);
        QCOMPARE(
            readAll(path(QStringLiteral("deleted.stl"))), fileStart(40000) + body.left(50 * kept));
    }

    void cancelBeforeTheRunIsCleared()
    {
        QEntity root;
        Qt3DCore::QTransform* transform = nullptr;
        QEntity* entity = meshEntity(&root, square, squareIndices, &transform);
        Facetlab facetlab;
        facetlab.setExportCanceled(true);
        QSignalSpy canceled(&facetlab, &Facetlab::exportCanceledChanged);
        QVERIFY(facetlab.exportStl(folder(), QStringLiteral("cleared"), entityList({ entity })));
        QCOMPARE(canceled.count(), 1);
        QCOMPARE(canceled[0][0].toBool(), false);
        QCOMPARE(facetlab.exportCanceled(), false);
        QCOMPARE(readAll(path(QStringLiteral("cleared.stl"))).size(), 84 + 2 * 50);
    }

    void fileCannotBeOpened_data()
    {
        QTest::addColumn<QString>("folderPath");
        QTest::addColumn<QString>("name");
        QTest::newRow("missing folder")
            << QStringLiteral("missing/deeper") << QStringLiteral("part");
        QTest::newRow("a folder of that name") << QString() << QStringLiteral("taken.stl");
    }

    void fileCannotBeOpened()
    {
        QFETCH(QString, folderPath);
        QFETCH(QString, name);
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("taken.stl")));
        QEntity root;
        Qt3DCore::QTransform* transform = nullptr;
        QEntity* entity = meshEntity(&root, square, squareIndices, &transform);
        Facetlab facetlab;
        QSignalSpy inProgress(&facetlab, &Facetlab::stlExportInProgressChanged);
        QVERIFY(!facetlab.exportStl(
            QUrl::fromLocalFile(path(folderPath)), name, entityList({ entity })));
        QCOMPARE(inProgress.count(), 0);
        QCOMPARE(facetlab.stlExportInProgress(), false);
        QVERIFY(!QFileInfo::exists(path(QStringLiteral("missing"))));
        QVERIFY(QFileInfo(path(QStringLiteral("taken.stl"))).isDir());
        QVERIFY(QDir(path(QStringLiteral("taken.stl"))).isEmpty());
        QVERIFY(QDir(dir.path()).rmdir(QStringLiteral("taken.stl")));
    }

    void diskFull()
    {
        if (!QFileInfo::exists(QStringLiteral("/dev/full")))
            QSKIP("this system has no /dev/full");
        QVERIFY(QFile::link(QStringLiteral("/dev/full"), path(QStringLiteral("full.stl"))));
        QEntity root;
        Qt3DCore::QTransform* transform = nullptr;
        QEntity* entity = meshEntity(&root, square, squareIndices, &transform);
        Facetlab facetlab;
        QVERIFY(!facetlab.exportStl(folder(), QStringLiteral("full"), entityList({ entity })));
        QCOMPARE(facetlab.stlExportInProgress(), false);
    }

    void nestedExportRefused()
    {
        QEntity root;
        QVector<QVector3D> vertices;
        QVector<quint32> indices;
        strip(20000, vertices, indices);
        Qt3DCore::QTransform* transform = nullptr;
        QEntity* entity = meshEntity(&root, vertices, indices, &transform);
        Facetlab facetlab;
        Facetlab other;
        QVector<bool> nested;
        connect(&facetlab, &Facetlab::progressbarValChanged, this, [&] {
            nested.append(
                facetlab.exportStl(folder(), QStringLiteral("nested"), entityList({ entity })));
            // Another object is free to export meanwhile.
            nested.append(
                other.exportStl(folder(), QStringLiteral("other"), entityList({ entity })));
        });
        QVERIFY(facetlab.exportStl(folder(), QStringLiteral("outer"), entityList({ entity })));
        QCOMPARE(nested, QVector<bool>({ false, true }));
        QVERIFY(!QFileInfo::exists(path(QStringLiteral("nested.stl"))));
        const QByteArray expected
            = fileStart(20000) + records(triangles(vertices, indices), { QMatrix4x4() });
        QCOMPARE(readAll(path(QStringLiteral("outer.stl"))), expected);
        QCOMPARE(readAll(path(QStringLiteral("other.stl"))), expected);
        QCOMPARE(facetlab.stlExportInProgress(), false);
    }

    // The geometry a renderer's factory builds lives as long as the run's
    // mesh object: until the next run starts, or the exporter goes.
    void factoryGeometryLifetime()
    {
        QVector<QPointer<Qt3DRender::QGeometry>> built;
        QEntity root;
        auto* entity = new QEntity(&root);
        auto* renderer = new Qt3DRender::QGeometryRenderer(entity);
        QT_WARNING_PUSH
        QT_WARNING_DISABLE_DEPRECATED
        renderer->setGeometryFactory(Qt3DRender::QGeometryFactoryPtr(new CountingFactory(&built)));
        QT_WARNING_POP
        entity->addComponent(renderer);
        addTransform(entity);

        auto facetlab = std::make_unique<Facetlab>();
        QVERIFY(facetlab->exportStl(folder(), QStringLiteral("first"), entityList({ entity })));
        QCOMPARE(built.size(), 1);
        QVERIFY(built[0]);
        QVERIFY(facetlab->exportStl(folder(), QStringLiteral("second"), entityList({ entity })));
        QCOMPARE(built.size(), 2);
        QVERIFY(!built[0]);
        QVERIFY(built[1]);
        facetlab.reset();
        QVERIFY(!built[1]);
        const QByteArray expected
            = fileStart(2) + records(triangles(square, squareIndices), { QMatrix4x4() });
        QCOMPARE(readAll(path(QStringLiteral("second.stl"))), expected);
    }

    // Built-in shapes fill their buffers lazily; the cuboid must come out as
    // twelve outward-facing triangles on the faces of the unit cube.
    void builtInCuboid()
    {
        QEntity root;
        auto* entity = new QEntity(&root);
        auto* cuboid = new Qt3DExtras::QCuboidMesh(entity);
        entity->addComponent(cuboid);
        Qt3DCore::QTransform* transform = addTransform(entity);
        transform->setTranslation(QVector3D(2, 0, 0));

        Facetlab facetlab;
        QVERIFY(facetlab.exportStl(folder(), QStringLiteral("cube"), entityList({ entity })));
        const QByteArray bytes = readAll(path(QStringLiteral("cube.stl")));
        QCOMPARE(bytes.left(84), fileStart(12));
        QCOMPARE(bytes.size(), 84 + 12 * 50);
        const auto value = [&](int offset) {
            float f;
            std::memcpy(&f, bytes.constData() + offset, 4);
            return f;
        };
        for (int t = 0; t < 12; ++t) {
            const int at = 84 + 50 * t;
            const QVector3D normal(value(at), value(at + 4), value(at + 8));
            QVector3D centre;
            for (int c = 0; c < 3; ++c) {
                const QVector3D corner(
                    value(at + 12 + 12 * c), value(at + 16 + 12 * c), value(at + 20 + 12 * c));
                QCOMPARE(qAbs(corner.x() - 2.0f), 0.5f);
                QCOMPARE(qAbs(corner.y()), 0.5f);
                QCOMPARE(qAbs(corner.z()), 0.5f);
                centre += corner / 3.0f;
            }
            QCOMPARE(normal.lengthSquared(), 1.0f);
            QVERIFY(QVector3D::dotProduct(normal, centre - QVector3D(2, 0, 0)) > 0.1f);
            QCOMPARE(bytes.mid(at + 48, 2), QByteArray("aa"));
        }
    }

    // A mesh loaded from a file gets its geometry through a factory: our own
    // file read back exports the same records.
    void meshLoadedFromFile()
    {
        QEntity root;
        const QVector<QVector3D> tetra
            = { { 0.1f, 0.2f, 0.3f }, { 1.7f, 0, 0 }, { 0, 1.3f, 0.05f }, { 0, 0, 2.9f } };
        const QVector<quint32> tetraIndices = { 0, 2, 1, 0, 1, 3, 0, 3, 2, 1, 2, 3 };
        Qt3DCore::QTransform* transform = nullptr;
        QEntity* source = meshEntity(&root, tetra, tetraIndices, &transform);
        Facetlab facetlab;
        QVERIFY(facetlab.exportStl(folder(), QStringLiteral("tetra"), entityList({ source })));

        auto* entity = new QEntity(&root);
        auto* mesh = new Qt3DRender::QMesh(entity);
        mesh->setSource(QUrl::fromLocalFile(path(QStringLiteral("tetra.stl"))));
        entity->addComponent(mesh);
        addTransform(entity);
        QVERIFY(facetlab.exportStl(folder(), QStringLiteral("again"), entityList({ entity })));
        QCOMPARE(
            readAll(path(QStringLiteral("again.stl"))), readAll(path(QStringLiteral("tetra.stl"))));
    }
};

QTEST_MAIN(TestStlExport)
#include "tst_stlexport.moc"
