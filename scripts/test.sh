#!/usr/bin/env bash
# Sets up and builds like run.sh, then runs the whole test suite. No display is needed: the
# window tests run on Qt's offscreen platform, the serial tests over pseudo-terminals.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$top/scripts/setup.sh" "$@"
ctest --test-dir "$top/build" --output-on-failure --timeout 300
