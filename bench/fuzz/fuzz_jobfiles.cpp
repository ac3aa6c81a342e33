// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the Photon Workshop and CTB readers: any bytes, as a file, must be refused
// with one sentence that names the file, or give tables whose every layer decodes to exactly the
// display's pixels in the format's grey levels, or is refused the same way; never a crash, a leak
// or undefined behaviour.
#include "ctbfile.h"
#include "photonworkshopfile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

void check(bool promise)
{
    if (!promise)
        std::abort();
}

void checkRefusal(const std::string& error, const std::string& path)
{
    check(!error.empty() && error.back() == '.' && error.find(path) != std::string::npos);
}

// Layers of displays too large to decode quickly are left out, not their tables.
constexpr std::uint64_t kMostFuzzPixels = 1u << 22;

template <typename Reader, typename Valid> void readAll(const std::string& path, Valid valid)
{
    Reader reader;
    std::string error;
    if (!reader.open(path, error)) {
        checkRefusal(error, path);
        return;
    }
    const auto& h = reader.header();
    check(h.pixelsX > 0 && h.pixelsY > 0 && h.layerCount == int(reader.layers().size()));
    const std::uint64_t pixels = std::uint64_t(h.pixelsX) * std::uint64_t(h.pixelsY);
    if (pixels > kMostFuzzPixels)
        return;
    std::vector<std::uint8_t> grey;
    for (int i = 0; i < h.layerCount; ++i) {
        if (!reader.readLayer(i, grey, error)) {
            checkRefusal(error, path);
            continue;
        }
        check(grey.size() == pixels);
        for (std::uint8_t g : grey)
            check(valid(g));
    }
    check(!reader.readLayer(h.layerCount, grey, error));
    checkRefusal(error, path);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string path = "/tmp/fuzz_jobfiles-" + std::to_string(getpid());
    std::FILE* file = std::fopen(path.c_str(), "wb");
    check(file && std::fwrite(data, 1, size, file) == size && std::fclose(file) == 0);
    readAll<PhotonWorkshopReader>(path, [](std::uint8_t g) { return g % 17 == 0; });
    readAll<CtbReader>(path, [](std::uint8_t g) { return g == 0 || g % 2 == 1; });
    std::remove(path.c_str());
    return 0;
}
