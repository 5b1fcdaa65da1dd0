#!/usr/bin/env bash
# Proves the README's two commands on a new Debian 12 machine: builds a
# minimal Debian 12 system (debootstrap --variant=minbase bookworm) in a
# folder, copies this checkout into it and runs there, as root:
#   1. ./scripts/run.sh /rotate on a one-picture list, with
#      ZVISTARO_WALLPAPER_COMMAND a script that records the file it is handed:
#      the program is built from nothing and sets the picture;
#   2. ZV_TEST_QUICK=1 ./scripts/test.sh: the first stage of the tests.
# Every package a step needs must come from the project's package lists (or
# what they depend on): nothing else is installed. apt's package cache is
# shared with this machine, so a package is downloaded once. Prints each
# step's time and, for each apt-get install a step ran, the packages, their
# size and the time spent installing them. Unmounts what it mounted and
# removes the folder also when a step fails. Needs root.
#   ZV_FRESH_DIR  where the system is made (default /var/tmp)
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

if [ "$(id -u)" -ne 0 ]; then
  echo "test-fresh.sh: debootstrap and chroot need root" >&2
  exit 1
fi
zv_install_packages "$ZV_ROOT/scripts/packages-test.txt"

mirror=http://deb.debian.org/debian
cache=/var/cache/apt/archives
root=$(mktemp -d "${ZV_FRESH_DIR:-/var/tmp}/zv-fresh.XXXXXXXX")
# The system's / as on any machine: tests run programs as other users.
chmod 755 "$root"
mounted=()
current=
step_lines=0

# Ends whatever still runs inside the system (an X server a test left
# behind keeps its mounts busy), unmounts in reverse order, removes it all.
cleanup() {
  local pid mount
  if [ -n "$current" ]; then
    echo "step '$current': FAILED after $(($(date +%s) - step_started)) s"
    apt_summary "$step_lines"
  fi
  for pid in /proc/[0-9]*; do
    [ "$(readlink "$pid/root" 2>/dev/null)" = "$root" ] && kill -9 "${pid#/proc/}" 2>/dev/null
  done
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    mount=${mounted[i]}
    umount "$mount" 2>/dev/null || umount -l "$mount" || echo "test-fresh.sh: $mount stays mounted" >&2
  done
  # --one-file-system: never into something still mounted there.
  rm -rf --one-file-system "$root"
}
trap cleanup EXIT

# Mounts into the system, never propagating back to this machine.
mount_in() {
  local target=$root/$1
  shift
  mkdir -p "$target"
  mount "$@" "$target"
  mounted+=("$target")
  mount --make-private "$target"
}

# Runs a step, then prints its time; a step that fails ends the script,
# whose cleanup prints the time the step had run.
step() {
  current=$1
  shift
  step_started=$(date +%s)
  step_lines=$(history_lines)
  echo "== $current" >&2
  "$@"
  echo "step '$current': $(($(date +%s) - step_started)) s"
  apt_summary "$step_lines"
  current=
}

# The apt-get installs since the apt history had `from` lines: packages,
# the size of their .deb files and the minutes between start and end.
apt_summary() {
  local history=$root/var/log/apt/history.log from=$1
  [ -f "$history" ] || return 0
  tail -n "+$((from + 1))" "$history" | while IFS= read -r line; do
    case $line in
      Start-Date:*) begin=$(date -d "${line#Start-Date: }" +%s) ;;
      Install:*)
        count=0 bytes=0
        while read -r name version; do
          deb=$cache/${name%%:*}_${version//:/%3a}_${name##*:}.deb
          [ -f "$deb" ] || deb=$cache/${name%%:*}_${version//:/%3a}_all.deb
          count=$((count + 1))
          bytes=$((bytes + $(stat -c %s "$deb" 2>/dev/null || echo 0)))
        done < <(echo "${line#Install: }" | sed 's/), /)\n/g' | sed -E 's/^([^ ]+) \(([^,)]+).*/\1 \2/')
        ;;
      End-Date:*)
        end=$(date -d "${line#End-Date: }" +%s)
        echo "  apt-get install: $count packages, $((bytes / 1000000)) MB of .deb files," \
          "$((end - begin)) s"
        ;;
    esac
  done
}

