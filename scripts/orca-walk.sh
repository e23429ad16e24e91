#!/usr/bin/env bash
# Walks Tessaro's window by keyboard with the Orca screen reader listening, speech off, and
# prints after each key what Orca would have said (the speech lines of its debug log). Runs
# under Xvfb with a window manager, in a D-Bus session and accessibility bus of its own, in a
# home folder made for the walk: three pictures in "My Pictures"; in the folder Tessaro
# starts in, 旅行 (decorated, its picture there), 古い旅行 (decorated, its picture gone) and
# 書類 (plain).
# Usage: scripts/orca-walk.sh [KEY...]   (xdotool key names; without keys, the walk below)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"

if [ "${1:-}" != "--in-session" ]; then
    EXTRA_PACKAGES="xvfb openbox xdotool imagemagick orca python3-pyatspi at-spi2-core dbus" \
        source "$here/setup.sh" >&2
    exec dbus-run-session -- "$0" --in-session "$BUILD_DIR" "$@"
fi
shift
build="$1"
shift

work="$(mktemp -d)"
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; rm -rf "$work"' EXIT
home="$work/home"
pictures="$home/Documents/My Pictures"
mkdir -p "$pictures" "$home/フォルダ/旅行" "$home/フォルダ/古い旅行" "$home/フォルダ/書類"
convert -size 64x48 xc:'#1d4e89' "$pictures/海.jpg"
convert -size 64x48 xc:'#2f6b3a' "$pictures/山.bmp"
convert -size 64x48 xc:'#c94c4c' "$pictures/夕日.gif"
cp "$pictures/海.jpg" "$home/フォルダ/旅行/sea.jpg"
printf '[{BE098140-A513-11D0-A3A4-00C04FD706EC}]\r\niconarea_image=sea.jpg\r\niconarea_text=0x000000FF\r\n' \
    | tee "$home/フォルダ/旅行/desktop.ini" >"$home/フォルダ/古い旅行/desktop.ini"

export DISPLAY=":$((90 + RANDOM % 100))" HOME="$home" LANG=C.UTF-8 LC_ALL=C.UTF-8
Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
sleep 1
openbox >/dev/null 2>&1 &
pids+=($!)
sleep 1
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
pids+=($!)
sleep 1

# Orca writes its debug log through a buffer; opened line by line, it can be read as keys go.
log="$work/orca.log"
cat >"$work/run-orca.py" <<'EOF'
import builtins, runpy, sys
log, prefs = sys.argv[1], sys.argv[2]
plain_open = builtins.open
def line_by_line(file, mode='r', buffering=-1, *args, **kwargs):
    return plain_open(file, mode, 1 if file == log else buffering, *args, **kwargs)
builtins.open = line_by_line
sys.argv = ['orca', '--disable', 'speech', '--disable', 'braille', '--user-prefs', prefs, '--debug-file', log]
runpy.run_path('/usr/bin/orca', run_name='__main__')
EOF
/usr/bin/python3 "$work/run-orca.py" "$log" "$work/orca-prefs" </dev/null >"$work/orca.out" 2>&1 &
orca=$!
pids+=($orca)
for _ in $(seq 100); do
    grep -q "ORCA: Startup complete" "$log" 2>/dev/null && break
    if ! kill -0 "$orca" 2>/dev/null; then
        # Orca runs once per user: another one (of another session) makes it stop at once.
        echo "Orca did not start:" >&2
        cat "$work/orca.out" >&2
        exit 1
    fi
    sleep 0.2
done

# Qt exposes a window to AT-SPI once the desktop says a screen reader runs; here, outright.
(cd "$home/フォルダ" && QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 exec "$build/app/tessaro") >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do
    xdotool search --name '^Tessaro$' >/dev/null 2>&1 && break
    sleep 0.2
done
sleep 3

# What Orca said since byte $1 of its log (an utterance may run over several lines), its
# echo of the keys left out.
said() {
    tail -c +"$(($1 + 1))" "$log" | awk '
        /SPEECH OUTPUT: \047/ { sub(/^.*SPEECH OUTPUT: \047/, ""); speaking = 1 }
        speaking {
            sub(/^ +/, "")
            if (sub(/\047 ?\{\047established.*$/, "")) speaking = 0
            if ($0 !~ /^(tab|left shift|return|escape|space|left alt) ?$/ && $0 != "") print "    " $0
        }'
}

echo "start:"
said 0
keys=("$@")
if [ ${#keys[@]} -eq 0 ]; then
    # From 画像フォルダ, in the window's Tab order: 画像ファイル, 文字色変更, 文字色 (16進数), 実行,
    # 背景を変えるフォルダのドライブ, 背景を変えるフォルダ, 開く, 画像のドライブ, 画像フォルダ.
    keys=(
        Tab Tab Tab Tab Tab Tab Tab Tab Tab   # every control once, back to 画像フォルダ
        Tab Down shift+Tab Tab                # 画像ファイル: a picture chosen, tabbed back into
        Tab Tab Tab Tab Tab Down Down         # 背景を変えるフォルダ: 古い旅行, 旅行
        Menu Down Escape                      # its menu
        Down Menu Down Escape                 # 書類: the take-off off, and why
        Up Menu Down Return                   # 旅行: taking it off asks, with a check box
        Tab Tab Tab shift+Tab shift+Tab Escape
        shift+Tab shift+Tab Return Return Return  # 実行 into 旅行: copy the picture? yes; change desktop.ini? no
        Tab Tab Down shift+Tab shift+Tab Return Return Return  # 実行 into 書類: done, and said
        shift+Tab shift+Tab space Right Down space Return  # 文字色変更: a colour chosen in the dialog's grid
    )
fi
for key in "${keys[@]}"; do
    size=$(stat -c %s "$log")
    xdotool key --clearmodifiers "$key"
    sleep 1.5
    echo "$key:"
    said "$size"
done
