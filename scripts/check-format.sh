#!/usr/bin/env bash
# Checks every C++ file of the repository against .clang-format and changes nothing; prints each
# difference and fails when there is one. tests/data holds test data of others and is left out.
# To fix: clang-format -i FILE (or this script's list: FIX=1 bash scripts/check-format.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -d '' files < <(git ls-files -z -- '*.cpp' '*.h' '*.hpp' '*.cc' ':!:tests/data/**')
else
  mapfile -d '' files < <(find . -path ./tests/data -prune -o -path './build*' -prune -o \
    -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.hpp' -o -name '*.cc' \) -print0)
fi

if [[ "${FIX:-0}" == 1 ]]; then
  printf '%s\0' "${files[@]}" | xargs -0 -r clang-format -i
  exit 0
fi
printf '%s\0' "${files[@]}" | xargs -0 -r -n 32 -P 2 clang-format --dry-run -Werror
echo "check-format: ${#files[@]} files match .clang-format"
