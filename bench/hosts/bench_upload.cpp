// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The agent's upload alone, without packing: stores one job file on a printer host a number of
// times and prints, one line per round, the seconds it took and how far the peak resident
// memory rose above the memory before it. Driven by bench_send.py.
#include "hostupload.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

// VmRSS or VmHWM of this process, in KiB.
long memoryKiB(const char* key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0)
            return std::atol(line.c_str() + std::string(key).size() + 1);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 6) {
        std::fprintf(stderr, "usage: bench_upload FILE PORT API-KEY ROUNDS PREFIX\n");
        return 2;
    }
    HostCredentials credentials;
    credentials.apiKey = argv[3];
    UploadCanceller canceller;
    for (int round = 0; round < std::atoi(argv[4]); ++round) {
        std::ofstream("/proc/self/clear_refs") << "5"; // the peak starts again from here
        const long before = memoryKiB("VmRSS:");
        const auto start = std::chrono::steady_clock::now();
        const SendOutcome outcome = uploadJobFile("127.0.0.1", argv[2], credentials, argv[1],
            std::string(argv[5]) + std::to_string(round) + ".sl1", canceller);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        if (outcome.status != 200) {
            std::fprintf(stderr, "bench_upload: %s\n", outcome.sentence.c_str());
            return 1;
        }
        std::printf("%.6f %.3f\n", took.count(), (memoryKiB("VmHWM:") - before) / 1024.0);
    }
    return 0;
}
