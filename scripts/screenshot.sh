#!/usr/bin/env bash
# Takes the README's screenshot: the real window under Xvfb as a user sees it at home, in
# /home/yuki: the pictures folder on the left with a picture chosen and a caption colour
# typed, on the right a folder of holiday photos that is already decorated, its emblem shown.
# The home folder is made in a temporary folder and laid over /home in a mount namespace of
# the window's own (a user namespace when not root), so nothing is written under the
# machine's /home and no temporary folder's name shows. Where the system allows no such
# namespace, the window runs in the temporary folder itself, and says so.
# Usage: scripts/screenshot.sh [output.png]   (builds first, like start.sh)
source "$(dirname "$0")/setup.sh"
out="$(realpath -m "${1:-$root/docs/tessaro.png}")"

install_packages xvfb imagemagick xdotool

work="$(mktemp -d)"
trap 'kill "${app:-}" "${xvfb:-}" 2>/dev/null || true; rm -rf "$work"' EXIT

# What Tessaro writes for a Japanese picture name on Linux: UTF-16LE after a byte-order mark.
decorate() { # FOLDER PICTURE COLOUR
    printf '[{BE098140-A513-11D0-A3A4-00C04FD706EC}]\r\niconarea_image=%s\r\niconarea_text=%s\r\n' "$2" "$3" |
        iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$1/desktop.ini"
}

user=yuki
home="$work/home/$user"
pictures="$home/Pictures"
mkdir -p "$pictures/夏休み 2024" "$pictures/旅行" "$pictures/家族" "$home/Documents" "$home/Music"
convert -size 640x400 gradient:'#1d4e89'-'#f7c873' -fill '#f2f2f2' -draw 'circle 470,110 470,60' \
    -fill '#2f6b3a' -draw 'polygon 0,400 180,230 330,330 470,210 640,340 640,400' "$pictures/夕焼け.jpg"
convert -size 640x400 gradient:'#7ec8e3'-'#0b3d6b' -fill '#e8d8a8' -draw 'rectangle 0,330 640,400' "$pictures/海.jpg"
convert -size 640x400 gradient:'#dfe9f3'-'#6b8cae' -fill '#4a5a3a' -draw 'polygon 0,400 260,120 420,260 520,180 640,300 640,400' "$pictures/山.jpg"
convert -size 300x200 plasma:fractal -blur 0x2 "$pictures/花.bmp"
cp "$pictures/海.jpg" "$pictures/夏休み 2024/海.jpg"
cp "$pictures/山.jpg" "$pictures/旅行/山.jpg"
for photo in 浜辺 花火 スイカ; do
    convert -size 320x200 plasma:fractal "$pictures/夏休み 2024/$photo.jpg"
done
decorate "$pictures/夏休み 2024" 海.jpg 0x00FFFFFF
decorate "$pictures/旅行" 山.jpg 0x00000000

display=":$((90 + RANDOM % 100))"
Xvfb "$display" -screen 0 720x520x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
sleep 1

# The window starts in the decorated folder, so that the target pane shows it selected.
session='cd "$1" && HOME="$2" DISPLAY="$3" LANG=ja_JP.UTF-8 exec "$4"'
namespace=(unshare --mount --propagation private)
[ "$(id -u)" -eq 0 ] || namespace=(unshare --user --map-root-user --mount --propagation private)
if "${namespace[@]}" mount --bind "$work/home" /home 2>/dev/null; then
    "${namespace[@]}" bash -c "mount --bind \"\$5\" /home && $session" _ \
        "/home/$user/Pictures/夏休み 2024" "/home/$user" "$display" "$BUILD_DIR/app/tessaro" "$work/home" &
else
    echo "No mount namespace here: the screenshot shows the temporary folder's name." >&2
    bash -c "$session" _ "$pictures/夏休み 2024" "$home" "$display" "$BUILD_DIR/app/tessaro" &
fi
app=$!
for _ in $(seq 50); do
    DISPLAY="$display" xdotool search --name '^Tessaro$' >/dev/null 2>&1 && break
    sleep 0.2
done
sleep 1
# The first picture, 夕焼け.jpg, as a user would click it; then white captions typed into the
# colour box.
DISPLAY="$display" xdotool mousemove 240 43 click 1
sleep 0.5
DISPLAY="$display" xdotool mousemove 250 243 click 1 key ctrl+a type FFFFFF
DISPLAY="$display" xdotool mousemove 715 515
sleep 1
DISPLAY="$display" import -window root -crop 699x503+0+0 +repage "$out"
echo "wrote $out"
