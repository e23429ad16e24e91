#!/usr/bin/env bash
# Builds Tessaro for release into build-bench/ and holds it to floors measured in the same
# run on the same machine, printing the figures as a Markdown table (README.md,
# "Performance"). Installs what is missing first. About fifteen minutes on two cores, build
# and clean-up included; needs no display. Arguments go to the driver: --runs N (at least
# 5, 7 by default).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

# djpeg is the floor of the preview, find (findutils) the floor of the folder lists.
EXTRA_PACKAGES="libjpeg-turbo-progs findutils" BUILD_DIR="$root/build-bench" BUILD_TYPE=Release CMAKE_ARGS="-DTESSARO_BUILD_TESTS=OFF -DTESSARO_BUILD_BENCH=ON" \
    source "$root/scripts/setup.sh" >&2

# The driver makes some 320,000 files and folders; an interrupted run must not leave them behind.
work="$(mktemp -d "${TMPDIR:-/tmp}/tessaro-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT

echo "djpeg: libjpeg-turbo-progs $(dpkg-query -W -f='${Version}' libjpeg-turbo-progs); $(find --version | head -1)"
TMPDIR="$work" "$root/build-bench/bench/tessaro_bench" "$@"
