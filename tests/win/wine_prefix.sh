# shellcheck shell=bash
# Shared by the Wine stages (sourced): installs the cross compiler and Wine when missing, and
# makes a Wine prefix that needs no display.

# shellcheck source=../../scripts/packages.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/packages.sh"

# Installs the cross compiler and windres, Wine (Debian's /usr/bin/wine runs 64-bit programs
# through the wine64 package's loader) and python3, plus the Debian packages named as
# arguments, when missing.
wine_install_tools() {
    install_packages g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine wine64 python3 "$@"
}

# Exports WINEPREFIX=$1 and the quiet, display-free settings every Wine stage runs with.
wine_use_prefix() {
    export WINEPREFIX="$1"
    export WINEDEBUG=-all
    # No Mono or Gecko: their installers would ask through a dialog nobody can answer. No
    # menu builder: it would copy a program's Start-menu entries into the desktop's menus.
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
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

# Makes the ja_JP.UTF-8 locale when missing: Wine maps Windows names to this machine's, and
# picks its ANSI code page (932), from the locale.
wine_japanese_locale() {
    locale -a 2>/dev/null | grep -qix 'ja_JP.utf8' && return 0
    [ "$(id -u)" -eq 0 ] || { echo "the ja_JP.UTF-8 locale is missing; run as root" >&2; return 2; }
    localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
}

# A check's outcome, counted in `passed` and `failed`, for the stages that print "N passed, M failed".
passed=0
failed=0
check() {
    local what="$1" expected="$2" actual="$3"
    if [ "$expected" = "$actual" ]; then
        passed=$((passed + 1))
        echo "ok   $what"
    else
        failed=$((failed + 1))
        echo "FAIL $what"
        echo "     expected: $expected"
        echo "     actual:   $actual"
    fi
}

# The Windows form of a Linux path, through Wine's Z: drive.
winpath() {
    local path="Z:$1"
    printf '%s' "${path//\//\\}"
}
