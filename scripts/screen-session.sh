# Sourced by the screenshot scripts: a scratch folder cleaned up on exit (with every process
# added to pids), a display of its own whatever else is running (Xvfb writes the number it
# took), and a fresh configuration folder, so only the simulated module's COM link shows.
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { cat "$work/xvfb.log" >&2; echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"

export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=xcb
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

# start_sim ARGS...: tolvane-sim on COM$com with ARGS, returning once it has taken its COM link.
start_sim() {
    "$top/build/tools/sim/tolvane-sim" --com "$com" "$@" >"$work/sim.out" &
    pids+=($!)
    for _ in $(seq 50); do grep -q "^tolvane-sim: COM$com" "$work/sim.out" && break; sleep 0.1; done
    grep -q "^tolvane-sim: COM$com" "$work/sim.out" || { echo "tolvane-sim did not start" >&2; exit 1; }
}
