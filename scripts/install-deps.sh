#!/usr/bin/env bash
# Installs what building, running and testing Kavrilo needs on Debian 12.
# Idempotent: when every package is already present it does nothing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins qt6-translations-l10n
  libgif-dev libpng-dev nlohmann-json3-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang libfuzzer-14-dev libclang-rt-14-dev
  fonts-wqy-zenhei fonts-noto-cjk
  xvfb xauth x11-apps x11-utils libx11-dev imagemagick
  libtbb-dev libhwy-dev
  qt6-tools-dev qt6-tools-dev-tools libqt6opengl6-dev
  dpkg-dev fakeroot file desktop-file-utils appstream twm xfonts-base
  openbox lintian help2man clang-format clang-tidy
  qt6-declarative-dev qt6-declarative-dev-tools qml-qt6 qml6-module-qtquick
  qml6-module-qtquick-window qml6-module-qtquick-controls qml6-module-qtquick-layouts
  qml6-module-qtquick-templates qml6-module-qtqml-workerscript qml6-module-qttest
  qt6-l10n-tools
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends "${missing[@]}"
