// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Automatic supports for a one-million-triangle model: a UV sphere of 60 mm, 3 mm above the plate,
// whose whole lower half overhangs. Prints the median time of each style over the rounds.
//
//   bench_supports [--rounds N]
#include "supportplanner.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

TriangleSoup sphere(double radius, int slices, int stacks, double above)
{
    const double pi = std::acos(-1.0);
    auto at = [&](int stack, int slice, float* out) {
        const double polar = pi * stack / stacks;
        const double azimuth = 2 * pi * (slice % slices) / slices;
        const double ring = stack == 0 || stack == stacks ? 0 : radius * std::sin(polar);
        out[0] = float(ring * std::cos(azimuth));
        out[1] = float(ring * std::sin(azimuth));
        out[2] = float(above + radius - radius * std::cos(polar));
    };
    TriangleSoup soup;
    soup.reserve(std::size_t(slices) * std::size_t(stacks) * 18);
    float a[3], b[3], c[3], d[3];
    for (int stack = 0; stack < stacks; ++stack) {
        for (int slice = 0; slice < slices; ++slice) {
            at(stack, slice, a);
            at(stack, slice + 1, b);
            at(stack + 1, slice, c);
            at(stack + 1, slice + 1, d);
            if (stack > 0)
                soup.insert(soup.end(), { a[0], a[1], a[2], b[0], b[1], b[2], d[0], d[1], d[2] });
            if (stack + 1 < stacks)
                soup.insert(soup.end(), { a[0], a[1], a[2], d[0], d[1], d[2], c[0], c[1], c[2] });
        }
    }
    return soup;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

int main(int argc, char** argv)
{
    int rounds = 5;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--rounds") == 0)
            rounds = std::max(1, std::atoi(argv[i + 1]));
    }
    const TriangleSoup model = sphere(30, 1000, 501, 3);
    std::printf("model: UV sphere, 60 mm, %zu triangles, 3 mm above the plate\n", model.size() / 9);
    for (const auto style :
        { SupportSettings::Style::Pillars, SupportSettings::Style::Branching }) {
        SupportSettings settings;
        settings.style = style;
        std::vector<double> times;
        SupportPlan plan;
        for (int round = 0; round < rounds; ++round) {
            const auto start = std::chrono::steady_clock::now();
            if (!planSupports(model, {}, settings, plan)) {
                std::fprintf(stderr, "the planner failed\n");
                return 1;
            }
            times.push_back(
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        }
        // Branches that meet share one foot.
        std::set<std::pair<float, float>> feet;
        for (const SupportFoot& s : plan.supports) {
            if (!s.onModel)
                feet.insert({ s.foot[0], s.foot[1] });
        }
        std::printf("%s: median %.3f s over %d rounds (goal under 2 s); %zu points, %zu supports, "
                    "%zu feet on the plate, %zu support triangles\n",
            style == SupportSettings::Style::Pillars ? "pillars" : "branching", median(times),
            rounds, plan.points.size(), plan.supports.size(), feet.size(),
            plan.geometry.size() / 9);
    }
    return 0;
}
