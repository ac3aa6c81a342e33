// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "frustum.h"

#include <cmath>

namespace {

void appendTriangle(TriangleSoup& soup, const double* a, const double* b, const double* c)
{
    for (const double* p : { a, b, c })
        for (int k = 0; k < 3; ++k)
            soup.push_back(float(p[k]));
}

void normalise(double v[3])
{
    const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    for (int k = 0; k < 3; ++k)
        v[k] /= length;
}

void cross(const double a[3], const double b[3], double out[3])
{
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

} // namespace

void appendFrustum(TriangleSoup& soup, const double top[3], double topRadius,
    const double bottom[3], double bottomRadius, int sides)
{
    // w along the axis, bottom to top; u, v across it with u x v = w, so that the rings run
    // counter-clockwise seen from the top and the faces below look outward.
    double w[3] = { top[0] - bottom[0], top[1] - bottom[1], top[2] - bottom[2] };
    if (w[0] == 0 && w[1] == 0 && w[2] == 0)
        return;
    normalise(w);
    const double helper[3]
        = { std::fabs(w[2]) < 0.9 ? 0.0 : 1.0, 0.0, std::fabs(w[2]) < 0.9 ? 1.0 : 0.0 };
    double u[3], v[3];
    cross(helper, w, u);
    normalise(u);
    cross(w, u, v);

    const double pi = std::acos(-1.0);
    auto ring = [&](const double* centre, double radius, int k, double* out) {
        const double angle = 2 * pi * (k % sides) / sides;
        const double c = std::cos(angle) * radius, s = std::sin(angle) * radius;
        for (int a = 0; a < 3; ++a)
            out[a] = centre[a] + c * u[a] + s * v[a];
    };
    double t0[3], t1[3], b0[3], b1[3], tFirst[3], bFirst[3];
    ring(top, topRadius, 0, tFirst);
    ring(bottom, bottomRadius, 0, bFirst);
    for (int k = 0; k < sides; ++k) {
        ring(top, topRadius, k, t0);
        ring(top, topRadius, k + 1, t1);
        ring(bottom, bottomRadius, k, b0);
        ring(bottom, bottomRadius, k + 1, b1);
        appendTriangle(soup, b0, b1, t1);
        appendTriangle(soup, b0, t1, t0);
        if (k > 0 && k + 1 < sides) {
            appendTriangle(soup, tFirst, t0, t1); // top cap, looking along w
            appendTriangle(soup, bFirst, b1, b0); // bottom cap, looking against w
        }
    }
}

void appendBox(TriangleSoup& soup, double x0, double y0, double z0, double x1, double y1, double z1)
{
    const double c[8][3] = { { x0, y0, z0 }, { x1, y0, z0 }, { x1, y1, z0 }, { x0, y1, z0 },
        { x0, y0, z1 }, { x1, y0, z1 }, { x1, y1, z1 }, { x0, y1, z1 } };
    const int faces[12][3] = { { 0, 2, 1 }, { 0, 3, 2 }, { 4, 5, 6 }, { 4, 6, 7 }, { 0, 1, 5 },
        { 0, 5, 4 }, { 2, 3, 7 }, { 2, 7, 6 }, { 1, 2, 6 }, { 1, 6, 5 }, { 3, 0, 4 }, { 3, 4, 7 } };
    for (const auto& f : faces)
        appendTriangle(soup, c[f[0]], c[f[1]], c[f[2]]);
}
