// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the STL reader: any bytes must give either a mesh of finite triangles or
// one sentence, and never a crash, a leak or undefined behaviour.
#include "stl.h"

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
    if (parseStl(data, size, mesh, error)) {
        check(mesh.triangleCount() > 0 && mesh.xyz.size() % 9 == 0);
        // Binary records take 50 bytes, the shortest text facet more: a mesh never outgrows its
        // file.
        check(mesh.triangleCount() * 50 <= size);
        for (float v : mesh.xyz)
            check(std::isfinite(v));
    } else {
        check(mesh.xyz.empty());
        check(!error.empty() && error.back() == '.');
    }
    return 0;
}
