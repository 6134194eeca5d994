#!/usr/bin/env bash
# Tolvane for 64-bit Windows, made on Debian from a clean checkout: installs what it needs,
# restores (or builds, about half an hour) Qt for Windows, cross-builds build-windows/, and writes
#   dist/tolvane-VERSION-windows-x64.zip        a folder that runs from anywhere (the tool and
#                                               Tolvane Find, tolvane-find.exe)
#   dist/tolvane-VERSION-windows-x64-setup.exe  an installer (Start menu, uninstaller, /S)
# With --test it then runs the Windows build's own tests and the end-to-end tests under wine
# (tests/wine/run.py) against the native tolvane-sim, built into build/.
# TOLVANE_QT=PREFIX uses a Qt for Windows that is already installed there.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
test=0
for arg; do
    case $arg in
        --test) test=1 ;;
        *) echo "usage: scripts/windows.sh [--test]" >&2; exit 2 ;;
    esac
done
SECONDS=0
step() { echo "== $1 (at $SECONDS s)"; }

step "packages"
"$top/scripts/install-packages.sh" cmake ninja-build g++-mingw-w64-x86-64-posix \
    binutils-mingw-w64-x86-64 qt6-base-dev qt6-base-dev-tools nsis zip dpkg-dev

step "Qt for Windows"
# Its output, the compiler's when it builds, goes to standard error; standard output is the prefix.
qt=${TOLVANE_QT:-$("$top/scripts/windows-qt.sh")}
[ -f "$qt/lib/cmake/Qt6/Qt6Config.cmake" ] || { echo "no Qt for Windows in $qt" >&2; exit 1; }

