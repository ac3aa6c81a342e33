// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "testmodels.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

using Point = std::array<double, 3>;
const double pi = std::acos(-1.0);

void triangle(std::vector<float>& soup, const Point& a, const Point& b, const Point& c)
{
    for (const Point* p : { &a, &b, &c })
        for (double v : *p)
            soup.push_back(float(v));
}

// Eight corners in the order of a box: (x0 y0 z0) (x1 y0 z0) (x1 y1 z0) (x0 y1 z0), then the
// same at z1. Any hexahedron whose corners keep that orientation.
void hexahedron(std::vector<float>& soup, const std::array<Point, 8>& c)
{
    const int faces[12][3] = { { 0, 2, 1 }, { 0, 3, 2 }, { 4, 5, 6 }, { 4, 6, 7 }, { 0, 1, 5 },
        { 0, 5, 4 }, { 2, 3, 7 }, { 2, 7, 6 }, { 1, 2, 6 }, { 1, 6, 5 }, { 3, 0, 4 }, { 3, 4, 7 } };
    for (const auto& f : faces)
        triangle(soup, c[std::size_t(f[0])], c[std::size_t(f[1])], c[std::size_t(f[2])]);
}

void box(std::vector<float>& soup, double x0, double y0, double z0, double x1, double y1, double z1)
{
    hexahedron(soup,
        { Point { x0, y0, z0 }, Point { x1, y0, z0 }, Point { x1, y1, z0 }, Point { x0, y1, z0 },
            Point { x0, y0, z1 }, Point { x1, y0, z1 }, Point { x1, y1, z1 },
            Point { x0, y1, z1 } });
}

Point onCircle(double radius, int k, int sides, double z)
{
    const double angle = 2 * pi * (k % sides) / sides;
    return { radius * std::cos(angle), radius * std::sin(angle), z };
}

// A ring between two radii from z0 to z1 (a cylinder when `inner` is 0), around the z axis.
void ring(
    std::vector<float>& soup, double inner, double outer, double z0, double z1, int sides = 48)
{
    for (int k = 0; k < sides; ++k) {
        const Point o0 = onCircle(outer, k, sides, z0), o1 = onCircle(outer, k + 1, sides, z0);
        const Point O0 = onCircle(outer, k, sides, z1), O1 = onCircle(outer, k + 1, sides, z1);
        triangle(soup, o0, o1, O1);
        triangle(soup, o0, O1, O0);
        if (inner > 0) {
            const Point i0 = onCircle(inner, k, sides, z0), i1 = onCircle(inner, k + 1, sides, z0);
            const Point I0 = onCircle(inner, k, sides, z1), I1 = onCircle(inner, k + 1, sides, z1);
            triangle(soup, i0, I1, i1);
            triangle(soup, i0, I0, I1);
            triangle(soup, i0, i1, o1); // bottom, looking down
            triangle(soup, i0, o1, o0);
            triangle(soup, I0, O1, I1); // top
            triangle(soup, I0, O0, O1);
        } else {
            const Point c0 { 0, 0, z0 }, c1 { 0, 0, z1 };
            triangle(soup, c0, o1, o0);
            triangle(soup, c1, O0, O1);
        }
    }
}

// Turns the soup about the y axis (x towards -z for positive angles) and sets it on the plate.
void tiltAndDrop(std::vector<float>& soup, double degrees, float* hanging)
{
    const double c = std::cos(degrees * pi / 180), s = std::sin(degrees * pi / 180);
    for (std::size_t i = 0; i < soup.size(); i += 3) {
        const double x = soup[i], z = soup[i + 2];
        soup[i] = float(x * c + z * s);
        soup[i + 2] = float(-x * s + z * c);
    }
    float low = soup[2];
    for (std::size_t i = 2; i < soup.size(); i += 3)
        low = std::min(low, soup[i]);
    for (std::size_t i = 2; i < soup.size(); i += 3)
        soup[i] -= low;
    const double x = hanging[0], z = hanging[2];
    hanging[0] = float(x * c + z * s);
    hanging[2] = float(-x * s + z * c) - low;
}

} // namespace

