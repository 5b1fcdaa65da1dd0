#!/usr/bin/env bash
# Draws the program's icon (a small landscape picture with a curved arrow:
# a wallpaper that changes) at 32x32 and 16x16 in 16 colours, and writes the
# PNG files and the .ico holding both. Run it again after changing the drawing;
# the results are committed.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"

draw() {
  local size=$1 out=$2
  # Drawn at 64x64, then scaled down, so both sizes share one drawing.
  convert -size 64x64 xc:none \
    -fill '#5a3d1e' -draw 'roundrectangle 2,6 61,57 6,6' \
    -fill '#7ec8f0' -draw 'rectangle 7,11 56,52' \
    -fill '#f6d32d' -draw 'circle 20,23 20,30' \
    -fill '#3a9a3a' -draw 'ellipse 24,58 30,18 180,360' \
    -fill '#2a7a2a' -draw 'ellipse 50,58 22,12 180,360' \
    -stroke '#ffffff' -strokewidth 5 -fill none -draw 'arc 30,12 56,40 200,340' \
    -stroke none -fill '#ffffff' -draw 'polygon 50,30 62,22 60,36' \
    -resize "${size}x${size}" -colors 16 "png8:$out"
}

draw 32 ZVistaro02-32.png
draw 16 ZVistaro02-16.png
convert ZVistaro02-32.png ZVistaro02-16.png -colors 16 ZVistaro02.ico
