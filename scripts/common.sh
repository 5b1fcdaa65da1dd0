# Shared by run.sh and test.sh: installs the Debian packages the build needs,
# then configures and builds. Source it; it defines functions only.

ZV_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
ZV_BUILD_DIR=${ZV_BUILD_DIR:-$ZV_ROOT/build}

# Installs the packages of scripts/packages.txt (or of the files given) that
# are missing. Runs apt-get update once, and only when something is missing.
zv_install_packages() {
  local lists=("$@")
  [ ${#lists[@]} -gt 0 ] || lists=("$ZV_ROOT/scripts/packages.txt")
  local missing=() pkg
  while read -r pkg; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' ||
      missing+=("$pkg")
  done < <(grep -hvE '^[[:space:]]*(#|$)' "${lists[@]}")
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "Some Debian packages are missing. As root, run:" >&2
    echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
  echo "Installing: ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get -o DPkg::Lock::Timeout=900 update -qq
  apt-get -o DPkg::Lock::Timeout=900 install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Configures (once) and builds the given build folder with the given extra
# CMake options.
zv_build() {
  local dir=$1
  shift
  cmake -S "$ZV_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$(nproc)"
}
