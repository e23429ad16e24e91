#!/usr/bin/env bash
# Builds the Debian package the way a developer does (the deb target, which makes a Release
# build of its own whatever the folder's build type), holds it to Debian's package checker and
# to the AppStream and desktop entry validators, installs it on this machine, starts Tessaro
# the way the desktop would (the desktop entry's Exec line), removes the package and checks
# that nothing is left. Needs root (it installs packages); closes with "N passed, M failed".
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${BUILD_DIR:-$root/build-package}"

export DEBIAN_FRONTEND=noninteractive
# dpkg-dev for dpkg-shlibdeps and dpkg-buildflags; the checkers.
# shellcheck source=../../scripts/packages.sh
source "$root/scripts/packages.sh"
install_packages dpkg-dev lintian appstream desktop-file-utils

# The version as the top-level CMakeLists.txt gives it, spelt as the version record spells it.
read -r major minor < <(sed -n 's/^project(Tessaro VERSION \([0-9]*\)\.\([0-9]*\).*/\1 \2/p' "$root/CMakeLists.txt")
version="$(printf '%d.%02d' "$major" "$minor")"

# No build type: the package must not depend on the folder's.
cmake -S "$root" -B "$build" -G Ninja -DTESSARO_BUILD_TESTS=OFF -DTESSARO_BUILD_BENCH=OFF >/dev/null
rm -f "$build"/tessaro_*.deb
CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-2}" cmake --build "$build" --target deb >/dev/null
deb="$build/tessaro_${version}_$(dpkg --print-architecture).deb"
echo "     $(basename "$deb"): $(stat -c %s "$deb") bytes, installed size $(dpkg-deb -f "$deb" Installed-Size) KiB"

passed=0
failed=0
check() {
    local what="$1"
    shift
    if "$@"; then
        echo "ok   $what"
        passed=$((passed + 1))
    else
        echo "FAIL $what"
        failed=$((failed + 1))
    fi
}

refuses() {
    local out
    out="$(cd "$build" && cpack 2>&1)" && return 1
    [[ "$out" == *"made from a Release build"* ]]
}
check "the package target of a folder that is not a Release build refuses" refuses

# Errors and warnings fail; what lintian only points out must be explained in the README.
lintian_clean() {
    local out status=0 tag unexplained=""
    out="$(lintian --display-info --fail-on error,warning "$deb" 2>&1)" || status=$?
    [ -z "$out" ] || printf '%s\n' "$out" | sed 's/^/     lintian: /'
    for tag in $(printf '%s\n' "$out" | sed -n 's/^I: tessaro: \([a-z0-9-]*\).*/\1/p'); do
        grep -q "\`$tag\`" "$root/README.md" || unexplained="$unexplained $tag"
    done
    [ -z "$unexplained" ] || echo "     not explained in README.md:$unexplained"
    [ "$status" -eq 0 ] && [ -z "$unexplained" ]
}
check "lintian finds no error and no warning; the README explains what it points out" lintian_clean

tree="$(mktemp -d)"
trap 'rm -rf "$tree"' EXIT
dpkg-deb -x "$deb" "$tree"
metainfo="$tree/usr/share/metainfo/io.github.tessaro.tessaro.metainfo.xml"
# Not even a pedantic hint. No network here: the screenshot's address is checked for its form.
quiet() {
    local out status=0
    out="$("$@" 2>&1)" || status=$?
    if [ "$status" -ne 0 ] || printf '%s\n' "$out" | grep -qE '^ *[EWIPU]: |error|warning|hint'; then
        printf '%s\n' "$out" | sed 's/^/     /'
        return 1
    fi
}
check "appstreamcli validate --pedantic passes the metainfo" quiet appstreamcli validate --pedantic --strict --no-net "$metainfo"
check "appstreamcli validate-tree --pedantic passes the package's files" quiet appstreamcli validate-tree --pedantic --strict --no-net "$tree"
check "desktop-file-validate passes the desktop entry" quiet desktop-file-validate "$tree/usr/share/applications/tessaro.desktop"
check "the Japanese manual page is in the package" test -f "$tree/usr/share/man/ja/man1/tessaro.1.gz"

same_version() {
    local place value wrong=""
    while IFS='|' read -r place value; do
        [ "$value" = "$version" ] || wrong="$wrong; $place says '$value'"
    done <<EOF
the package|$(dpkg-deb -f "$deb" Version)
the metainfo's newest release|$(grep -o -m1 '<release version="[^"]*"' "$metainfo" | cut -d'"' -f2)
the changelog's newest entry|$(zcat "$tree/usr/share/doc/tessaro/changelog.gz" | sed -n '1s/^tessaro (\([^)]*\)).*/\1/p')
the manual page|$(zcat "$tree/usr/share/man/man1/tessaro.1.gz" | sed -n 's/^\.TH .*"Tessaro \([^"]*\)".*/\1/p')
the Japanese manual page|$(zcat "$tree/usr/share/man/ja/man1/tessaro.1.gz" | sed -n 's/^\.TH .*"Tessaro \([^"]*\)".*/\1/p')
EOF
    [ -z "$wrong" ] || echo "     project(VERSION) gives $version$wrong"
    [ -z "$wrong" ]
}
check "the package, the metainfo, the changelog and the manual pages give project(VERSION)'s version" same_version

apt-get install -y -q "$deb" >/dev/null
check "the package installs" dpkg-query -W tessaro
check "--version prints the version" test "$(/usr/bin/tessaro --version)" = "Tessaro $version"
desktop=/usr/share/applications/tessaro.desktop
check "the desktop entry is installed" test -f "$desktop"
check "the icon is in the hicolor theme" test -f /usr/share/icons/hicolor/48x48/apps/tessaro.png

# Start from the Exec line, offscreen: a program still running after three seconds has
# opened its window and is waiting for the user.
exec_line="$(sed -n 's/^Exec=//p' "$desktop")"
home="$(mktemp -d)"
started() {
    local status=0
    (cd "$home" && HOME="$home" QT_QPA_PLATFORM=offscreen timeout 3 $exec_line >"$home/out.txt" 2>&1) || status=$?
    [ "$status" -eq 124 ]
}
check "it starts from the desktop entry's Exec line ($exec_line)" started
rm -rf "$home"

no_display() {
    local out status=0
    out="$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM tessaro 2>&1)" || status=$?
    [ "$status" -ne 0 ] && [ "$(printf '%s\n' "$out" | wc -l)" -eq 1 ] && [[ "$out" == *xvfb-run* ]]
}
check "without a display it says so in one line" no_display

files="$(dpkg-query -L tessaro | while read -r f; do [ -f "$f" ] && echo "$f"; done)"
apt-get purge -y -q tessaro >/dev/null
left=""
for f in $files; do
    [ -e "$f" ] && left="$left $f"
done
check "removing it leaves none of its files" test -z "$left"
check "the package is gone" bash -c '! dpkg-query -W -f="\${Status}" tessaro 2>/dev/null | grep -q "install ok installed"'

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
