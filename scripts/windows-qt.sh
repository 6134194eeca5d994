#!/usr/bin/env bash
# Qt for 64-bit Windows, built once per machine from Debian's own qt6-base source with MinGW-w64,
# and kept as a tarball in a cache folder outside the checkout. A later run restores the tarball
# (a second or two) instead of building again (about half an hour on two cores). Prints the Qt
# prefix, and only that, on standard output; everything else, the compiler's output included,
# goes to standard error. TOLVANE_CACHE names the cache folder (default ~/.cache/tolvane).
set -euo pipefail
exec 3>&1 1>&2
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
version=6.4.2
home=${HOME:-$(getent passwd "$(id -u)" | cut -d: -f6)}
cache=${TOLVANE_CACHE:-${XDG_CACHE_HOME:-$home/.cache}/tolvane}
name=qt-$version-mingw64
prefix=$cache/$name
tarball=$cache/$name.tar.gz
# What the build is made of: its options and patches. A change to either builds anew.
recipe=$(cat "$top"/packaging/windows/qt-configure.txt "$top"/packaging/windows/qt-patches/*.patch \
    | sha256sum | cut -c1-16)

if [ -f "$prefix/.complete" ] && [ "$(cat "$prefix/.complete")" = "$recipe" ]; then
    echo "$prefix" >&3
    exit 0
fi
if [ -f "$tarball" ] && [ "$(tar -xzOf "$tarball" "$name/.complete" 2>/dev/null)" = "$recipe" ]; then
    # Qt's CMake files hold absolute paths, so it goes back where it was built.
    rm -rf "$prefix"
    tar -xzf "$tarball" -C "$cache"
    echo "Qt for Windows restored from $tarball" >&2
    echo "$prefix" >&3
    exit 0
fi

"$top/scripts/install-packages.sh" dpkg-dev cmake ninja-build g++-mingw-w64-x86-64-posix \
    qt6-base-dev qt6-base-dev-tools patch xz-utils

mkdir -p "$cache"
work=$(mktemp -d "$cache/build.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
# The source of the host's own Qt, so that its moc, rcc and uic match.
"$top/scripts/qt-source.sh" "$work"
dpkg-source -x qt6-base_*.dsc src >/dev/null
for patch in "$top"/packaging/windows/qt-patches/*.patch; do
    patch -d src -p1 --forward --quiet <"$patch"
done

# The toolchain file is kept beside the prefix: Qt's CMake files name it.
cp "$top/packaging/windows/mingw64-toolchain.cmake" "$cache/mingw64-toolchain.cmake"
mapfile -t options < <(grep -Ev '^[[:space:]]*(#|$)' "$top/packaging/windows/qt-configure.txt")
started=$SECONDS
# The host's pkg-config would hand Linux libraries to a Windows link. Configure's long report goes
# to a file, shown when it fails; the compiler's output is the build's log.
if ! PKG_CONFIG_LIBDIR=/nonexistent cmake -S src -B build -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$cache/mingw64-toolchain.cmake" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release "${options[@]}" \
    >configure.log 2>&1; then
    cat configure.log
    echo "Qt's configure failed (its report above)." >&2
    exit 1
fi
cmake --build build -j"$(nproc)"
rm -rf "$prefix"
cmake --install build >install.log || { cat install.log; exit 1; }
# The licence texts go with the libraries, for the packages that ship them.
cp -r src/LICENSES "$prefix/LICENSES"
cp src/debian/copyright "$prefix/LICENSES/debian-copyright"
echo "$recipe" >"$prefix/.complete"
tar -czf "$tarball.part" -C "$cache" "$name"
mv "$tarball.part" "$tarball"
echo "Qt for Windows built in $((SECONDS - started)) s, kept in $tarball" >&2
echo "$prefix" >&3
