// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Times Facetlab::exportStl on two scenes built in memory and, in the same
// run, the floor: a plain loop that reads the same buffers, does the same
// single-precision arithmetic, fills one reused batch of records and hands
// it to write(2). Prints medians of five runs, the peak resident memory the
// export adds, and whether the export's bytes equal the floor's.

#include "facetlab.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QMatrix4x4>
#include <QTemporaryDir>
#include <QTextStream>
#include <QVector3D>
#include <Qt3DCore/QEntity>
#include <Qt3DCore/QTransform>
#include <Qt3DRender/QAttribute>
#include <Qt3DRender/QBuffer>
#include <Qt3DRender/QGeometry>
#include <Qt3DRender/QGeometryRenderer>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

constexpr int runs = 5;
constexpr int batchRecords = 17857;

// One mesh as the floor sees it: raw buffers and its chain of matrices.
struct PlainMesh {
    const float* positions;
    const quint32* indices;
    quint64 triangles;
    QVector<QMatrix4x4> chain; // own transform first
};

struct Scene {
    std::unique_ptr<Qt3DCore::QEntity> root;
    QVector<Qt3DCore::QEntity*> entities;
    QVector<PlainMesh> meshes;
    quint64 triangles = 0;
};

// A zigzag strip of n triangles over n + 2 vertices, packed floats and uint
// indices, in a renderer of the given entity.
void addStrip(Scene& scene, Qt3DCore::QEntity* entity, quint64 n, float seed)
{
    QByteArray positions(int((n + 2) * 12), Qt::Uninitialized);
    auto* p = reinterpret_cast<float*>(positions.data());
    for (quint64 v = 0; v < n + 2; ++v) {
        p[3 * v] = 0.25f * float(v / 2) + seed;
        p[3 * v + 1] = float(v % 2) * 1.5f + 0.001f * float(v % 13);
        p[3 * v + 2] = 0.01f * float(v % 7) - seed;
    }
    QByteArray indices(int(n * 12), Qt::Uninitialized);
    auto* i = reinterpret_cast<quint32*>(indices.data());
    for (quint64 t = 0; t < n; ++t) {
        i[3 * t] = quint32(t);
        i[3 * t + 1] = quint32(t + 1 + t % 2);
        i[3 * t + 2] = quint32(t + 2 - t % 2);
    }

    auto* renderer = new Qt3DRender::QGeometryRenderer(entity);
    auto* geometry = new Qt3DRender::QGeometry(renderer);
    auto* positionBuffer = new Qt3DRender::QBuffer(geometry);
    positionBuffer->setData(positions);
    auto* indexBuffer = new Qt3DRender::QBuffer(geometry);
    indexBuffer->setData(indices);
    auto* position = new Qt3DRender::QAttribute(positionBuffer,
        Qt3DRender::QAttribute::defaultPositionAttributeName(), Qt3DRender::QAttribute::Float, 3,
        uint(n + 2), 0, 12, geometry);
    auto* index = new Qt3DRender::QAttribute(geometry);
    index->setAttributeType(Qt3DRender::QAttribute::IndexAttribute);
    index->setVertexBaseType(Qt3DRender::QAttribute::UnsignedInt);
    index->setCount(uint(3 * n));
    index->setBuffer(indexBuffer);
    geometry->addAttribute(position);
    geometry->addAttribute(index);
    renderer->setGeometry(geometry);
    entity->addComponent(renderer);

    // The buffers hold shallow copies of these arrays: the pointers stay valid.
    scene.meshes.append({ reinterpret_cast<const float*>(positionBuffer->data().constData()),
        reinterpret_cast<const quint32*>(indexBuffer->data().constData()), n, {} });
    scene.triangles += n;
}

Qt3DCore::QTransform* addTransform(
    Qt3DCore::QEntity* entity, float angle, const QVector3D& move, float scale)
{
    auto* transform = new Qt3DCore::QTransform(entity);
    transform->setRotation(
        QQuaternion::fromAxisAndAngle(QVector3D(0.3f, 1.0f, 0.2f).normalized(), angle));
    transform->setTranslation(move);
    transform->setScale(scale);
    entity->addComponent(transform);
    return transform;
}

