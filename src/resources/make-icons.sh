#!/usr/bin/env bash
# Draws the program's icon (a small landscape picture with a curved arrow:
# a wallpaper that changes) and writes the PNG files of the icon theme sizes
# and the .ico of the executable. 16 and 32 px are 16-colour pictures, and the
# .ico holds both; 48 and 256 px, for menus and docks, keep every colour.
# Run it again after changing the drawing; the results are committed.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"

# The drawing on a 64x64 grid; ZOOM draws it on a canvas that many times
# larger, so that large sizes get sharp edges instead of an enlarged small one.
drawing() {
  local zoom=$1
  printf 'affine %s,0,0,%s,0,0 ' "$zoom" "$zoom"
  printf "fill '#5a3d1e' roundrectangle 2,6 61,57 6,6 "
  printf "fill '#7ec8f0' rectangle 7,11 56,52 "
  printf "fill '#f6d32d' circle 20,23 20,30 "
  printf "fill '#3a9a3a' ellipse 22,52 15,13 180,360 "
  printf "fill '#2a7a2a' ellipse 45,52 11,9 180,360 "
  # The arrow's bow as a filled band: an open stroked path comes out closed.
  printf "fill '#ffffff' path 'M 28.43,20.36 A 15.5,16.5 0 0,1 57.57,20.36 L 52.87,22.07 A 10.5,11.5 0 0,0 33.13,22.07 Z' "
  printf "polygon 50,22.9 60.5,19.3 58.1,29.6"
}

# No time stamps in the files, so that drawing again gives the same bytes.
draw() {
  local zoom=$1 size=$2 out=$3
  shift 3
  convert -size "$((64 * zoom))x$((64 * zoom))" xc:none -draw "$(drawing "$zoom")" \
    -resize "${size}x${size}" "$@" -define png:exclude-chunks=date,time "$out"
}

# The small sizes take only the drawing's own colours (and transparency), so
# that they stay crisp: quantizing the smoothed edges to 16 colours left
# grey blends and dither noise at 16 px.
palette=$(mktemp --suffix=.png)
trap 'rm -f "$palette"' EXIT
convert xc:none xc:'#5a3d1e' xc:'#7ec8f0' xc:'#f6d32d' xc:'#3a9a3a' xc:'#2a7a2a' xc:'#ffffff' \
  +append "$palette"
draw 1 32 png8:ZVistaro02-32.png +dither -remap "$palette"
draw 1 16 png8:ZVistaro02-16.png +dither -remap "$palette"
draw 4 48 png32:ZVistaro02-48.png
draw 4 256 png32:ZVistaro02-256.png
convert ZVistaro02-32.png ZVistaro02-16.png -colors 16 ZVistaro02.ico
