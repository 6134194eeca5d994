#!/usr/bin/env bash
# Builds the Debian package from build/ (or the build folder given as the argument), has lintian
# check it, installs it with apt as a user would, checks that what it installs is in place, valid
# and runs, then removes it again. Runs as root (CI) after the test run; needs dpkg-dev
# (dpkg-shlibdeps), desktop-file-utils, man-db, lintian and appstream.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:-$top/build}" && pwd)
metainfo=/usr/share/metainfo/io.github.tolvane.tolvane.metainfo.xml
find_metainfo=/usr/share/metainfo/io.github.tolvane.tolvane_find.metainfo.xml

rm -f "$build"/tolvane_*.deb
(cd "$build" && cpack)
debs=("$build"/tolvane_*.deb)
[ ${#debs[@]} -eq 1 ] || { echo "expected one package, found: ${debs[*]}" >&2; exit 1; }
deb=${debs[0]}
dpkg-deb --info "$deb"

# Exactly these files, nothing from the tests or the benchmark.
expected=(
    ./usr/bin/tolvane
    ./usr/bin/tolvane-find
    ./usr/bin/tolvane-sim
    ./usr/share/applications/tolvane-find.desktop
    ./usr/share/applications/tolvane.desktop
    ./usr/share/doc/tolvane/README.md
    ./usr/share/doc/tolvane/changelog.gz
    ./usr/share/doc/tolvane/copyright
    ./usr/share/man/man1/tolvane-find.1.gz
    ./usr/share/man/man1/tolvane-sim.1.gz
    ./usr/share/man/man1/tolvane.1.gz
    .$metainfo
    .$find_metainfo
)
for icon in tolvane tolvane-find; do
    for size in 16 32 48 64 128 256; do
        expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/$icon.png")
    done
    expected+=("./usr/share/icons/hicolor/scalable/apps/$icon.svg")
done
actual=$(dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ {print $6}' | sort)
if [ "$actual" != "$(printf '%s\n' "${expected[@]}" | sort)" ]; then
    echo "The package holds other files than expected:" >&2
    diff <(printf '%s\n' "${expected[@]}" | sort) <(echo "$actual") >&2 || true
    exit 1
fi
depends=$(dpkg-deb --field "$deb" Depends)
for needed in libqt6widgets6 libqt6serialport6 qt6-qpa-plugins fonts-wqy-microhei; do
    grep -q "$needed" <<<"$depends" || { echo "Depends lacks $needed: $depends" >&2; exit 1; }
done

# Debian's own checker, default profile: any error or warning fails; info tags are shown only.
lintian --display-info --fail-on error,warning "$deb"

export DEBIAN_FRONTEND=noninteractive
apt-get install -y "$deb"
trap 'apt-get remove -y tolvane' EXIT

for program in tolvane tolvane-find; do
    test -x "/usr/bin/$program"
    desktop-file-validate "/usr/share/applications/$program.desktop"
    for size in 16 32 48 64 128 256; do
        test -s "/usr/share/icons/hicolor/${size}x${size}/apps/$program.png"
    done
    test -s "/usr/share/icons/hicolor/scalable/apps/$program.svg"
done
for page in tolvane tolvane-find tolvane-sim; do
    man -l "/usr/share/man/man1/$page.1.gz" | grep -q "^NAME"
done
version=$(dpkg-deb --field "$deb" Version)
[ "$(/usr/bin/tolvane-sim --version)" = "tolvane-sim $version" ]
# The newest entry of the changelog and of the AppStream releases is this version.
changelog_version=$(zcat /usr/share/doc/tolvane/changelog.gz | dpkg-parsechangelog -l- -S Version)
[ "$changelog_version" = "$version" ] ||
    { echo "changelog.gz starts at $changelog_version, the package is $version" >&2; exit 1; }
# Errors and warnings fail the validation.
for file in "$metainfo" "$find_metainfo"; do
    appstreamcli validate --no-net "$file"
    release=$(grep -o -m1 '<release version="[^"]*"' "$file" | cut -d'"' -f2) || true
    [ "$release" = "$version" ] ||
        { echo "$file: newest release $release, the package is $version" >&2; exit 1; }
done
# The windows start from the installed files alone (libraries, platform plugin): still running
# after two seconds, ended by timeout.
for program in tolvane tolvane-find; do
    status=0
    QT_QPA_PLATFORM=offscreen timeout 2 "/usr/bin/$program" || status=$?
    [ "$status" -eq 124 ] || { echo "/usr/bin/$program ended with status $status" >&2; exit 1; }
done
# The command line from the installed files: a usage error is exit 2, with nothing sent.
status=0
/usr/bin/tolvane-find --com 1 --rates 250 >/dev/null 2>&1 || status=$?
[ "$status" -eq 2 ] || { echo "tolvane-find with a bad rate: status $status, not 2" >&2; exit 1; }
echo "Package check passed: $(basename "$deb")"
