#!/usr/bin/env bash
# Checks the Debian packages written by `make package` into build/packages/ (or the folder given):
# what the packages hold, their computed dependencies, the desktop entry and the AppStream
# metadata; then unpacks the kavrilo package into a temporary root and starts the unpacked
# usr/bin/kavrilo in a virtual X server until its main window shows with its pictures.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build/packages}

fail() {
  echo "check-package: $*" >&2
  exit 1
}

shopt -s nullglob
debs=("$dir"/kavrilo_*.deb)
tools=("$dir"/anigif-tools_*.deb)
[ ${#debs[@]} -eq 1 ] || fail "expected one kavrilo_*.deb in $dir (run make package)"
[ ${#tools[@]} -eq 1 ] || fail "expected one anigif-tools_*.deb in $dir"
deb=${debs[0]}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
dpkg-deb -x "$deb" "$root"

# lintian on every package: any error or warning fails the check (informational tags are shown).
if command -v lintian >/dev/null; then
  all_debs=("$dir"/*.deb)
  lintian_out=$(lintian --info --display-info "${all_debs[@]}" 2>&1 || true)
  [ -z "$lintian_out" ] || printf '%s\n' "$lintian_out"
  if grep -qE '^[EW]: ' <<<"$lintian_out"; then
    fail "lintian reports errors or warnings"
  fi
  echo "lintian: ${#all_debs[@]} packages, $(grep -cE '^I: ' <<<"$lintian_out" || true) informational tags"
else
  fail "lintian is not installed"
fi

for f in usr/bin/kavrilo usr/share/kavrilo/pic/bj3.jpg usr/share/kavrilo/pic/bj3@2x.jpg \
         usr/share/kavrilo/pic/b1.gif usr/share/kavrilo/pic/fj.html \
         usr/share/kavrilo/pic/guide.html usr/share/man/man1/kavrilo.1.gz \
         usr/share/doc/kavrilo/copyright usr/share/doc/kavrilo/changelog.Debian.gz \
         usr/share/applications/kavrilo.desktop \
         usr/share/metainfo/org.example.kavrilo.metainfo.xml \
         usr/share/icons/hicolor/48x48/apps/kavrilo.png \
         usr/share/icons/hicolor/128x128/apps/kavrilo.png \
         usr/share/icons/hicolor/256x256/apps/kavrilo.png \
         usr/share/icons/hicolor/scalable/apps/kavrilo.svg; do
  [ -e "$root/$f" ] || fail "$(basename "$deb") lacks /$f"
done
tool_files=$(dpkg-deb -c "${tools[0]}")
for f in anigif-view anigif-render anigif-design; do
  grep -q "/usr/bin/$f\$" <<<"$tool_files" || fail "$(basename "${tools[0]}") lacks /usr/bin/$f"
  grep -q "/usr/share/man/man1/$f.1.gz\$" <<<"$tool_files" || fail "$(basename "${tools[0]}") lacks the manual page of $f"
done
grep -q "/usr/share/applications/anigif-view.desktop\$" <<<"$tool_files" || fail "$(basename "${tools[0]}") lacks the viewer's desktop entry"
# Chinese text needs a Chinese font: one of the faces the windows ask for is a dependency.
[[ $(dpkg-deb -f "$deb" Depends) == *"fonts-wqy-zenhei | fonts-noto-cjk"* ]] || fail "kavrilo does not depend on a Chinese font"

# Dependencies are computed from the binaries: the Qt libraries must be among them.
for pkg in "$deb" "${tools[0]}"; do
  depends=$(dpkg-deb -f "$pkg" Depends)
  echo "$(basename "$pkg"): $(du -k "$pkg" | cut -f1) KiB; Depends: $depends"
  case "$depends" in
    *libc6*) ;;
    *) fail "$(basename "$pkg") has no computed Depends" ;;
  esac
done
[[ $(dpkg-deb -f "$deb" Depends) == *libqt6widgets6* ]] || fail "kavrilo does not depend on Qt Widgets"

desktop-file-validate "$root/usr/share/applications/kavrilo.desktop"
dpkg-deb --fsys-tarfile "${tools[0]}" | tar -xO ./usr/share/applications/anigif-view.desktop >"$work/anigif-view.desktop"
desktop-file-validate "$work/anigif-view.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.example.kavrilo.metainfo.xml"

# Start the unpacked program (its own lock folder, so a running copy elsewhere cannot stop it)
# and wait for its main window. With its pictures it shows some ten thousand colours; without
# them (text and decoration only) under a thousand.
export TMPDIR=$work
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  set -u
  QT_QPA_PLATFORM=xcb "$1" & pid=$!
  shown=""
  for _ in $(seq 1 150); do
    if ! kill -0 "$pid" 2>/dev/null; then break; fi
    id=$(xwininfo -root -tree 2>/dev/null | awk "/\"Kavrilo - Morvane\"/ { print \$1; exit }")
    if [ -n "$id" ] && xwininfo -id "$id" | grep -q IsViewable; then shown=$id; break; fi
    sleep 0.1
  done
  status=0
  if [ -z "$shown" ]; then
    echo "check-package: the unpacked kavrilo showed no main window" >&2
    status=1
  else
    sleep 1  # let the first paint land
    import -window "$shown" "$2/main.png"
    colours=$(identify -format %k "$2/main.png")
    echo "main window shown (window $shown, $colours colours)"
    if [ "$colours" -lt 3000 ]; then
      echo "check-package: the main window shows no pictures ($colours colours)" >&2
      status=1
    fi
  fi
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  exit $status
' _ "$root/usr/bin/kavrilo" "$work"

# Under window managers that frame windows (openbox with its installed configuration, and twm),
# the unpacked program's main window must open with its frame in the middle of the screen, every
# start; a few starts under each.
if ! bash "$(dirname "$0")/centre-test.sh" "$root/usr/bin/kavrilo" 3; then
  echo "check-package: the framed main window is not centred on every start" >&2
  exit 1
fi
echo "check-package: $(basename "$deb") and $(basename "${tools[0]}") are fine"
