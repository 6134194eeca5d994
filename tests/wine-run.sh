#!/bin/sh
# Runs a Windows test program under wine: ctest's emulator for the Windows build.
#   wine-run.sh PREFIX DLL_DIRS PROGRAM [ARGUMENT...]
# PREFIX is a wine prefix of the build's own, made on first use; DLL_DIRS, separated by ':', hold
# the DLLs the program loads (Qt's, MinGW's runtime).
#
# Wine names COM ports after the host's serial devices (COM1 is /dev/ttyS0 on most machines) and
# rewrites those names each time it starts. The prefix therefore maps COM1..COM20, the tool's
# whole range, to nothing before any test runs, so no test can reach a real serial port; every
# run checks that this still holds.
set -eu
prefix=$1
dll_dirs=$2
shift 2

export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe="
ports_reg="$prefix.ports.reg"

com_links_safe() {
    n=1
    while [ "$n" -le 20 ]; do
        # A name that leads anywhere that exists could be a real port.
        if [ -e "$prefix/dosdevices/com$n" ]; then
            echo "wine-run.sh: $prefix/dosdevices/com$n leads to $(readlink "$prefix/dosdevices/com$n")" >&2
            return 1
        fi
        n=$((n + 1))
    done
}

make_prefix() {
    rm -rf "$prefix"
    {
        printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\n'
        n=1
        while [ "$n" -le 20 ]; do
            printf '"COM%d"=""\n' "$n"
            n=$((n + 1))
        done
    } >"$ports_reg"
    # Creating the prefix links COM1 to the host's first serial device; nothing opens it. The
    # empty entries take COM1..COM20 away from the host's devices at wine's next start.
    wineboot --init >/dev/null 2>&1
    wine regedit /S "$ports_reg" >/dev/null 2>&1
    wineserver --wait
    wineboot >/dev/null 2>&1
    wineserver --wait
    com_links_safe
    touch "$prefix/.ready"
}

if [ ! -e "$prefix/.ready" ]; then
    # Tests may start at once (ctest -j): one of them makes the prefix, the others wait.
    exec 9>"$prefix.lock"
    flock 9
    [ -e "$prefix/.ready" ] || make_prefix
    flock -u 9
    exec 9>&-
fi
com_links_safe

# Windows paths for the DLL folders: wine's drive Z: is the root of the host's file system.
path=""
old_ifs=$IFS
IFS=:
for dir in $dll_dirs; do
    path="$path${path:+;}Z:$(printf '%s' "$dir" | tr / '\\')"
done
IFS=$old_ifs
export WINEPATH="$path"
# Wine keeps file names in the host's character set: in UTF-8 a program may use any name.
export LC_ALL=C.UTF-8
# Tells the tests that opening any of COM1..COM20 here reaches no device.
export TOLVANE_COM_PORTS_UNMAPPED=1
exec wine "$@"
