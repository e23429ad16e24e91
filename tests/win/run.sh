#!/usr/bin/env bash
# Builds the Windows services and their test program with mingw-w64, runs it under Wine
# with no display, checks the compiled version record, and closes with the total
# "N passed, M failed". Exits non-zero when any check failed or a stage did not finish.
#
# Needs: x86_64-w64-mingw32-g++ and -windres, wine (64-bit), python3. When one is missing
# and this runs as root, it installs them with apt-get (Debian 12).
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"

need_install=()
command -v x86_64-w64-mingw32-g++ >/dev/null || need_install+=(g++-mingw-w64-x86-64)
command -v x86_64-w64-mingw32-windres >/dev/null || need_install+=(binutils-mingw-w64-x86-64)
# Debian's /usr/bin/wine runs 64-bit programs through the wine64 package's loader.
{ command -v wine >/dev/null && [ -x /usr/lib/wine/wine64 ] || command -v wine64 >/dev/null; } || need_install+=(wine wine64)
command -v python3 >/dev/null || need_install+=(python3)
if [ ${#need_install[@]} -gt 0 ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "run.sh: missing ${need_install[*]}; install them or run as root" >&2
        exit 2
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${need_install[@]}" >/dev/null
fi

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
    "$root/platform/os/text_output.cpp" \
    "$here/win_services_test.cpp" \
    -static -lshell32 -lcomdlg32 \
    -o "$build/win_services_test.exe"
# A stand-in for attrib.exe beside the test program, where a bare "Attrib" would be found first.
x86_64-w64-mingw32-g++ -std=c++20 -municode -O1 -Wall -Wextra -Wconversion -Wno-sign-conversion -Werror \
    "$here/fake_attrib.cpp" -static -lshell32 -o "$build/attrib.exe"

echo "== preparing a Wine prefix in $prefix"
export WINEPREFIX="$prefix"
export WINEDEBUG=-all
# No Mono or Gecko: their installers would ask through a dialog nobody can answer.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
# The null graphics driver: windows and dialogs exist and take messages but are drawn
# nowhere, so no X server is needed. Written before the first start so that wineboot
# itself already runs with it.
cat >"$prefix/user.reg" <<'REG'
WINE REGISTRY Version 2
;; All keys relative to \\User\\S-1-5-21-0-0-0-1000

[Software\\Wine\\Drivers]
"Graphics"="null"
REG
timeout 600 wineboot --init >"$build/wineboot.log" 2>&1 || { cat "$build/wineboot.log" >&2; echo "run.sh: wineboot failed" >&2; exit 1; }
timeout 120 wineserver --wait || true

echo "== win_services_test.exe under Wine"
# A dialog waiting for an answer would hang the run; the timeout turns it into a failure.
tally wine_test timeout 600 wine "$build/win_services_test.exe"

echo "== version record"
tally version_record "$root/resources/check-version-record.sh"

total_failed=$((total_failed + stage_failures))
echo "$total_passed passed, $total_failed failed"
[ "$total_failed" -eq 0 ]
