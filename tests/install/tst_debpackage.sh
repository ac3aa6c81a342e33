#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Corvane developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the Debian package from the build tree and checks its metadata and
# contents: name, the dependencies the linker and the QML need, the files.
# Usage: BUILD DIR VERSION
set -euo pipefail
build=$1 work=$2 version=$3
fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work"
(cd "$build" && cpack -G DEB -B "$work" >"$work/cpack.log") || { cat "$work/cpack.log"; fail "cpack"; }
deb=$work/corvane_${version}_amd64.deb
[ -f "$deb" ] || { ls "$work"; fail "no corvane_${version}_amd64.deb"; }

[ "$(dpkg-deb -f "$deb" Package)" = corvane ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version"
[ "$(dpkg-deb -f "$deb" Architecture)" = amd64 ] || fail "architecture"
depends=$(dpkg-deb -f "$deb" Depends)
# Found by dpkg-shlibdeps (the linker's needs) and listed by hand (the QML's).
for package in libqt5core5a libqt5quick5 libqt53drender5 libc6 libavahi-client3 zlib1g \
    qml-module-qtquick-scene3d qml-module-qt3d qml-module-qtquick-controls2 \
    qml-module-qtquick-dialogs qml-module-qt-labs-platform; do
    echo "$depends" | grep -q "\b$package\b" || fail "Depends lacks $package: $depends"
done
[ -n "$(dpkg-deb -f "$deb" Description)" ] || fail "no description"
[ -n "$(dpkg-deb -f "$deb" Maintainer)" ] || fail "no maintainer"

contents=$(dpkg-deb -c "$deb")
for file in ./usr/bin/corvane ./usr/libexec/corvane/agent ./usr/share/doc/corvane/copyright \
    ./usr/share/applications/com.corvane.Corvane.desktop \
    ./usr/share/metainfo/com.corvane.Corvane.metainfo.xml; do
    echo "$contents" | grep -q " $file\$" || fail "$file is not in the package"
done
echo "$contents" | grep -q "/corvane/libmodelbay.so$" || fail "libmodelbay.so is not in the package"
echo "debian package: good"
