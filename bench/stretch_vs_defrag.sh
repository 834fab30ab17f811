#!/usr/bin/env bash
# Times a stretch by quobran-cli (every file above two clusters compressed, whatever its name)
# against `btrfs filesystem defragment -r -czstd` on an identical copy of one generated tree, each
# copy on its own loop-mounted btrfs, warm cache; prints both times, their ratio and the space each
# saved. One pass of each, as a stretch changes the tree it measures, taken top folder by top
# folder in turns. Figures only, never a failure on time. Root only (mounts).
#
#   bench/stretch_vs_defrag.sh       settings: see btrfs_volume.sh (BENCH_FILES, BENCH_TMP, ...)
#   QUOBRAN_CLI=path                 use that binary instead of building one
set -u
source "$(dirname "${BASH_SOURCE[0]}")/btrfs_volume.sh"
target_ratio=1.2

bench_require_root
bench_find_cli
if ! command -v compsize >/dev/null; then
  echo "installing btrfs-compsize" >&2
  { DEBIAN_FRONTEND=noninteractive apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq btrfs-compsize; } >/dev/null 2>&1 ||
    echo "no compsize: the savings come from df alone" >&2
fi

gib=$(bench_volume_gib)
bench_check_space $((gib * 2))
trap bench_cleanup EXIT
trap 'exit 130' INT TERM
bench_make_volume quobran "$gib"
volume_q=$bench_volume
bench_make_volume defrag "$gib"
volume_d=$bench_volume
tree_q=$volume_q/tree
tree_d=$volume_d/tree
mkdir "$tree_q"
bench_make_tree "$tree_q"
echo "copying the tree" >&2
cp -a "$tree_q" "$tree_d" || bench_die "could not copy the tree"
# Seldom used to the engine: last access well over its threshold of about 33 hours.
for tree in "$tree_q" "$tree_d"; do
  find "$tree" -type f -exec touch -a -m -d '10 days ago' {} +
done
sync
log=$bench_work/stretch.log

# Bytes the tree's data takes on disk (compsize), or "-".
disk_bytes() {
  if command -v compsize >/dev/null; then
    compsize -b "$1" 2>/dev/null | awk '$1 == "TOTAL" { print $3; found = 1 } END { if (!found) print "-" }'
  else
    echo -
  fi
}

# Used bytes of the whole volume after the transaction that frees the old extents.
used_bytes() {
  btrfs filesystem sync "$1" >/dev/null 2>&1
  sync
  df -B1 --output=used "$1" | tail -1
}

before_q=$(disk_bytes "$tree_q") used_before_q=$(used_bytes "$volume_q")
before_d=$(disk_bytes "$tree_d") used_before_d=$(used_bytes "$volume_d")
# Warm: the generation and the copy left both trees in the page cache; read them once more so
# neither side pays for what the other's run evicted.
tar -cf - "$tree_q" "$tree_d" 2>/dev/null | cat >/dev/null

run_cli() { "$cli" stretch --no-smart-file --no-exclude-system --no-try-file --no-use-velnor --log "$log" "$1"; }
run_defrag() { btrfs filesystem defragment -r -czstd "$1"; }
add() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.4f", a + b }'; }

# One top folder at a time, the two sides taking turns and swapping who goes first, so a drift of
# the machine during the long run hits both alike. Each step ends with the sync that puts on disk
# what its command left in memory.
cli_s=0 cli_sync_s=0 defrag_s=0 defrag_sync_s=0 step=0
for top in "$tree_q"/*/; do
  name=$(basename "$top")
  for side in $( ((step % 2 == 0)) && echo "q d" || echo "d q"); do
    if [[ $side == q ]]; then
      echo "stretching $name with quobran-cli" >&2
      t=$(bench_time run_cli "$tree_q/$name") || bench_die "quobran-cli failed on $name"
      cli_s=$(add "$cli_s" "$t")
      cli_sync_s=$(add "$cli_sync_s" "$(bench_time sync)")
    else
      echo "defragmenting $name with btrfs" >&2
      t=$(bench_time run_defrag "$tree_d/$name") || bench_die "btrfs filesystem defragment failed on $name"
      defrag_s=$(add "$defrag_s" "$t")
      defrag_sync_s=$(add "$defrag_sync_s" "$(bench_time sync)")
    fi
  done
  step=$((step + 1))
done

after_q=$(disk_bytes "$tree_q") used_after_q=$(used_bytes "$volume_q")
after_d=$(disk_bytes "$tree_d") used_after_d=$(used_bytes "$volume_d")

mib() { [[ $1 == - || $2 == - ]] && echo - || awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", (a - b) / 1048576 }'; }
cli_total=$(add "$cli_s" "$cli_sync_s")
defrag_total=$(add "$defrag_s" "$defrag_sync_s")
ratio=$(bench_ratio "$cli_total" "$defrag_total")

echo
echo "trees:   two copies of $(find "$tree_q" -type f | wc -l) files, $(du -sh --apparent-size "$tree_q" | cut -f1), each on its own btrfs on a loop device"
echo "cli:     $cli stretch --no-smart-file --no-exclude-system --no-try-file --no-use-velnor --log FILE TREE1/TOP"
echo "         log: $(grep -c $'\tCompress\t' "$log") Compress, $(grep -c $'\tDecompress\t' "$log") Decompress lines"
echo "defrag:  btrfs filesystem defragment -r -czstd TREE2/TOP"
echo "one pass each, top folder by top folder in turns, warm cache; total = the commands plus the syncs after them"
echo "target: stretch at most $target_ratio x defragment"
printf '%-8s %10s %8s %10s %14s %12s\n' side command_s sync_s total_s saved_MiB volume_MiB
printf '%-8s %10.3f %8.3f %10.3f %14s %12s\n' quobran "$cli_s" "$cli_sync_s" "$cli_total" \
  "$(mib "$before_q" "$after_q")" "$(mib "$used_before_q" "$used_after_q")"
printf '%-8s %10.3f %8.3f %10.3f %14s %12s\n' defrag "$defrag_s" "$defrag_sync_s" "$defrag_total" \
  "$(mib "$before_d" "$after_d")" "$(mib "$used_before_d" "$used_after_d")"
echo "ratio quobran/defrag: $ratio ($(bench_verdict "$ratio" "$target_ratio"))"
echo "(saved_MiB: the tree's data on disk by compsize, before minus after; volume_MiB: df's used, before minus after)"
exit 0
