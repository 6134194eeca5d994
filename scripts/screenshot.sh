#!/usr/bin/env bash
# Makes docs/window.png: the tool under a virtual X server, bound to a simulated module, after
# Open and a few sends, so the lamp is green and the log has entries. Re-run it whenever the
# window changes. For developers only: installs Xvfb, xdotool and ImageMagick when missing, the
# same way setup.sh installs the build's packages.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
com=3

"$top/scripts/install-packages.sh" xvfb xdotool imagemagick
if [ -f "$top/build/build.ninja" ]; then
    cmake --build "$top/build" -j2 --target tolvane tolvane-sim
else
    "$top/scripts/setup.sh" --target tolvane --target tolvane-sim
fi

. "$top/scripts/screen-session.sh"
start_sim --jumper

"$top/build/app/tolvane" 2>"$work/tool.log" &
pids+=($!)
window=$(xdotool search --sync --onlyvisible --name '^Tolvane$' | head -n1)
sleep 1

# Positions are the centres of the controls in app/ControlTable.cpp (twips / 15), in the
# window's client area.
click() { xdotool mousemove --window "$window" "$1" "$2" click 1; sleep 0.3; }
send() {
    click 108 144                     # the command box
    xdotool key --window "$window" ctrl+a
    xdotool type --window "$window" --delay 30 "$1"
    xdotool key --window "$window" Return
    sleep 1
}
click 64 42                           # the COM list: its popup opens on COM1
for _ in $(seq $((com - 1))); do xdotool key Down; sleep 0.1; done
xdotool key Return
sleep 0.3
click 224 32                          # Open
send '#01'
click 756 224                         # Set in the protocol frame: sends $00P0, answered with !
sleep 1
send '#01'
send '#02'                            # another address: the module stays silent
send '#01'
xdotool mousemove 1000 740            # off the window, so no tooltip shows
sleep 1

mkdir -p "$top/docs"
import -window "$window" "png:$top/docs/window.png.new"
mv "$top/docs/window.png.new" "$top/docs/window.png"
echo "Wrote docs/window.png"
