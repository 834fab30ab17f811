# Shared by scripts/run and scripts/test: installs what is missing, then configures and builds.
# Sourced, not run.

QUOBRAN_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# Debian packages the build and the tests need; each is installed only when missing.
QUOBRAN_PACKAGES=(
  g++ cmake ninja-build pkg-config
  zlib1g-dev libgtest-dev libgmock-dev libbenchmark-dev
  btrfs-progs btrfs-compsize e2fsprogs util-linux coreutils python3
  qt6-base-dev libgl-dev fonts-dejavu-core
  qt6-multimedia-dev xvfb xdotool
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

install_missing_packages() {
  local missing=()
  local package
  for package in "${QUOBRAN_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# configure_and_build DIR [cmake options...]
configure_and_build() {
  local dir=$1
  shift
  cmake -S "$QUOBRAN_ROOT" -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -- -j"$(nproc)"
}
