#!/usr/bin/env bash
# Installs what is missing, then configures, builds and runs every test
# through CTest in the sanitizer build (address + undefined) and in the
# release build (the results must be the same bits in both), then in the
# Windows builds (64-bit and 32-bit x86, mingw-w64) under Wine, headless.
# Before that it runs each fuzz target for a bounded time
# (TESSARY_FUZZ_SECONDS, default 60; 0 skips).
#
# TESSARY_TEST_PRESETS and TESSARY_WINDOWS_PRESETS choose the builds ("none"
# for none of them).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

presets=(${TESSARY_TEST_PRESETS:-dev release})
windows_presets=(${TESSARY_WINDOWS_PRESETS:-windows-x86 windows-x64})
status=0

fuzz_seconds="${TESSARY_FUZZ_SECONDS:-60}"
if [ "$fuzz_seconds" != "0" ]; then
  if ! bash scripts/fuzz.sh "$fuzz_seconds"; then status=1; fi
fi

if [ "${presets[*]}" = "none" ]; then presets=(); fi
for preset in "${presets[@]}"; do
  echo "== ${preset}: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  echo "== ${preset}: test"
  if ! ctest --preset "$preset"; then status=1; fi
done

if [ "${windows_presets[*]}" != "none" ]; then
  source scripts/wine-env.sh
  trap wine_stop EXIT
  wine_prepare
  wine_start
  for preset in "${windows_presets[@]}"; do
    start=$SECONDS
    echo "== ${preset}: configure and build"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    if [ "$preset" = windows-x86 ] && ! wine_runs_32bit; then
      # Wine runs 32-bit Windows programs in a 32-bit Linux process.
      echo "== ${preset}: built; its tests cannot run here: this machine's kernel does not run 32-bit programs"
      continue
    fi
    echo "== ${preset}: test under Wine"
    if ! ctest --preset "$preset"; then status=1; fi
    echo "== ${preset}: $((SECONDS - start)) s"
  done
fi
exit $status
