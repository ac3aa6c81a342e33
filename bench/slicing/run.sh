#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Corvane developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the slicing benchmark in a Release tree and runs it; extra arguments go to the benchmark
# (--rounds N, --keep DIR). The comparison runs when prusa-slicer is installed
# (apt-get install prusa-slicer; not part of the build's packages).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${CORVANE_BENCH_BUILD_DIR:-$root/build-bench}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCORVANE_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target bench_slicing --parallel "$(nproc)" >/dev/null
"$build/bin/bench_slicing" "$@"
