#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Corvane developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Renders the logo SVG into the PNG used by the editor, the Windows icon
# group and the installed desktop icons (packaging/icons). Needs rsvg-convert and ImageMagick; the results are committed, so a
# normal build never runs this.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
svg="$root/modelbay/images/corvane-logo.svg"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
rsvg-convert -w 32 -h 32 "$svg" -o "$root/modelbay/images/Corvane-Logo-32x32.png"
for size in 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" "$svg" -o "$root/packaging/icons/corvane-$size.png"
done
pngs=()
for size in 256 192 128 96 64 48 40 32 24 16; do
    rsvg-convert -w "$size" -h "$size" "$svg" -o "$tmp/$size.png"
    pngs+=("$tmp/$size.png")
done
# ImageMagick stores the 256-pixel image as PNG and the others as 32-bit bitmaps.
convert "${pngs[@]}" "$root/launcher/windows/corvane.ico"
