#!/usr/bin/env bash
# Builds the Windows services and their test program with mingw-w64, runs it under Wine
# with no display, checks the compiled version record, reads desktop.ini files as a Windows
# reader does (reader.sh) and folders that the program decorated on Linux (decorated.sh, with
# the Linux build in TESSARO_LINUX_BUILD; without it that stage is skipped and says so), and
# closes with the total "N passed, M failed". Exits non-zero when any check failed or a stage
# did not finish.
#
# Needs: x86_64-w64-mingw32-g++ and -windres, wine (64-bit), python3. When one is missing
# and this runs as root, it installs them with apt-get (Debian 12).
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"

# shellcheck source=tests/win/wine_prefix.sh
source "$here/wine_prefix.sh"
# shellcheck disable=SC2119 # no packages beyond the tools
wine_install_tools || { echo "run.sh: cannot install the tools" >&2; exit 2; }

build="$(mktemp -d)"
# The prefix's drive C: must keep DOS attributes: Wine stores System in the user.DOSATTRIB
# extended attribute, which a tmpfs /tmp on older kernels refuses. /var/tmp is on disk.
prefix="$(mktemp -d "${TESSARO_WINE_TMP:-/var/tmp}/tessaro-wine.XXXXXX")"
cleanup() {
    WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
    rm -rf "$build" "$prefix"
}
trap cleanup EXIT

total_passed=0
total_failed=0
stage_failures=0

# Runs one stage, shows its lines and adds its closing "N passed, M failed" to the total;
# a stage that ends without that line (a crash, a timeout) counts as a failure of its own.
tally() {
    local name="$1"
    shift
    local output status=0
    output="$("$@" 2>"$build/$name.stderr" | tr -d '\r')" || status=$?
    printf '%s\n' "$output"
    local closing
    closing="$(printf '%s\n' "$output" | tail -n 1)"
    if [[ "$closing" =~ ^([0-9]+)\ passed,\ ([0-9]+)\ failed$ ]]; then
        total_passed=$((total_passed + BASH_REMATCH[1]))
        total_failed=$((total_failed + BASH_REMATCH[2]))
        if [ "$status" -ne 0 ] && [ "${BASH_REMATCH[2]}" -eq 0 ]; then
            echo "FAIL $name exited with status $status although every check passed"
            stage_failures=$((stage_failures + 1))
        fi
    else
        echo "FAIL $name did not finish (status $status)"
        sed 's/^/    /' "$build/$name.stderr" | tail -n 20
        stage_failures=$((stage_failures + 1))
    fi
}

echo "== building win_services_test.exe"
x86_64-w64-mingw32-g++ -std=c++20 -O1 \
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion -Werror \
    -I"$root" \
    "$root"/platform/os/*_win.cpp \
    "$root/platform/os/os_errors.cpp" \
    "$here/win_services_test.cpp" \
    -static -lshell32 -lcomdlg32 \
    -o "$build/win_services_test.exe"
# A stand-in for attrib.exe beside the test program, where a bare "Attrib" would be found first.
x86_64-w64-mingw32-g++ -std=c++20 -municode -O1 -Wall -Wextra -Wconversion -Wno-sign-conversion -Werror \
    "$here/fake_attrib.cpp" -static -lshell32 -o "$build/attrib.exe"

echo "== preparing a Wine prefix in $prefix"
wine_make_prefix "$prefix" "$build/wineboot.log" || exit 1
# N: a network drive, whose readers may be other machines. Wine takes the drives' types from
# the registry when its server starts.
mkdir -p "$build/network-drive"
ln -s "$build/network-drive" "$prefix/dosdevices/n:"
wine reg add 'HKLM\Software\Wine\Drives' /v n: /d network /f >/dev/null 2>&1
wineserver -k >/dev/null 2>&1 || true

echo "== win_services_test.exe under Wine"
# A dialog waiting for an answer would hang the run; the timeout turns it into a failure.
tally wine_test timeout 600 wine "$build/win_services_test.exe"

echo "== version record"
tally version_record "$root/resources/check-version-record.sh"

echo "== desktop.ini as a Windows reader reads it"
tally reader env TESSARO_WINE_PREFIX="$prefix" bash "$here/reader.sh"

echo "== folders decorated by the program on Linux, as a Windows reader reads them"
skipped=""
if [ -n "${TESSARO_LINUX_BUILD:-}" ]; then
    tally decorated env TESSARO_WINE_PREFIX="$prefix" bash "$here/decorated.sh"
else
    skipped="folders decorated on Linux: set TESSARO_LINUX_BUILD to a Linux build folder (bash scripts/test.sh makes build/)"
    echo "SKIPPED $skipped"
fi

total_failed=$((total_failed + stage_failures))
[ -z "$skipped" ] || echo "SKIPPED $skipped"
echo "$total_passed passed, $total_failed failed"
[ "$total_failed" -eq 0 ]