TestModel tiltedTShape()
{
    TestModel model { QStringLiteral("T shape"), {}, { 10, 0, 16 } };
    box(model.triangles, -2, -3, 0, 2, 3, 16.5); // the stem reaches into the bar
    box(model.triangles, -10, -3, 16, 10, 3, 20);
    tiltAndDrop(model.triangles, 30, model.hanging);
    return model;
}

TestModel liftedSphere()
{
    TestModel model { QStringLiteral("sphere off the plate"), {}, { 0, 0, 3 } };
    const int slices = 48, stacks = 24;
    const double radius = 8, centre = 3 + radius;
    auto at = [&](int stack, int slice) -> Point {
        if (stack == 0)
            return { 0, 0, centre - radius };
        if (stack == stacks)
            return { 0, 0, centre + radius };
        const double polar = pi * stack / stacks;
        const Point p = onCircle(radius * std::sin(polar), slice, slices, 0);
        return { p[0], p[1], centre - radius * std::cos(polar) };
    };
    for (int stack = 0; stack < stacks; ++stack) {
        for (int slice = 0; slice < slices; ++slice) {
            const Point a = at(stack, slice), b = at(stack, slice + 1);
            const Point c = at(stack + 1, slice), d = at(stack + 1, slice + 1);
            // The rings close into single poles: skip the triangle that would have no area.
            if (stack > 0)
                triangle(model.triangles, a, b, d);
            if (stack + 1 < stacks)
                triangle(model.triangles, a, d, c);
        }
    }
    return model;
}

TestModel tiltedArch()
{
    TestModel model { QStringLiteral("arch"), {}, { -8, 0, 0 } };
    const int segments = 24;
    const double inner = 8, outer = 11;
    auto at = [&](double radius, int k, double y) -> Point {
        const double angle = pi * k / segments; // from the +x foot over the top to the -x foot
        return { radius * std::cos(angle), y, radius * std::sin(angle) };
    };
    for (int k = 0; k < segments; ++k) {
        // Corner order of a box, turned the right way: along the segment, towards -y, outward.
        hexahedron(model.triangles,
            { at(inner, k, 3), at(inner, k + 1, 3), at(inner, k + 1, -3), at(inner, k, -3),
                at(outer, k, 3), at(outer, k + 1, 3), at(outer, k + 1, -3), at(outer, k, -3) });
    }
    tiltAndDrop(model.triangles, 20, model.hanging);
    return model;
}

TestModel ledge(double degrees)
{
    TestModel model { QStringLiteral("ledge at %1°").arg(degrees), {}, {} };
    box(model.triangles, -6, -5, 0, 0, 5, 20);
    const double a = degrees * pi / 180, length = 12, thickness = 1.5;
    const Point along { std::sin(a), 0, -std::cos(a) }; // down and out, away from the wall
    const Point across { std::cos(a), 0, std::sin(a) }; // the slab's thickness, up and out
    const Point root { -0.5, 0, 19.5 };
    auto at = [&](double s, double y, double t) -> Point {
        return { root[0] + s * along[0] + t * across[0], y,
            root[2] + s * along[2] + t * across[2] };
    };
    hexahedron(model.triangles,
        { at(0, -4, 0), at(length, -4, 0), at(length, 4, 0), at(0, 4, 0), at(0, -4, thickness),
            at(length, -4, thickness), at(length, 4, thickness), at(0, 4, thickness) });
    const Point end = at(length, 0, 0);
    model.hanging[0] = float(end[0]);
    model.hanging[1] = 0;
    model.hanging[2] = float(end[2]);
    return model;
}

TestModel mushroom()
{
    TestModel model { QStringLiteral("mushroom"), {}, { 9, 0, 9 } };
    ring(model.triangles, 0, 2.5, 0, 12.5); // stem
    ring(model.triangles, 0, 9, 12, 15); // cap
    ring(model.triangles, 7.5, 9, 9, 12.2); // rim
    return model;
}

std::vector<TestModel> allTestModels()
{
    return { tiltedTShape(), liftedSphere(), tiltedArch(), ledge(30), ledge(60), mushroom() };
}

TestModel twinBlocks()
{
    TestModel model { QStringLiteral("twin blocks"), {}, { 0, 0, 3 } };
    box(model.triangles, 0, 0, 3, 1, 1, 4);
    box(model.triangles, 1.5, 0, 3, 2.5, 1, 4);
    return model;
}
