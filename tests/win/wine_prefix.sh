# shellcheck shell=bash
# Shared by the Wine stages (sourced): installs the cross compiler and Wine when missing, and
# makes a Wine prefix that needs no display.

# Installs x86_64-w64-mingw32-g++ and -windres, Wine (64-bit) and python3, plus the Debian
# packages named as arguments, when missing; as root only.
wine_install_tools() {
    local need_install=("$@")
    command -v x86_64-w64-mingw32-g++ >/dev/null || need_install+=(g++-mingw-w64-x86-64)
    command -v x86_64-w64-mingw32-windres >/dev/null || need_install+=(binutils-mingw-w64-x86-64)
    # Debian's /usr/bin/wine runs 64-bit programs through the wine64 package's loader.
    { command -v wine >/dev/null && [ -x /usr/lib/wine/wine64 ] || command -v wine64 >/dev/null; } || need_install+=(wine wine64)
    command -v python3 >/dev/null || need_install+=(python3)
    [ ${#need_install[@]} -gt 0 ] || return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "missing ${need_install[*]}; install them or run as root" >&2
        return 2
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${need_install[@]}" >/dev/null
}

# Exports WINEPREFIX=$1 and the quiet, display-free settings every Wine stage runs with.
wine_use_prefix() {
    export WINEPREFIX="$1"
    export WINEDEBUG=-all
    # No Mono or Gecko: their installers would ask through a dialog nobody can answer.
    export WINEDLLOVERRIDES="mscoree,mshtml="
    unset DISPLAY WAYLAND_DISPLAY
}

# Makes a Wine prefix in the folder $1 and uses it; wineboot's output goes to the file $2.
wine_make_prefix() {
    wine_use_prefix "$1"
    # The null graphics driver: windows and dialogs exist and take messages but are drawn
    # nowhere, so no X server is needed. Written before the first start so that wineboot
    # itself already runs with it.
    cat >"$WINEPREFIX/user.reg" <<'REG'
WINE REGISTRY Version 2
;; All keys relative to \\User\\S-1-5-21-0-0-0-1000

[Software\\Wine\\Drivers]
"Graphics"="null"
REG
    timeout 600 wineboot --init >"$2" 2>&1 || { cat "$2" >&2; echo "wineboot failed" >&2; return 1; }
    timeout 120 wineserver --wait || true
}
