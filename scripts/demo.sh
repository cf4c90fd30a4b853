#!/usr/bin/env bash
# Installs what is missing, builds the release configuration and runs the
# main job: for now the engine benchmark (the layer walks over 1 to 16 layers).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release
./build/release/bin/engine_bench --benchmark_filter='ColorWalk|BumpWalk'
