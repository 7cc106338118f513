#!/usr/bin/env bash
# Starts Kavrilo (build/bin/kavrilo). Without a display (no DISPLAY or WAYLAND_DISPLAY) it runs
# the program in a virtual X server, saves a screenshot of the main window to
# build/kavrilo-screenshot.png after a few seconds, and ends it.
set -euo pipefail
cd "$(dirname "$0")/.."
program=build/bin/kavrilo
if [ ! -x "$program" ]; then
  echo "build/bin/kavrilo is missing; build it first (make build)." >&2
  exit 1
fi
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$program" "$@"
fi

shot=build/kavrilo-screenshot.png
echo "No display found: starting Kavrilo in Xvfb for a screenshot."
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  set -u
  QT_QPA_PLATFORM=xcb "$1" & pid=$!
  sleep 4
  id=$(xwininfo -root -tree 2>/dev/null | awk "/\"Kavrilo - Morvane\"/ { print \$1; exit }")
  if [ -n "$id" ]; then import -window "$id" "$2"; else import -window root "$2"; fi
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
' _ "$program" "$shot"
if [ -f "$shot" ]; then
  echo "Saved a screenshot of the main window to $shot; Kavrilo has been closed again."
else
  echo "Kavrilo ran in Xvfb, but no screenshot could be taken." >&2
  exit 1
fi
