# Installs what building and testing Tessaro needs on Debian 12 and configures a build.
# Sourced by start.sh, test.sh and bench.sh; BUILD_DIR, BUILD_TYPE, CMAKE_ARGS and
# EXTRA_PACKAGES (further Debian packages) may be set by the caller.

set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$root/build}"
BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}"

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev              # Qt 6 Widgets and Qt Test
    qt6-translations-l10n     # Qt's own buttons and dialogs in Japanese
    fonts-noto-cjk            # Japanese text on a machine without a desktop
    attr                      # getfattr, to look at the System mark by hand
)
# shellcheck disable=SC2206 # EXTRA_PACKAGES is a list of package names
packages+=(${EXTRA_PACKAGES:-})

# shellcheck source=packages.sh
source "$root/scripts/packages.sh"
install_packages "${packages[@]}"

# shellcheck disable=SC2086 # CMAKE_ARGS is a list of arguments
cmake -S "$root" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE="$BUILD_TYPE" ${CMAKE_ARGS:-}
cmake --build "$BUILD_DIR" --parallel 2