history_lines() {
  local history=$root/var/log/apt/history.log
  if [ -f "$history" ]; then wc -l <"$history"; else echo 0; fi
}

make_system() {
  debootstrap --variant=minbase --cache-dir="$cache" bookworm "$root" "$mirror" >/dev/null
  # The same suites as this machine (updates and security fixes), so that
  # the shared cache holds the very versions apt will ask for.
  rm -f "$root/etc/apt/sources.list"
  cp /etc/apt/sources.list.d/debian.sources "$root/etc/apt/sources.list.d/" 2>/dev/null ||
    echo "deb $mirror bookworm main" >"$root/etc/apt/sources.list"
  cp /etc/resolv.conf "$root/etc/resolv.conf"
  echo "system: $(chroot "$root" dpkg-query -W | wc -l) packages"
}

mount_all() {
  mount_in proc -t proc proc
  mount_in sys -t sysfs sysfs
  mount_in dev --bind /dev
  mount_in dev/pts --bind /dev/pts
  mount_in dev/shm -t tmpfs -o mode=1777 shm
  mount_in var/cache/apt/archives --bind "$cache"
}

# The tracked files and the new ones not ignored, as they are now: what a
# clone of this checkout would hold, without its build folders.
copy_checkout() {
  mkdir -p "$root/src/zvistaro"
  (cd "$ZV_ROOT" && git ls-files -z --cached --others --exclude-standard |
    xargs -0 -I{} sh -c '[ -e "$1" ] && printf "%s\0" "$1"' sh {} |
    tar --null -T - -cf -) | tar -xf - -C "$root/src/zvistaro"
}

# Runs a shell line in the system, as root, in the checkout, with only the
# environment a login shell would have.
inside() {
  chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
    TERM=dumb /bin/bash -c "cd /src/zvistaro && $1"
}

# A one-picture list whose last wallpaper is that picture, so that the
# rotation sets it again; the command records the file it was handed.
rotate() {
  cat >"$root/tmp/rotate.sh" <<'SH'
set -e
w=/tmp/zv-rotate
mkdir -p $w/config
base64 -d >$w/one.png <<<iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAIAAACQd1PeAAAADElEQVR4nGNg+M8AAAICAQB7CYF4AAAAAElFTkSuQmCC
printf '#!/bin/sh\nprintf "%%s\\n" "$1" >>%s/handed\n' $w >$w/record
chmod 755 $w/record
echo $w/one.png >"$w/config/Zorvane Vistaro 0.2.list"
printf '[Main]\nImageListLastSelected=%s\n' $w/one.png >"$w/config/Zorvane Vistaro 0.2.ini"
XDG_CONFIG_HOME=$w/config ZVISTARO_WALLPAPER_COMMAND=$w/record ./scripts/run.sh /rotate
if [ "$(cat $w/handed)" != $w/one.png ]; then
  echo "the wallpaper command was handed: $(cat $w/handed 2>/dev/null)" >&2
  exit 1
fi
echo "/rotate handed $w/one.png to the wallpaper command"
SH
  inside 'bash /tmp/rotate.sh'
}

quick_tests() { inside 'ZV_TEST_QUICK=1 ./scripts/test.sh'; }

started=$(date +%s)
step "debootstrap --variant=minbase bookworm" make_system
step "mounting /proc, /sys, /dev, /dev/pts, /dev/shm and the apt cache" mount_all
step "copying the checkout" copy_checkout
step "./scripts/run.sh /rotate" rotate
step "ZV_TEST_QUICK=1 ./scripts/test.sh" quick_tests
echo "test-fresh.sh: passed in $(($(date +%s) - started)) s"
