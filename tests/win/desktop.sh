# shellcheck shell=bash
# Shared by the stages that run the Windows program on a screen (sourced after `here` is
# set): installs what is missing, starts Xvfb on a free display, makes a fresh Wine prefix in
# a folder of its own that draws there (HOME too, so that Wine's Documents and Pictures point
# inside it), and gives check, winpath, wait_window, close_window and screenshot. Everything
# it made goes when the caller's shell exits.
# shellcheck disable=SC2154 # here is the caller's
# shellcheck source=tests/win/wine_prefix.sh
source "$here/wine_prefix.sh"
wine_install_tools locales xvfb xdotool imagemagick
wine_japanese_locale

work="$(mktemp -d "${TESSARO_WINE_TMP:-/var/tmp}/tessaro-desktop.XXXXXX")"
xvfb_pid=""
desktop_cleanup() {
    WINEPREFIX="$work/prefix" wineserver -k >/dev/null 2>&1 || true
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap desktop_cleanup EXIT

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "$(basename "$0"): Xvfb did not start" >&2; exit 2; }
display=":$(cat "$work/display")"

export HOME="$work/home"
mkdir -p "$HOME" "$work/prefix"
wine_make_prefix "$work/prefix" "$work/wineboot.log"
# On the screen: the X11 driver in place of the null one the prefix was made with.
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d x11 /f >/dev/null 2>&1
wineserver -k >/dev/null 2>&1 || true
export DISPLAY="$display"
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
unset WINEPATH QT_PLUGIN_PATH QT_QPA_PLATFORM

# The X window whose title is exactly $1, once it is shown (up to $2 seconds, default 60).
wait_window() {
    local id
    for _ in $(seq $((${2:-60} * 5))); do
        id="$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1)" || true
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.2
    done
    return 1
}

# Closes the window $1 as the user does, with Alt+F4.
close_window() {
    xdotool windowactivate --sync "$1" >/dev/null 2>&1 || xdotool windowfocus --sync "$1" >/dev/null 2>&1 || true
    xdotool key --window "$1" alt+F4
}

screenshot() { import -display "$DISPLAY" -window root "$1"; }
