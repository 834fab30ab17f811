#!/usr/bin/env bash
# Times a whole analysis by quobran-cli (no trial compression, system folders not excluded) against
# `du -s` over the same generated tree on a loop-mounted btrfs, warm and cold. Prints figures only:
# a slow run is a number to look at, never a failure. Root only (mounts, dropping caches).
#
#   bench/analysis_vs_du.sh          settings: see btrfs_volume.sh (BENCH_FILES, BENCH_RUNS, ...)
#   QUOBRAN_CLI=path                 use that binary instead of building one
set -u
source "$(dirname "${BASH_SOURCE[0]}")/btrfs_volume.sh"
target_ratio=1.5

bench_require_root
bench_find_cli
bench_volume_with_tree analysis
log=$bench_work/analysis.log

run_du() { du -s "$tree"; }
run_cli() { "$cli" analyze --no-try-file --no-exclude-system --no-use-velnor --log "$log" "$tree"; }

# du and quobran-cli take turns, so a drift of the machine hits both alike.
measure() {
  local cold=$1 best_du="" best_cli="" t
  for ((i = 0; i < bench_runs; i++)); do
    ((cold)) && bench_drop_caches
    t=$(bench_time run_du) || { echo "du failed" >&2; return 1; }
    best_du=$(bench_min "$best_du" "$t")
    ((cold)) && bench_drop_caches
    t=$(bench_time run_cli) || { echo "quobran-cli failed" >&2; return 1; }
    best_cli=$(bench_min "$best_cli" "$t")
  done
  echo "$best_du $best_cli"
}

run_du >/dev/null
files=$(find "$tree" -type f | wc -l)
counted=$(run_cli 2>/dev/null | head -1)

rows=()
result=$(measure 0) && rows+=("warm $result")
result=$(measure 1) && rows+=("cold $result")

echo
echo "tree:    $tree ($files files, $(du -sh "$tree" | cut -f1)), btrfs on a loop device"
echo "cli:     $cli analyze --no-try-file --no-exclude-system --no-use-velnor --log FILE TREE"
echo "         ($counted)"
echo "best of $bench_runs runs, wall time with process start; target: analysis at most $target_ratio x du -s"
printf '%-6s %10s %10s %8s %8s\n' case du_s cli_s cli/du target
for row in "${rows[@]}"; do
  read -r name du_s cli_s <<<"$row"
  ratio=$(bench_ratio "$cli_s" "$du_s")
  printf '%-6s %10.3f %10.3f %8s %8s\n' "$name" "$du_s" "$cli_s" "$ratio" "$(bench_verdict "$ratio" "$target_ratio")"
done
exit 0
