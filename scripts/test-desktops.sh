#!/usr/bin/env bash
# The real-desktop stage: sets the wallpaper with the built program on each
# desktop Debian ships, running that desktop's own component, and checks what
# it shows. Prints the stage's time and the part of it spent installing.
# Desktops may be named to run only those, e.g. scripts/test-desktops.sh sway
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
started=$(date +%s)
zv_install_packages "$ZV_ROOT/tests/desktops/packages.txt"
installed=$(date +%s)
status=0
/usr/bin/python3 "$ZV_ROOT/tests/desktops/desktops.py" "$ZV_BUILD_DIR/bin" "$@" || status=$?
echo "desktop stage: $(($(date +%s) - started)) s, of which installing packages $((installed - started)) s"
exit $status
