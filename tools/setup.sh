#!/usr/bin/env bash
# Installs the Debian packages Tessivane needs to build, run and test, when missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config python3
  freeglut3-dev libglu1-mesa-dev libgl1-mesa-dev libgl1-mesa-dri libegl-dev libegl-mesa0 libx11-dev
  libgtest-dev libbenchmark-dev zlib1g-dev
  libimgui-dev  # the settings panel's toolkit, and the sources of its GLUT and OpenGL 2 backends
  xvfb xdotool imagemagick
  clang libclang-rt-14-dev
  file  # cpack -G DEB finds the programs among the files it packs with it
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
