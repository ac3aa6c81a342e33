// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef BENCH_SLICING_SPHERESTL_H
#define BENCH_SLICING_SPHERESTL_H

#include <string>

// Writes a closed, outward-facing UV sphere as a binary STL: `slices` segments around, `stacks`
// rings from pole to pole, 2 * slices * (stacks - 1) triangles. The sphere rests on z = 0 and is
// centred on the z axis. False when the file cannot be written.
bool writeSphereStl(const std::string& path, double radius, int slices, int stacks);

#endif
