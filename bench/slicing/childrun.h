// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef BENCH_SLICING_CHILDRUN_H
#define BENCH_SLICING_CHILDRUN_H

#include <string>
#include <vector>

// One program run as a child of its own, so that its peak memory is its alone.
struct Run {
    bool ok = false;
    double seconds = 0;
    double peakMiB = 0;
    double cpuSeconds = 0; // user + system: less disturbed than wall time on a shared machine
};

// Runs a program (looked up on PATH) and waits for it; its wall and CPU time and peak resident
// memory. `quiet` sends its output to /dev/null.
Run runChild(const std::vector<std::string>& command, bool quiet = false);

#endif
