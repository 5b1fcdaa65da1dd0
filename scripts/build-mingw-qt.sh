#!/usr/bin/env bash
# Builds the Qt the Windows stage needs when ../shared/toolchains/ is not at
# hand: qtbase 6.4.2 from Debian 12's own qt6-base source package (with the
# Debian patches), cross-compiled with mingw-w64 (POSIX threads) as DLLs.
# About an hour on 2 cores. Run as root on Debian 12; then
#   ZV_MINGW_QT=<prefix> ./scripts/test-windows.sh
# Environment: PREFIX (install folder), WORK (work folder), JOBS.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

WORK=$(realpath -m "${WORK:-$ZV_ROOT/build-qt-mingw/work}")
PREFIX=$(realpath -m "${PREFIX:-$ZV_ROOT/build-qt-mingw/qt6-mingw}")
JOBS=${JOBS:-$(nproc)}
version=6.4.2+dfsg-10
src=$WORK/qt6-base-6.4.2+dfsg
apt_state=$WORK/apt
apt_options=(-o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$apt_state/etc"
  -o Dir::State::Lists="$apt_state/lists" -o Dir::Cache="$apt_state/cache")

zv_install_packages "$ZV_ROOT/scripts/packages-test.txt"
case "$(dpkg-query -W -f='${Version}' qt6-base-dev-tools)" in
  6.4.2*) ;;
  *) echo "Qt's host tools (qt6-base-dev-tools) must be 6.4.2, as the Qt built here" >&2; exit 1 ;;
esac

# The source package, fetched with an apt state of our own so that the
# system's sources stay as they are.
mkdir -p "$apt_state/etc" "$apt_state/lists/partial" "$apt_state/cache/archives/partial"
cat >"$apt_state/etc/src.sources" <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
apt-get "${apt_options[@]}" update
cd "$WORK"
[ -f "qt6-base_$version.dsc" ] || apt-get "${apt_options[@]}" source --download-only "qt6-base=$version"
rm -rf "$src"
dpkg-source -x "qt6-base_$version.dsc" "$src"
# Qt 6.4.2's Gui builds its DirectWrite font database only with direct2d,
# which is off here, while the windows platform plugin uses it whenever
# directwrite3 is on: the plugin then fails to link. Qt's GDI font database
# serves instead.
sed -i 's|^#if QT_CONFIG(directwrite3)$|#if QT_CONFIG(directwrite3) \&\& QT_CONFIG(direct2d)|' \
  "$src/src/plugins/platforms/windows/qwindowsintegration.cpp"

# The +dfsg source lacks wintab.h, hence no tablet events.
build=$WORK/build
rm -rf "$build" "$PREFIX"
host=/usr/lib/x86_64-linux-gnu/cmake
nice cmake -S "$src" -B "$build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$ZV_ROOT/cmake/mingw-w64-posix.cmake" -DQT_MINGW_PREFIX="$PREFIX" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$PREFIX" -DBUILD_SHARED_LIBS=ON \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=$host -DQt6HostInfo_DIR=$host/Qt6HostInfo \
  -DQT_BUILD_TOOLS_WHEN_CROSSCOMPILING=OFF -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF \
  -DQT_BUILD_BENCHMARKS=OFF -DQT_BUILD_MANUAL_TESTS=OFF \
  -DFEATURE_gui=ON -DFEATURE_widgets=ON -DFEATURE_testlib=ON \
  -DFEATURE_dbus=OFF -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_xml=OFF \
  -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DINPUT_opengl=no -DFEATURE_opengl=OFF \
  -DFEATURE_vulkan=OFF -DFEATURE_direct2d=OFF -DFEATURE_icu=OFF -DFEATURE_zstd=OFF \
  -DFEATURE_tabletevent=OFF -DFEATURE_androiddeployqt=OFF \
  -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_doubleconversion=OFF \
  -DFEATURE_system_textmarkdownreader=OFF -DFEATURE_system_freetype=OFF \
  -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF \
  -DFEATURE_png=ON -DFEATURE_jpeg=ON -DFEATURE_gif=ON -DFEATURE_ico=ON
nice ninja -C "$build" -j "$JOBS"
cmake --install "$build"
find "$PREFIX" -name '*.dll' -exec x86_64-w64-mingw32-strip --strip-unneeded {} +
echo "Qt for mingw-w64 is in $PREFIX; run: ZV_MINGW_QT=$PREFIX ./scripts/test-windows.sh"
