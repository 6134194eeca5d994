#!/usr/bin/env bash
# Renders packaging/icons/NAME.svg (the tool's tolvane, Tolvane Find's tolvane-find) into the PNG
# sizes the hicolor theme and the window use, and packs them into NAME.ico for the Windows program
# and its installer (16 to 48 as bitmaps, which every Windows reads; the larger sizes as PNG, as
# Windows Vista and later read them).
# Run after editing the SVG and commit the PNGs and the .ico, so neither CI nor a build needs a
# converter. Needs rsvg-convert and icotool (Debian packages librsvg2-bin and icoutils).
set -euo pipefail
icons=$(cd "$(dirname "${BASH_SOURCE[0]}")/../packaging/icons" && pwd)
cd "$icons"
for name in tolvane tolvane-find; do
    for size in 16 32 48 64 128 256; do
        rsvg-convert --width "$size" --height "$size" "$name.svg" -o "$name-$size.png"
    done
    icotool --create --output="$name.ico" "$name-16.png" "$name-32.png" "$name-48.png" \
        --raw="$name-64.png" --raw="$name-128.png" --raw="$name-256.png"
done