Scene bigMesh()
{
    Scene scene;
    scene.root = std::make_unique<Qt3DCore::QEntity>();
    auto* entity = new Qt3DCore::QEntity(scene.root.get());
    Qt3DCore::QTransform* own = addTransform(entity, 33.0f, QVector3D(1.5f, -2.0f, 0.25f), 1.7f);
    addStrip(scene, entity, 10000000, 0.0f);
    scene.meshes.last().chain = { own->matrix() };
    scene.entities = { entity };
    return scene;
}

// 1000 meshes of 10 000 triangles: root -> 10 groups -> 100 meshes each.
Scene manyMeshes()
{
    Scene scene;
    scene.root = std::make_unique<Qt3DCore::QEntity>();
    Qt3DCore::QTransform* rootTransform
        = addTransform(scene.root.get(), 5.0f, QVector3D(0, 0, 10), 0.5f);
    for (int g = 0; g < 10; ++g) {
        auto* group = new Qt3DCore::QEntity(scene.root.get());
        Qt3DCore::QTransform* groupTransform
            = addTransform(group, float(g) * 7.0f, QVector3D(float(g), 0, 0), 1.1f);
        for (int m = 0; m < 100; ++m) {
            auto* entity = new Qt3DCore::QEntity(group);
            Qt3DCore::QTransform* own = addTransform(
                entity, float(m) * 3.0f, QVector3D(0, float(m) * 0.1f, 0), 1.0f + 0.01f * float(m));
            addStrip(scene, entity, 10000, 0.001f * float(m));
            scene.meshes.last().chain
                = { own->matrix(), groupTransform->matrix(), rootTransform->matrix() };
            scene.entities.append(entity);
        }
    }
    return scene;
}

inline void putFloat(char* out, float value) { std::memcpy(out, &value, 4); }

// The floor: everything the format needs and nothing else. x86 is little-endian.
bool floorExport(const Scene& scene, const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    char start[84];
    for (int i = 0; i < 80; i += 10)
        std::memcpy(start + i, "abcdefghij", 10);
    const quint32 count = quint32(scene.triangles);
    std::memcpy(start + 80, &count, 4);
    bool ok = ::write(fd, start, 84) == 84;

    static char batch[batchRecords * 50];
    int filled = 0;
    for (const PlainMesh& mesh : scene.meshes) {
        float matrices[8][16];
        const int chain = mesh.chain.size();
        for (int t = 0; t < chain; ++t)
            std::memcpy(matrices[t], mesh.chain[t].constData(), 64);
        for (quint64 i = 0; i < mesh.triangles; ++i) {
            float m[3][4]; // columns: the corners in homogeneous form
            for (int c = 0; c < 3; ++c) {
                const float* p = mesh.positions + 3 * quint64(mesh.indices[3 * i + quint64(c)]);
                m[c][0] = p[0];
                m[c][1] = p[1];
                m[c][2] = p[2];
                m[c][3] = 1.0f;
            }
            for (int t = 0; t < chain; ++t) {
                const float* l = matrices[t];
                for (auto& column : m) {
                    const float r0 = column[0], r1 = column[1], r2 = column[2], r3 = column[3];
                    for (int row = 0; row < 4; ++row)
                        column[row]
                            = l[row] * r0 + l[4 + row] * r1 + l[8 + row] * r2 + l[12 + row] * r3;
                }
            }
            const float ax = m[1][0] - m[0][0], ay = m[1][1] - m[0][1], az = m[1][2] - m[0][2];
            const float bx = m[2][0] - m[0][0], by = m[2][1] - m[0][1], bz = m[2][2] - m[0][2];
            QVector3D n(ay * bz - az * by, az * bx - ax * bz, ax * by - ay * bx);
            n.normalize();
            char* out = batch + 50 * filled;
            putFloat(out, n.x());
            putFloat(out + 4, n.y());
            putFloat(out + 8, n.z());
            for (int c = 0; c < 3; ++c) {
                putFloat(out + 12 + 12 * c, m[c][0]);
                putFloat(out + 16 + 12 * c, m[c][1]);
                putFloat(out + 20 + 12 * c, m[c][2]);
            }
            out[48] = 'a';
            out[49] = 'a';
            if (++filled == batchRecords) {
                ok = ::write(fd, batch, sizeof batch) == ssize_t(sizeof batch) && ok;
                filled = 0;
            }
        }
    }
    ok = ::write(fd, batch, size_t(filled) * 50) == ssize_t(filled) * 50 && ok;
    return ::close(fd) == 0 && ok;
}

