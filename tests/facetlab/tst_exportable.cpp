// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "exportable.h"

#include "meshscene.h"

#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <Qt3DCore/QEntity>
#include <Qt3DCore/QTransform>
#include <Qt3DRender/QBufferDataGenerator>
#include <Qt3DRender/QGeometryFactory>

#include <functional>
#include <memory>

using namespace MeshScene;
using Qt3DRender::QAttribute;

Q_DECLARE_METATYPE(MeshScene::Layout)
Q_DECLARE_METATYPE(MeshScene::Triangle)

namespace {

// A file that remembers the size of every write handed to it.
class WriteLog : public QFile {
public:
    using QFile::QFile;
    QVector<qint64> writes;

protected:
    qint64 writeData(const char* data, qint64 length) override
    {
        writes.append(length);
        return QFile::writeData(data, length);
    }
};

QByteArray readAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("(unreadable)");
    return file.readAll();
}

const QVector<QVector3D> fourVertices
    = { { 0, 0, 0 }, { 1, 0, 0 }, { 0, 1, 0 }, { 0.3f, -2.5f, 7.125f } };

// Counts like the export's progress receiver: every report bumps a counter,
// and a multiple of the interval is a progress step, where a cancel can come.
class ProgressProbe : public QObject {
    Q_OBJECT
public:
    quint32 counter = 0;
    quint64 interval = 7;
    int cancelAtStep = -1;
    QVector<quint32> steps;
    Exportable* target = nullptr;
    std::function<void()> onStep;

public slots:
    void report()
    {
        ++counter;
        if (counter % interval != 0)
            return;
        steps.append(counter);
        if (onStep)
            onStep();
        if (steps.size() == cancelAtStep)
            target->handleExportCanceledChanged(true);
    }
};

class CountingFactory : public Qt3DRender::QGeometryFactory {
public:
    QT3D_FUNCTOR(CountingFactory)
    int* calls;
    QPointer<Qt3DRender::QGeometry>* built;
    explicit CountingFactory(int* calls, QPointer<Qt3DRender::QGeometry>* built)
        : calls(calls)
        , built(built)
    {
    }
    Qt3DRender::QGeometry* operator()() override
    {
        ++*calls;
        *built = makeGeometry(fourVertices, { 0, 1, 2, 3, 2, 1 });
        return *built;
    }
    bool equals(const Qt3DRender::QGeometryFactory&) const override { return false; }
};

class CountingGenerator : public Qt3DRender::QBufferDataGenerator {
public:
    QT3D_FUNCTOR(CountingGenerator)
    QByteArray bytes;
    int* calls;
    CountingGenerator(const QByteArray& bytes, int* calls)
        : bytes(bytes)
        , calls(calls)
    {
    }
    QByteArray operator()() override
    {
        ++*calls;
        return bytes;
    }
    bool operator==(const Qt3DRender::QBufferDataGenerator&) const override { return false; }
};

}

