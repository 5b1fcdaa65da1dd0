#!/usr/bin/env bash
# Cross-builds the Win32 layer and its tests with mingw-w64 and runs them
# under Wine, then checks with Wine's own registry tool what the layer wrote.
# Usage: run-under-wine.sh SOURCE_ROOT WORK_DIR VERSION VERSION_TEXT
#                          VERSION_HEADER_DIR STRING...
# (STRING: the program's string table entries as "<identifier>=<text>")
set -euo pipefail

src=$1 work=$2 version=$3 versionText=$4 versionHeaderDir=$5
shift 5
strings=("$@")
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

for tool in x86_64-w64-mingw32-g++ x86_64-w64-mingw32-windres wine wineboot wineserver; do
  command -v "$tool" >/dev/null || {
    echo "missing $tool: install the packages of scripts/packages.txt" >&2
    exit 1
  }
done

# The program's icon once it exists; until then a generated stand-in, so that
# the resource script still compiles.
icon=$src/src/resources/ZVistaro02.ico
if [ ! -f "$icon" ]; then
  icon=$work/stand-in.ico
  [ -f "$icon" ] || convert -size 32x32 xc:'#3070c0' "$icon"
fi

cmake -S "$here/cross" -B "$work/mingw" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$here/cross/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZV_SOURCE_ROOT="$src" -DZV_VERSION="$version" -DZV_VERSION_TEXT="$versionText" \
  -DZV_ICON_FILE="$icon" -DZV_VERSION_HEADER_DIR="$versionHeaderDir" >/dev/null
cmake --build "$work/mingw" >/dev/null
bin=$work/mingw

# A prefix of our own: never the user's, and no prompts to install Mono or
# Gecko. No display is needed: Wine keeps the desktop settings without one.
export WINEPREFIX=$work/wineprefix WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
trap 'wineserver -k 2>/dev/null || true' EXIT
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i >/dev/null 2>&1
  wineserver -w
fi

wine "$bin/tst_win32layer.exe" || fail "tst_win32layer"
wine "$bin/tst_resources.exe" "${strings[@]}" || fail "tst_resources"

# The logon entry: written as REG_SZ, replaced by a second write, deleted,
# and deleting it again is a numbered error.
runKey='HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run'
name='Zorvane Vistaro 0.2 Wallpaper Rotation'
query() { wine reg query "$runKey" /v "$name" 2>/dev/null | tr -d '\r'; }
wine reg delete "$runKey" /v "$name" /f >/dev/null 2>&1 || true

wine "$bin/win32probe.exe" regwrite "$runKey\\$name" 'ZVistaro02 /rotate' || fail "first write"
query | grep -qxF "    $name    REG_SZ    ZVistaro02 /rotate" || fail "first write: $(query)"
wine "$bin/win32probe.exe" regwrite "$runKey\\$name" 'Other /rotate' || fail "second write"
[ "$(query | grep -cF "$name")" = 1 ] || fail "second write left more than one value"
query | grep -qxF "    $name    REG_SZ    Other /rotate" || fail "second write: $(query)"
wine "$bin/win32probe.exe" regdelete "$runKey\\$name" || fail "delete"
query | grep -qF "$name" && fail "value still there after delete"
set +e
error=$(wine "$bin/win32probe.exe" regdelete "$runKey\\$name" 2>&1 >/dev/null | tr -d '\r')
status=$?
set -e
[ "$status" = 1 ] || fail "second delete ended with $status"
[[ $error == "error 2 (-2147024894): Cannot delete the registry value \"$runKey\\$name\": "?* ]] ||
  fail "second delete reported: $error"

# The wallpaper that tst_win32layer set, as Wine stored it; exported, because
# the export keeps every character (UTF-16) where the console output may not.
wine reg export 'HKEY_CURRENT_USER\Control Panel\Desktop' "$work/desktop.reg" /y >/dev/null
wallpaper=$(iconv -f UTF-16 -t UTF-8 "$work/desktop.reg" | tr -d '\r' | grep '^"Wallpaper"=' || true)
[[ $wallpaper == '"Wallpaper"="'*'\\Łódź 日本 Ω.bmp"' ]] || fail "stored wallpaper: $wallpaper"

[ "$failures" = 0 ] && echo "Win32 layer under Wine: all checks passed"
exit $((failures > 0))
