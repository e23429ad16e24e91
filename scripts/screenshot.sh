#!/usr/bin/env bash
# Takes the README's screenshot: the real window under Xvfb, a picture chosen in the browser.
# Usage: scripts/screenshot.sh [output.png]   (builds first, like start.sh)
source "$(dirname "$0")/setup.sh"
out="$(realpath -m "${1:-$root/docs/tessaro.png}")"

install_packages xvfb imagemagick xdotool

work="$(mktemp -d)"
trap 'kill "${app:-}" "${xvfb:-}" 2>/dev/null || true; rm -rf "$work"' EXIT
pictures="$work/home/Documents/My Pictures"
mkdir -p "$pictures" "$work/home/写真フォルダ"
convert -size 640x400 gradient:'#1d4e89'-'#f7c873' -fill '#f2f2f2' -draw 'circle 470,110 470,60' \
    -fill '#2f6b3a' -draw 'polygon 0,400 180,230 330,330 470,210 640,340 640,400' "$pictures/夕焼け.jpg"
convert -size 300x200 plasma:fractal -blur 0x2 "$pictures/花.bmp"
convert -size 200x200 xc:'#c94c4c' "$pictures/sample.gif"

display=":$((90 + RANDOM % 100))"
Xvfb "$display" -screen 0 720x520x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
sleep 1
(cd "$work/home/写真フォルダ" && HOME="$work/home" DISPLAY="$display" LANG=ja_JP.UTF-8 "$BUILD_DIR/app/tessaro") &
app=$!
for _ in $(seq 50); do
    DISPLAY="$display" xdotool search --name '^Tessaro$' >/dev/null 2>&1 && break
    sleep 0.2
done
sleep 1
# The second entry of the file list, 夕焼け.jpg, as a user would click it.
DISPLAY="$display" xdotool mousemove 240 61 click 1
sleep 1
DISPLAY="$display" import -window root -crop 699x503+0+0 +repage "$out"
echo "wrote $out"
