// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Saves and opens a project holding a one-million-triangle model (a 60 mm sphere with a few
// support points) and prints medians over the rounds of: saving it (3MF text, deflate, the file
// written under a fresh name and renamed) and opening it (inflate, parse, the editor's mesh
// built), with the file's size, and the same two in memory, without the file.
//
//   bench_projectfile [--rounds N]
#include "meshimport.h"
#include "projectfile.h"
#include "spherestl.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include <time.h>

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The thread's own processor time: on a machine shared with other work it shows what a step
// costs, while the wall clock also counts the time the step waited for a core.
double threadMilliseconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int rounds = 5;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--rounds") == 0)
            rounds = std::max(1, std::atoi(argv[i + 1]));
    }
    QTemporaryDir dir;
    const QString stl = dir.filePath(QStringLiteral("sphere.stl"));
    // 2 * 1000 * (501 - 1) = 1,000,000 triangles.
    if (!dir.isValid() || !writeSphereStl(stl.toStdString(), 30.0, 1000, 501)) {
        std::fprintf(stderr, "cannot write the sphere\n");
        return 1;
    }
    const MeshImport imported = importMeshFile(stl);
    if (!imported.error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(imported.error));
        return 1;
    }
    Project project;
    PlateObject object;
    object.sourcePath = stl;
    object.mesh = std::make_shared<const MeshData>(imported.mesh);
    object.placement.translation = QVector3D(3.0f, -4.0f, 0.0f);
    object.placement.rotation = QVector3D(0.0f, 0.0f, 30.0f);
    for (int i = 0; i < 40; ++i)
        object.supportPoints.append(QVector3D(float(i) * 0.5f, 1.0f, -29.0f));
    project.objects.append(object);

    const QString path = dir.filePath(QStringLiteral("plate.3mf"));
    std::vector<double> save;
    std::vector<double> open;
    std::vector<double> pack;
    std::vector<double> unpack;
    std::vector<double> saveCpu;
    std::vector<double> openCpu;
    for (int round = 0; round < rounds; ++round) {
        Clock::time_point start = Clock::now();
        QString packError;
        const QByteArray bytes = ProjectFile::write(project, packError);
        pack.push_back(millisecondsSince(start));
        start = Clock::now();
        Project unpacked;
        if (!ProjectFile::read(bytes, QStringLiteral("plate.3mf"), unpacked, packError)) {
            std::fprintf(stderr, "%s\n", qPrintable(packError));
            return 1;
        }
        unpack.push_back(millisecondsSince(start));
        start = Clock::now();
        double cpu = threadMilliseconds();
        const QString error = ProjectFile::save(project, path);
        saveCpu.push_back(threadMilliseconds() - cpu);
        save.push_back(millisecondsSince(start));
        if (!error.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        start = Clock::now();
        cpu = threadMilliseconds();
        Project read;
        QString readError;
        if (!ProjectFile::load(path, read, readError)) {
            std::fprintf(stderr, "%s\n", qPrintable(readError));
            return 1;
        }
        openCpu.push_back(threadMilliseconds() - cpu);
        open.push_back(millisecondsSince(start));
    }
    std::printf("triangles: %d, rounds: %d, file: %.1f MB\n", imported.mesh.triangleCount, rounds,
        double(QFileInfo(path).size()) / (1024.0 * 1024.0));
    std::printf(
        "save project:  median %.1f ms (processor %.1f ms)\n", median(save), median(saveCpu));
    std::printf(
        "open project:  median %.1f ms (processor %.1f ms)\n", median(open), median(openCpu));
    std::printf("  of which packing in memory:   median %.1f ms\n", median(pack));
    std::printf("  of which unpacking in memory: median %.1f ms\n", median(unpack));
    return 0;
}
