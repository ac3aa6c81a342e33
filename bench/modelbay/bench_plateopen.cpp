// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Opens a one-million-triangle binary STL (a 60 mm sphere) the way the editor does and prints
// medians over the rounds of: reading it into the editor's mesh (importMeshFile), the plate
// model's whole open (openFiles until filesOpened, the read on a worker thread, then placing and
// the undo step; the resident memory it leaves held is printed too), and building the object's
// Qt 3D entity from the model. The first frame on screen adds the render engine's upload, which
// the editor benchmark measures with a window.
//
//   bench_plateopen [--rounds N]
#include "meshimport.h"
#include "platemodel.h"
#include "platescene.h"
#include "spherestl.h"

#include <QGuiApplication>
#include <QEventLoop>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Resident memory now, from /proc: what the process holds after a step, not its peak.
double residentMegabytes()
{
    long pages = 0;
    long resident = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

long peakResidentKiB()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    int rounds = 5;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--rounds") == 0)
            rounds = std::max(1, std::atoi(argv[i + 1]));
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sphere.stl"));
    // 2 * 1000 * (501 - 1) = 1,000,000 triangles.
    if (!dir.isValid() || !writeSphereStl(path.toStdString(), 30.0, 1000, 501)) {
        std::fprintf(stderr, "cannot write the sphere\n");
        return 1;
    }

    std::vector<double> import;
    std::vector<double> open;
    std::vector<double> entity;
    std::vector<double> held;
    int triangles = 0;
    for (int round = 0; round < rounds; ++round) {
        Clock::time_point start = Clock::now();
        const MeshImport mesh = importMeshFile(path);
        import.push_back(millisecondsSince(start));
        triangles = mesh.mesh.triangleCount;
        if (!mesh.error.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(mesh.error));
            return 1;
        }

        PlateModel model;
        PlateScene scene;
        scene.setModel(&model);
        const double before = residentMegabytes();
        QEventLoop loop;
        QObject::connect(&model, &PlateModel::filesOpened, &loop, &QEventLoop::quit);
        start = Clock::now();
        model.openFiles(path);
        loop.exec();
        open.push_back(millisecondsSince(start));
        if (model.count() != 1)
            return 1;
        // The model's vertices, shared with the entity's buffer: one copy, 72 bytes a triangle.
        held.push_back(residentMegabytes() - before);
        // The scene built its entity inside the open; time a second one on its own.
        start = Clock::now();
        model.duplicate(0);
        entity.push_back(millisecondsSince(start));
    }
    std::printf("triangles: %d, rounds: %d\n", triangles, rounds);
    std::printf("importMeshFile:            median %.1f ms\n", median(import));
    std::printf("openFiles to filesOpened:  median %.1f ms (read, place, entity)\n", median(open));
    std::printf("duplicate (entity, bounds): median %.1f ms\n", median(entity));
    std::printf("held after the open:       median %.1f MB (the mesh is %.1f MB)\n", median(held),
        double(triangles) * 72.0 / (1024.0 * 1024.0));
    std::printf("peak resident memory:      %.1f MB\n", double(peakResidentKiB()) / 1024.0);
    return 0;
}
