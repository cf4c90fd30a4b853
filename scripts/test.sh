#!/usr/bin/env bash
# Installs what is missing, then configures, builds and runs every test
# through CTest in the sanitizer build (address + undefined) and in the
# release build: the results must be the same bits in both.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

presets=(${TESSARY_TEST_PRESETS:-dev release})
status=0
for preset in "${presets[@]}"; do
  echo "== ${preset}: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  echo "== ${preset}: test"
  if ! ctest --preset "$preset"; then status=1; fi
done
exit $status
