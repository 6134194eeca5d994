#!/usr/bin/env bash
# Installs the Debian packages the build needs (only those missing), then configures and builds
# into build/. Leading "--target T" pairs build only those targets (default: everything); the
# remaining arguments go to the CMake configure step.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

targets=()
while [ $# -ge 2 ] && [ "$1" = --target ]; do
    targets+=(--target "$2")
    shift 2
done

mapfile -t packages < <(grep -v '^[[:space:]]*$' "$top/scripts/debian-packages.txt")
"$top/scripts/install-packages.sh" "${packages[@]}"

cmake -S "$top" -B "$top/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build "$top/build" -j2 "${targets[@]}"
