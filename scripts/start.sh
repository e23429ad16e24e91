#!/usr/bin/env bash
# Installs what is missing, builds Tessaro and starts it.
source "$(dirname "$0")/setup.sh"
exec "$BUILD_DIR/app/tessaro" "$@"
