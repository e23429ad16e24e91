#!/usr/bin/env bash
# Folders decorated by the program on Linux, read back by reader.exe under Wine as a Japanese
# Windows reads them: the picture loaded from the path joined to the folder, the colour, the
# folder's System mark and desktop.ini's Hidden and System. The program is the real apply
# command, run by tessaro_decorate from the Linux build in TESSARO_LINUX_BUILD with every
# question answered Yes. Closes with "N passed, M failed".
#
# Cases: a picture elsewhere (copied in), a picture inside the folder, Japanese names, a name
# Windows cannot open, a desktop.ini with other settings (merged, the other settings still
# read), and a folder decorated twice.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"

driver="${TESSARO_LINUX_BUILD:?set TESSARO_LINUX_BUILD to a Linux build folder}/tests/tessaro_decorate"
[ -x "$driver" ] || { echo "decorated.sh: $driver is missing: build the Linux tree first" >&2; exit 2; }

# shellcheck source=tests/win/reader_common.sh
source "$here/reader_common.sh"

# Decorates folder $2 with picture $1 and colour $3 as the program does on Linux.
decorate() {
    local status=0
    LANG=C.UTF-8 LC_ALL=C.UTF-8 "$driver" "$1" "$2" "$3" >"$work/decorate.out" 2>&1 || status=$?
    check "decorated $(basename "$2") with $(basename "$1")" "0" "$status"
    [ "$status" -eq 0 ] || sed 's/^/     /' "$work/decorate.out"
}

# The folder as the reader's line shows it: a space escaped as %20.
shown() {
    local path
    path="$(winpath "$1")"
    printf '%s' "${path// /%20}"
}

utf16() { python3 -c 'import sys; open(sys.argv[1], "wb").write(b"\xff\xfe" + sys.argv[2].encode("utf-16-le"))' "$1" "$2"; }

pictures="$base/pictures elsewhere"
mkdir -p "$pictures/夏"
cp "$work/sea.bmp" "$pictures/sea.bmp"
cp "$work/sea.bmp" "$pictures/夏/海.bmp"
cp "$work/sea.gif" "$pictures/12:30.gif"

echo "== folders decorated on Linux"
dir="$base/copied"
mkdir "$dir"
decorate "$pictures/sea.bmp" "$dir" FF
check "a picture elsewhere, copied in" \
    "image=sea.bmp path=$(shown "$dir")\\sea.bmp picture=loaded size=4x2 text=0x000000FF colour=0x0000ff $marked" \
    "$(read_folder "$dir")"

decorate "$pictures/夏/海.bmp" "$dir" ABCDEF
check "the same folder decorated again, with another picture" \
    "image=海.bmp path=$(shown "$dir")\\海.bmp picture=loaded size=4x2 text=0x00ABCDEF colour=0xabcdef $marked" \
    "$(read_folder "$dir")"

dir="$base/inside"
mkdir -p "$dir/写真"
cp "$work/sea.bmp" "$dir/写真/海.bmp"
decorate "$dir/写真/海.bmp" "$dir" FF0000
check "a picture inside the folder, by its relative path" \
    "image=写真\\海.bmp path=$(shown "$dir")\\写真\\海.bmp picture=loaded size=4x2 text=0x00FF0000 colour=0xff0000 $marked" \
    "$(read_folder "$dir")"

dir="$base/日本 の フォルダ"
mkdir "$dir"
decorate "$pictures/夏/海.bmp" "$dir" 00FF00
check "Japanese names: the folder's and the picture's" \
    "image=海.bmp path=$(shown "$dir")\\海.bmp picture=loaded size=4x2 text=0x0000FF00 colour=0x00ff00 $marked" \
    "$(read_folder "$dir")"

dir="$base/colon"
mkdir "$dir"
decorate "$pictures/12:30.gif" "$dir" 0
check "a name Windows cannot open, copied under one it can" \
    "image=12_30.gif path=$(shown "$dir")\\12_30.gif picture=loaded size=1x1 text=0x00000000 colour=0x000000 $marked" \
    "$(read_folder "$dir")"

