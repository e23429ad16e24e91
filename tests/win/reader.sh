#!/usr/bin/env bash
# Reads folders' decorations with reader.exe under Wine, as a Japanese Windows reads them, and
# compares each result line with the one expected; closes with "N passed, M failed".
#
# First, folders made here with hand-written desktop.ini files: ASCII with a relative path,
# UTF-16LE with a Japanese relative path, LF-only lines, a POSIX absolute path and UTF-8 without
# a byte-order mark (both must fail to load). Then the program's desktop.ini functions
# (ini_tool, built for this machine) against the same reader on files with duplicate keys and
# sections, blanks, quotes and the like: what they read is what the reader reads, and what they
# merge or take off is read back so by the reader.
#
# reader.exe takes any folder: `wine reader.exe 'Z:\path\to\folder'` prints one line.
# Runs in the Wine prefix TESSARO_WINE_PREFIX when set (run.sh's), else in one of its own.
# Needs root for what is missing: the ja_JP.UTF-8 locale (localedef), setfattr, the tools.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"

# shellcheck source=tests/win/reader_common.sh
source "$here/reader_common.sh"

echo "== hand-written files"
dir="$base/ascii"
mkdir "$dir"
cp "$work/sea.bmp" "$dir/"
printf '%s\r\niconarea_image=sea.bmp\r\niconarea_text=0x000000FF\r\n' "$section" >"$dir/desktop.ini"
mark "$dir"
check "ASCII, relative path" \
    "image=sea.bmp path=$(winpath "$dir")\\sea.bmp picture=loaded size=4x2 text=0x000000FF colour=0x0000ff $marked" \
    "$(read_folder "$dir")"

dir="$base/日本"
mkdir -p "$dir/写真"
cp "$work/sea.bmp" "$dir/写真/海.bmp"
python3 -c 'import sys; open(sys.argv[1], "wb").write(b"\xff\xfe" + (sys.argv[2] + "\r\niconarea_image=写真\\海.bmp\r\niconarea_text=0x00FF0000\r\n").encode("utf-16-le"))' \
    "$dir/desktop.ini" "$section"
mark "$dir"
check "UTF-16LE, Japanese relative path" \
    "image=写真\\海.bmp path=$(winpath "$dir")\\写真\\海.bmp picture=loaded size=4x2 text=0x00FF0000 colour=0xff0000 $marked" \
    "$(read_folder "$dir")"

dir="$base/lf"
mkdir "$dir"
cp "$work/sea.gif" "$dir/"
printf '[{be098140-a513-11d0-a3a4-00c04fd706ec}]\niconarea_image=sea.gif\niconarea_text=0x00FF00\n' >"$dir/desktop.ini"
mark "$dir"
check "LF-only lines, section in lower case, GIF" \
    "image=sea.gif path=$(winpath "$dir")\\sea.gif picture=loaded size=1x1 text=0x00FF00 colour=0x00ff00 $marked" \
    "$(read_folder "$dir")"

# The shell takes a POSIX path for a relative one and joins it to the folder.
dir="$base/posix"
mkdir "$dir"
cp "$work/sea.bmp" "$dir/"
printf '%s\r\niconarea_image=%s/sea.bmp\r\niconarea_text=0x0000FFz\r\n' "$section" "$dir" >"$dir/desktop.ini"
mark "$dir"
check "POSIX absolute path fails to load; colour with trailing junk is invalid" \
    "image=$dir/sea.bmp path=$(winpath "$dir")\\$dir/sea.bmp picture=failed size=- text=0x0000FFz colour=invalid $marked" \
    "$(read_folder "$dir")"

# UTF-8 without a mark is decoded in the ANSI code page (932 here): the name is mojibake.
dir="$base/utf8"
mkdir "$dir"
cp "$work/sea.bmp" "$dir/海.bmp"
printf '%s\r\niconarea_image=海.bmp\r\niconarea_text=255\r\n' "$section" >"$dir/desktop.ini"
mojibake="$(python3 -c 'print("海.bmp".encode("utf-8").decode("cp932"))')"
check "UTF-8 without a mark: mojibake, fails to load; not marked" \
    "image=$mojibake path=$(winpath "$dir")\\$mojibake picture=failed size=- text=255 colour=0x0000ff folder_system=no ini_hidden=no ini_system=no" \
    "$(read_folder "$dir")"

