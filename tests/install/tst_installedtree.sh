#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Corvane developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build into a DESTDIR and checks the installed tree from outside:
# its layout, relative RUNPATHs, the command line, the desktop files, and that
# the installed window starts the installed agent. Usage: BUILD DIR VERSION
set -euo pipefail
build=$1 work=$2 version=$3
root=$work/root
fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work"
DESTDIR=$root cmake --install "$build" --prefix /usr >"$work/install.log"

libdir=$(find "$root/usr/lib" -type d -name corvane | head -n1)
[ -n "$libdir" ] || fail "no private library folder"
for file in usr/bin/corvane usr/libexec/corvane/agent \
    usr/share/applications/com.corvane.Corvane.desktop \
    usr/share/metainfo/com.corvane.Corvane.metainfo.xml \
    usr/share/mime/packages/com.corvane.Corvane.xml \
    usr/share/icons/hicolor/scalable/apps/com.corvane.Corvane.svg \
    usr/share/icons/hicolor/256x256/apps/com.corvane.Corvane.png \
    usr/share/icons/hicolor/32x32/apps/com.corvane.Corvane.png \
    usr/share/doc/corvane/copyright usr/share/doc/corvane/changelog.gz; do
    [ -e "$root/$file" ] || fail "$file is not installed"
done
for lib in libslicewire.so libfacetlab.so libmodelbay.so; do
    [ -e "$libdir/$lib" ] || fail "$lib is not in $libdir"
done
# Nothing of the build tree, tests or tools is installed.
if find "$root" -name 'tst_*' -o -name '*.py' -o -name 'printer-host*' | grep -q .; then
    fail "test or tool files were installed"
fi

# Every RUNPATH is relative to its binary, and every library is found.
for binary in "$root/usr/bin/corvane" "$root/usr/libexec/corvane/agent" "$libdir"/*.so; do
    runpath=$(readelf -d "$binary" | sed -n 's/.*R\(UN\)\?PATH.*\[\(.*\)\]/\2/p')
    case "$runpath" in
    "" | '$ORIGIN'*) ;;
    *) fail "$binary has the RUNPATH $runpath" ;;
    esac
    if env -u LD_LIBRARY_PATH ldd "$binary" | grep -q "not found"; then
        fail "$binary misses a library: $(ldd "$binary" | grep 'not found')"
    fi
done
env -u LD_LIBRARY_PATH ldd "$root/usr/bin/corvane" | grep -q "=> $root/.*/corvane/libmodelbay.so" \
    || fail "corvane does not load its own libmodelbay.so"

# The command line, with no display at all.
out=$(env -u DISPLAY -u LD_LIBRARY_PATH "$root/usr/bin/corvane" --version)
[ "$out" = "corvane $version" ] || fail "--version said: $out"
env -u DISPLAY "$root/usr/bin/corvane" --help | grep -q '\.3mf' || fail "--help names no 3MF"
if env -u DISPLAY "$root/usr/bin/corvane" --no-such-option 2>"$work/err.txt"; then
    fail "an unknown option started the program"
fi
grep -q "no-such-option" "$work/err.txt" || fail "the refusal does not name the option"

# The desktop files are what desktop environments accept.
desktop-file-validate "$root/usr/share/applications/com.corvane.Corvane.desktop"
appstreamcli validate --no-net --pedantic "$root/usr/share/metainfo/com.corvane.Corvane.metainfo.xml" >"$work/appstream.txt" \
    || { cat "$work/appstream.txt"; fail "the metainfo file does not validate"; }
mkdir -p "$work/mime/packages" # update-mime-database wants the share folder above mime/
cp "$root/usr/share/mime/packages/com.corvane.Corvane.xml" "$work/mime/packages/"
XDG_DATA_DIRS=$work update-mime-database "$work/mime" 2>"$work/mime.txt" \
    || { cat "$work/mime.txt"; fail "the MIME definitions do not load"; }
grep -q '\.goo' "$work/mime/globs2" || fail "the job-file types are not in the MIME database"

# The installed window starts the installed agent, with the build tree on no path.
printf 'solid t\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 10 0 0\nvertex 0 10 0\nendloop\nendfacet\nendsolid t\n' >"$work/t.stl"
mkdir -p "$work/home"
cd "$work"
env -u LD_LIBRARY_PATH HOME="$work/home" xvfb-run -a -s "-screen 0 1024x700x24" \
    "$root/usr/bin/corvane" "$work/t.stl" >"$work/corvane.log" 2>&1 &
runner=$!
agent_seen=""
for _ in $(seq 1 120); do
    for pid in $(pgrep -x agent || true); do
        if [ "$(readlink "/proc/$pid/exe" 2>/dev/null)" = "$root/usr/libexec/corvane/agent" ]; then
            agent_seen=$pid
        fi
    done
    [ -z "$agent_seen" ] || break
    sleep 0.5
done
pkill -TERM -f "$root/usr/bin/corvane" || true
wait "$runner" || true
[ -n "$agent_seen" ] || { cat "$work/corvane.log"; fail "the installed corvane did not start its agent"; }
for _ in $(seq 1 60); do
    [ -d "/proc/$agent_seen" ] || break
    sleep 0.5
done
[ ! -d "/proc/$agent_seen" ] || fail "the agent outlived the window"
echo "installed tree: good"
