#!/usr/bin/env bash
# Runs one test with its own temporary HOME and XDG folders, so that no test
# reads or writes the user's settings.
set -u
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/home" "$tmp/config" "$tmp/config-dirs" "$tmp/data" "$tmp/runtime"
chmod 700 "$tmp/runtime"
export HOME=$tmp/home XDG_CONFIG_HOME=$tmp/config XDG_CONFIG_DIRS=$tmp/config-dirs \
  XDG_DATA_HOME=$tmp/data XDG_RUNTIME_DIR=$tmp/runtime
unset ZVISTARO_TRACE ZVISTARO_WALLPAPER_COMMAND
"$@"
