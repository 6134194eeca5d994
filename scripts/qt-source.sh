#!/usr/bin/env bash
# Downloads the source package of the host's own Qt (qt6-base, at qt6-base-dev's version) into
# FOLDER: its .dsc and tarballs. A machine's apt sources seldom list source packages: a private
# list names the source archive of this machine's own mirror, and the system's configuration is
# left as it is (no deb-src line needed). apt's own output goes to FOLDER/apt/*.log, shown on
# failure.
#   scripts/qt-source.sh FOLDER
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: scripts/qt-source.sh FOLDER" >&2; exit 2; }
folder=$(mkdir -p "$1" && cd "$1" && pwd)
qt_package=qt6-base=$(dpkg-query -W -f='${Version}' qt6-base-dev)
. /etc/os-release
mirror=$(awk '/^URIs:/ && $2 !~ /security/ {print $2; exit}' /etc/apt/sources.list.d/*.sources \
    2>/dev/null || true)
[ -n "$mirror" ] || mirror=$(awk '/^deb / && $2 !~ /security/ {print $2; exit}' \
    /etc/apt/sources.list 2>/dev/null || true)
mirror=${mirror:-http://deb.debian.org/debian}
apt=$folder/apt
mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial"
printf 'deb-src %s %s main\ndeb-src %s %s-updates main\n' "$mirror" "$VERSION_CODENAME" \
    "$mirror" "$VERSION_CODENAME" >"$apt/sources.list"
private_apt=(-o Dir::Etc::SourceList="$apt/sources.list" -o Dir::Etc::SourceParts=/nonexistent
    -o Dir::State::Lists="$apt/lists" -o Dir::Cache="$apt/cache" -o APT::Sandbox::User=root)
if ! apt-get "${private_apt[@]}" update >"$apt/update.log" 2>&1 ||
    ! (cd "$folder" && apt-get "${private_apt[@]}" source --download-only "$qt_package" \
        >"$apt/source.log" 2>&1); then
    cat "$apt/update.log" "$apt/source.log" >&2 2>/dev/null || true
    echo "Could not download the source of $qt_package from $mirror." >&2
    exit 1
fi
