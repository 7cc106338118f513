#!/usr/bin/env bash
# Starts kavrilo N times under each window manager (openbox with its installed default
# configuration, and twm) on a virtual X server and reports, for every start, where the window's
# frame lies against the middle of the screen, and whether the frame moved after it first showed.
# Usage: scripts/centre-test.sh [PROGRAM] [N] [DISPLAY-NUMBER]
# Without a display number the X server picks a free one.
# Exits 1 when any start is more than a pixel off centre, shows no framed window, or (under a
# window manager that announces its frames before mapping, openbox) moves after it showed.
set -uo pipefail
program=${1:-build/bin/kavrilo}
runs=${2:-10}
display=${3:-}
screen_w=1024 screen_h=768
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf 'TitleFont "fixed"\nResizeFont "fixed"\nMenuFont "fixed"\nIconFont "fixed"\nIconManagerFont "fixed"\n' >"$work/twmrc"
mkdir -p "$work/home"  # no ~/.config/openbox: openbox reads its installed rc.xml

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

# "x y outer-width outer-height" of a frame window.
frame_geometry() {
  xwininfo -id "$1" 2>/dev/null | awk '
    /Absolute upper-left X/ { x = $4 } /Absolute upper-left Y/ { y = $4 }
    /Width:/ { w = $2 } /Height:/ { h = $2 } /Border width/ { b = $3 }
    END { print x, y, w + 2 * b, h + 2 * b }'
}

start_display() {
  if [ -n "$display" ]; then
    Xvfb ":$display" -screen 0 ${screen_w}x${screen_h}x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    DISPLAY=:$display
  else
    Xvfb -displayfd 3 -screen 0 ${screen_w}x${screen_h}x24 -nolisten tcp 3>"$work/display" \
      >/dev/null 2>&1 &
    xvfb=$!
    for _ in $(seq 1 50); do [ -s "$work/display" ] && break; sleep 0.1; done
    DISPLAY=:$(head -1 "$work/display")
  fi
  export DISPLAY
  for _ in $(seq 1 50); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.1; done
}

failures=0
for wm in openbox twm; do
  command -v "$wm" >/dev/null || { echo "$wm: not installed"; continue; }
  start_display
  if [ "$wm" = twm ]; then twm -f "$work/twmrc" >/dev/null 2>&1 & wmpid=$!
  else env -u XDG_CONFIG_HOME HOME="$work/home" openbox >/dev/null 2>&1 & wmpid=$!; fi
  sleep 1
  offsets=() moved=0
  for run in $(seq 1 "$runs"); do
    # The root window's substructure events show every move of the frame, however quick.
    xev -root -event substructure >"$work/events" 2>/dev/null & xev=$!
    sleep 0.2
    TMPDIR=$work QT_QPA_PLATFORM=xcb "$program" 2>/dev/null & pid=$!
    result="no window"
    for _ in $(seq 1 200); do
      id=$(xwininfo -root -tree 2>/dev/null | awk '/"Kavrilo - Morvane"/ { print $1; exit }')
      frame=${id:+$(frame_of "$id")}
      if [ -n "${frame:-}" ] && [ "$frame" != "$id" ] &&
         xwininfo -id "$frame" 2>/dev/null | grep -q 'Map State: IsViewable'; then
        sleep 1  # anything that would move it again has happened by now
        frame=$(frame_of "$id")
        read -r x y w h < <(frame_geometry "$frame")
        result="$(( x + w / 2 - screen_w / 2 )),$(( y + h / 2 - screen_h / 2 ))"
        break
      fi
      sleep 0.02
    done
    kill "$xev" 2>/dev/null; wait "$xev" 2>/dev/null
    kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
    # Moves of the frame after it was mapped: a visible jump.
    jumps=$(awk -v client="${id:-none}" '
      BEGIN { RS = "" }
      { gsub(/\n/, " ") }
      $1 == "ReparentNotify" && match($0, "window " client ", parent 0x[0-9a-f]+") {
        split(substr($0, RSTART, RLENGTH), part, " "); frame = part[4] }
      $1 == "ConfigureNotify" && frame != "" && index($0, "window " frame ", (") {
        match($0, /\(-?[0-9]+,-?[0-9]+\)/); pos = substr($0, RSTART, RLENGTH)
        if (mapped && pos != shown) moves++
        at = pos }
      $1 == "MapNotify" && frame != "" && index($0, "window " frame ",") && !mapped {
        mapped = 1; shown = at }
      END { print moves + 0 }' "$work/events")
    if [ "$jumps" -gt 0 ]; then
      moved=$((moved + 1)) result="$result(moved)"
      [ "$wm" = openbox ] && failures=$((failures + 1))
    fi
    offsets+=("$result")
    case $result in
      "no window") failures=$((failures + 1)) ;;
      *) dx=${result%%,*} dy=${result#*,} dy=${dy%%(*}
         { [ ${dx#-} -le 1 ] && [ ${dy#-} -le 1 ]; } || failures=$((failures + 1)) ;;
    esac
  done
  echo "$wm: $runs starts, $moved moved after showing; frame centre off the screen centre by" \
       "(dx,dy): ${offsets[*]}"
  kill "$wmpid" 2>/dev/null; wait "$wmpid" 2>/dev/null
  kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null
  rm -f "$work/display"
done
echo "centre-test: $failures start(s) off centre, moved or without a window"
[ "$failures" -eq 0 ]
