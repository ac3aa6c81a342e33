#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Corvane developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Proves the Debian package on a machine that never saw the build: makes a
# fresh Debian 12 root with mmdebstrap, installs the package there with apt
# (which must pull every dependency), starts corvane from its menu entry with a
# model under Xvfb inside that root, checks that the installed agent runs and
# that the desktop opens STL files with corvane, and takes a screenshot.
# Run as root, with network access to the Debian mirror. Not part of CI.
# Usage: bench/install/fresh-root.sh corvane_X_amd64.deb [work-folder]
set -euo pipefail
deb=$(realpath "$1")
work=${2:-$(mktemp -d /tmp/corvane-root.XXXXXX)}
target=$work/root
mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian}

command -v mmdebstrap >/dev/null || apt-get install -y --no-install-recommends mmdebstrap
echo "== a fresh Debian 12 root in $target"
if grep -q " $target/" /proc/mounts; then
    echo "$target still has file systems mounted inside it; unmount them first" >&2
    exit 1
fi
rm -rf "$target"
mkdir -p "$work"
mmdebstrap --variant=apt --include=ca-certificates bookworm "$target" "$mirror"

cleanup() {
    umount -R -l "$target/proc" "$target/sys" "$target/dev" 2>/dev/null || true
}
trap cleanup EXIT
mount -t proc proc "$target/proc"
mount --rbind /sys "$target/sys"
mount --rbind /dev "$target/dev"
cp /etc/resolv.conf "$target/etc/resolv.conf"

# The same suites as an installed Debian 12 (mmdebstrap leaves no package lists behind).
cat >"$target/etc/apt/sources.list" <<SOURCES
deb $mirror bookworm main
deb $mirror bookworm-updates main
deb http://deb.debian.org/debian-security bookworm-security main
SOURCES
chroot "$target" apt-get update >/dev/null

echo "== apt install ./$(basename "$deb")"
cp "$deb" "$target/tmp/"
chroot "$target" apt-get install -y --no-install-recommends "/tmp/$(basename "$deb")" \
    | tee "$work/apt-install.log" | tail -n 3
echo "packages in the root after installing: $(chroot "$target" dpkg -l | grep -c '^ii')"

echo "== what the proof itself needs: a display, a screenshot tool, the desktop's MIME tools"
chroot "$target" apt-get install -y --no-install-recommends xvfb xauth imagemagick xdg-utils \
    desktop-file-utils shared-mime-info procps >/dev/null

echo "== the desktop opens STL files with corvane"
chroot "$target" update-desktop-database /usr/share/applications
chroot "$target" update-mime-database /usr/share/mime
default=$(chroot "$target" env XDG_DATA_DIRS=/usr/share xdg-mime query default model/stl)
echo "xdg-mime default for model/stl: $default"
[ "$default" = com.corvane.Corvane.desktop ]

echo "== the menu entry starts the window with a model"
python3 - "$target/tmp/cube.stl" <<'PY'
import struct, sys
v = [(x, y, z) for x in (0, 20) for y in (0, 20) for z in (0, 20)]
faces = [(0,2,1),(1,2,3),(4,5,6),(5,7,6),(0,1,4),(1,5,4),(2,6,3),(3,6,7),(0,4,2),(2,4,6),(1,3,5),(3,7,5)]
with open(sys.argv[1], "wb") as f:
    f.write(b"\0" * 80 + struct.pack("<I", len(faces)))
    for a, b, c in faces:
        f.write(struct.pack("<12fH", 0, 0, 0, *v[a], *v[b], *v[c], 0))
PY
exec_line=$(sed -n 's/^Exec=//p' "$target/usr/share/applications/com.corvane.Corvane.desktop")
command=${exec_line//%F//tmp/cube.stl}
echo "Exec: $command"
cat >"$target/tmp/start.sh" <<START
HOME=/root xvfb-run -a -s "-screen 0 1024x700x24" sh -c '$command & window=\$!; sleep 25;
    import -display \$DISPLAY -window root /tmp/corvane-in-root.png;
    ps -eo pid,args | grep -v grep | grep -E "corvane|libexec/corvane/agent" >/tmp/processes.txt;
    kill \$window; wait'
START
# In a network namespace of its own: the agent port of this machine stays untouched.
unshare -n sh -c "ip link set lo up; chroot '$target' sh /tmp/start.sh" || true
cat "$target/tmp/processes.txt"
grep -q "/usr/libexec/corvane/agent" "$target/tmp/processes.txt"
cp "$target/tmp/corvane-in-root.png" "$work/"
echo "screenshot: $work/corvane-in-root.png"
echo "fresh root: good"
