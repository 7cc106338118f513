#!/usr/bin/env bash
# Start-up and peak memory of Kavrilo against a bare Qt window with the same background, at
# device pixel ratios 1 and 2, in a virtual X server. A benchmark, not a test: it prints figures.
#   scripts/run-startup-bench.sh [rounds]   (default 15)
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-15}
for p in build/bin/kavrilo build/bin/startup-bare build/bin/startup-runner; do
  [ -x "$p" ] || { echo "$p is missing; build it first (make build)." >&2; exit 1; }
done
xvfb-run -a -s "-screen 0 1920x1200x24" bash -c '
  for ratio in 1 2; do
    build/bin/startup-runner build/bin/kavrilo build/bin/startup-bare build/bin/pic "$ratio" "$1"
  done
' _ "$rounds"
