#!/usr/bin/env bash
# Builds Tessaro for 64-bit Windows on Debian 12, cross-compiled with mingw-w64, and packs it:
#   build-windows/tessaro-<version>-win64.zip        the program and what it loads, unpacked anywhere
#   build-windows/tessaro-<version>-win64-setup.exe  an installer (Program Files, Start menu, uninstaller)
# Qt for Windows comes from scripts/windows-qt.sh (built once from Debian's source, then cached).
# Warnings are errors. BUILD_DIR (default build-windows) chooses the folder; CMAKE_ARGS adds
# configure options (CI adds -DTESSARO_BUILD_TESTS=ON for tests/win/suite.sh).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/.." && pwd)"
# shellcheck source=packages.sh
source "$here/packages.sh"

install_packages cmake ninja-build g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
    qt6-base-dev qt6-base-dev-tools qt6-translations-l10n nsis
qt="$(bash "$here/windows-qt.sh" | tail -n 1)"
build="${BUILD_DIR:-$root/build-windows}"

# shellcheck disable=SC2086 # CMAKE_ARGS holds several options
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$here/windows/mingw-w64.cmake" -DTESSARO_QT_WINDOWS="$qt" \
    -DQT_HOST_PATH=/usr -DTESSARO_QT_TRANSLATIONS=/usr/share/qt6/translations \
    -DTESSARO_WERROR=ON -DTESSARO_BUILD_TESTS=OFF -DTESSARO_BUILD_BENCH=OFF \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$root/tests/win/wine_test.sh;$qt" \
    ${CMAKE_ARGS:-}
cmake --build "$build" --parallel "${TESSARO_JOBS:-2}"
(cd "$build" && cpack -G ZIP && cpack -G NSIS)
ls -l "$build"/tessaro-*-win64.zip "$build"/tessaro-*-win64-setup.exe
