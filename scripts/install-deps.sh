#!/usr/bin/env bash
# Installs the Debian 12 packages the suite builds and tests with.
# Idempotent: when every package is already present it returns at once.
set -euo pipefail

packages=(
  g++ cmake pkg-config ninja-build
  qt6-base-dev qt6-tools-dev libqt6opengl6-dev libqt6svg6 libsdl2-dev
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev
  libopencv-dev libepoxy-dev libegl-dev libegl-mesa0 libgl1-mesa-dri libx11-dev libxcb1-dev libxtst-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  xvfb xauth xdotool x11-utils imagemagick ffmpeg xdg-user-dirs dpkg-dev clang-format clang-tidy
  python3-gi gir1.2-gstreamer-1.0 gir1.2-gst-plugins-base-1.0 gir1.2-gst-rtsp-server-1.0
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
