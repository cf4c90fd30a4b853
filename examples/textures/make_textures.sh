#!/usr/bin/env bash
# Renders the bundled textures from the procedural scenes in sources/ with
# the tessary program itself. Usage: make_textures.sh [path/to/tessary]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
tessary="${1:-$here/../../build/release/bin/tessary}"
for scene in "$here"/sources/*.json; do
  name="$(basename "$scene" .json)"
  "$tessary" render "$scene" -o "$here/$name.png" --size 256 --quiet
  echo "made $name.png"
done
