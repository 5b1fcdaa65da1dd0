#!/usr/bin/env bash
# Measures "ZVistaro02 /rotate" with the plain X11 wallpaper back-end against
# "feh --no-fehbg --bg-fill" on the same picture, on a private Xvfb of
# 1920x1080x24: median whole-process wall time and peak resident memory of
# ZV_BENCH_RUNS runs each (default 11), alternating. Cases: a 6000x4000 JPEG
# and the same at 1920x1080, with stored lists of 1,000 and 100,000 entries.
# The pictures and lists are made once under ZV_BENCH_DATA.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
zv_install_packages
zv_build "$ZV_BUILD_DIR" >&2

runs=${ZV_BENCH_RUNS:-11}
data=${ZV_BENCH_DATA:-$ZV_BUILD_DIR/bench-data}
program=$ZV_BUILD_DIR/bin/ZVistaro02
mkdir -p "$data"

make_pictures() {
  [ -s "$data/6000x4000.jpg" ] || convert -size 6000x4000 -seed 42 plasma:fractal -blur 0x2 \
    -attenuate 0.4 +noise Gaussian -quality 90 -sampling-factor 2x2 "$data/6000x4000.jpg"
  [ -s "$data/1920x1080.jpg" ] || convert "$data/6000x4000.jpg" -resize '1920x1080!' \
    -quality 90 -sampling-factor 2x2 "$data/1920x1080.jpg"
}

# Hard links to the picture, one per list entry, so that every stored name
# names an existing plain file (start-up drops the names of missing files).
# A file takes at most 65,000 links, so every 60,000 entries get a copy.
make_links() {
  local picture=$1 count=$2 folder=$data/links-$1 copy
  [ -e "$folder/$count.jpg" ] && return 0
  mkdir -p "$folder"
  for copy in $(seq 0 $(((count - 1) / 60000))); do
    [ -e "$folder/.copy-$copy.jpg" ] || cp "$data/$picture.jpg" "$folder/.copy-$copy.jpg"
  done
  perl -e 'my ($f, $n) = @ARGV; for my $i (1 .. $n) {
             my $p = "$f/.copy-" . int(($i - 1) / 60000) . ".jpg";
             my $l = "$f/$i.jpg"; link($p, $l) or die "$l: $!" unless -e $l }' "$folder" "$count"
}

# The settings file as the program keeps it: the list in ImageListContent
# ("a"; "b", written as one quoted INI value) and the first entry as the last
# wallpaper, so that /rotate sets the second.
write_settings() {
  local picture=$1 count=$2 target=$3
  perl -e 'my ($f, $n) = @ARGV;
           my $list = join("; ", map { "\"$f/$_.jpg\"" } 1 .. $n);
           $list =~ s/(["\\])/\\$1/g;
           print "[Main]\nImageListContent=\"$list\"\nImageListLastSelected=$f/1.jpg\n"' \
    "$data/links-$picture" "$count" >"$target"
}

start_xvfb() {
  local n
  for n in $(seq 50 69); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -noreset -nolisten tcp -screen 0 1920x1080x24 >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
      if xdpyinfo -display ":$n" >/dev/null 2>&1; then
        export DISPLAY=:$n
        return 0
      fi
      kill -0 "$xvfb_pid" 2>/dev/null || break
      sleep 0.1
    done
    kill "$xvfb_pid" 2>/dev/null || true
  done
  echo "bench.sh: no Xvfb could be started on :50 to :69" >&2
  exit 1
}

make_pictures
make_links 6000x4000 100000
make_links 1920x1080 1000

home=$(mktemp -d)
xvfb_pid=
trap '[ -n "$xvfb_pid" ] && kill "$xvfb_pid"; rm -rf "$home"' EXIT
export HOME=$home XDG_CONFIG_HOME=$home/config QT_QPA_PLATFORM=offscreen
unset XDG_CURRENT_DESKTOP ZVISTARO_WALLPAPER_COMMAND ZVISTARO_TRACE WAYLAND_DISPLAY SWAYSOCK
mkdir -p "$XDG_CONFIG_HOME"
settings="$XDG_CONFIG_HOME/Zorvane Vistaro 0.2.ini"
start_xvfb

echo "medians of $runs runs on $DISPLAY (1920x1080x24); time in ms, peak memory in KiB"
printf '%-22s %8s %8s %6s %9s %9s %6s\n' case ZVistaro feh ratio ZV-KiB feh-KiB ratio
for case in 6000x4000:1000 1920x1080:1000 6000x4000:100000; do
  picture=${case%%:*} count=${case##*:}
  write_settings "$picture" "$count" "$home/template.ini"
  printf '%-22s ' "$picture, $count entries"
  "$ZV_BUILD_DIR/bin/zv_runbench" "$runs" "$home/template.ini" "$settings" \
    -- "$program" /rotate -- feh --no-fehbg --bg-fill "$data/$picture.jpg"
  # Each run must really have rotated: from the first entry to the second.
  grep -q "^ImageListLastSelected=.*/links-$picture/2.jpg\$" "$settings" || {
    echo "bench.sh: ZVistaro02 /rotate did not store the next entry" >&2
    exit 1
  }
done
