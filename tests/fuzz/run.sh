#!/usr/bin/env bash
# Runs every fuzz target for a fixed time on its corpus: tests/fuzz/run.sh BUILD_DIR SECONDS.
# New inputs go to a scratch folder, so the corpus in the repo stays as it is; a finding stops
# the run with the failing input saved under the scratch folder, and the script fails.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=$1
seconds=${2:-20}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
status=0
for corpus in "$here"/corpus/*/; do
    name=$(basename "$corpus")
    mkdir -p "$scratch/$name"
    echo "== fuzz_$name, ${seconds} s"
    if ! "$build/tests/fuzz/fuzz_$name" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$scratch/$name/" "$scratch/$name" "$corpus" 2>"$scratch/$name.log"; then
        status=1
        cat "$scratch/$name.log"
        mkdir -p "$build/fuzz-findings"
        cp "$scratch/$name"/crash-* "$scratch/$name"/leak-* "$scratch/$name"/timeout-* \
            "$build/fuzz-findings/" 2>/dev/null || true
    fi
    grep -E '^stat::number_of_executed_units|^Done' "$scratch/$name.log" || true
done
exit $status
