#!/usr/bin/env bash
# Sets up and builds the test build (sanitizers, warnings as errors) in build-test/, then runs
# every test under a private X server. Arguments go to ctest (for example -L rendering).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZELVISTA_SANITIZE=ON \
  -DZELVISTA_STRICT=ON -DZELVISTA_BUILD_TESTS=ON
cd build-test
# A display number of its own, away from the :99 that other xvfb-run users start at. -noreset:
# by default Xvfb resets whenever its last client leaves, and a test connecting during the
# reset finds no display.
exec xvfb-run -a -n 140 -s "-screen 0 1280x1024x24 -noreset" ctest --output-on-failure -j2 "$@"
