#!/usr/bin/env bash
# Measures the program at scale on a private Xvfb of 1920x1080x24 with the
# plain X11 wallpaper back-end, for stored lists of 1,000, 100,000 and
# 1,000,000 entries (ZV_BENCH_COUNTS) whose last wallpaper is the last entry
# but one:
#  - "ZVistaro02 /rotate" against "feh --no-fehbg --bg-fill" on a 6000x4000
#    JPEG: median whole-process wall time and peak resident memory of
#    ZV_BENCH_RUNS runs each (default 11), alternating;
#  - "ZVistaro02 /rotate" against feh on one 6000x4000 JPEG and one PNG;
#  - the list's own cost: /rotate with n entries minus /rotate with one
#    entry, both setting a small picture, beside the time grep -F -x -n -m1
#    takes to find the last wallpaper's line in the same list file;
#  - bench_selection: "+", "-" and "&Remove" with every entry selected, and
#    /rotate's steps other than the picture;
#  - bench_window: the window's start and close against an empty list's, the
#    time until the list is filled, the peak memory of a window run on the
#    long list, adding 20,000 files by pattern, "+", "-" and "&Remove" with
#    every entry selected.
# The pictures and files are made once under ZV_BENCH_DATA.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
zv_install_packages
cmake -S "$ZV_ROOT" -B "$ZV_BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$ZV_BUILD_DIR" -j "$(nproc)" --target ZVistaro02 zv_runbench bench_selection bench_window >&2

runs=${ZV_BENCH_RUNS:-11}
counts=${ZV_BENCH_COUNTS:-1000 100000 1000000}
data=${ZV_BENCH_DATA:-$ZV_BUILD_DIR/bench-data}
program=$ZV_BUILD_DIR/bin/ZVistaro02
links=$data/links
mkdir -p "$links"

make_pictures() {
  [ -s "$data/6000x4000.jpg" ] || convert -size 6000x4000 -seed 42 plasma:fractal -blur 0x2 \
    -attenuate 0.4 +noise Gaussian -quality 90 -sampling-factor 2x2 "$data/6000x4000.jpg"
  [ -s "$data/small.jpg" ] || convert "$data/6000x4000.jpg" -resize '64x48!' "$data/small.jpg"
  [ -s "$data/6000x4000.png" ] || convert "$data/6000x4000.jpg" "$data/6000x4000.png"
}

# Hard links 1.jpg to COUNT.jpg to the large picture, so that every stored
# name names an existing plain file. A file takes at most 65,000 links, so
# every 60,000 entries get a copy.
make_links() {
  local count=$1 copy
  [ -e "$links/$count.jpg" ] && return 0
  for copy in $(seq 0 $(((count - 1) / 60000))); do
    [ -e "$links/.copy-$copy.jpg" ] || cp "$data/6000x4000.jpg" "$links/.copy-$copy.jpg"
  done
  perl -e 'my ($f, $n) = @ARGV; for my $i (1 .. $n) {
             my $p = "$f/.copy-" . int(($i - 1) / 60000) . ".jpg";
             my $l = "$f/$i.jpg"; link($p, $l) or die "$l: $!" unless -e $l }' "$links" "$count"
}

# The settings as the program keeps them: the list file holding 1.jpg to
# COUNT-1.jpg and then NEXT, one name a line, and the settings file TARGET
# beside it with COUNT-1.jpg as the last wallpaper (NEXT itself when COUNT is
# 1), so that /rotate sets NEXT.
write_settings() {
  local count=$1 next=$2 target=$3
  mkdir -p "$(dirname "$target")"
  perl -e 'my ($f, $n, $next) = @ARGV;
           print "$f/$_.jpg\n" for 1 .. $n - 1;
           print "$next\n"' "$links" "$count" "$next" >"${target%.ini}.list"
  printf '[Main]\nImageListLastSelected=%s\n' "$(last_wallpaper "$count" "$next")" >"$target"
}

