#!/usr/bin/env bash
# Runs the whole test suite of the Windows build under Wine, offscreen, in a Japanese locale,
# in a Wine prefix of its own: CTest in the build folder (BUILD_DIR, default build-windows),
# which scripts/windows.sh made with CMAKE_ARGS=-DTESSARO_BUILD_TESTS=ON. Each program runs
# through tests/win/wine_test.sh, which ends one that hangs.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="${BUILD_DIR:-$root/build-windows}"
[ -f "$build/CTestTestfile.cmake" ] || {
    echo "suite.sh: no tests in $build: CMAKE_ARGS=-DTESSARO_BUILD_TESTS=ON bash scripts/windows.sh" >&2
    exit 2
}

# shellcheck source=tests/win/wine_prefix.sh
source "$here/wine_prefix.sh"
wine_install_tools locales
wine_japanese_locale

# On disk: Wine keeps DOS attributes in extended attributes, which a tmpfs may refuse.
prefix="$(mktemp -d "${TESSARO_WINE_TMP:-/var/tmp}/tessaro-wine.XXXXXX")"
trap 'WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true; rm -rf "$prefix"' EXIT
wine_make_prefix "$prefix" "$prefix.wineboot.log"
rm -f "$prefix.wineboot.log"
ctest --test-dir "$build" --output-on-failure --parallel "${TESSARO_JOBS:-2}"
