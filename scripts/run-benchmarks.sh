#!/usr/bin/env bash
# Runs every benchmark program briefly; each prints its own ratios against its peers.
set -euo pipefail
cd "$(dirname "$0")/.."
for b in build/bin/bench_*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" --benchmark_min_time=${BENCH_MIN_TIME:-0.05}
done