last_wallpaper() {
  if [ "$1" -gt 1 ]; then echo "$links/$(($1 - 1)).jpg"; else echo "$2"; fi
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

# Each run must really have rotated to NEXT.
check_rotated() {
  grep -qxF "ImageListLastSelected=$2" "$1" || {
    echo "bench.sh: ZVistaro02 /rotate did not store $2" >&2
    exit 1
  }
}

make_pictures
largest=0
for count in $counts; do [ "$count" -gt "$largest" ] && largest=$count; done
make_links "$largest"

home=$(mktemp -d)
xvfb_pid=
trap '[ -n "$xvfb_pid" ] && kill "$xvfb_pid"; rm -rf "$home"' EXIT
export HOME=$home XDG_CONFIG_HOME=$home/config XDG_RUNTIME_DIR=$home/runtime QT_QPA_PLATFORM=offscreen
unset XDG_CURRENT_DESKTOP ZVISTARO_WALLPAPER_COMMAND ZVISTARO_TRACE WAYLAND_DISPLAY SWAYSOCK
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
settings="$XDG_CONFIG_HOME/Zorvane Vistaro 0.2.ini"
one="$home/one/Zorvane Vistaro 0.2.ini"
write_settings 1 "$data/small.jpg" "$one"
start_xvfb

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg); medians of $runs runs on $DISPLAY"
# One row: /rotate with the settings COUNT entries NEXT write against feh on
# PICTURE, labelled LABEL.
against_feh() {
  local label=$1 count=$2 next=$3 picture=$4
  write_settings "$count" "$next" "$home/template.ini"
  cp "$home/template.list" "${settings%.ini}.list"
  "$ZV_BUILD_DIR/bin/zv_runbench" "$runs" "$home/template.ini" "$settings" \
    -- "$program" /rotate -- feh --no-fehbg --bg-fill "$picture" |
    awk -v l="$label" '{ printf "  %10s %9.1f %9.1f %6.2f %9.1f %9.1f %6.2f\n",
                         l, $1, $2, $3, $4 / 1024, $5 / 1024, $6 }'
  check_rotated "$settings" "$next"
}

echo "/rotate on the 6000x4000 JPEG against feh (ms, MiB):"
printf '  %10s %9s %9s %6s %9s %9s %6s\n' entries ZVistaro feh ratio ZV-MiB feh-MiB ratio
for count in $counts; do
  against_feh "$count" "$count" "$links/$count.jpg" "$data/6000x4000.jpg"
done

echo "/rotate on one picture of 6000x4000, JPEG and PNG, against feh (ms, MiB):"
printf '  %10s %9s %9s %6s %9s %9s %6s\n' picture ZVistaro feh ratio ZV-MiB feh-MiB ratio
for picture in 6000x4000.jpg 6000x4000.png; do
  against_feh "${picture##*.}" 1 "$data/$picture" "$data/$picture"
done

echo "the list's own cost: /rotate with n entries minus with one, on a small picture, beside"
echo "  grep -F -x -n -m1 finding the last wallpaper's line in the same list file (ms, MiB):"
printf '  %10s %9s %9s %9s %9s %9s %9s %9s\n' entries n-entries one cost grep cost/grep n-MiB \
  cost-MiB
for count in $counts; do
  write_settings "$count" "$data/small.jpg" "$home/template.ini"
  cp "$home/template.list" "${settings%.ini}.list"
  rotation=$("$ZV_BUILD_DIR/bin/zv_runbench" "$runs" "$home/template.ini" "$settings" \
    -- "$program" /rotate -- env XDG_CONFIG_HOME="$home/one" "$program" /rotate)
  check_rotated "$settings" "$data/small.jpg"
  search=$("$ZV_BUILD_DIR/bin/zv_runbench" "$runs" - - \
    -- grep -F -x -n -m1 "$(last_wallpaper "$count" "$data/small.jpg")" "$home/template.list" \
    -- true)
  echo "$rotation $search" |
    awk -v n="$count" '{ printf "  %10d %9.1f %9.1f %9.1f %9.1f %9.2f %9.1f %9.1f\n",
                         n, $1, $2, $1 - $2, $7, ($1 - $2) / $7, $4 / 1024, ($4 - $5) / 1024 }'
done

echo "the list in the program (ms, one run): every entry selected; /rotate's steps without the"
echo "  picture (reading the settings file and the last wallpaper; finding the last but one"
echo "  entry's line in the list file and the entry after it; writing the last wallpaper)"
printf '  %10s %8s %8s %8s %8s %8s %8s\n' entries + - remove read walk write
for count in $counts; do
  "$ZV_BUILD_DIR/bin/bench_selection" "$links" "$count" |
    awk -v n="$count" '{ printf "  %10d %8.1f %8.1f %8.1f %8.1f %8.1f %8.1f\n",
                         n, $1, $2, $3, $4, $5, $6 }'
done

echo "the window (ms, one run, until idle): start with n entries and with none; from the start"
echo "  until every entry is in the list box (the files are looked up while the window runs);"
echo "  close with n entries and with none; peak memory of a run that only opens the long"
echo "  list's window, waits until it is filled and closes it; adding 20,000 files by pattern;"
echo "  \"+\", \"-\" and \"&Remove\" with every entry selected"
printf '  %10s %8s %8s %8s %8s %8s %6s %8s %8s %8s %8s\n' entries start start-0 filled close \
  close-0 MiB add-20k + - remove
for count in $counts; do
  "$ZV_BUILD_DIR/bin/bench_window" "$links" "$count" |
    awk -v n="$count" '{ printf "  %10d %8.1f %8.1f %8.1f %8.1f %8.1f %6d %8.1f %8.1f %8.1f %8.1f\n",
                         n, $1, $2, $3, $4, $5, $6, $7, $8, $9, $10 }'
done
