#!/bin/bash
# Screenshots of Quobran's main window under a virtual display: idle after the start-up analysis,
# stretching, a hovered button and the About window, written to docs/quobran-*.png. Root only: the
# window works on a loop-mounted btrfs image of sample files, so nothing of this machine is touched.
set -euo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"
build="${BUILD_DIR:-$here/build-screenshots}"
missing=()
for tool in Xvfb:xvfb xdotool:xdotool import:imagemagick mkfs.btrfs:btrfs-progs; do
  command -v "${tool%%:*}" >/dev/null || missing+=("${tool#*:}")
done
if ((${#missing[@]})); then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi
cmake -S "$here" -B "$build" -G Ninja -DQUOBRAN_TESTS=OFF -DQUOBRAN_BENCH=OFF >/dev/null
ninja -C "$build" quobran >/dev/null

work="$(mktemp -d)"
display=":$((90 + RANDOM % 100))"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  umount -l "$work/mnt" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

truncate -s 1G "$work/image"
mkfs.btrfs -q "$work/image" >/dev/null
mkdir -p "$work/mnt" "$work/home"
mount -o loop "$work/image" "$work/mnt"
mkdir -p "$work/mnt/Documents" "$work/mnt/Projects"
python3 - "$work/mnt" <<'PY'
import os, sys
root = sys.argv[1]
words = " ".join(f"word{i}" for i in range(400))
for folder in ("Documents", "Projects"):
    for i in range(150):
        with open(os.path.join(root, folder, f"file{i:03d}.txt"), "w") as out:
            out.write((words + "\n") * (400 + i * 7))
PY
find "$work/mnt" -type f -exec touch -a -m -d '20 days ago' {} +

Xvfb "$display" -screen 0 720x640x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do [[ -e /tmp/.X11-unix/X${display#:} ]] && break; sleep 0.1; done
export DISPLAY="$display"
# Its own network namespace keeps this Quobran's instance marker apart from any other.
env QUOBRAN_HOME="$work/home/" QUOBRAN_DRIVES="$work/mnt/" TMPDIR=/nonexistent-quobran-temp/ \
  QT_QPA_PLATFORM=xcb unshare --net "$build/compressor/quobran" >/dev/null 2>&1 &
pids+=($!)

wait_for_log() {
  for _ in $(seq 600); do
    grep -q "$1" "$work/home/Quobran.log" 2>/dev/null && return 0
    sleep 0.1
  done
  echo "Quobran did not log: $1" >&2
  return 1
}
shot() { sleep "${2:-0.6}"; import -window root "$here/docs/quobran-$1.png"; echo "wrote docs/quobran-$1.png"; }
at() { xdotool search --onlyvisible --name '^Quobran$' mousemove --window %1 "$1" "$2"; }

mkdir -p "$here/docs"
wait_for_log $'Analyze\tStopped'
shot idle 1
at 449 262 && shot hovered          # "Pause"
at 449 229 && xdotool click 1 && shot stretching 1.5
wait_for_log $'Stretching\tStopped'
at 449 295 && xdotool click 1 && shot about 4
