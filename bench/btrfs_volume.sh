# Sourced by the benchmarks that need a btrfs volume of their own: loop-mounted images in a
# temporary folder, a generated tree on them, timing helpers. Everything made here is undone by
# bench_cleanup, which the sourcing script sets as its EXIT trap.
#
#   BENCH_FILES=100000        files in each generated tree (make_tree.py rounds to 10,110 a step)
#   BENCH_RUNS=3              runs per case; the best is kept
#   BENCH_TMP=/var/tmp        where the images go (sparse; about 17 MiB of data per 1,000 files)
#   BENCH_BUILD_DIR=...       build folder, default build-bench beside the sources

bench_here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
bench_root=$(dirname "$bench_here")
bench_files=${BENCH_FILES:-100000}
bench_runs=${BENCH_RUNS:-3}
bench_build=${BENCH_BUILD_DIR:-$bench_root/build-bench}
bench_work=""
bench_mounts=()

bench_die() {
  echo "$*" >&2
  exit 2
}

bench_require_root() {
  [[ $(id -u) -eq 0 ]] || bench_die "needs root: loop mounts and dropping caches"
  command -v mkfs.btrfs >/dev/null || bench_die "mkfs.btrfs missing (Debian package btrfs-progs)"
}

# bench_build_targets TARGET...: builds in the bench's own folder, without the tests.
bench_build_targets() {
  echo "building $* in $bench_build" >&2
  if [[ ! -f $bench_build/build.ninja ]]; then
    cmake -S "$bench_root" -B "$bench_build" -G Ninja -DQUOBRAN_TESTS=OFF >&2 || bench_die "cmake failed"
  fi
  cmake --build "$bench_build" --target "$@" >&2 || bench_die "build failed"
}

bench_cleanup() {
  local mount image loop
  for mount in "${bench_mounts[@]}"; do
    umount "$mount" 2>/dev/null || umount -l "$mount" 2>/dev/null
  done
  if [[ -n $bench_work && -d $bench_work ]]; then
    # mount -o loop detaches on unmount; a lazy unmount may leave the device behind.
    for image in "$bench_work"/*.img; do
      [[ -e $image ]] || continue
      for loop in $(losetup -j "$image" -O NAME -n 2>/dev/null); do losetup -d "$loop" 2>/dev/null; done
    done
    rm -rf "$bench_work"
  fi
}

# bench_make_volume NAME SIZE_GIB: mounts a fresh btrfs on a sparse image and leaves its mount
# point in bench_volume (not printed: a command substitution would lose what cleanup needs).
# noatime, so reading the tree to copy or measure it leaves the access times as generated.
bench_make_volume() {
  local name=$1 gib=$2 base=${BENCH_TMP:-/var/tmp}
  if [[ -z $bench_work ]]; then
    bench_work=$(mktemp -d "$base/quobran-bench.XXXXXX") || bench_die "cannot make a folder in $base"
  fi
  local image=$bench_work/$name.img mount=$bench_work/$name
  truncate -s "${gib}G" "$image" && mkfs.btrfs -q -f "$image" >/dev/null && mkdir -p "$mount" &&
    mount -o loop,noatime "$image" "$mount" || bench_die "cannot mount a btrfs image at $mount"
  bench_mounts+=("$mount")
  bench_volume=$mount
}

# Image size for one tree: the data with room for metadata (DUP) and the rewrites of a stretch.
bench_volume_gib() {
  awk -v n="$bench_files" 'BEGIN { g = int(n * 17 * 2.2 / 1024 / 1024) + 1; print (g < 1 ? 1 : g) }'
}

# bench_check_space GIB: the images are sparse, but their data must fit where they live.
bench_check_space() {
  local need_kib=$(($1 * 1024 * 1024)) base=${BENCH_TMP:-/var/tmp} free
  free=$(df -k --output=avail "$base" | tail -1)
  ((free > need_kib)) || bench_die "$base has $((free / 1024)) MiB free, the images need up to $((need_kib / 1024)) MiB"
}

bench_make_tree() {
  echo "generating $bench_files files in $1" >&2
  python3 "$bench_here/make_tree.py" "$1" "$bench_files" || bench_die "could not make the tree in $1"
  sync
}

bench_drop_caches() {
  sync
  echo 3 >/proc/sys/vm/drop_caches
}

# bench_time COMMAND...: wall seconds of the command, process start included, output discarded;
# fails with the command.
bench_time() {
  local start end
  start=$EPOCHREALTIME
  "$@" >/dev/null 2>&1 || return 1
  end=$EPOCHREALTIME
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }'
}

bench_min() { awk -v a="$1" -v b="$2" 'BEGIN { print (a == "" || b + 0 < a + 0) ? b : a }'; }

bench_ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }

bench_verdict() { awk -v r="$1" -v t="$2" 'BEGIN { print (r <= t) ? "met" : "missed" }'; }

# bench_find_cli: sets cli to $QUOBRAN_CLI, or to a freshly built quobran-cli.
bench_find_cli() {
  cli=${QUOBRAN_CLI:-}
  if [[ -z $cli ]]; then
    bench_build_targets quobran-cli
    cli=$bench_build/cli/quobran-cli
  fi
  [[ -x $cli ]] || bench_die "no quobran-cli at $cli"
}

# bench_volume_with_tree NAME: a fresh volume holding the generated tree; sets tree. Removed at exit.
bench_volume_with_tree() {
  local gib
  gib=$(bench_volume_gib)
  bench_check_space "$gib"
  trap bench_cleanup EXIT
  trap 'exit 130' INT TERM
  bench_make_volume "$1" "$gib"
  tree=$bench_volume/tree
  mkdir "$tree"
  bench_make_tree "$tree"
}
