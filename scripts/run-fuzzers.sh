#!/usr/bin/env bash
# Runs every fuzz target for the given number of seconds each, from its seed corpus. The second
# argument names the build (build-fuzz: AddressSanitizer; build-fuzz-tsan: ThreadSanitizer). The
# targets run the control's parallel passes on real threads whatever the input's size.
set -euo pipefail
cd "$(dirname "$0")/.."
per=${1:-60}
build=${2:-build-fuzz}
if [[ "$build" == *tsan* ]]; then
  export TSAN_OPTIONS="suppressions=$PWD/scripts/tsan.supp ${TSAN_OPTIONS:-}"
fi
targets=()
for t in "$build"/bin/fuzz_*; do
  [ -x "$t" ] && targets+=("$t")
done
if [ ${#targets[@]} -eq 0 ]; then
  echo "no fuzz targets built"
  exit 0
fi
for t in "${targets[@]}"; do
  name=$(basename "$t")
  seeds="fuzz/corpus/${name#fuzz_}"
  work="$build/corpus-work/${name#fuzz_}"
  mkdir -p "$work"
  echo "== $name for ${per}s"
  args=("$work")
  [ -d "$seeds" ] && args+=("$seeds")
  "$t" -max_total_time="$per" -rss_limit_mb=2048 -timeout=30 -print_final_stats=1 "${args[@]}" 2>&1 | tail -n 12
done
