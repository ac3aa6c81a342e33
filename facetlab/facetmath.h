// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef FACETLAB_FACETMATH_H
#define FACETLAB_FACETMATH_H

#include <QVector3D>

// Single-precision arithmetic that moves a triangle into scene coordinates and
// gives it a facet normal. Every sum is formed left to right as written; the
// targets that include this header build with -ffp-contract=off so that no
// fused multiply-add changes a bit between compilers or machines.
namespace FacetMath {

// The three corners as the columns of a 4x4 matrix in homogeneous form:
// column j is (x, y, z, 1) of corner j. The fourth column of that matrix is
// all zero, and in a product each column of the result depends on the same
// column of the right-hand side only, so the zero column never reaches a
// corner and is not carried.
struct CornerColumns {
    float column[3][4];
};

inline CornerColumns cornerColumns(
    const float corner0[3], const float corner1[3], const float corner2[3])
{
    return { { { corner0[0], corner0[1], corner0[2], 1.0f },
        { corner1[0], corner1[1], corner1[2], 1.0f },
        { corner2[0], corner2[1], corner2[2], 1.0f } } };
}

// columns = left x columns, where left is a 4x4 matrix in column-major order
// (the layout of QMatrix4x4::constData()). Each element is the sum over k of
// left(row, k) * right(k, column), added from k = 0 to k = 3.
inline void multiply(const float left[16], CornerColumns& columns)
{
    for (auto& c : columns.column) {
        const float r0 = c[0], r1 = c[1], r2 = c[2], r3 = c[3];
        for (int row = 0; row < 4; ++row)
            c[row] = left[row] * r0 + left[4 + row] * r1 + left[8 + row] * r2 + left[12 + row] * r3;
    }
}

// a x b with a = corner1 - corner0 and b = corner2 - corner0, normalised by
// QVector3D::normalize(), which leaves a zero vector (a degenerate triangle) at zero.
inline QVector3D facetNormal(const float corner0[3], const float corner1[3], const float corner2[3])
{
    const float ax = corner1[0] - corner0[0];
    const float ay = corner1[1] - corner0[1];
    const float az = corner1[2] - corner0[2];
    const float bx = corner2[0] - corner0[0];
    const float by = corner2[1] - corner0[1];
    const float bz = corner2[2] - corner0[2];
    QVector3D normal(ay * bz - az * by, az * bx - ax * bz, ax * by - ay * bx);
    normal.normalize();
    return normal;
}

}

#endif
