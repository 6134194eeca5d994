#!/usr/bin/env bash
# Renders packaging/icons/tolvane.svg into the PNG sizes the hicolor theme and the window use, and
# packs them into tolvane.ico for the Windows program and its installer (16 to 48 as bitmaps,
# which every Windows reads; the larger sizes as PNG, as Windows Vista and later read them).
# Run after editing the SVG and commit the PNGs and the .ico, so neither CI nor a build needs a
# converter. Needs rsvg-convert and icotool (Debian packages librsvg2-bin and icoutils).
set -euo pipefail
icons=$(cd "$(dirname "${BASH_SOURCE[0]}")/../packaging/icons" && pwd)
for size in 16 32 48 64 128 256; do
    rsvg-convert --width "$size" --height "$size" "$icons/tolvane.svg" -o "$icons/tolvane-$size.png"
done
cd "$icons"
icotool --create --output=tolvane.ico tolvane-16.png tolvane-32.png tolvane-48.png \
    --raw=tolvane-64.png --raw=tolvane-128.png --raw=tolvane-256.png
