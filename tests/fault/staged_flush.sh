#!/usr/bin/env bash
# The staged desktop.ini is on the disk before anything goes into the folder: the flush after
# apply's first write is the staged file's, and when the disk does not confirm it, apply stops
# there and the folder stays as it was. When the folder's flush after desktop.ini took its name
# fails, the decoration is in place but apply says it could not confirm it. Run by ctest with
# tessaro_decorate and the fault shim.
#
#   staged_flush.sh DECORATE SHIM
set -euo pipefail
decorate="$1" shim="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export TMPDIR="$work/tmp"
# The shim is no sanitizer's: under ASan it comes first all the same.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0"
mkdir -p "$TMPDIR" "$work/traced" "$work/failed" "$work/unconfirmed"
printf 'a picture' | tee "$work/traced/sea.jpg" "$work/failed/sea.jpg" > "$work/unconfirmed/sea.jpg"

# Counted first, free of faults (0 fails no call): the flush after the run's first write, the
# staged file's (the picture lies in the folder: nothing else is written before it).
TESSARO_FAULT=0:EIO TESSARO_FAULT_TRACE="$work/trace" LD_PRELOAD="$shim" "$decorate" "$work/traced/sea.jpg" "$work/traced" FF > /dev/null || true
n="$(awk '/^(write|pwrite)/ { wrote = 1 } wrote && /^(fsync|fdatasync)$/ { print NR; exit }' "$work/trace")"
[ -n "$n" ] || { echo "apply flushed nothing it wrote"; exit 1; }

said="$(TESSARO_FAULT="$n:EIO" LD_PRELOAD="$shim" "$decorate" "$work/failed/sea.jpg" "$work/failed" FF)" && { echo "apply succeeded: $said"; exit 1; }
case "$said" in
*作業用の一時ファイルを書き込めません*) ;;
*) echo "the first flush was not the staged file's: $said"; exit 1 ;;
esac
[ "$(ls -A "$work/failed")" = sea.jpg ] || { echo "the folder changed: $(ls -A "$work/failed")"; exit 1; }

m="$(awk '/^rename/ { moved = 1 } moved && /^(fsync|fdatasync)$/ { print NR; exit }' "$work/trace")"
[ -n "$m" ] || { echo "apply flushed no folder after desktop.ini took its name"; exit 1; }
said="$(TESSARO_FAULT="$m:EIO" LD_PRELOAD="$shim" "$decorate" "$work/unconfirmed/sea.jpg" "$work/unconfirmed" FF)" || true
case "$said" in
*ディスクに書き込まれたことを確かめられません*) ;;
*) echo "an unconfirmed desktop.ini was not said: $said"; exit 1 ;;
esac
echo "the staged desktop.ini is flushed first, and its failure stops apply; an unconfirmed one is said"
