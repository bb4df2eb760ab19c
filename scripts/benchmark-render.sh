#!/usr/bin/env bash
# Builds Zelvista without sanitizers and runs the rendering benchmark under a private X server.
# Usage: scripts/benchmark-render.sh [BUILD_DIR] [FRAMES]
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build-benchmark}
shift || true
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DZELVISTA_SANITIZE=OFF \
  -DZELVISTA_BUILD_BENCHMARKS=ON >/dev/null
cmake --build "$build_dir" -j"$(nproc)" --target RenderBenchmark ColorMappingBenchmark
xvfb-run -a -s "-screen 0 1280x1024x24" "$build_dir/benchmarks/RenderBenchmark" "$@"
# COLOR_MAPPING next to FORWARD, the exports and the point stream.
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$build_dir/benchmarks/ColorMappingBenchmark"
