#!/usr/bin/env bash
# Installs the AniGif package from an existing build tree into a temporary prefix, builds the
# consumer project (tests/consumer) against it, and runs both programs offscreen; its probe only
# compiles while none of the library's internal headers is reachable. Also checks the pkg-config
# file by compiling the core consumer and the probe with its flags alone.
#   scripts/check-consumer.sh [BUILD_DIR]     (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix

for component in anigif-dev anigif-designer anigif-qml; do
  cmake --install "$build" --prefix "$prefix" --component "$component" >/dev/null
done
echo "check-consumer: installed into a temporary prefix:"
(cd "$prefix" && find . -type f | sort | sed 's/^\.\//  /')
headers=$(find "$prefix/include" -name '*.h' | sort)
echo "check-consumer: $(echo "$headers" | wc -l) headers, $(cat $headers | wc -l) lines"

cmake -S "$root/tests/consumer" -B "$tmp/consumer" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$tmp/consumer" >/dev/null
"$tmp/consumer/core_consumer"
QT_QPA_PLATFORM=offscreen "$tmp/consumer/widget_consumer" "$root/tests/gif_widget/counted.gif"
QT_QPA_PLATFORM=offscreen "$tmp/consumer/quick_consumer" "$root/tests/gif_widget/counted.gif"
# `qml` itself imports the module from the prefix's qml folder.
qml_dir=$(dirname "$(find "$prefix" -name qmldir -path '*/AniGif/*')")
cat >"$tmp/play.qml" <<QML
import QtQuick
import AniGif
AniGifImage {
    source: "file://$root/tests/gif_widget/counted.gif"
    Component.onCompleted: { console.info("AniGif status", status, "frames", frameCount); Qt.exit(status === AniGifImage.Ready ? 0 : 1) }
}
QML
QT_QPA_PLATFORM=offscreen QT_QUICK_BACKEND=software QML_IMPORT_PATH=$(dirname "$qml_dir") \
  "$(qmake6 -query QT_INSTALL_BINS)/qml" "$tmp/play.qml"

pc_dir=$(dirname "$(find "$prefix" -name anigif.pc)")
flags=$(PKG_CONFIG_PATH=$pc_dir pkg-config --cflags --libs anigif)
c++ -std=c++20 "$root/tests/consumer/core_consumer.cpp" -o "$tmp/core_pc" $flags
"$tmp/core_pc" >/dev/null
c++ -std=c++20 -fsyntax-only "$root/tests/consumer/internal_probe.cpp" $(PKG_CONFIG_PATH=$pc_dir pkg-config --cflags anigif)
echo "check-consumer: pkg-config build of the core consumer works; no internal header is reachable"
echo "check-consumer: ok"
