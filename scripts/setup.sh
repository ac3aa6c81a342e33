#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Corvane developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian 12 packages the build, the program and the tests need,
# when any is missing. Runs apt-get through sudo unless already root.
set -euo pipefail

packages=(
    cmake g++ make pkg-config
    qtbase5-dev qtdeclarative5-dev qt3d5-dev
    qml-module-qtquick2 qml-module-qtquick-window2 qml-module-qtquick-controls2
    qml-module-qtquick-templates2 qml-module-qtquick-layouts qml-module-qtquick-dialogs
    qml-module-qt-labs-platform qml-module-qtquick-scene3d qml-module-qt3d qml-module-qttest
    qt3d-defaultgeometryloader-plugin
    libgl1-mesa-dri xvfb xauth
    libcpp-httplib-dev zlib1g-dev libpolyclipping-dev
    libavahi-client-dev
    # tests: the printer host emulator, and mDNS inside a network namespace of the test's own
    python3 avahi-daemon avahi-utils dbus iproute2
    # tests: the installed tree and the Debian package, checked as desktops and apt see them
    dpkg-dev file desktop-file-utils appstream shared-mime-info
    # tests: an outside 3MF reader for the meshes of saved projects
    assimp-utils
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update
"${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
