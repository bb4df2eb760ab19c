#!/usr/bin/env bash
# Installs the Debian packages Zelvista needs (only those missing), then configures and builds.
# Usage: scripts/setup.sh BUILD_DIR [extra cmake arguments]
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=$1
shift

packages=(
  cmake make g++ ccache pkg-config python3 dpkg-dev file
  qtbase5-dev libqt5opengl5-dev
  libopenscenegraph-dev openscenegraph
  libboost-program-options-dev libboost-filesystem-dev libboost-serialization-dev
  libboost-system-dev libboost-dev
  googletest libgtest-dev libgmock-dev
  libseccomp-dev
  xvfb xauth libgl1-mesa-dri shared-mime-info
  # The web server plug-in serves Debian's three.js; its browser test runs headless Chromium.
  libjs-three chromium
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" \
    || missing+=("$package")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
fi

cmake -S . -B "$build_dir" "$@" >/dev/null
cmake --build "$build_dir" -j"$(nproc)"
