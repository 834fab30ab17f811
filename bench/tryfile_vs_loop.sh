#!/usr/bin/env bash
# Times an analysis with trial compression (quobran-cli analyze --try-file --no-smart-file
# --no-exclude-system) against trial_baseline, a bare loop that reads and compresses the same
# first mebibytes with compress2, over one generated tree on a loop-mounted btrfs, warm and cold.
# The loop with one reused stream is shown too, as the tighter floor. Prints figures only, never
# fails on time. Root only (mounts, dropping caches).
#
#   bench/tryfile_vs_loop.sh         settings: see btrfs_volume.sh (BENCH_FILES, BENCH_RUNS, ...)
#   BENCH_COLD_RUNS=2                runs of the cold case, which reads the whole tree from disk each
#                                    time and leaves the reused stream out; 0 skips it
#   QUOBRAN_CLI=path TRIAL_BASELINE=path   use those binaries instead of building them
set -u
source "$(dirname "${BASH_SOURCE[0]}")/btrfs_volume.sh"
target_ratio=1.2

bench_require_root
cli=${QUOBRAN_CLI:-}
baseline=${TRIAL_BASELINE:-}
if [[ -z $cli || -z $baseline ]]; then
  bench_build_targets quobran-cli trial_baseline
  cli=${cli:-$bench_build/cli/quobran-cli}
  baseline=${baseline:-$bench_build/bench/trial_baseline}
fi
[[ -x $cli ]] || bench_die "no quobran-cli at $cli"
[[ -x $baseline ]] || bench_die "no trial_baseline at $baseline"

bench_volume_with_tree tryfile
log=$bench_work/tryfile.log

run_baseline() { "$baseline" "$tree"; }
run_reuse() { "$baseline" --reuse-stream "$tree"; }
run_cli() { "$cli" analyze --try-file --no-smart-file --no-exclude-system --no-use-velnor --log "$log" "$tree"; }

# They take turns, so a drift of the machine hits all alike.
measure() {
  local cold=$1 runs=$2 best_base="" best_reuse="" best_cli="" t
  for ((i = 0; i < runs; i++)); do
    ((cold)) && bench_drop_caches
    t=$(bench_time run_baseline) || { echo "trial_baseline failed" >&2; return 1; }
    best_base=$(bench_min "$best_base" "$t")
    if ((!cold)); then
      t=$(bench_time run_reuse) || { echo "trial_baseline --reuse-stream failed" >&2; return 1; }
      best_reuse=$(bench_min "$best_reuse" "$t")
    fi
    ((cold)) && bench_drop_caches
    t=$(bench_time run_cli) || { echo "quobran-cli failed" >&2; return 1; }
    best_cli=$(bench_min "$best_cli" "$t")
  done
  echo "$best_base ${best_reuse:--} $best_cli"
}

# One untimed run of each warms the cache and shows that both did the same work.
base_out=$(run_baseline)
cli_out=$(run_cli 2>/dev/null)

rows=()
cold_runs=${BENCH_COLD_RUNS:-2}
result=$(measure 0 "$bench_runs") && rows+=("warm $result")
if ((cold_runs > 0)); then
  result=$(measure 1 "$cold_runs") && rows+=("cold $result")
fi

echo
echo "tree:      $tree ($(find "$tree" -type f | wc -l) files, $(du -sh "$tree" | cut -f1)), btrfs on a loop device"
echo "baseline:  $baseline TREE"
echo "           $(tr '\n' ' ' <<<"$base_out")"
echo "cli:       $cli analyze --try-file --no-smart-file --no-exclude-system --no-use-velnor --log FILE TREE"
grep -E 'Count|Supposed|[Ss]ave' <<<"$cli_out" | sed 's/^/           /'
echo "best of $bench_runs runs warm, $cold_runs cold; wall time with process start"
echo "target: analysis with TryFile at most $target_ratio x the loop (compress2)"
printf '%-6s %12s %9s %9s %9s %8s %10s\n' case compress2_s reuse_s cli_s cli/loop target cli/reuse
for row in "${rows[@]}"; do
  read -r name base_s reuse_s cli_s <<<"$row"
  ratio=$(bench_ratio "$cli_s" "$base_s")
  reuse_ratio=-
  if [[ $reuse_s != - ]]; then
    reuse_ratio=$(bench_ratio "$cli_s" "$reuse_s")
    reuse_s=$(printf '%.3f' "$reuse_s")
  fi
  printf '%-6s %12.3f %9s %9.3f %9s %8s %10s\n' "$name" "$base_s" "$reuse_s" "$cli_s" "$ratio" \
    "$(bench_verdict "$ratio" "$target_ratio")" "$reuse_ratio"
done
exit 0
