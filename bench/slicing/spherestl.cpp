// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "spherestl.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

struct Point {
    double x, y, z;
};

void putFloat(std::vector<unsigned char>& out, double value)
{
    const float f = float(value);
    std::uint32_t bits;
    std::memcpy(&bits, &f, 4);
    for (int i = 0; i < 4; ++i)
        out.push_back((unsigned char)(bits >> (8 * i)));
}

void putTriangle(std::vector<unsigned char>& out, const Point& a, const Point& b, const Point& c)
{
    const Point u { b.x - a.x, b.y - a.y, b.z - a.z };
    const Point v { c.x - a.x, c.y - a.y, c.z - a.z };
    Point n { u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x };
    const double length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    if (length > 0)
        n = { n.x / length, n.y / length, n.z / length };
    for (const Point& p : { n, a, b, c }) {
        putFloat(out, p.x);
        putFloat(out, p.y);
        putFloat(out, p.z);
    }
    out.push_back(0); // attribute byte count
    out.push_back(0);
}

} // namespace

bool writeSphereStl(const std::string& path, double radius, int slices, int stacks)
{
    const double pi = std::acos(-1.0);
    auto at = [&](int ring, int slice) {
        const double phi = pi * ring / stacks; // 0 at the top pole
        const double theta = 2 * pi * (slice % slices) / slices;
        return Point { radius * std::sin(phi) * std::cos(theta),
            radius * std::sin(phi) * std::sin(theta), radius + radius * std::cos(phi) };
    };
    const std::uint32_t count = std::uint32_t(2 * slices * (stacks - 1));
    std::vector<unsigned char> out(80, 0);
    const char title[] = "UV sphere for the slicing benchmark";
    std::memcpy(out.data(), title, sizeof title - 1);
    for (int i = 0; i < 4; ++i)
        out.push_back((unsigned char)(count >> (8 * i)));
    out.reserve(84 + std::size_t(count) * 50);
    // Corners counter-clockwise seen from outside: down the rings (phi), then around (theta).
    for (int ring = 0; ring < stacks; ++ring) {
        for (int slice = 0; slice < slices; ++slice) {
            const Point a = at(ring, slice), b = at(ring + 1, slice);
            const Point c = at(ring + 1, slice + 1), d = at(ring, slice + 1);
            if (ring > 0)
                putTriangle(out, a, c, d);
            if (ring < stacks - 1)
                putTriangle(out, a, b, c);
        }
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(out.data(), 1, out.size(), file) == out.size();
    return std::fclose(file) == 0 && written;
}
