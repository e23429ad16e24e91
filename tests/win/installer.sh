#!/usr/bin/env bash
# The installer under Wine, on a screen of its own: installed silently (/S) into a fresh prefix,
# Tessaro started from its Start-menu entry with nothing else on the path, uninstalled silently,
# and nothing of it left once Windows has been restarted (the uninstaller's own copy in the
# temporary folder goes at the restart, as on Windows). BUILD_DIR (default build-windows) holds
# the installer that scripts/windows.sh made. Closes with "N passed, M failed".
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="${BUILD_DIR:-$root/build-windows}"
setup="$(ls "$build"/tessaro-*-win64-setup.exe)"

# shellcheck source=tests/win/desktop.sh
source "$here/desktop.sh"
drive_c="$WINEPREFIX/drive_c"

# What Wine holds: every file and folder of drive C: but the emptied folder the uninstaller
# ran its own copy from (Windows removes it at the restart; Wine leaves the folder), and every
# registry key and value that names Tessaro.
state() {
    (cd "$drive_c" && find . | grep -v '^\./users/[^/]*/Temp/~nsu[0-9]*\.tmp$' | sort)
    cat "$WINEPREFIX"/*.reg | { grep -i tessaro || true; } | sed 's/\] [0-9]*$/]/' | sort
}
state >"$work/before"

echo "== installing $(basename "$setup") silently"
status=0
timeout 300 wine "$setup" /S || status=$?
wineserver --wait
check "the installer ends well" 0 "$status"
installed="$drive_c/Program Files/Tessaro"
for file in tessaro.exe Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll \
    platforms/qwindows.dll imageformats/qjpeg.dll imageformats/qgif.dll styles/qwindowsvistastyle.dll \
    translations/qtbase_ja.qm Uninstall.exe; do
    check "installed: $file" yes "$([ -f "$installed/$file" ] && echo yes || echo no)"
done
menu="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tessaro"
check "Start menu: Tessaro and its uninstaller" "Tessaro.lnk Uninstall.lnk" "$(find "$menu" -mindepth 1 -printf '%f\n' 2>/dev/null | sort | tr '\n' ' ' | sed 's/ $//')"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessaro'
value() { wine reg query "$uninstall_key" /v "$1" 2>/dev/null | tr -d '\r' | awk -v name="$1" '$1 == name { $1 = ""; $2 = ""; sub(/^ +/, ""); print }'; }
check "Programs and Features: name, version, icon" "Tessaro 1.00 C:\\Program Files\\Tessaro\\tessaro.exe" \
    "$(value DisplayName) $(value DisplayVersion) $(value DisplayIcon)"

echo "== Tessaro started from its Start-menu entry"
cd "$drive_c/users"
wine start /wait "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Tessaro\\Tessaro.lnk" >/dev/null 2>&1 &
started=$!
window="$(wait_window Tessaro 60)" || window=""
check "its window is shown" yes "$([ -n "$window" ] && echo yes || echo no)"
[ -z "${TESSARO_INSTALLER_SHOT:-}" ] || screenshot "$TESSARO_INSTALLER_SHOT"
[ -z "$window" ] || close_window "$window"
status=0
timeout 60 tail --pid="$started" -f /dev/null || status=$?
check "it closes with its window" 0 "$status"
wineserver --wait

echo "== uninstalling silently"
status=0
timeout 300 wine "C:\\Program Files\\Tessaro\\Uninstall.exe" /S || status=$?
wineserver --wait
check "the uninstaller ends well" 0 "$status"
wineboot --restart >/dev/null 2>&1
wineserver --wait
state >"$work/after"
check "nothing of Tessaro is left: files, folders, registry keys" "" "$(diff "$work/before" "$work/after" || true)"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
