#!/usr/bin/env bash
# Installs what is missing, builds the release configuration and renders the
# bundled showcase scene (examples/showcase.json) and the blend-mode contact
# sheet into out/.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release
mkdir -p out
./build/release/bin/tessary render examples/showcase.json -o out/showcase.png --size 1024
./build/release/bin/tessary modes -o out/modes.png
echo "demo: the showcase is in $(pwd)/out/showcase.png, the 34 blend modes in $(pwd)/out/modes.png"
