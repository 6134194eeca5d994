#!/usr/bin/env bash
# Installs the named Debian packages that are not installed yet: directly as root, through sudo
# for a user who has it; otherwise prints the one line to run as root and stops.
set -euo pipefail

missing=()
for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' \
        || missing+=("$package")
done
[ ${#missing[@]} -gt 0 ] || exit 0

install="apt-get update && apt-get install -y --no-install-recommends ${missing[*]}"
as_root() {
    echo "Missing Debian packages: ${missing[*]}. As root, run:" >&2
    echo "    su -c '$install'" >&2
    echo "then start the same command again." >&2
    exit 1
}

if [ "$(id -u)" -eq 0 ]; then
    echo "Installing: ${missing[*]}"
    DEBIAN_FRONTEND=noninteractive sh -c "$install"
elif command -v sudo >/dev/null \
    && { sudo -n true 2>/dev/null || id -nG | grep -qwE 'sudo|wheel|admin'; }; then
    echo "Installing through sudo: ${missing[*]}"
    sudo env DEBIAN_FRONTEND=noninteractive sh -c "$install" || as_root
else
    as_root
fi
