#!/usr/bin/env bash
# Builds Zorvane Vistaro and starts it with the arguments given.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
zv_install_packages
zv_build "$ZV_BUILD_DIR" >&2
exec "$ZV_BUILD_DIR/bin/ZVistaro02" "$@"
