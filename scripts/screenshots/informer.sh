#!/bin/bash
# Renders Velnor's Disk Informer offscreen to docs/informer.png.
set -euo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"
build="${BUILD_DIR:-$here/build-screenshots}"
cmake -S "$here" -B "$build" -G Ninja -DQUOBRAN_TESTS=OFF -DQUOBRAN_BENCH=OFF >/dev/null
ninja -C "$build" informer_screenshot >/dev/null
settings="$(mktemp -d)"
trap 'rm -rf "$settings"' EXIT
mkdir -p "$here/docs"
QT_QPA_PLATFORM=offscreen "$build/watcher/ui/informer_screenshot" "$settings" "$here/docs/informer.png"
echo "wrote $here/docs/informer.png"