echo "== the program's desktop.ini functions against the reader"
# Each file: what ini_tool reads must be what the reader reads; a merge must make the reader
# load the picture (an ASCII name, and a Japanese one that needs UTF-16LE); taking the
# decoration off must leave the reader nothing.
cases="$base/cases"
mkdir "$cases"
python3 - "$cases" "$section" <<'PY'
import os, sys
cases, s = sys.argv[1], sys.argv[2].encode()
def u16(text): return b"\xff\xfe" + text.encode("utf-16-le")
files = {
    "duplicate-keys": s + b"\r\niconarea_image=first.bmp\r\niconarea_image=second.bmp\r\n",
    "duplicate-sections": s + b"\r\nfoo=1\r\n" + s + b"\r\niconarea_image=x.bmp\r\niconarea_text=1\r\n",
    "key-without-equals": s + b"\r\niconarea_image\r\niconarea_image=x.bmp\r\niconarea_text=0xFF\r\n",
    "blanks-and-quotes": b"\t[ {be098140-a513-11d0-a3a4-00c04fd706ec} ] \r\n  IconArea_Image \t=  \"a b.bmp\" \x1a\r\nICONAREA_TEXT=' 0xFF '\r\n",
    "key-before-sections": b"iconarea_image=x.bmp\r\n" + s + b"\r\niconarea_text=1\r\n",
    "bracket-line-without-bracket": s + b"\r\n[x\r\niconarea_image=x.bmp\r\n",
    "text-after-bracket": s + b" ; note\r\niconarea_image=x.bmp\r\n",
    "first-bracket-ends-name": s + b"]\r\niconarea_image=x.bmp\r\n" + s + b"\r\niconarea_image=y.bmp\r\n",
    "note-with-bracket": s + b" ; note ] here\r\niconarea_image=x.bmp\r\n",
    "lf-unterminated": b"[.ShellClassInfo]\nInfoTip=hi\n" + s + b"\niconarea_text=0x1",
    "comment-and-empty-value": s + b"\r\n;iconarea_image=c.bmp\r\niconarea_image=\r\n",
    "utf16-japanese": u16("[.ShellClassInfo]\r\nInfoTip=日本語\r\n" + s.decode() + "\r\niconarea_image=古.bmp\r\niconarea_image=新.bmp\r\n"),
    "shift-jis-tip": b"[.ShellClassInfo]\r\nInfoTip=\x93\xfa\x96\x7b\r\n",
    "code-page-932-everywhere": "; 背景の設定\r\n[日本語]\r\nメモ=海\r\n".encode("cp932") + s
        + "\r\nメモ=海\r\niconarea_image=x.bmp\r\n".encode("cp932"),
    "not-code-page-932": b"[.ShellClassInfo]\r\nInfoTip=\xff\r\n",
    "empty": b"",
}
for name, data in files.items():
    os.makedirs(os.path.join(cases, name))
    open(os.path.join(cases, name, "source.ini"), "wb").write(data)
PY

