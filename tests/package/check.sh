#!/usr/bin/env bash
# Builds the Debian package, installs it on this machine, starts Tessaro the way the desktop
# would (the desktop entry's Exec line), removes the package and checks that nothing is left.
# Needs root (it installs a package); closes with "N passed, M failed".
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${BUILD_DIR:-$root/build-package}"

export DEBIAN_FRONTEND=noninteractive
dpkg-query -W -f='${Status}' dpkg-dev 2>/dev/null | grep -q "install ok installed" \
    || apt-get install -y -q --no-install-recommends dpkg-dev >/dev/null

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSARO_BUILD_TESTS=OFF -DTESSARO_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --parallel 2 >/dev/null
(cd "$build" && cpack -G DEB >/dev/null)
deb="$(ls "$build"/tessaro_*.deb)"

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

apt-get install -y -q "$deb" >/dev/null
check "the package installs" dpkg-query -W tessaro
check "--version prints the version" test "$(/usr/bin/tessaro --version)" = "Tessaro 1.00"
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
