#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Corvane developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the agent in a Release tree and measures sending a 50 MB job file to the printer host
# emulator against curl -T of the same file; extra arguments go to bench_send.py (--rounds N,
# --megabytes M). Needs curl (not part of the build's packages).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${CORVANE_BENCH_BUILD_DIR:-$root/build-bench}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCORVANE_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target agent bench_upload --parallel "$(nproc)" >/dev/null
python3 "$root/bench/hosts/bench_send.py" --agent "$build/bin/agent" --upload "$build/bin/bench_upload" \
    --emulator "$root/tools/printer-host/printer-host.py" "$@"