version=$(sed -n 's/^project(Tolvane VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")
[ -n "$version" ] || { echo "no version in CMakeLists.txt's project()" >&2; exit 1; }
name=tolvane-$version-windows-x64
build=$top/build-windows
dist=$top/dist

step "build"
if [ ! -f "$build/build.ninja" ]; then
    # Qt's own toolchain file loads the MinGW one and adds the Qt prefix to the find roots, so
    # nothing else but the MinGW sysroot and Qt is searched. The host's pkg-config would hand
    # Linux libraries (libmodbus) to a Windows link.
    PKG_CONFIG_LIBDIR=/nonexistent nice -n 10 cmake -S "$top" -B "$build" -G Ninja \
        -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
        -DQT_CHAINLOAD_TOOLCHAIN_FILE="$top/packaging/windows/mingw64-toolchain.cmake" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
fi
if [ "$test" -eq 1 ]; then
    nice -n 10 cmake --build "$build" -j2
else
    nice -n 10 cmake --build "$build" -j2 --target tolvane --target tolvane-find
fi
exes=("$build/app/tolvane.exe" "$build/app/find/tolvane-find.exe")
for exe in "${exes[@]}"; do
    [ -f "$exe" ] || { echo "the build made no $exe" >&2; exit 1; }
done

step "the portable folder"
# One time for the packages' files: the last commit's (strip stamps it into the DLLs it writes).
epoch=$(git -C "$top" log -1 --format=%ct 2>/dev/null || echo 1767225600)
stage=$build/package/$name
rm -rf "$build/package"
mkdir -p "$stage/platforms" "$stage/styles" "$stage/licenses/Qt" "$stage/licenses/MinGW"
cp "${exes[@]}" "$stage/"
cp "$qt/plugins/platforms/qwindows.dll" "$stage/platforms/"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"

# Exactly the DLLs the program and its plugins load, found by their import tables, from Qt's
# bin/ and the MinGW runtime. A DLL found in neither must be part of Windows itself: an API set
# (api-ms-win-*, Windows 8 and later) or a DLL MinGW has an import library for; anything else is
# a DLL the folder would lack.
gcc_runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
mingw_lib=/usr/x86_64-w64-mingw32/lib
search=("$qt/bin" "$gcc_runtime" "$mingw_lib")
declare -A seen=()
shipped=()
imports() { x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^[[:space:]]*DLL Name: //p'; }
resolve() {
    local dll key found dir
    for dll in $(imports "$1"); do
        key=${dll,,}
        [ -z "${seen[$key]:-}" ] || continue
        seen[$key]=1
        found=
        for dir in "${search[@]}"; do
            found=$(find "$dir" -maxdepth 1 -iname "$dll" -print -quit)
            [ -z "$found" ] || break
        done
        if [ -n "$found" ]; then
            # Debian's MinGW runtime keeps its debugging symbols: 24 MB of libstdc++ alone.
            SOURCE_DATE_EPOCH=$epoch x86_64-w64-mingw32-strip --strip-unneeded \
                -o "$stage/$(basename "$found")" "$found"
            shipped+=("$found")
            resolve "$found"
        elif [[ $key != api-ms-win-* ]] &&
            [ -z "$(find "$mingw_lib" -maxdepth 1 -iname "lib${key%.dll}.a" -print -quit)" ]; then
            echo "$1 needs $dll, which is neither shipped nor part of Windows" >&2
            exit 1
        fi
    done
}
for binary in tolvane.exe tolvane-find.exe platforms/qwindows.dll styles/qwindowsvistastyle.dll; do
    resolve "$stage/$binary"
done

# Text files in Windows line ends.
crlf() { sed 's/\r$//; s/$/\r/' "$1" >"$2"; }
sed "s/@VERSION@/$version/g" "$top/packaging/windows/README.txt" >"$build/README.txt"
crlf "$build/README.txt" "$stage/README.txt"
crlf "$top/LICENSE" "$stage/LICENSE.txt"
# Qt's licence texts from its source (the commercial one and the documentation's FDL aside),
# and Debian's record of which part of Qt is under which. A Qt built by windows-qt.sh has them;
# for another, the source comes the way windows-qt.sh fetches it.
licenses=$qt/LICENSES
if [ ! -d "$licenses" ]; then
    licenses=$build/qt-licenses/LICENSES
    if [ ! -d "$licenses" ]; then
        rm -rf "$build/qt-licenses"
        "$top/scripts/qt-source.sh" "$build/qt-licenses"
        tar -xJf "$build"/qt-licenses/qt6-base_*.orig.tar.xz -C "$build/qt-licenses" \
            --wildcards --strip-components=1 '*/LICENSES/*'
    fi
fi
for text in "$licenses"/*.txt; do
    case $(basename "$text") in LicenseRef-* | GFDL-*) continue ;; esac
    crlf "$text" "$stage/licenses/Qt/$(basename "$text")"
done
crlf /usr/share/doc/libqt6core6/copyright "$stage/licenses/Qt/debian-copyright.txt"
# The MinGW runtime DLLs' licences: the copyright file of the Debian package each comes from.
for dll in "${shipped[@]}"; do
    case $dll in "$qt"/*) continue ;; esac
    package=$(dpkg-query -S "$(readlink -f "$dll")" | head -n1 | cut -d: -f1)
    crlf "/usr/share/doc/$package/copyright" "$stage/licenses/MinGW/$package.txt"
done

step "the zip"
mkdir -p "$dist"
# The same files give the same zip: one time for every file, names in one order, no owners.
find "$stage" -exec touch -h -d "@$epoch" {} +
rm -f "$dist/$name.zip"
(cd "$build/package" && find "$name" -print | LC_ALL=C sort |
    TZ=UTC zip -q -X -9 "$dist/$name.zip" -@)

step "the installer"
icon=$top/packaging/icons/tolvane.ico
# The file lists the installer installs and the uninstaller removes, folders last.
(cd "$stage" && find . -type f | LC_ALL=C sort | sed 's|^\./||') >"$build/package/files"
{
    for dir in $(cd "$stage" && find . -mindepth 1 -type d | LC_ALL=C sort | sed 's|^\./||'); do
        echo "SetOutPath \"\$INSTDIR\\${dir//\//\\}\""
        for file in $(grep "^$dir/[^/]*\$" "$build/package/files"); do
            echo "File \"$stage/$file\""
        done
    done
    echo 'SetOutPath "$INSTDIR"'
    for file in $(grep -v / "$build/package/files"); do echo "File \"$stage/$file\""; done
} >"$build/package/files.nsh"
{
    while read -r file; do echo "Delete \"\$INSTDIR\\${file//\//\\}\""; done <"$build/package/files"
    for dir in $(cd "$stage" && find . -mindepth 1 -type d | LC_ALL=C sort -r | sed 's|^\./||'); do
        echo "RMDir \"\$INSTDIR\\${dir//\//\\}\""
    done
} >"$build/package/unfiles.nsh"
makensis -V2 -NOCD -DVERSION="$version" -DSTAGE="$stage" -DICON="$icon" \
    -DOUTFILE="$dist/$name-setup.exe" -X"!addincludedir $build/package" \
    "$top/packaging/windows/tolvane.nsi"

ls -l "$dist/$name.zip" "$dist/$name-setup.exe"

if [ "$test" -eq 1 ]; then
    # Both suites run whatever the other gives, and either failing fails the script.
    failed=0
    step "tests: the Windows build's own, under wine"
    "$top/scripts/install-packages.sh" wine wine64 xvfb xauth xdotool imagemagick python3 \
        fonts-liberation
    ctest --test-dir "$build" --output-on-failure --timeout 300 || failed=1
    step "tests: end to end under wine"
    "$top/scripts/setup.sh" --target tolvane-sim
    "$top/tests/wine/run.py" --zip "$dist/$name.zip" --setup "$dist/$name-setup.exe" \
        --sim "$top/build/tools/sim/tolvane-sim" || failed=1
    step "done"
    exit "$failed"
fi
step "done"
