#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Corvane developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer targets with Debian's clang (AddressSanitizer and UndefinedBehaviorSanitizer
# on) and runs each one for the given number of seconds, one after the other.
#
#   bench/fuzz/run.sh [seconds] [target ...]      (default: 60 seconds, every target)
#
# Needs clang-14 and libclang-rt-14-dev. Binaries, corpora and logs go to $CORVANE_FUZZ_DIR
# (default /tmp/corvane-fuzz); the seeds in bench/fuzz/seeds/<target>/ start each corpus.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-60}
shift || true
work=${CORVANE_FUZZ_DIR:-/tmp/corvane-fuzz}
cxx=${CORVANE_FUZZ_CXX:-clang++-14}

# One line per target: its name, then the sources it is built from (relative to the tree).
declare -A sources
sources[fuzz_stl]="bench/fuzz/fuzz_stl.cpp meshio/stl.cpp"
sources[fuzz_obj]="bench/fuzz/fuzz_obj.cpp meshio/obj.cpp"
sources[fuzz_3mf]="bench/fuzz/fuzz_3mf.cpp meshio/threemf.cpp meshio/xmlscanner.cpp meshio/zippart.cpp"
sources[fuzz_jobfiles]="bench/fuzz/fuzz_jobfiles.cpp agent/engine/photonworkshopfile.cpp agent/engine/ctbfile.cpp agent/engine/previewcolour.cpp"
sources[fuzz_form]="bench/fuzz/fuzz_form.cpp agent/form.cpp agent/slicerequest.cpp agent/requestguard.cpp agent/requesthead.cpp"
# Compiler and linker flags a target needs beyond the sources (the 3MF reader uses Qt and zlib).
declare -A flags
flags[fuzz_3mf]="$(pkg-config --cflags --libs Qt5Core zlib 2>/dev/null || true) -fPIC"
flags[fuzz_jobfiles]="-DCORVANE_VERSION=\"fuzz\""

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    mapfile -t targets < <(printf '%s\n' "${!sources[@]}" | sort)
fi

mkdir -p "$work"
for target in "${targets[@]}"; do
    if [ -z "${sources[$target]:-}" ]; then
        echo "unknown fuzz target: $target" >&2
        exit 2
    fi
    files=()
    for file in ${sources[$target]}; do
        files+=("$root/$file")
    done
    echo "== building $target"
    "$cxx" -std=c++17 -O1 -g -fno-omit-frame-pointer \
        -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
        -I"$root/meshio" -I"$root/agent/engine" -I"$root/agent" "${files[@]}" ${flags[$target]:-} \
        -o "$work/$target"
    corpus="$work/corpus/$target"
    mkdir -p "$corpus"
    seeds=()
    if [ -d "$root/bench/fuzz/seeds/$target" ]; then
        seeds=("$root/bench/fuzz/seeds/$target")
    fi
    echo "== running $target for $seconds s"
    (cd "$work" && "./$target" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$work/$target-" "$corpus" "${seeds[@]}") >"$work/$target.log" 2>&1 || {
        tail -n 40 "$work/$target.log"
        echo "== $target FOUND A PROBLEM (log: $work/$target.log)"
        exit 1
    }
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$target.log")
    echo "== $target: no crash in $seconds s, $runs executions (log: $work/$target.log)"
done
