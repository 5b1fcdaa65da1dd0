#!/usr/bin/env bash
# Runs the fuzz targets for longer than the test command does, each with a
# random seed, for looking; not part of the test command. Each target runs
# ZV_FUZZ_SECONDS seconds (600 by default); name targets to run only those:
#   scripts/fuzz-long.sh [fuzz_picture ...]
# What a failing target found is kept in build-fuzz/fuzz-artifacts/<target>
# (the runner prints the path); once its fault is mended, commit it to
# tests/fuzz/corpus/<target> so that the test command runs it every time.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
zv_install_packages
CC=clang CXX=clang++ zv_build "$ZV_ROOT/build-fuzz" -DZV_FUZZ=ON
seconds=${ZV_FUZZ_SECONDS:-600}
ZV_FUZZ_SEED=0 ZV_FUZZ_SECONDS=$seconds ctest --test-dir "$ZV_ROOT/build-fuzz" --output-on-failure \
  --verbose --timeout $((seconds * 2 + 600)) -R "^($(IFS='|'; echo "${*:-fuzz_.*}"))\$"
