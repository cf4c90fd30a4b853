#!/usr/bin/env bash
# Runs two engine_bench programs (say, one built from main and one from a
# branch, both with the same bench/engine_bench.cpp) in alternation, so both
# see the same machine, and prints the median CPU time of each case and the
# ratio new/old. Usage:
#   bench/compare_engine_bench.sh OLD NEW [rounds] [filter]
set -euo pipefail
old="$1"
new="$2"
rounds="${3:-5}"
filter="${4:-BM_ColorWalk|BM_BumpWalk|BM_Mode/20\$}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

for ((i = 0; i < rounds; ++i)); do
  for side in old new; do
    "${!side}" --benchmark_filter="$filter" --benchmark_format=json 2>/dev/null |
      awk -F'"' -v side="$side" '$2 == "name" { name = $4 } $2 == "cpu_time" { gsub(/[ :,]/, "", $3); print side, name, $3 }' \
        >> "$work/times"
  done
done

# name -> median of old and of new (ns per iteration), then the ratio.
printf "%-36s %10s %10s %7s\n" "case" "old ns" "new ns" "new/old"
awk '
  { t[$1 " " $2] = t[$1 " " $2] " " $3; names[$2] = 1 }
  function median(list,   v, n, i, j, x) {
    n = split(list, v, " ")
    for (i = 2; i <= n; ++i) { x = v[i]; for (j = i - 1; j >= 1 && v[j] > x; --j) v[j + 1] = v[j]; v[j + 1] = x }
    return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
  }
  END {
    for (n in names) {
      o = median(t["old " n]); w = median(t["new " n])
      printf "%-36s %10.2f %10.2f %7.3f\n", n, o, w, w / o
    }
  }' "$work/times" | sort
