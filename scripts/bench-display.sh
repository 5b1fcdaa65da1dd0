#!/usr/bin/env bash
# Makes a 6000 x 4000 baseline JPEG and times the display box's repaint of it
# against djpeg and a full decode (bench/bench_display.cpp prints the figures).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
zv_install_packages
zv_build "$ZV_BUILD_DIR"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
picture=$work/plasma-6000x4000.jpg
convert -size 6000x4000 -seed 42 plasma:fractal -blur 0x2 -attenuate 0.4 +noise Gaussian \
  -quality 90 -sampling-factor 2x2 "$picture"
QT_QPA_PLATFORM=offscreen "$ZV_BUILD_DIR/bin/bench_display" "$picture"
