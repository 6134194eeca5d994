#!/usr/bin/env bash
# Makes docs/find-window.png: Tolvane Find under a virtual X server after a search of a line of
# three simulated modules (1200 baud; MODBUS RTU; 115200 with another data format), driven from
# the keyboard. Re-run it whenever the window changes. For developers only, as screenshot.sh.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
com=7

"$top/scripts/install-packages.sh" xvfb xdotool imagemagick
if [ -f "$top/build/build.ninja" ]; then
    cmake --build "$top/build" -j2 --target tolvane-find tolvane-sim
else
    "$top/scripts/setup.sh" --target tolvane-find --target tolvane-sim
fi

. "$top/scripts/screen-session.sh"
start_sim --module 05,baud=1200,name=TV-1200 --module 11,modbus \
    --module 0A,baud=115200,format=02,name=TV-HEX,firmware=2.10

"$top/build/app/find/tolvane-find" 2>"$work/find.log" &
pids+=($!)
window=$(xdotool search --sync --onlyvisible --name '^Tolvane Find$' | head -n1)
sleep 1

# Focus starts on the COM list; Tab goes through the address range, "stop at the first", the
# ten rates in the list's order (300 to 115200), the two protocols, then Start.
key() { xdotool key --window "$window" "$@"; sleep 0.15; }
xdotool windowfocus --sync "$window"
xdotool type --window "$window" --delay 50 "COM$com"
key Tab ctrl+a && xdotool type --window "$window" 04
key Tab ctrl+a && xdotool type --window "$window" 12
key Tab
for rate in 300 600 1200 2400 4800 9600 19200 38400 57600 115200; do
    key Tab
    case $rate in 1200 | 9600 | 115200) ;; *) key space ;; esac
done
key Tab Tab Tab space                 # the protocols, then Start
sleep 10
xdotool mousemove 1000 740            # off the window, so no tooltip shows
sleep 1

mkdir -p "$top/docs"
import -window "$window" "png:$top/docs/find-window.png.new"
mv "$top/docs/find-window.png.new" "$top/docs/find-window.png"
echo "Wrote docs/find-window.png"
