#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Corvane developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package from a clean Release tree in build-package/ and
# checks it with lintian. The package lands in the top folder:
# corvane_<version>_amd64.deb.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${CORVANE_PACKAGE_BUILD_DIR:-$root/build-package}
"$root/scripts/setup.sh"
rm -rf "$build"
# Prefix /usr at configure time gives the Debian multiarch library folder.
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr
cmake --build "$build" --parallel "$(nproc)"
(cd "$build" && cpack -G DEB -B "$build/deb")
deb=$(ls "$build"/deb/corvane_*_amd64.deb)
cp "$deb" "$root/"
echo "Package: $root/$(basename "$deb")"
if command -v lintian >/dev/null; then
    # Errors fail the script; warnings are shown (the README explains those left).
    lintian --fail-on error "$root/$(basename "$deb")"
fi
