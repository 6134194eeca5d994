#!/usr/bin/env bash
# Renders packaging/icons/tolvane.svg into the PNG sizes the hicolor theme and the window use.
# Run after editing the SVG and commit the PNGs, so neither CI nor a build needs a converter.
# Needs rsvg-convert (Debian package librsvg2-bin).
set -euo pipefail
icons=$(cd "$(dirname "${BASH_SOURCE[0]}")/../packaging/icons" && pwd)
for size in 16 32 48 64 128 256; do
    rsvg-convert --width "$size" --height "$size" "$icons/tolvane.svg" -o "$icons/tolvane-$size.png"
done
