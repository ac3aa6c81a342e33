#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Corvane developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Sets up, builds everything with AddressSanitizer and UndefinedBehaviorSanitizer
# and runs every test headless (window tests start their own Xvfb).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${CORVANE_TEST_BUILD_DIR:-$root/build-test}
"$root/scripts/setup.sh"
werror=OFF
if [ "${CI:-}" = "true" ]; then
    werror=ON
fi
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCORVANE_BUILD_TESTS=ON \
    -DCORVANE_SANITIZE=ON -DCORVANE_WERROR=$werror
cmake --build "$build" --parallel "$(nproc)"
cd "$build"
ctest --output-on-failure --parallel "$(nproc)"
