#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build/fuzz, writes their seed
# corpora with the project's own writer, and runs each target for a bounded
# time. Fails when a target finds a crash, a leak, a sanitizer report or a
# broken round trip.
#
#   scripts/fuzz.sh [seconds per target]      (default 60, or $TESSARY_FUZZ_SECONDS)
#
# Inputs that made a target fail are kept in build/fuzz/artifacts/. Longer
# runs and reproducing a failure: docs/fuzzing.md.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-${TESSARY_FUZZ_SECONDS:-60}}"
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
  echo "fuzz.sh: the run time must be a whole number of seconds, got '$seconds'" >&2
  exit 2
fi
build=build/fuzz

for tool in clang clang++ cmake ninja; do
  if ! command -v "$tool" >/dev/null; then
    echo "fuzz.sh: $tool is missing (scripts/setup.sh installs it)" >&2
    exit 1
  fi
done

echo "== configure $build (clang, address + undefined + fuzzer instrumentation)"
cmake -S . -B "$build" -G Ninja \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_FLAGS=-fsanitize=fuzzer-no-link -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link \
  -DTESSARY_SANITIZE=address,undefined \
  -DTESSARY_BUILD_FUZZ=ON -DTESSARY_BUILD_TESTS=OFF -DTESSARY_BUILD_BENCH=OFF \
  -DTESSARY_BUILD_APP=OFF >/dev/null
echo "== build"
cmake --build "$build" -j2

echo "== seeds"
seeds="$build/seeds"
rm -rf "$seeds"
"$build/bin/make_seeds" "$seeds"

mkdir -p "$build/artifacts"
status=0
mapfile -t targets < "$build/fuzz_targets.txt"
for needsMap in map_load_fuzz tsy_fuzz; do
  if [[ " ${targets[*]} " != *" $needsMap "* ]]; then
    echo "== $needsMap: not built (no plug-in module target yet), skipped"
  fi
done
for target in "${targets[@]}"; do
  exe="$build/bin/$target"
  case "$target" in
    scene_fuzz) seed_dir="$seeds/scene" ;;
    map_load_fuzz) seed_dir="$seeds/map" ;;
    tsy_fuzz) seed_dir="$seeds/tsy" ;;
    scene_json_fuzz) seed_dir="$seeds/json" ;;
  esac
  extra=()
  if [ -f "fuzz/$target.dict" ]; then extra+=(-dict="fuzz/$target.dict"); fi
  # New inputs go to the target's working corpus; the seeds stay as written.
  # A fresh working corpus starts from the one the long campaign grew
  # (fuzz/corpus/<target>.tar.xz), so short runs begin where it stopped.
  corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  if [ -f "fuzz/corpus/$target.tar.xz" ] && [ -z "$(ls -A "$corpus")" ]; then
    tar -xJf "fuzz/corpus/$target.tar.xz" -C "$corpus"
  fi
  # Inputs that once failed (fuzz/findings/<target>-*) run first: a mended
  # fault stays mended.
  for finding in fuzz/findings/"$target"-*; do
    [ -f "$finding" ] || continue
    if ! "$exe" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=1024 "$finding" > "$build/artifacts/replay.log" 2>&1; then
      tail -n 30 "$build/artifacts/replay.log" >&2
      echo "== $target: FAILED on the kept finding $finding" >&2
      status=1
    fi
  done
  echo "== $target: ${seconds}s"
  if ! "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=1024 \
      -max_len=65536 -print_final_stats=1 "${extra[@]}" \
      -artifact_prefix="$build/artifacts/$target-" "$corpus" "$seed_dir"; then
    echo "== $target: FAILED (input kept in $build/artifacts/)" >&2
    status=1
  fi
done
exit $status
