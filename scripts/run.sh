#!/usr/bin/env bash
# Starts Kavrilo. Until the windows exist this runs the practice drill on a short demo script.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -x build/bin/kavrilo ]; then
  exec build/bin/kavrilo "$@"
fi
echo "The windows are not built yet; running the practice drill on a demo script instead."
exec build/bin/kavrilo-drill < scripts/demo.drill
