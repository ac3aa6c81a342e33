// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the OBJ reader: any bytes must give either a mesh of finite triangles or
// one sentence, and never a crash, a leak or undefined behaviour.
#include "obj.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool promise)
{
    if (!promise)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Mesh mesh;
    std::string error;
    if (parseObj(data, size, mesh, error)) {
        check(mesh.triangleCount() > 0 && mesh.xyz.size() % 9 == 0);
        check(mesh.triangleCount() <= kMaxMeshTriangles);
        // The shortest face corner is two bytes ("1 "), and a fan of n corners gives n - 2
        // triangles: a mesh never holds more triangles than the file has bytes.
        check(mesh.triangleCount() <= size);
        for (float v : mesh.xyz)
            check(std::isfinite(v));
    } else {
        check(mesh.xyz.empty());
        check(!error.empty() && error.back() == '.');
    }
    return 0;
}
