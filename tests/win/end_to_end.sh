#!/usr/bin/env bash
# Tessaro for Windows end to end under Wine, as a user drives it, on a screen of its own in a
# Japanese locale: the zip that scripts/windows.sh made (BUILD_DIR, default build-windows) is
# unpacked and tessaro.exe started from there with nothing else on the path, in a folder to
# decorate. The picture is chosen in File1 (a click), 実行 pressed, the message answered; the
# Windows reader (reader.cpp) reads the folder back, loads the picture and sees the attributes
# that the shell's copy, the hidden attrib.exe and the file's own attributes gave. Then the
# decoration is taken off through Dir2's context menu, from the keyboard (Shift+F10), and the
# question answered Yes. TESSARO_WINDOWS_SHOT=<file.png> keeps a picture of the window with the
# picture previewed. Closes with "N passed, M failed".
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="${BUILD_DIR:-$root/build-windows}"
zip="$(ls "$build"/tessaro-*-win64.zip)"

# shellcheck source=tests/win/desktop.sh
source "$here/desktop.sh"
install_packages unzip

x86_64-w64-mingw32-g++ -std=c++20 -O1 -municode -Wall -Wextra -Werror "$here/reader.cpp" \
    -static -lshlwapi -lole32 -loleaut32 -luuid -o "$work/reader.exe"
unzip -q "$zip" -d "$work/unpacked"
program="$(ls "$work"/unpacked/*/tessaro.exe)"

# The user's documents (Wine's Documents is HOME, made for this run), the picture in their
# "My Pictures", where Tessaro opens File1; the folder to decorate on drive C:, a fixed drive,
# where desktop.ini names the picture by its full path.
documents="$(cd "$WINEPREFIX/drive_c/users/$(id -un)/Documents" && pwd -P)"
mkdir -p "$documents/My Pictures"
convert -size 96x64 gradient:'#1060c0'-'#f0e0a0' "$documents/My Pictures/海.jpg"
target="$WINEPREFIX/drive_c/写真展/夏の 海"
mkdir -p "$target"
win_target='C:\写真展\夏の 海'
win_picture="C:\\users\\$(id -un)\\Documents\\My Pictures\\海.jpg"

read_folder() { timeout 120 wine "$work/reader.exe" "$win_target" 2>/dev/null | tr -d '\r'; }
# Waits up to 30 s for the command given to succeed.
wait_for() { for _ in $(seq 150); do "$@" && return 0; sleep 0.2; done; return 1; }
# The windows on the screen, which are Tessaro's alone: its own, and a message in front of it,
# which is titled after what was done.
windows_shown() { xdotool search --onlyvisible --name '.' 2>/dev/null | wc -l; }
message_shown() { [ "$(windows_shown)" -ge 2 ]; }
message_gone() { [ "$(windows_shown)" -eq 1 ]; }
decorated() { [ -f "$target/desktop.ini" ] && message_shown; }
taken_off() { [ ! -e "$target/desktop.ini" ] && message_shown; }
# Clicks at ($2, $3) in the client area of window $1, in the window's own pixels.
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; }

echo "== tessaro.exe from the unpacked zip, in the folder to decorate"
(cd "$target" && exec wine "$program") >"$work/tessaro.log" 2>&1 &
tessaro=$!
window="$(wait_window Tessaro 90)" || window=""
check "the window is shown" yes "$([ -n "$window" ] && echo yes || echo no)"
[ -n "$window" ] || { screenshot "$work/failed.png" || true; echo "$passed passed, $((failed + 1)) failed"; exit 1; }
xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true
sleep 2

echo "== the picture chosen in File1, 実行 pressed"
click "$window" 240 41     # File1's first row
sleep 3
[ -z "${TESSARO_WINDOWS_SHOT:-}" ] || import -display "$DISPLAY" -window "$window" "$TESSARO_WINDOWS_SHOT"
click "$window" 390 252    # 実行　>>
wait_for decorated || true
check "one message after the apply" 2 "$(windows_shown)"
xdotool key Return
wait_for message_gone || true

expected_picture="$(printf '%s' "$win_picture" | sed 's/ /%20/g')"
check "read back: the picture by its full path, loaded; the colour; System on the folder, Hidden and System on desktop.ini" \
    "image=$expected_picture path=$expected_picture picture=loaded size=96x64 text=0x00000000 colour=0x000000 folder_system=yes ini_hidden=yes ini_system=yes" \
    "$(read_folder)"

echo "== taken off through Dir2's context menu"
xdotool key Tab Tab               # from 実行 on to Dir2
sleep 1
xdotool key shift+F10
sleep 1
xdotool key Down Return           # from 開く, active as the menu opens, to 背景と文字色を外す
wait_for message_shown || true
check "the question before taking it off" 2 "$(windows_shown)"
xdotool key alt+y
wait_for taken_off || true
xdotool key Return
wait_for message_gone || true
check "desktop.ini gone, nothing else in it; the folder keeps System" \
    "image= path= picture=none size=- text= colour=none folder_system=yes ini_hidden=missing ini_system=missing" \
    "$(read_folder)"

close_window "$window"
status=0
timeout 60 tail --pid="$tessaro" -f /dev/null || status=$?
check "Tessaro ends with its window" 0 "$status"
[ "$failed" -eq 0 ] || screenshot "$work/failed.png" || true
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
