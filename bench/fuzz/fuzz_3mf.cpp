// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the 3MF reader: any bytes (a zip archive or not) must give either a mesh
// of finite triangles or one sentence, and never a crash, a leak or undefined behaviour.
#include "threemf.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

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
    if (parse3mf(data, size, mesh, error)) {
        check(mesh.triangleCount() > 0 && mesh.xyz.size() % 9 == 0);
        check(mesh.triangleCount() <= kMaxMeshTriangles);
        for (float v : mesh.xyz)
            check(std::isfinite(v));
    } else {
        check(mesh.xyz.empty());
        check(!error.empty() && error.back() == '.');
    }
    return 0;
}
