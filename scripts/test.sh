#!/usr/bin/env bash
# Installs what is missing, builds Tessaro and runs the whole test suite. Needs no display.
source "$(dirname "$0")/setup.sh"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$BUILD_DIR" --output-on-failure --parallel 2
