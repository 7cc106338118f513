#!/usr/bin/env bash
# Starts kavrilo N times under each window manager (openbox and twm) on a virtual X server and
# reports, for every start, where the window's frame lies against the middle of the screen.
# Usage: scripts/centre-test.sh [PROGRAM] [N] [DISPLAY-NUMBER]
# Exits 1 when any start is more than a pixel off centre or shows no framed window.
set -uo pipefail
program=${1:-build/bin/kavrilo}
runs=${2:-10}
display=${3:-99}
screen_w=1024 screen_h=768
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf 'TitleFont "fixed"\nResizeFont "fixed"\nMenuFont "fixed"\nIconFont "fixed"\nIconManagerFont "fixed"\n' >"$work/twmrc"

# The top-level ancestor of a window (its frame, once a window manager has reparented it).
frame_of() {
  local w=$1 root parent
  root=$(xwininfo -root | awk '/Window id/ { print $4 }')
  while :; do
    parent=$(xwininfo -id "$w" -tree 2>/dev/null | awk '/Parent window id/ { print $4 }')
    [ -n "$parent" ] || return 1
    [ "$parent" = "$root" ] && { echo "$w"; return 0; }
    w=$parent
  done
}

failures=0
for wm in openbox twm; do
  command -v "$wm" >/dev/null || { echo "$wm: not installed"; continue; }
  Xvfb ":$display" -screen 0 ${screen_w}x${screen_h}x24 -nolisten tcp >/dev/null 2>&1 & xvfb=$!
  export DISPLAY=:$display
  for _ in $(seq 1 50); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.1; done
  if [ "$wm" = twm ]; then twm -f "$work/twmrc" >/dev/null 2>&1 & wmpid=$!
  else openbox --config-file /dev/null >/dev/null 2>&1 & wmpid=$!; fi
  sleep 1
  offsets=()
  for run in $(seq 1 "$runs"); do
    TMPDIR=$work QT_QPA_PLATFORM=xcb "$program" & pid=$!
    result="no window"
    for _ in $(seq 1 100); do
      id=$(xwininfo -root -tree 2>/dev/null | awk '/"Kavrilo - Morvane"/ { print $1; exit }')
      frame=${id:+$(frame_of "$id")}
      if [ -n "${frame:-}" ] && [ "$frame" != "$id" ]; then
        sleep 1  # anything that would move it again has happened by now
        frame=$(frame_of "$id")
        read -r x y w h b < <(xwininfo -id "$frame" | awk '
          /Absolute upper-left X/ { x = $4 } /Absolute upper-left Y/ { y = $4 }
          /Width:/ { w = $2 } /Height:/ { h = $2 } /Border width/ { b = $3 }
          END { print x, y, w, h, b }')
        dx=$(( x + (w + 2 * b) / 2 - screen_w / 2 )); dy=$(( y + (h + 2 * b) / 2 - screen_h / 2 ))
        result="$dx,$dy"
        break
      fi
      sleep 0.05
    done
    kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
    offsets+=("$result")
    case $result in
      "no window") failures=$((failures + 1)) ;;
      *) dx=${result%,*} dy=${result#*,}; { [ ${dx#-} -le 1 ] && [ ${dy#-} -le 1 ]; } || failures=$((failures + 1)) ;;
    esac
  done
  echo "$wm: $runs starts, frame centre off the screen centre by (dx,dy): ${offsets[*]}"
  kill "$wmpid" 2>/dev/null; wait "$wmpid" 2>/dev/null
  kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null
done
echo "centre-test: $failures start(s) off centre or without a window"
[ "$failures" -eq 0 ]
