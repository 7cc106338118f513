#!/usr/bin/env bash
# Runs every benchmark program briefly; each prints its own ratios against its peers.
set -euo pipefail
cd "$(dirname "$0")/.."
# bench_playback shows windows: without a display it draws offscreen.
[ -n "${DISPLAY:-}" ] || export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
for b in build/bin/bench_*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" --benchmark_min_time=${BENCH_MIN_TIME:-0.05}
done
