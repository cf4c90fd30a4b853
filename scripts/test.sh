#!/usr/bin/env bash
# Installs what is missing, then configures, builds and runs every test
# through CTest in the sanitizer build (address + undefined) and in the
# release build (the results must be the same bits in both). Before that it
# runs each fuzz target for a bounded time (TESSARY_FUZZ_SECONDS, default 60;
# 0 skips), so CTest's summary stays the last thing printed.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

presets=(${TESSARY_TEST_PRESETS:-dev release})
status=0

fuzz_seconds="${TESSARY_FUZZ_SECONDS:-60}"
if [ "$fuzz_seconds" != "0" ]; then
  if ! bash scripts/fuzz.sh "$fuzz_seconds"; then status=1; fi
fi

for preset in "${presets[@]}"; do
  echo "== ${preset}: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  echo "== ${preset}: test"
  if ! ctest --preset "$preset"; then status=1; fi
done
exit $status