dir="$base/merged utf16"
mkdir "$dir"
utf16 "$dir/desktop.ini" "[.ShellClassInfo]"$'\r\n'"LocalizedResourceName=夏の写真"$'\r\n'"$section"$'\r\n'"IconArea_Image=old.bmp"$'\r\n'
decorate "$pictures/sea.bmp" "$dir" FF
check "merged into a UTF-16LE desktop.ini, its other settings still read" \
    "image=sea.bmp path=$(shown "$dir")\\sea.bmp picture=loaded size=4x2 text=0x000000FF colour=0x0000ff $marked extra=夏の写真" \
    "$(read_folder "$dir" .ShellClassInfo LocalizedResourceName)"

# Code page 932, as Japanese Windows writes desktop.ini: a Japanese picture turns the file into
# UTF-16LE, every other setting read back as before.
dir="$base/merged 932"
mkdir "$dir"
python3 -c 'import sys; open(sys.argv[1], "wb").write(("[.ShellClassInfo]\r\nLocalizedResourceName=夏の写真\r\n; 背景の設定\r\n" + sys.argv[2] + "\r\nメモ=海\r\nIconArea_Image=old.bmp\r\n").encode("cp932"))' \
    "$dir/desktop.ini" "$section"
decorate "$pictures/夏/海.bmp" "$dir" FF
check "a Japanese picture merged into a code page 932 desktop.ini, its other settings read as before" \
    "image=海.bmp path=$(shown "$dir")\\海.bmp picture=loaded size=4x2 text=0x000000FF colour=0x0000ff $marked extra=夏の写真" \
    "$(read_folder "$dir" .ShellClassInfo LocalizedResourceName)"
check "… the note in our section too" "extra=海" "$(read_folder "$dir" "$(tr -d '[]' <<<"$section")" メモ | field extra)"

# A desktop.ini that a Windows client marked Read-only and Archive over a Samba share keeps both
# through a merge on the server, as the client sees it through smbd.
install_packages samba smbclient || true
if command -v smbd >/dev/null && command -v smbclient >/dev/null; then
    share="$base/share"
    mkdir -p "$share/samba" "$share/folder"
    cat >"$share/samba/smb.conf" <<CONF
[global]
    smb ports = 44545
    interfaces = 127.0.0.1
    bind interfaces only = yes
    private dir = $share/samba
    lock directory = $share/samba
    state directory = $share/samba
    cache directory = $share/samba
    pid directory = $share/samba
    ncalrpc dir = $share/samba/ncalrpc
    log file = $share/samba/log
    map to guest = Bad User
    guest account = root
    disable spoolss = yes
    load printers = no
[folder]
    path = $share/folder
    read only = no
    guest ok = yes
    force user = root
CONF
    # A session of its own: smbd, stopping, signals its whole process group.
    setsid smbd --foreground --no-process-group --configfile="$share/samba/smb.conf" &
    smbd_pid=$!
    client() { smbclient --configfile="$share/samba/smb.conf" -p 44545 -N //127.0.0.1/folder -c "$1" 2>&1; }
    for _ in $(seq 50); do client ls >/dev/null && break; sleep 0.2; done
    printf '[.ShellClassInfo]\r\nInfoTip=mine\r\n' >"$share/folder/desktop.ini"
    client 'setmode desktop.ini +ra' >/dev/null
    attributes() { client 'allinfo desktop.ini' | sed -n 's/^attributes: \([A-Z]*\) .*/\1/p'; }
    check "Samba: the client's Read-only and Archive set" "RA" "$(attributes)"
    decorate "$pictures/sea.bmp" "$share/folder" FF
    check "Samba: Read-only and Archive kept through the merge, Hidden and System added" "RHSA" "$(attributes)"
    kill "$smbd_pid" 2>/dev/null || true
    wait "$smbd_pid" 2>/dev/null || true
else
    echo "SKIPPED the attributes through Samba: smbd and smbclient are not installed (Debian: samba, smbclient)"
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
