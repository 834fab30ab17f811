#!/usr/bin/env bash
# Times the engine's folder walk (bench_walk) against `du -s` over the same generated tree, warm
# and, as root, cold. Prints figures only: a slow run is a number to look at, never a failure.
#
#   bench/walk_vs_du.sh [TREE]     TREE defaults to /var/tmp/quobran-bench-tree; made once, reused
#   BENCH_WALK=path/to/bench_walk  use that binary instead of building one
#   settings of btrfs_volume.sh: BENCH_FILES, BENCH_RUNS, BENCH_BUILD_DIR
set -u
source "$(dirname "${BASH_SOURCE[0]}")/btrfs_volume.sh"
tree=${1:-/var/tmp/quobran-bench-tree}
target_ratio=1.3

walk=${BENCH_WALK:-}
if [[ -z $walk ]]; then
  bench_build_targets bench_walk
  walk=$bench_build/bench/bench_walk
fi
[[ -x $walk ]] || bench_die "no bench_walk at $walk"

# The walk passes over names starting with '.', so the marker costs du one empty file more.
marker=$tree/.quobran-bench-tree-v2
if [[ -e $marker ]]; then
  echo "reusing $tree" >&2
elif [[ -d $tree && -n $(ls -A "$tree" 2>/dev/null) ]]; then
  echo "$tree is not empty and was not made here: measuring it as it is" >&2
else
  mkdir -p "$tree" || exit 2
  bench_make_tree "$tree"
  sync
  touch "$marker"
fi

can_drop=0
if [[ $(id -u) -eq 0 ]] && (bench_drop_caches) 2>/dev/null; then can_drop=1; fi

# The walk's own figure, from Resume to the end of the pass without the engine's idle wait.
time_walk() {
  local out
  out=$("$walk" "$tree") || return 1
  awk '$1 == "seconds" { s = $2 } $1 == "files" { f = $2 } END { print s, f }' <<<"$out"
}

# One case: du and the walk take turns, so a drift of the machine hits both alike.
measure() {
  local cold=$1 best_du="" best_walk="" files="" t
  for ((i = 0; i < bench_runs; i++)); do
    ((cold)) && bench_drop_caches
    t=$(bench_time du -s "$tree") || return 1
    best_du=$(bench_min "$best_du" "$t")
    ((cold)) && bench_drop_caches
    t=$(time_walk) || { echo "bench_walk failed" >&2; return 1; }
    best_walk=$(bench_min "$best_walk" "${t% *}")
    files=${t#* }
  done
  echo "$best_du $best_walk $files"
}

du -s "$tree" >/dev/null 2>&1  # warms the cache for the warm case
declare -a rows
if result=$(measure 0); then rows+=("warm $result"); fi
if ((can_drop)); then
  if result=$(measure 1); then rows+=("cold $result"); fi
else
  rows+=("cold - - -")
  echo "cold cache skipped: dropping caches needs root" >&2
fi

echo
echo "tree:  $tree ($(find "$tree" -type f ! -name '.*' | wc -l) files)"
echo "best of $bench_runs runs; target: walk at most $target_ratio x du"
printf '%-6s %12s %12s %10s %8s %10s\n' case du_s walk_s walk/du target files
for row in "${rows[@]}"; do
  read -r name du_s walk_s files <<<"$row"
  if [[ $du_s == - ]]; then
    printf '%-6s %12s %12s %10s %8s %10s\n' "$name" - - - skipped -
    continue
  fi
  ratio=$(bench_ratio "$walk_s" "$du_s")
  printf '%-6s %12.4f %12.4f %10s %8s %10s\n' "$name" "$du_s" "$walk_s" "$ratio" "$(bench_verdict "$ratio" "$target_ratio")" "$files"
done
exit 0
