#!/usr/bin/env bash
# Runs clang-tidy with the checks of .clang-tidy over the sources of build/compile_commands.json
# (written by `make build`); every finding fails. Two jobs, as CI has two cores.
#
# TIDY_SCOPE=core (the default) checks the Qt-free core: platform/ (not platform/qt), gifcontrol/
# and practice/ (not its windows), with the headers they include. TIDY_SCOPE=all checks every
# source, tests, benchmarks and Qt code included; it takes several times as long (Qt and
# GoogleTest headers dominate each file's time), so CI runs the core.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
if [[ ! -f "$build/compile_commands.json" ]]; then
  echo "check-tidy: $build/compile_commands.json is missing (run make build first)" >&2
  exit 2
fi

case "${TIDY_SCOPE:-core}" in
  core) files='^'"$PWD"'/(platform/[^/]+|gifcontrol/.+|practice/[^/]+)\.cpp$' ;;
  all) files='^'"$PWD"'/(apps|bench|fuzz|gifcontrol|platform|practice|tests|tools|widget)/.+\.cpp$' ;;
  *) echo "check-tidy: TIDY_SCOPE is core or all" >&2; exit 2 ;;
esac

# The build's warning flags are the compiler's business; clang-tidy reports its own checks only.
run-clang-tidy -p "$build" -j "${TIDY_JOBS:-2}" -quiet -extra-arg=-Wno-error \
  -extra-arg=-Wno-unknown-warning-option "$files"
