#!/usr/bin/env bash
# Renders the program icon from tessaro.svg: the hicolor PNGs for the Linux desktop and
# the multi-size tessaro.ico for the Windows executable. The results are committed, so
# this runs only after the SVG changes. Needs rsvg-convert (librsvg2-bin) and ImageMagick.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
svg="$here/tessaro.svg"

for tool in rsvg-convert convert; do
    command -v "$tool" >/dev/null || { echo "make-icons.sh: $tool is missing (apt-get install librsvg2-bin imagemagick)" >&2; exit 1; }
done

for size in 16 32 48 64 128 256; do
    dir="$here/icons/hicolor/${size}x${size}/apps"
    mkdir -p "$dir"
    # librsvg draws every size straight from the vectors; scaling one bitmap down would
    # blur the small sizes.
    rsvg-convert --width "$size" --height "$size" --keep-aspect-ratio "$svg" --output "$dir/tessaro.png"
done

# Windows picks the nearest of these for the title bar, the task bar and Explorer's views.
# Date chunks would make every run differ from the committed file.
convert \
    "$here/icons/hicolor/16x16/apps/tessaro.png" \
    "$here/icons/hicolor/32x32/apps/tessaro.png" \
    "$here/icons/hicolor/48x48/apps/tessaro.png" \
    "$here/icons/hicolor/256x256/apps/tessaro.png" \
    -define png:exclude-chunks=date,time \
    "$here/tessaro.ico"

echo "make-icons.sh: wrote $(cd "$here" && ls icons/hicolor/*/apps/tessaro.png tessaro.ico | tr '\n' ' ')"
