#!/usr/bin/env bash
# Builds the libFuzzer harnesses of the operating-system services (fuzz_*.cpp that need
# no Qt) with clang 14, AddressSanitizer and UndefinedBehaviorSanitizer, into
# $FUZZ_BUILD_DIR (build-fuzz/ by default) as fuzz_<name>.
#
#   bash tests/fuzz/build_os.sh              build them
#   bash tests/fuzz/build_os.sh --run 30     build, then run each 30 s on a scratch copy of
#                                            its seed corpus (tests/fuzz/corpus/<name>/);
#                                            exits non-zero at the first crash
#
# Needs clang-14 and libclang-rt-14-dev (Debian 12); as root it installs them when missing.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
out="${FUZZ_BUILD_DIR:-$root/build-fuzz}"
cxx="${CXX_FUZZ:-clang++-14}"

seconds=""
if [ "${1:-}" = "--run" ]; then
    seconds="${2:?--run needs a number of seconds}"
fi

if ! command -v "$cxx" >/dev/null || ! compgen -G "/usr/lib/llvm-14/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a" >/dev/null; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "build_os.sh: needs clang-14 and libclang-rt-14-dev; install them or run as root" >&2
        exit 2
    fi
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends clang-14 libclang-rt-14-dev >/dev/null
fi

# Each harness and the program's files it links: the standard library and libc only.
declare -A sources=(
    [dos_attributes]="platform/os/dos_attributes.cpp"
    [mount_table]="platform/os/mount_table_posix.cpp"
    [text_encoding]="platform/os/text_encoding_posix.cpp"
)
names=(dos_attributes mount_table text_encoding)

mkdir -p "$out"
for name in "${names[@]}"; do
    echo "== building fuzz_$name"
    # shellcheck disable=SC2086 # the list of sources splits on spaces
    (cd "$root" && "$cxx" -std=c++20 -g -O1 -fno-omit-frame-pointer \
        -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
        -Wall -Wextra -Wconversion -Wno-sign-conversion -Werror -I"$root" \
        "$here/fuzz_$name.cpp" ${sources[$name]} -o "$out/fuzz_$name")
done

[ -n "$seconds" ] || exit 0
for name in "${names[@]}"; do
    echo "== fuzz_$name for $seconds s"
    scratch="$(mktemp -d)"
    cp -r "$here/corpus/$name/." "$scratch/"
    status=0
    (cd "$out" && "./fuzz_$name" -max_total_time="$seconds" -print_final_stats=1 "$scratch") || status=$?
    rm -rf "$scratch"
    if [ "$status" -ne 0 ]; then
        echo "fuzz_$name found a crash (status $status); the input is in $out" >&2
        exit "$status"
    fi
done