# Where Windows and Wine part, the program follows Windows (tests published for the Windows 10
# profile API): a section's name ends at its FIRST ']', and a '[' line without one is a section
# named by the rest of its line. Wine takes the last ']' and reads such a line as a key. These
# files are read by the program as Windows reads them, and the reader here, being Wine, is
# held to Wine's rule, so that a change in either shows.
declare -A windows_reads=(
    [bracket-line-without-bracket]="image= text="
    [first-bracket-ends-name]="image=x.bmp text="
    [note-with-bracket]="image=x.bmp text="
)
declare -A wine_reads=(
    [bracket-line-without-bracket]="image=x.bmp text="
    [first-bracket-ends-name]="image=y.bmp text="
    [note-with-bracket]="image= text="
)
for dir in "$cases"/*/; do
    dir="${dir%/}"
    name="$(basename "$dir")"
    mkdir -p "$dir/写真"
    cp "$work/sea.bmp" "$dir/"
    cp "$work/sea.bmp" "$dir/写真/海.bmp"
    cp "$dir/source.ini" "$dir/desktop.ini"
    line="$(read_folder "$dir")"
    read_by_wine="$(field image <<<"$line") $(field text <<<"$line")"
    if [ -n "${windows_reads[$name]:-}" ]; then
        check "$name: read by Windows' rule" "${windows_reads[$name]}" "$("$work/ini_tool" read "$dir/source.ini")"
        check "$name: Wine reads it by its own rule" "${wine_reads[$name]}" "$read_by_wine"
    else
        check "$name: read as the reader reads" "$("$work/ini_tool" read "$dir/source.ini")" "$read_by_wine"
    fi

    for image in sea.bmp '写真\海.bmp'; do
        if "$work/ini_tool" merge "$dir/source.ini" "$image" 0x000000FF >"$dir/desktop.ini" 2>"$work/refusal"; then
            line="$(read_folder "$dir")"
            if [ -n "${windows_reads[$name]:-}" ]; then
                check "$name: merged $image, read by Windows' rule" "image=$image text=0x000000FF" \
                    "$("$work/ini_tool" read "$dir/desktop.ini")"
            else
                check "$name: merged $image is loaded" "image=$image picture=loaded text=0x000000FF colour=0x0000ff" \
                    "$(field image <<<"$line") $(field picture <<<"$line") $(field text <<<"$line") $(field colour <<<"$line")"
            fi
        else
            # The only file whose merge may be refused: a byte of it is no code page 932
            # text, and a Japanese name needs the whole file carried over into UTF-16LE.
            check "$name: merge of $image refused" "not-code-page-932 写真\\海.bmp" "$name $image"
        fi
    done
    if [ "$name" = code-page-932-everywhere ]; then
        check "$name: merged into UTF-16LE, its other text read as before" "extra=海" \
            "$(read_folder "$dir" 日本語 メモ | field extra)"
    fi

    "$work/ini_tool" remove "$dir/source.ini" >"$dir/desktop.ini"
    line="$(read_folder "$dir")"
    check "$name: taken off, the reader finds nothing" "image= text=" "$(field image <<<"$line") $(field text <<<"$line")"
done

# Wine ends a line at a CR as well as at LF; other readers may not, so the program refuses such
# a file rather than guess which of them reads it.
dir="$base/cr"
mkdir "$dir"
printf '%s\r\nfoo=1\riconarea_image=x.bmp\r\n' "$section" >"$dir/desktop.ini"
check "a CR inside a line: Wine ends the line there" "image=x.bmp" "$(read_folder "$dir" | field image)"
check "a CR inside a line: the program refuses the file" "refused" \
    "$("$work/ini_tool" read "$dir/desktop.ini" 2>&1 >/dev/null | cut -d' ' -f1)"

echo "== code page 932 as the program reads it, on Linux and on Windows"
x86_64-w64-mingw32-g++ -std=c++20 -O1 "${warnings[@]}" -I"$root" "$here/code_page.cpp" "$root/platform/os/text_encoding_win.cpp" \
    -static -o "$work/code_page.exe"
g++ -std=c++20 -O1 "${warnings[@]}" -I"$root" "$here/code_page.cpp" "$root/platform/os/text_encoding_posix.cpp" -o "$work/code_page"
"$work/code_page" >"$work/code_page.linux"
timeout 300 wine "$work/code_page.exe" 2>/dev/null | tr -d '\r' >"$work/code_page.windows"
# glibc refuses 0x80, which Windows reads as U+0080: stricter, never different.
check "every sequence of one or two bytes reads alike, or is refused on Linux alone" "< 80 - > 80 0080" \
    "$(diff "$work/code_page.linux" "$work/code_page.windows" | grep '^[<>]' | tr '\n' ' ' | sed 's/ $//')"
check "the Windows side read as many sequences" "$(wc -l <"$work/code_page.linux")" "$(wc -l <"$work/code_page.windows")"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
