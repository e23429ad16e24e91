# shellcheck shell=bash
# Shared by the stages that read folders with reader.exe under Wine as a Japanese Windows
# reads them (sourced after `here` and `root` are set): installs what is missing, builds
# reader.exe and ini_tool, prepares the Wine prefix and a folder on disk for the cases, makes
# sea.bmp (4 x 2) and sea.gif (1 x 1) in $work, and gives check, winpath, read_folder, field,
# mark, $section and $marked.
# shellcheck disable=SC2154 # here and root are the caller's
# shellcheck disable=SC2034 # section and marked are for the caller
# shellcheck source=tests/win/wine_prefix.sh
source "$here/wine_prefix.sh"
extra=()
[ -f /usr/share/i18n/locales/ja_JP ] || extra+=(locales)
command -v setfattr >/dev/null || extra+=(attr)
command -v g++ >/dev/null || extra+=(g++)
wine_install_tools "${extra[@]}" || { echo "$(basename "$0"): cannot install the tools" >&2; exit 2; }
wine_japanese_locale || exit 2

work="$(mktemp -d)"
# The folders must keep user.* extended attributes, where Wine reads DOS attributes: /var/tmp
# is on disk, /tmp may be a tmpfs that refuses them.
base="$(mktemp -d "${TESSARO_WINE_TMP:-/var/tmp}/tessaro-reader.XXXXXX")"
own_prefix=""
cleanup() {
    if [ -n "$own_prefix" ]; then
        WINEPREFIX="$own_prefix" wineserver -k >/dev/null 2>&1 || true
        rm -rf "$own_prefix"
    fi
    rm -rf "$work" "$base"
}
trap cleanup EXIT

warnings=(-Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion -Werror)
x86_64-w64-mingw32-g++ -std=c++20 -O1 -municode "${warnings[@]}" "$here/reader.cpp" \
    -static -lshlwapi -lole32 -loleaut32 -luuid -o "$work/reader.exe"
g++ -std=c++20 -O1 "${warnings[@]}" -I"$root" "$root/decoration/desktop_ini.cpp" "$root/decoration/reader_codec.cpp" \
    "$root/platform/os/text_encoding_posix.cpp" "$here/ini_tool.cpp" -o "$work/ini_tool"

if [ -n "${TESSARO_WINE_PREFIX:-}" ]; then
    wine_use_prefix "$TESSARO_WINE_PREFIX"
else
    own_prefix="$(mktemp -d "${TESSARO_WINE_TMP:-/var/tmp}/tessaro-wine.XXXXXX")"
    wine_make_prefix "$own_prefix" "$work/wineboot.log"
fi
setfattr -n user.DOSATTRIB -v '"0x4"' "$base" 2>/dev/null || {
    echo "$(basename "$0"): $base keeps no user.* extended attributes; set TESSARO_WINE_TMP to a folder on disk" >&2
    exit 2
}

# A 4 x 2 BMP and a 1 x 1 GIF, made here.
python3 - "$work" <<'PY'
import struct, sys
width, height = 4, 2
row = bytes([0, 0, 255] * width)
pixels = row * height  # rows of 12 bytes need no padding
header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
open(sys.argv[1] + "/sea.bmp", "wb").write(header + info + pixels)
gif = (b"GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00"
       b",\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02D\x01\x00;")
open(sys.argv[1] + "/sea.gif", "wb").write(gif)
PY

# A folder's line; a section and key after the folder add "extra=<their value>".
read_folder() {
    local folder="$1"
    shift
    LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 timeout 120 wine "$work/reader.exe" "$(winpath "$folder")" "$@" 2>/dev/null | tr -d '\r'
}

mark() {
    setfattr -n user.DOSATTRIB -v '"0x4"' "$1"
    setfattr -n user.DOSATTRIB -v '"0x6"' "$1/desktop.ini"
}

section='[{BE098140-A513-11D0-A3A4-00C04FD706EC}]'
marked="folder_system=yes ini_hidden=yes ini_system=yes"

# Field N ("image=..." or "text=...") of a reader line.
field() { tr ' ' '\n' | grep "^$1="; }
