#!/usr/bin/env bash
# Builds Zelvista without sanitizers, installs the peers (f3d, osgviewer) when missing and runs
# the side-by-side comparison of the time to the first frame (benchmarks/compare.py) under a
# private X server. Usage: scripts/benchmark-compare.sh [BUILD_DIR] [compare.py arguments]
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build-bench}
shift || true

# Only the comparison needs them; the test suite does not.
missing=()
for package in f3d openscenegraph xvfb xauth; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" \
    || missing+=("$package")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
fi

scripts/setup.sh "$build_dir" -DCMAKE_BUILD_TYPE=Release -DZELVISTA_SANITIZE=OFF \
  -DZELVISTA_STRICT=OFF -DZELVISTA_BUILD_BENCHMARKS=ON
exec xvfb-run -a -s "-screen 0 1280x1024x24" python3 benchmarks/compare.py --build "$build_dir" "$@"
