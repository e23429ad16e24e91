#!/usr/bin/env bash
# Cross-builds the part of Qt that Tessaro uses (Core, Gui, Widgets, Test; the windows and
# offscreen platforms, the JPEG and GIF readers, the Windows styles) for 64-bit Windows,
# from Debian's own qt6-base source package, the same version as the Linux build, with
# Debian's security patches. The result is kept in a cache folder outside the checkout,
# named for everything that shapes it, and reused while that is unchanged:
#   ${TESSARO_CACHE:-/var/cache/tessaro}/qt-<version>-<hash>
# Prints that folder on its last line. About 40 minutes on two cores when it has to build.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
# shellcheck source=packages.sh
source "$here/packages.sh"

install_packages dpkg-dev cmake ninja-build perl python3 qt6-base-dev qt6-base-dev-tools \
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 >&2

version="$(dpkg-query -W -f='${Version}' qt6-base-dev)"
upstream="${version%%+*}"
# Only what Tessaro needs: every module and feature it does not use is left out, which
# halves the build. Direct2D stays on: the windows plugin's DirectWrite font database is
# compiled only with it. The tablet support needs headers Debian removed from the source.
# dynamicgl would pick an OpenGL library at run time, and the windows plugin does not build
# it without OpenGL.
options=(
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
    -DFEATURE_opengl=OFF -DFEATURE_dynamicgl=OFF -DFEATURE_vulkan=OFF -DFEATURE_network=OFF -DFEATURE_sql=OFF
    -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF
    -DFEATURE_tabletevent=OFF -DFEATURE_freetype=OFF -DFEATURE_fontconfig=OFF
    -DFEATURE_zstd=OFF -DFEATURE_brotli=OFF
    -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF
    -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_doubleconversion=OFF
    -DFEATURE_jpeg=ON -DFEATURE_gif=ON -DFEATURE_ico=OFF
    -DFEATURE_testlib=ON -DFEATURE_accessibility=ON
)
patches=(cve-2023-32762.diff cve-2023-32763.diff cve-2023-33285.diff cve-2023-24607.patch)

cache_root="${TESSARO_CACHE:-/var/cache/tessaro}"
hash="$( { echo "$version"; printf '%s\n' "${options[@]}" "${patches[@]}"; \
    cat "$here/windows/mingw-w64.cmake"; cat "$here"/windows/qt-*.patch 2>/dev/null || true; \
    x86_64-w64-mingw32-g++-posix --version | head -n 1; } | sha256sum | cut -c1-12)"
prefix="$cache_root/qt-$upstream-$hash"
mkdir -p "$cache_root"
if [ -f "$prefix/.complete" ]; then
    echo "$prefix"
    exit 0
fi

# The build folder lives beside the cache entry until the install is whole, so that a build
# cut off (a compile error, a reboot) goes on where it stopped when run again.
work="$prefix.build"
mkdir -p "$work"
cd "$work"

# deb-src only for this one download; the machine's sources are put back however it ends.
sources=/etc/apt/sources.list.d/debian.sources
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if [ ! -f source.done ]; then
    rm -rf qtbase-everywhere-src-* debian qt6-base_*
    if ls "${TESSARO_QT_SOURCE:-/nonexistent}"/qt6-base_*.dsc >/dev/null 2>&1; then
        cp "$TESSARO_QT_SOURCE"/qt6-base_* .
    else
        $sudo cp "$sources" "$work/sources.saved"
        restore() { $sudo cp "$work/sources.saved" "$sources"; $sudo apt-get update -q >/dev/null 2>&1 || true; }
        trap restore EXIT
        $sudo sed -i 's/^Types: deb$/Types: deb deb-src/' "$sources"
        $sudo apt-get update -q >&2
        apt-get source --download-only "qt6-base=$version" >&2
        restore
        trap - EXIT
    fi
    tar xf qt6-base_*.orig.tar.xz
    tar xf qt6-base_*.debian.tar.xz
    for patch in "${patches[@]}"; do
        patch -d "qtbase-everywhere-src-$upstream" -p1 -s <"debian/patches/$patch"
    done
    for patch in "$here"/windows/qt-*.patch; do
        if [ -e "$patch" ]; then patch -d "qtbase-everywhere-src-$upstream" -p1 -s <"$patch"; fi
    done
    touch source.done
fi
src="$work/qtbase-everywhere-src-$upstream"

rm -rf "$prefix.partial"
cmake -S "$src" -B build -G Ninja "${options[@]}" \
    -DCMAKE_TOOLCHAIN_FILE="$here/windows/mingw-w64.cmake" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_INSTALL_PREFIX="$prefix.partial" >&2
cmake --build build --parallel "${TESSARO_JOBS:-2}" >&2
cmake --install build >&2
# Qt's installed CMake files name the prefix they were installed to; the folder is moved
# only once it is whole, so a build cut off half-way is never taken for a finished one.
grep -rl --null "$prefix.partial" "$prefix.partial" | xargs -0 -r sed -i "s|$prefix.partial|$prefix|g"
touch "$prefix.partial/.complete"
rm -rf "$prefix"
mv "$prefix.partial" "$prefix"
rm -rf "$work"
echo "$prefix"
