// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Opens job files the way the editor's Open… does (JobFileView on its worker thread) and prints,
// per file, medians over the rounds of: the time until its first layer is ready for the layer
// preview (opened()), the time to show a layer in the middle of the job (its image written on
// demand), and the time until the islands of every layer are listed. bench_packing --keep DIR
// leaves the benchmark job (1,200 layers at 2560 x 1440) in each format in DIR.
//
//   bench_jobopen [--rounds N] file ...
#include "islandlist.h"
#include "jobfileview.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QStringList>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    int rounds = 5;
    QStringList files;
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--rounds") && i + 1 < args.size())
            rounds = std::max(1, args[++i].toInt());
        else
            files.append(args[i]);
    }
    std::printf("%-40s %8s %14s %12s %14s\n", "file", "layers", "first layer ms", "middle ms",
        "islands ms");
    for (const QString& file : files) {
        std::vector<double> first, middle, islands;
        int layers = 0;
        for (int round = 0; round < rounds; ++round) {
            JobFileView view;
            QEventLoop loop;
            QObject::connect(&view, &JobFileView::opened, &loop, &QEventLoop::quit);
            QObject::connect(&view, &JobFileView::failed, &loop, [&loop](const QString& why) {
                std::fprintf(stderr, "%s\n", qPrintable(why));
                loop.quit();
            });
            const Clock::time_point start = Clock::now();
            view.open(file);
            loop.exec();
            if (!view.shown())
                return 1;
            first.push_back(millisecondsSince(start));
            layers = view.layerCount();
            const Clock::time_point shown = Clock::now();
            view.layerImage(layers / 2);
            middle.push_back(millisecondsSince(shown));
            QEventLoop found;
            QObject::connect(&view, &JobFileView::islandsChanged, &found, [&view, &found] {
                if (!view.findingIslands())
                    found.quit();
            });
            if (view.findingIslands())
                found.exec();
            islands.push_back(millisecondsSince(start));
        }
        std::printf("%-40s %8d %14.1f %12.1f %14.1f\n",
            qPrintable(file.section(QLatin1Char('/'), -1)), layers, median(first), median(middle),
            median(islands));
    }
    return 0;
}
