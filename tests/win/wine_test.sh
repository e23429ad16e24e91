#!/usr/bin/env bash
# CTest's emulator for the Windows build (scripts/windows.sh names it): runs one test program
# under Wine, as a Japanese Windows runs it, with Qt for Windows ($1) and the compiler's
# runtime found through WINEPATH. Qt Test writes nothing to a pipe under Wine, so its report
# goes to a file that is shown afterwards. WINEPREFIX must name a prefix made for the tests
# (tests/win/suite.sh makes one). A program that hangs is ended short of CTest's own limit.
set -uo pipefail
qt="$1"
program="$2"
shift 2
: "${WINEPREFIX:?tests/win/wine_test.sh: run the tests through tests/win/suite.sh}"

winpath() {
    local path="Z:$1"
    printf '%s' "${path//\//\\}"
}
runtime="$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")"
pthread="$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libwinpthread-1.dll)")"
WINEPATH="$(winpath "$qt/bin");$(winpath "$runtime");$(winpath "$pthread")"
QT_PLUGIN_PATH="$(winpath "$qt/plugins")"
export WINEPATH QT_PLUGIN_PATH
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
export WINEDEBUG=-all

report="$(mktemp "${TMPDIR:-/tmp}/tessaro-test.XXXXXX")"
trap 'rm -f "$report"' EXIT
# A fuzz harness's replay is no Qt Test program: it prints to a pipe and takes no -o.
case "$(basename "$program")" in
replay_*) output=() ;;
*) output=(-o "$(winpath "$report"),txt") ;;
esac
status=0
timeout --kill-after=10 "${TESSARO_TEST_TIMEOUT:-240}" wine "$program" "$@" "${output[@]}" || status=$?
tr -d '\r' <"$report"
[ "$status" -ne 124 ] || echo "$(basename "$program"): no end after ${TESSARO_TEST_TIMEOUT:-240} s, stopped"
exit "$status"
