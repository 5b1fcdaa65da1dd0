#!/usr/bin/env bash
# Builds Zorvane Vistaro (the program alone, no tests) and starts it with the
# arguments given. Installs only the packages that building and running need.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
zv_install_packages "$ZV_ROOT/scripts/packages-run.txt"
zv_build_program "$ZV_BUILD_DIR" >&2
exec "$ZV_BUILD_DIR/bin/ZVistaro02" "$@"
