#!/usr/bin/env bash
# Times the engine's folder walk (bench_walk) against `du -s` over the same generated tree, warm
# and, as root, cold. Prints figures only: a slow run is a number to look at, never a failure.
#
#   bench/walk_vs_du.sh [TREE]     TREE defaults to /var/tmp/quobran-bench-tree
#   BENCH_WALK=path/to/bench_walk  use that binary instead of building one
#   BENCH_RUNS=3                   runs per case; the best of them is kept
set -u

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
tree=${1:-/var/tmp/quobran-bench-tree}
runs=${BENCH_RUNS:-3}
target_ratio=1.3

# --- the binary -------------------------------------------------------------------------------
walk=${BENCH_WALK:-}
if [[ -z $walk ]]; then
  build=${BENCH_BUILD_DIR:-$root/build}
  walk=$build/bench/bench_walk
  if [[ ! -x $walk ]]; then
    echo "building bench_walk in $build" >&2
    if ! cmake -S "$root" -B "$build" -G Ninja >&2 || ! cmake --build "$build" --target bench_walk >&2; then
      echo "could not build bench_walk; set BENCH_WALK to a built one" >&2
      exit 2
    fi
  fi
fi
if [[ ! -x $walk ]]; then
  echo "no bench_walk at $walk" >&2
  exit 2
fi

# --- the tree ---------------------------------------------------------------------------------
# 10 x 10 x 10 leaf folders of 100 files, plus 10 files in every inner folder: 101,100 files.
# The walk passes over names starting with '.', so the marker costs du one empty file more.
marker=$tree/.quobran-bench-tree-v1
if [[ -e $marker ]]; then
  echo "reusing $tree" >&2
elif [[ -d $tree && -n $(ls -A "$tree" 2>/dev/null) ]]; then
  echo "$tree is not empty and was not made here: measuring it as it is" >&2
else
  echo "making $tree" >&2
  mkdir -p "$tree" || exit 2
  if ! python3 - "$tree" <<'PY'
import os, sys

root = sys.argv[1]
# Sizes from empty to a few blocks, with a few larger ones, so the file sizes are not all alike.
sizes = [0, 1, 17, 100, 512, 1000, 2048, 4095, 4096, 5000, 9000, 20000]
blob = bytes(range(256)) * 100
n = 0

def fill(folder, count):
    global n
    for i in range(count):
        size = sizes[(n * 7 + i) % len(sizes)]
        with open(os.path.join(folder, f"file{i:03d}.dat"), "wb") as out:
            out.write(blob[:size])
        n += 1

for a in range(10):
    top = os.path.join(root, f"a{a:02d}")
    os.mkdir(top)
    fill(top, 10)
    for b in range(10):
        mid = os.path.join(top, f"b{b:02d}")
        os.mkdir(mid)
        fill(mid, 10)
        for c in range(10):
            leaf = os.path.join(mid, f"c{c:02d}")
            os.mkdir(leaf)
            fill(leaf, 100)
print(f"{n} files", file=sys.stderr)
PY
  then
    echo "could not make the tree in $tree" >&2
    exit 2
  fi
  sync
  touch "$marker"
fi

# --- measuring --------------------------------------------------------------------------------
can_drop=0
if [[ $(id -u) -eq 0 ]] && sync && (echo 3 >/proc/sys/vm/drop_caches) 2>/dev/null; then
  can_drop=1
fi

drop_caches() {
  sync
  echo 3 >/proc/sys/vm/drop_caches
}

# Wall time of du, process start included (a millisecond or so, against a tenth of a second).
time_du() {
  local start end
  start=$EPOCHREALTIME
  du -s "$tree" >/dev/null 2>&1
  end=$EPOCHREALTIME
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.6f", b - a }'
}

# The walk's own figure, from Resume to the end of the pass without the engine's idle wait, and
# the files it counted.
time_walk() {
  local out
  out=$("$walk" "$tree") || return 1
  awk '$1 == "seconds" { s = $2 } $1 == "files" { f = $2 } END { print s, f }' <<<"$out"
}

min() { awk -v a="$1" -v b="$2" 'BEGIN { print (a == "" || b + 0 < a + 0) ? b : a }'; }

# One case: du and the walk take turns, so a drift of the machine hits both alike.
measure() {
  local cold=$1 best_du="" best_walk="" files="" t
  for ((i = 0; i < runs; i++)); do
    ((cold)) && drop_caches
    t=$(time_du)
    best_du=$(min "$best_du" "$t")
    ((cold)) && drop_caches
    t=$(time_walk) || { echo "bench_walk failed" >&2; return 1; }
    best_walk=$(min "$best_walk" "${t% *}")
    files=${t#* }
  done
  echo "$best_du $best_walk $files"
}

# Warm the cache once before the warm case.
du -s "$tree" >/dev/null 2>&1

declare -a rows
if result=$(measure 0); then rows+=("warm $result"); fi
if ((can_drop)); then
  if result=$(measure 1); then rows+=("cold $result"); fi
else
  rows+=("cold - - -")
  echo "cold cache skipped: dropping caches needs root and a writable /proc/sys/vm/drop_caches" >&2
fi

echo
echo "tree:  $tree ($(find "$tree" -type f ! -name '.*' | wc -l) files)"
echo "walk:  $walk"
echo "best of $runs runs; target: walk at most $target_ratio x du"
printf '%-6s %12s %12s %10s %8s %10s\n' case du_s walk_s walk/du target files
for row in "${rows[@]}"; do
  read -r name du_s walk_s files <<<"$row"
  if [[ $du_s == - ]]; then
    printf '%-6s %12s %12s %10s %8s %10s\n' "$name" - - - skipped -
    continue
  fi
  awk -v n="$name" -v d="$du_s" -v w="$walk_s" -v t="$target_ratio" -v f="$files" 'BEGIN {
    r = d > 0 ? w / d : 0
    printf "%-6s %12.4f %12.4f %10.2f %8s %10s\n", n, d, w, r, (r <= t ? "met" : "missed"), f
  }'
done
exit 0
