#!/usr/bin/env bash
# Builds Zorvane Vistaro and runs every test; exits non-zero on any failure.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
zv_install_packages
zv_build "$ZV_BUILD_DIR"
ctest --test-dir "$ZV_BUILD_DIR" --output-on-failure --timeout 600