qint64 statusKiB(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(int(std::strlen(field))).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// Resets the peak resident size to the current one (Linux 4.0 and later).
void resetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

QByteArray digest(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result().toHex();
}

double median(QVector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void measure(QTextStream& out, const QString& name, const Scene& scene, const QString& folder)
{
    QVector<double> exportSeconds;
    QVector<double> floorSeconds;
    qint64 addedKiB = 0;
    const QString floorPath = folder + QStringLiteral("/floor.stl");
    Facetlab facetlab;
    const QVariant entities = QVariant::fromValue(scene.entities);
    bool ok = true;
    // Alternate the two, so that a slow spell of the machine hits both.
    for (int run = 0; run < runs; ++run) {
        resetPeak();
        const qint64 before = statusKiB("VmRSS:");
        QElapsedTimer timer;
        timer.start();
        ok = facetlab.exportStl(QUrl::fromLocalFile(folder), QStringLiteral("scene"), entities)
            && ok;
        exportSeconds.append(double(timer.nsecsElapsed()) / 1e9);
        addedKiB = qMax(addedKiB, statusKiB("VmHWM:") - before);

        timer.start();
        ok = floorExport(scene, floorPath) && ok;
        floorSeconds.append(double(timer.nsecsElapsed()) / 1e9);
    }
    const bool same = digest(folder + QStringLiteral("/scene.stl")) == digest(floorPath);
    const double fileMB = (84.0 + 50.0 * double(scene.triangles)) / 1e6;
    const double e = median(exportSeconds);
    const double f = median(floorSeconds);
    out << name << '\n';
    out << QStringLiteral("  triangles          %1\n").arg(scene.triangles);
    out << QStringLiteral("  export  %1 s  %2 ns/triangle  %3 MB/s\n")
               .arg(e, 0, 'f', 3)
               .arg(e * 1e9 / double(scene.triangles), 0, 'f', 1)
               .arg(fileMB / e, 0, 'f', 0);
    out << QStringLiteral("  floor   %1 s  %2 ns/triangle  %3 MB/s\n")
               .arg(f, 0, 'f', 3)
               .arg(f * 1e9 / double(scene.triangles), 0, 'f', 1)
               .arg(fileMB / f, 0, 'f', 0);
    out << QStringLiteral("  export / floor     %1\n").arg(e / f, 0, 'f', 2);
    out << QStringLiteral("  peak RSS added     %1 MB (largest of %2 runs)\n")
               .arg(double(addedKiB) / 1024.0, 0, 'f', 1)
               .arg(runs);
    out << QStringLiteral("  bytes equal floor  %1\n")
               .arg(same && ok ? QStringLiteral("yes") : QStringLiteral("NO"));
    out.flush();
}

}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir temporary;
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temporary.path();
    QTextStream out(stdout);
    out << "STL export, medians of " << runs << " runs, files in " << folder << '\n';
    out.flush();
    {
        const Scene scene = bigMesh();
        measure(
            out, QStringLiteral("one mesh of 10 000 000 triangles, one transform"), scene, folder);
    }
    {
        const Scene scene = manyMeshes();
        measure(out, QStringLiteral("1000 meshes of 10 000 triangles, three-level transform chain"),
            scene, folder);
    }
    return 0;
}
