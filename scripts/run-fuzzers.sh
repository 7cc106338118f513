#!/usr/bin/env bash
# Runs every fuzz target for the given number of seconds each, from its seed corpus. The targets
# run the control's parallel passes on real threads whatever the input's size. (Under
# ThreadSanitizer the seed corpus runs in the decode tests of `make test-tsan` instead: libFuzzer's
# coverage counters are shared by all threads and would be reported as races.)
set -euo pipefail
cd "$(dirname "$0")/.."
per=${1:-60}
targets=()
for t in build-fuzz/bin/fuzz_*; do
  [ -x "$t" ] && targets+=("$t")
done
if [ ${#targets[@]} -eq 0 ]; then
  echo "no fuzz targets built"
  exit 0
fi
for t in "${targets[@]}"; do
  name=$(basename "$t")
  seeds="fuzz/corpus/${name#fuzz_}"
  work="build-fuzz/corpus-work/${name#fuzz_}"
  mkdir -p "$work"
  echo "== $name for ${per}s"
  args=("$work")
  [ -d "$seeds" ] && args+=("$seeds")
  # Targets that read GIF streams start from the conformance suite's files as well.
  case "$name" in
    fuzz_gif*|fuzz_lzw*) args+=("tests/data/gif-test-suite") ;;
  esac
  # The control may hold up to its memory budget, and a GIF target keeps two controls at once
  # (a load and its one-thread twin); twice the budget stays well under the fuzzer's memory
  # limit, so that a GIF the budget admits is not taken for a leak.
  ANIGIF_MEMORY_BUDGET="${ANIGIF_MEMORY_BUDGET:-512M}" \
  "$t" -max_total_time="$per" -rss_limit_mb=2048 -timeout=30 -print_final_stats=1 "${args[@]}" 2>&1 | tail -n 12
done
