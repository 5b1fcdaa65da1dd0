# Shared by run.sh and test.sh: installs the Debian packages the build needs,
# then configures and builds. Source it; it defines functions only.

ZV_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
ZV_BUILD_DIR=${ZV_BUILD_DIR:-$ZV_ROOT/build}

# Installs the packages of the lists given (by default packages-run.txt and
# packages-test.txt) that are missing, without their recommended packages.
# Runs apt-get update once, and only when something is missing.
zv_install_packages() {
  local lists=("$@")
  [ ${#lists[@]} -gt 0 ] ||
    lists=("$ZV_ROOT/scripts/packages-run.txt" "$ZV_ROOT/scripts/packages-test.txt")
  local missing=() pkg
  while read -r pkg; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' ||
      missing+=("$pkg")
  done < <(grep -hvE '^[[:space:]]*(#|$)' "${lists[@]}")
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "Some Debian packages are missing. As root, run:" >&2
    echo "  apt-get update && apt-get install -y --no-install-recommends ${missing[*]}" >&2
    exit 1
  fi
  echo "Installing: ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get -o DPkg::Lock::Timeout=900 update -qq
  apt-get -o DPkg::Lock::Timeout=900 install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Configures and builds everything (tests and benchmarks included) in the
# given build folder, with the given extra CMake options.
zv_build() {
  local dir=$1
  shift
  cmake -S "$ZV_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZV_BUILD_TESTS=ON \
    "$@" >/dev/null
  cmake --build "$dir" -j "$(nproc)"
}

# Configures the given build folder without tests (so that the packages of
# packages-run.txt suffice) and builds the program alone: ZVistaro02, ZKit10
# and the files they install.
zv_build_program() {
  local dir=$1
  cmake -S "$ZV_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZV_BUILD_TESTS=OFF \
    >/dev/null
  cmake --build "$dir" -j "$(nproc)" --target ZVistaro02
}