class TestExportable : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    QString path(const char* name) const { return dir.filePath(QLatin1String(name)); }

    // Writes the exportable into a fresh file and returns the file's bytes.
    QByteArray write(Exportable& exportable, bool* result = nullptr, quint64 flushStep = 17857)
    {
        QFile file(path("out.bin"));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return QByteArray("(cannot open)");
        const bool ok = exportable.writeTriangles(file, flushStep);
        if (result)
            *result = ok;
        file.close();
        return readAll(file.fileName());
    }

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void layouts_data()
    {
        QTest::addColumn<Layout>("layout");
        QTest::addColumn<QVector<quint32>>("indices");
        QTest::addColumn<QVector<Triangle>>("expected");

        const QVector<quint32> two = { 0, 1, 2, 3, 2, 1 };
        const QVector<Triangle> twoTriangles = triangles(fourVertices, two);
        Layout layout;
        QTest::newRow("float, ushort") << layout << two << twoTriangles;

        layout.indexType = QAttribute::UnsignedInt;
        QTest::newRow("float, uint") << layout << two << twoTriangles;

        Layout doubles;
        doubles.positionType = QAttribute::Double;
        QTest::newRow("double positions") << doubles << two << twoTriangles;

        Layout interleaved;
        interleaved.positionOffset = 12;
        interleaved.gap = 12;
        interleaved.positionStride = 24;
        interleaved.indexOffset = 6;
        QTest::newRow("offsets and strides") << interleaved << two << twoTriangles;

        Layout packed;
        packed.positionOffset = 4;
        QTest::newRow("stride 0 is packed") << packed << two << twoTriangles;

        Layout loose;
        loose.indexed = false;
        QTest::newRow("no index: vertex triples")
            << loose << QVector<quint32>() << triangles(fourVertices, { 0, 1, 2 });

        Layout seven;
        seven.indexCount = 7;
        QTest::newRow("seventh index ignored")
            << seven << QVector<quint32> { 0, 1, 2, 3, 2, 1, 0 } << twoTriangles;

        Layout overstated;
        overstated.indexCount = 12;
        QTest::newRow("triples beyond the index buffer not counted")
            << overstated << QVector<quint32> { 0, 1, 2, 3, 2, 1, 0, 1 } << twoTriangles;

        const QVector3D zero(0, 0, 0);
        QTest::newRow("vertex beyond the position buffer reads as origin")
            << Layout() << QVector<quint32> { 0, 1, 9, 1, 0xffff, 2 }
            << QVector<Triangle> { { { fourVertices[0], fourVertices[1], zero } },
                   { { fourVertices[1], zero, fourVertices[2] } } };

        QTest::newRow("degenerate")
            << Layout() << QVector<quint32> { 3, 3, 1 } << triangles(fourVertices, { 3, 3, 1 });

        Layout ints;
        ints.positionType = QAttribute::Int;
        QTest::newRow("unreadable position type")
            << ints << two << QVector<Triangle>(2, Triangle { { zero, zero, zero } });

        Layout bytes;
        bytes.indexType = QAttribute::UnsignedByte;
        QTest::newRow("unreadable index type")
            << bytes << two
            << QVector<Triangle>(
                   2, Triangle { { fourVertices[0], fourVertices[0], fourVertices[0] } });

        QTest::newRow("no triangles")
            << Layout() << QVector<quint32> { 0, 1 } << QVector<Triangle>();
    }

    void layouts()
    {
        QFETCH(Layout, layout);
        QFETCH(QVector<quint32>, indices);
        QFETCH(QVector<Triangle>, expected);

        Qt3DCore::QEntity root;
        Qt3DRender::QGeometryRenderer* renderer
            = makeRenderer(&root, fourVertices, indices, layout);
        auto* transform = new Qt3DCore::QTransform(&root);
        transform->setTranslation(QVector3D(0.1f, 0.2f, -0.3f));
        transform->setRotationZ(33.0f);
        transform->setScale(1.7f);

        Exportable exportable(renderer, nullptr);
        exportable.transforms = { transform };
        QCOMPARE(exportable.triangleCount(), quint64(expected.size()));
        bool ok = false;
        const QByteArray bytes = write(exportable, &ok);
        QVERIFY(ok);
        QCOMPARE(bytes, records(expected, { transform->matrix() }));
    }

    void normalAttributeIgnored()
    {
        Qt3DCore::QEntity root;
        Qt3DRender::QGeometryRenderer* renderer = makeRenderer(&root, fourVertices, { 0, 2, 1 });
        auto* normals = new QAttribute(renderer->geometry());
        normals->setName(QAttribute::defaultNormalAttributeName());
        normals->setVertexBaseType(QAttribute::Float);
        normals->setCount(4);
        normals->setBuffer(new Qt3DRender::QBuffer(renderer->geometry()));
        normals->buffer()->setData(QByteArray(48, char(0x41)));
        renderer->geometry()->addAttribute(normals);

        Exportable exportable(renderer, nullptr);
        QCOMPARE(write(exportable), records(triangles(fourVertices, { 0, 2, 1 }), {}));
        QCOMPARE(write(exportable).mid(8, 4), QByteArray::fromHex("000080bf")); // normal (0, 0, -1)
    }

    // A later attribute of the same role replaces the earlier one's offset,
    // stride and count; when its type cannot be read, the data of the earlier
    // one stays in use.
    void laterAttributeOfUnreadableType_data()
    {
        QTest::addColumn<bool>("index");
        QTest::addColumn<QVector<Triangle>>("expected");
        QTest::newRow("position") << false << triangles(fourVertices, { 0, 1, 2, 3, 2, 1 });
        QTest::newRow("index") << true << triangles(fourVertices, { 0, 1, 2 });
    }

    void laterAttributeOfUnreadableType()
    {
        QFETCH(bool, index);
        QFETCH(QVector<Triangle>, expected);
        Qt3DCore::QEntity root;
        Qt3DRender::QGeometryRenderer* renderer
            = makeRenderer(&root, fourVertices, { 0, 1, 2, 3, 2, 1 });
        auto* other = new Qt3DRender::QBuffer(renderer->geometry());
        other->setData(QByteArray(64, char(0x41)));
        Layout layout;
        QAttribute* later = nullptr;
        if (index) {
            layout.indexType = QAttribute::UnsignedByte;
            later = indexAttribute(other, 3, layout);
        } else {
            layout.positionType = QAttribute::Int;
            later = positionAttribute(other, 4, layout);
        }
        renderer->geometry()->addAttribute(later);

        Exportable exportable(renderer, nullptr);
        QCOMPARE(exportable.triangleCount(), quint64(expected.size()));
        QCOMPARE(write(exportable), records(expected, {}));
    }

    void batches_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QVector<qint64>>("writes");
        const qint64 batch = 17857 * 50;
        QTest::newRow("17858: one, a full batch, an empty rest")
            << 17858 << QVector<qint64> { 50, batch, 0 };
        QTest::newRow("17859: one, a full batch, one")
            << 17859 << QVector<qint64> { 50, batch, 50 };
        QTest::newRow("2: one, then one") << 2 << QVector<qint64> { 50, 50 };
        QTest::newRow("none: one empty write") << 0 << QVector<qint64> { 0 };
    }

    void batches()
    {
        QFETCH(int, count);
        QFETCH(QVector<qint64>, writes);
        QVector<QVector3D> vertices;
        QVector<quint32> indices;
        strip(count, vertices, indices);
        Qt3DCore::QEntity root;
        Exportable exportable(makeRenderer(&root, vertices, indices), nullptr);

        WriteLog file(path("batches.bin"));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        // What has reached the disk when each triangle is reported tells
        // where the batches were flushed.
        QVector<qint64> onDisk;
        connect(&exportable, &Exportable::trianglesExportedChanged, this,
            [&] { onDisk.append(QFileInfo(file.fileName()).size()); });
        QVERIFY(exportable.writeTriangles(file, 17857));
        file.close();

        QCOMPARE(file.writes, writes);
        QCOMPARE(onDisk.size(), count);
        for (int i = 0; i < count; ++i) {
            const qint64 expected = i == 0 ? 0 : i <= 17857 ? 50 : 50 * 17858;
            if (onDisk[i] != expected)
                QFAIL(qPrintable(QStringLiteral("triangle %1 saw %2 bytes, not %3")
                                     .arg(i)
                                     .arg(onDisk[i])
                                     .arg(expected)));
        }
        QCOMPARE(readAll(file.fileName()), records(triangles(vertices, indices), {}));
    }

    void cancel_data()
    {
        QTest::addColumn<int>("cancelAt"); // triangle during whose report the cancel comes
        QTest::addColumn<int>("kept"); // records on disk afterwards
        QTest::addColumn<bool>("result");
        QTest::newRow("at the first triangle") << 0 << 1 << false;
        QTest::newRow("mid batch: unflushed records dropped") << 5 << 1 << false;
        QTest::newRow("just before a batch ends") << 9 << 1 << false;
        QTest::newRow("at the triangle that ends a batch: it is completed") << 10 << 11 << false;
        QTest::newRow("after a flushed batch") << 11 << 11 << false;
        QTest::newRow("at the last triangle: not seen") << 24 << 25 << true;
    }

    void cancel()
    {
        QFETCH(int, cancelAt);
        QFETCH(int, kept);
        QFETCH(bool, result);
        QVector<QVector3D> vertices;
        QVector<quint32> indices;
        strip(25, vertices, indices);
        Qt3DCore::QEntity root;
        Exportable exportable(makeRenderer(&root, vertices, indices), nullptr);
        int reported = 0;
        connect(&exportable, &Exportable::trianglesExportedChanged, this, [&] {
            if (reported++ == cancelAt)
                exportable.handleExportCanceledChanged(true);
        });
        bool ok = !result;
        const QByteArray bytes = write(exportable, &ok, 10);
        QCOMPARE(ok, result);
        QCOMPARE(reported, cancelAt + 1);
        QCOMPARE(bytes, records(triangles(vertices, indices).mid(0, kept), {}));
    }

    void emptyMeshIgnoresCancel()
    {
        Qt3DCore::QEntity root;
        Exportable exportable(makeRenderer(&root, fourVertices, {}), nullptr);
        exportable.handleExportCanceledChanged(true);
        bool ok = false;
        QCOMPARE(write(exportable, &ok), QByteArray());
        QVERIFY(ok);
    }

    // Counting progress inside the mesh must look, from outside, exactly like
    // one signal per triangle: the same steps, the same cancel point, the same
    // bytes, and every other receiver still gets every signal.
    void localProgress_data()
    {
        QTest::addColumn<bool>("local");
        QTest::addColumn<bool>("extraReceiver");
        QTest::addColumn<quint32>("start");
        QTest::addColumn<int>("cancelAtStep");
        for (bool local : { false, true }) {
            for (bool extra : { false, true }) {
                const QByteArray name
                    = QByteArray(local ? "local" : "signal") + (extra ? ", extra receiver" : "");
                QTest::addRow("%s", name.constData()) << local << extra << 0u << -1;
                QTest::addRow("%s, counter at 5", name.constData()) << local << extra << 5u << -1;
                QTest::addRow("%s, counter wraps", name.constData())
                    << local << extra << 0xfffffff0u << -1;
                QTest::addRow("%s, cancel", name.constData()) << local << extra << 3u << 4;
            }
        }
    }

    void localProgress()
    {
        QFETCH(bool, local);
        QFETCH(bool, extraReceiver);
        QFETCH(quint32, start);
        QFETCH(int, cancelAtStep);
        QVector<QVector3D> vertices;
        QVector<quint32> indices;
        strip(100, vertices, indices);
        Qt3DCore::QEntity root;
        Exportable exportable(makeRenderer(&root, vertices, indices), nullptr);
        ProgressProbe probe;
        probe.counter = start;
        probe.cancelAtStep = cancelAtStep;
        probe.target = &exportable;
        const QMetaObject::Connection link = connect(
            &exportable, &Exportable::trianglesExportedChanged, &probe, &ProgressProbe::report);
        if (local)
            exportable.countProgressLocally(&probe.counter, probe.interval, link);
        QSignalSpy every(&exportable, &Exportable::trianglesExportedChanged);
        if (!extraReceiver)
            QObject::disconnect(
                &exportable, &Exportable::trianglesExportedChanged, &every, nullptr);

        bool ok = false;
        const QByteArray bytes = write(exportable, &ok, 10);

        // Steps at every multiple of 7 from the start value on; the counter
        // wrapping to 0 is a multiple too.
        QVector<quint32> steps;
        quint32 counter = start;
        int reports = 0;
        int keptRecords = 100;
        for (int t = 0; t < 100; ++t) {
            ++counter;
            ++reports;
            if (counter % 7 == 0) {
                steps.append(counter);
                if (steps.size() == cancelAtStep) {
                    keptRecords = t / 10 * 10 + 1; // the reported triangle is completed
                    break;
                }
            }
        }
        QCOMPARE(probe.steps, steps);
        QCOMPARE(probe.counter, counter);
        QCOMPARE(ok, cancelAtStep < 0);
        QCOMPARE(bytes, records(triangles(vertices, indices).mid(0, keptRecords), {}));
        if (extraReceiver)
            QCOMPARE(every.count(), reports);
    }

    // Code that runs in a progress step may move a transform; the triangle
    // reported there and those after it use the new matrix.
    void transformMovedDuringRun()
    {
        QVector<QVector3D> vertices;
        QVector<quint32> indices;
        strip(20, vertices, indices);
        Qt3DCore::QEntity root;
        auto* transform = new Qt3DCore::QTransform(&root);
        Exportable exportable(makeRenderer(&root, vertices, indices), nullptr);
        exportable.transforms = { transform };
        ProgressProbe probe;
        const QMetaObject::Connection link = connect(
            &exportable, &Exportable::trianglesExportedChanged, &probe, &ProgressProbe::report);
        probe.onStep = [&] {
            if (probe.counter == 7)
                transform->setTranslation(QVector3D(5, 0, 0));
        };
        exportable.countProgressLocally(&probe.counter, probe.interval, link);
        QMatrix4x4 moved;
        moved.translate(5, 0, 0);
        const QVector<Triangle> all = triangles(vertices, indices);
        const QByteArray expected
            = records(all.mid(0, 6), { QMatrix4x4() }) + records(all.mid(6), { moved });
        QCOMPARE(write(exportable), expected);
    }

    void factoryGeometry()
    {
        int calls = 0;
        QPointer<Qt3DRender::QGeometry> built;
        Qt3DCore::QEntity root;
        auto* renderer = new Qt3DRender::QGeometryRenderer(&root);
        QT_WARNING_PUSH
        QT_WARNING_DISABLE_DEPRECATED
        renderer->setGeometryFactory(
            Qt3DRender::QGeometryFactoryPtr(new CountingFactory(&calls, &built)));
        QT_WARNING_POP
        auto exportable = std::make_unique<Exportable>(renderer, nullptr);
        QCOMPARE(calls, 1);
        QCOMPARE(exportable->triangleCount(), quint64(2));
        QCOMPARE(write(*exportable), records(triangles(fourVertices, { 0, 1, 2, 3, 2, 1 }), {}));
        QCOMPARE(calls, 1);
        QVERIFY(built);
        exportable.reset();
        QVERIFY(!built);
    }

    void noGeometryAtAll()
    {
        Qt3DCore::QEntity root;
        Exportable exportable(new Qt3DRender::QGeometryRenderer(&root), nullptr);
        QCOMPARE(exportable.triangleCount(), quint64(0));
        bool ok = false;
        QCOMPARE(write(exportable, &ok), QByteArray());
        QVERIFY(ok);
    }

    void attributeWithoutBuffer()
    {
        Qt3DCore::QEntity root;
        auto* renderer = new Qt3DRender::QGeometryRenderer(&root);
        auto* geometry = new Qt3DRender::QGeometry(renderer);
        geometry->addAttribute(positionAttribute(nullptr, 3, Layout()));
        renderer->setGeometry(geometry);
        Exportable exportable(renderer, nullptr);
        const QVector3D zero(0, 0, 0);
        QCOMPARE(write(exportable), records({ Triangle { { zero, zero, zero } } }, {}));
    }

    void generatedBuffers_data()
    {
        QTest::addColumn<bool>("sharedBuffer");
        QTest::newRow("separate buffers") << false;
        QTest::newRow("one buffer for positions and indices") << true;
    }

    void generatedBuffers()
    {
        QFETCH(bool, sharedBuffer);
        Layout layout;
        const QByteArray positions = positionBytes(fourVertices, layout);
        layout.indexOffset = sharedBuffer ? quint32(positions.size()) : 0;
        const QByteArray indices = indexBytes({ 3, 1, 0 }, layout);

        Qt3DCore::QEntity root;
        auto* renderer = new Qt3DRender::QGeometryRenderer(&root);
        auto* geometry = new Qt3DRender::QGeometry(renderer);
        int calls = 0;
        auto* positionBuffer = new Qt3DRender::QBuffer(geometry);
        auto* indexBuffer = sharedBuffer ? positionBuffer : new Qt3DRender::QBuffer(geometry);
        QT_WARNING_PUSH
        QT_WARNING_DISABLE_DEPRECATED
        if (sharedBuffer) {
            positionBuffer->setDataGenerator(Qt3DRender::QBufferDataGeneratorPtr(
                new CountingGenerator(positions + indices.mid(int(layout.indexOffset)), &calls)));
        } else {
            positionBuffer->setDataGenerator(
                Qt3DRender::QBufferDataGeneratorPtr(new CountingGenerator(positions, &calls)));
            indexBuffer->setDataGenerator(
                Qt3DRender::QBufferDataGeneratorPtr(new CountingGenerator(indices, &calls)));
        }
        QT_WARNING_POP
        QVERIFY(positionBuffer->data().isEmpty());
        geometry->addAttribute(positionAttribute(positionBuffer, 4, layout));
        geometry->addAttribute(indexAttribute(indexBuffer, 3, layout));
        renderer->setGeometry(geometry);

        Exportable exportable(renderer, nullptr);
        QCOMPARE(calls, sharedBuffer ? 1 : 2);
        QCOMPARE(write(exportable), records(triangles(fourVertices, { 3, 1, 0 }), {}));
    }

    void chainOrder()
    {
        Qt3DCore::QEntity root;
        Qt3DRender::QGeometryRenderer* renderer
            = makeRenderer(&root, fourVertices, { 0, 1, 2, 1, 3, 2 });
        auto* own = new Qt3DCore::QTransform(&root);
        own->setScale3D(QVector3D(-1.0f, 2.0f, 0.5f)); // a mirror
        auto* parent = new Qt3DCore::QTransform(&root);
        parent->setRotationX(71.0f);
        parent->setTranslation(QVector3D(0.7f, 0, 3));
        Exportable exportable(renderer, nullptr);
        exportable.transforms = { own, parent };
        const QVector<Triangle> all = triangles(fourVertices, { 0, 1, 2, 1, 3, 2 });
        const QByteArray bytes = write(exportable);
        QCOMPARE(bytes, records(all, { own->matrix(), parent->matrix() }));
        QVERIFY(bytes != records(all, { parent->matrix(), own->matrix() }));
    }
};

QTEST_MAIN(TestExportable)
#include "tst_exportable.moc"
