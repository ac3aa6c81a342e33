// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Reads small 3MF files that would unfold into gigabytes through meshio's 3MF reader, each in a
// child process of its own, and prints per file: its size, what its model parts inflate to, the
// outcome (triangles or the sentence), the median wall and CPU time of the read over the rounds
// (the machine may be shared) and the child's peak resident memory (VmHWM, the few megabytes of the
// program itself included).
//
//   bench_hostile3mf [--rounds N]
#include "threemf.h"
#include "zipbuilder.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Case {
    const char* name;
    QByteArray archive;
    quint64 inflated;
};

QByteArray model(const QByteArray& resources, const QByteArray& build)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<model unit=\"millimeter\" "
           "xmlns=\"http://schemas.microsoft.com/3dmanufacturing/core/2015/02\"><resources>"
        + resources + "</resources><build>" + build + "</build></model>";
}

Case package(const char* name, const QVector<ZipPiece>& pieces)
{
    quint64 inflated = 0;
    for (const ZipPiece& piece : pieces)
        inflated += quint64(piece.bytes.size()) * piece.times;
    ZipBuilder zip;
    zip.add(QStringLiteral("3D/3dmodel.model"), pieces);
    return { name, zip.finish(), inflated };
}

// The model around `@`: an object 1 of three vertices whose triangles follow, then the build.
QVector<ZipPiece> triangleRun(quint64 bytes)
{
    const QByteArray triangle = "<triangle v1=\"0\" v2=\"1\" v3=\"2\"/>";
    const QByteArray whole = model("<object id=\"1\"><mesh><vertices><vertex x=\"0\" y=\"0\" "
                                   "z=\"0\"/><vertex x=\"1\" y=\"0\" z=\"0\"/><vertex x=\"0\" "
                                   "y=\"1\" z=\"0\"/></vertices><triangles>@</triangles></mesh>"
                                   "</object>",
        "<item objectid=\"1\"/>");
    const int at = whole.indexOf('@');
    return { { whole.left(at) }, { triangle, bytes / quint64(triangle.size()) },
        { whole.mid(at + 1) } };
}

QVector<ZipPiece> blankRun(quint64 bytes)
{
    const QByteArray whole = model("@<object id=\"1\"><mesh><vertices><vertex x=\"0\" y=\"0\" "
                                   "z=\"0\"/><vertex x=\"1\" y=\"0\" z=\"0\"/><vertex x=\"0\" "
                                   "y=\"1\" z=\"0\"/></vertices><triangles><triangle v1=\"0\" "
                                   "v2=\"1\" v3=\"2\"/></triangles></mesh></object>",
        "<item objectid=\"1\"/>");
    const int at = whole.indexOf('@');
    return { { whole.left(at) }, { "\n  <!-- -->", bytes / 11 }, { whole.mid(at + 1) } };
}

// One 200-triangle object placed 90 000 times: 300 assemblies of 300 placements each.
QVector<ZipPiece> placements()
{
    QByteArray object = "<object id=\"1\"><mesh><vertices>";
    for (int i = 0; i < 102; ++i)
        object += "<vertex x=\"" + QByteArray::number(i) + "\" y=\"" + QByteArray::number(i % 7)
            + "\" z=\"" + QByteArray::number(i % 5) + "\"/>";
    object += "</vertices><triangles>";
    for (int i = 0; i < 200; ++i)
        object += "<triangle v1=\"" + QByteArray::number(i % 100) + "\" v2=\""
            + QByteArray::number(i % 100 + 1) + "\" v3=\"" + QByteArray::number(i % 100 + 2)
            + "\"/>";
    object += "</triangles></mesh></object>";
    const QByteArray first = "<object id=\"2\"><components>"
        + QByteArray("<component objectid=\"1\"/>").repeated(300) + "</components></object>";
    const QByteArray second = "<object id=\"3\"><components>"
        + QByteArray("<component objectid=\"2\"/>").repeated(300) + "</components></object>";
    return { { model(object + first + second, "<item objectid=\"3\"/>") } };
}

long peakKib()
{
    std::FILE* status = std::fopen("/proc/self/status", "r");
    char line[256];
    long kib = -1;
    while (status && std::fgets(line, sizeof line, status)) {
        if (std::strncmp(line, "VmHWM:", 6) == 0)
            kib = std::atol(line + 6);
    }
    if (status)
        std::fclose(status);
    return kib;
}

// Reads the archive in a child; its figures come back through a pipe.
double cpuMilliseconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

bool readInChild(
    const QByteArray& archive, double& milliseconds, double& cpu, long& kib, std::string& outcome)
{
    int ends[2];
    if (pipe(ends) != 0)
        return false;
    const pid_t child = fork();
    if (child == 0) {
        close(ends[0]);
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = cpuMilliseconds();
        Mesh mesh;
        std::string error;
        const bool ok = parse3mf(reinterpret_cast<const unsigned char*>(archive.constData()),
            std::size_t(archive.size()), mesh, error);
        const double ms
            = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                  .count();
        const double cpuMs = cpuMilliseconds() - cpuStart;
        const std::string text = ok ? std::to_string(mesh.triangleCount()) + " triangles" : error;
        char report[1024];
        const int length = std::snprintf(
            report, sizeof report, "%f %f %ld %s", ms, cpuMs, peakKib(), text.c_str());
        const bool written = write(ends[1], report, std::size_t(length)) == length;
        _exit(written ? 0 : 1);
    }
    close(ends[1]);
    char report[1024] = {};
    std::size_t got = 0;
    for (ssize_t n; (n = read(ends[0], report + got, sizeof report - 1 - got)) > 0;)
        got += std::size_t(n);
    close(ends[0]);
    int status = 0;
    waitpid(child, &status, 0);
    int consumed = 0;
    if (std::sscanf(report, "%lf %lf %ld %n", &milliseconds, &cpu, &kib, &consumed) < 3)
        return false;
    outcome = report + consumed;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    int rounds = 3;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--rounds") == 0)
            rounds = std::max(1, std::atoi(argv[i + 1]));
    }
    const std::vector<Case> cases {
        package("600 MB of triangles", triangleRun(600'000'000)),
        package("600 MB of comments", blankRun(600'000'000)),
        package("1 GiB of triangles", triangleRun(1'073'741'820)),
        package("90 000 placements", placements()),
    };
    for (const Case& c : cases) {
        std::vector<double> times;
        std::vector<double> cpuTimes;
        long peak = 0;
        std::string outcome;
        for (int round = 0; round < rounds; ++round) {
            double ms = 0;
            double cpu = 0;
            long kib = 0;
            if (!readInChild(c.archive, ms, cpu, kib, outcome)) {
                std::printf("%s: the reading child failed\n", c.name);
                return 1;
            }
            times.push_back(ms);
            cpuTimes.push_back(cpu);
            peak = std::max(peak, kib);
        }
        std::sort(times.begin(), times.end());
        std::sort(cpuTimes.begin(), cpuTimes.end());
        std::printf("%s: %.1f KB inflating to %.1f MB; %s; median of %d: %.0f ms (%.0f ms CPU), "
                    "peak %.0f MiB\n",
            c.name, c.archive.size() / 1000.0, double(c.inflated) / 1e6, outcome.c_str(), rounds,
            times[times.size() / 2], cpuTimes[cpuTimes.size() / 2], peak / 1024.0);
    }
    return 0;
}
