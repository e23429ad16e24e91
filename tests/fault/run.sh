#!/usr/bin/env bash
# The fault campaign (tests/fault/campaign.cpp): every file call of apply and take-off, and of
# two applies at once, killed and failed with EIO, ENOSPC and EROFS, in folders on a disk that
# keeps the DOS attributes Samba and Wine read. Uses the build in BUILD_DIR (build/ by
# default) and builds what it needs there.
#
#   bash tests/fault/run.sh               # every point: about four minutes on two cores
#   bash tests/fault/run.sh --sample 10   # ten points of each run per fault, as CI runs it
#   bash tests/fault/run.sh --only take-off
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${BUILD_DIR:-$root/build}"
cmake --build "$build" --target tessaro_decorate tessaro_fault_shim tessaro_fault_campaign >&2
exec "$build/tests/tessaro_fault_campaign" "$build/tests/tessaro_decorate" "$build/tests/libtessaro_fault_shim.so" "$@"
