#!/usr/bin/env bash
# The Windows stage of the tests: cross-builds ZVistaro02.exe and ZKit10.dll
# with mingw-w64 against Qt 6.4.2 for Windows, runs the program under Wine,
# builds the NSIS installer and installs, runs and uninstalls it under Wine.
# The toolkit comes from $ZV_MINGW_QT, else from the tarball in
# ../shared/toolchains/ (unpacked into the build folder once). Without either
# the stage is skipped, except under CI=true or ZV_REQUIRE_WINDOWS=1.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
build=${ZV_WINDOWS_BUILD_DIR:-$ZV_ROOT/build-windows}
tarball=$ZV_ROOT/../shared/toolchains/qt6.4.2-mingw-w64.tar.xz
qt=${ZV_MINGW_QT:-$build/qt6-mingw}
[ -n "${ZV_MINGW_QT:-}" ] || [ -f "$qt/bin/Qt6Core.dll" ] || [ ! -f "$tarball" ] ||
  { mkdir -p "$build" && tar -xJf "$tarball" -C "$build"; }
if [ ! -f "$qt/bin/Qt6Core.dll" ]; then
  echo "Windows stage: no Qt for mingw-w64 in $qt or $tarball (set ZV_MINGW_QT to one," \
    "or build it with scripts/build-mingw-qt.sh, about an hour on 2 cores)" >&2
  [ "${CI:-}" != true ] && [ "${ZV_REQUIRE_WINDOWS:-0}" != 1 ]
  exit
fi
cmake -S "$ZV_ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZV_BUILD_TESTS=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$ZV_ROOT/cmake/mingw-w64-posix.cmake" \
  -DQT_MINGW_PREFIX="$qt" -DCMAKE_PREFIX_PATH="$qt" -DQT_HOST_PATH=/usr >/dev/null
nice cmake --build "$build" -j "$(nproc)"
(cd "$build" && cpack -G NSIS >/dev/null)

# A Wine prefix of the stage's own; Qt's warnings go to standard error, and
# Wine converts the arguments it is given from the locale's character set.
export WINEPREFIX=$build/wineprefix WINEARCH=win64 WINEDEBUG=-all LANG=C.UTF-8 \
  WINEDLLOVERRIDES="mscoree,mshtml="
runtime() { dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name="$1")"; }
export WINEPATH="$qt/bin;$(runtime libstdc++-6.dll);$(runtime libwinpthread-1.dll)"
[ -f "$WINEPREFIX/system.reg" ] || { wineboot -i >/dev/null 2>&1 && wineserver -w; }
wine reg add 'HKCU\Environment' /v QT_FORCE_STDERR_LOGGING /d 1 /f >/dev/null
# A Wine server started without a display would serve the harness's programs
# too, and no window could be made on the harness's X server.
wineserver -w
trap 'wineserver -k 2>/dev/null || true' EXIT
installer=$build/ZVistaro02-0.2.5-win64.exe
chmod +x "$installer"  # wine runs a file that is not executable as a document
xvfb-run -a -s "-screen 0 1024x768x24" /usr/bin/python3 \
  "$ZV_ROOT/tests/platform/windows/wine_e2e.py" "$build/bin" "$installer"
