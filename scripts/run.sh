#!/usr/bin/env bash
# Sets up and builds, starts a simulated module bound to a free COM number, then the tool.
# Closing the tool stops the simulated module, which removes its COM link.
# Arguments go to the simulated module (e.g. --com 5 --jumper).
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$top/scripts/setup.sh" --target tolvane --target tolvane-sim

announce=$(mktemp)
"$top/build/tools/sim/tolvane-sim" "$@" >"$announce" &
sim=$!
trap 'kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null; rm -f "$announce"' EXIT

for _ in $(seq 50); do
    grep -q '^tolvane-sim: COM' "$announce" && break
    kill -0 "$sim" 2>/dev/null || { echo "The simulated module did not start." >&2; exit 1; }
    sleep 0.1
done
line=$(grep -m1 '^tolvane-sim: COM' "$announce") || { echo "The simulated module did not start." >&2; exit 1; }
com=$(sed -E 's/^tolvane-sim: (COM[0-9]+).*/\1/' <<<"$line")
echo "$line"
echo "Simulated module on $com: pick $com in the COM list, click Open, click into the command box, press Enter."

"$top/build/app/tolvane"
