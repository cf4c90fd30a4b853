#!/usr/bin/env bash
# Runs engine_bench's per-sample and span walks in one process and prints,
# side by side, the median ns per layer per sample of each pair and the ratio
# per-sample / span. Usage (repetitions >= 2):
#   bench/span_vs_sample.sh ENGINE_BENCH [repetitions] [min_time]
set -euo pipefail
bench="$1"
reps="${2:-3}"
min_time="${3:-0.2}"
filter='BM_(ColorWalk|SpanWalk)(Flat|MapsAndMasks|Gamma|ModeFlat|ModeMaps)/|BM_Bump(Span)?Walk/8$'

"$bench" --benchmark_filter="$filter" --benchmark_repetitions="$reps" --benchmark_min_time="$min_time" \
  --benchmark_report_aggregates_only=true --benchmark_format=json 2>/dev/null |
  awk -F'"' '
    $2 == "name" { name = $4 }
    $2 == "per_layer" && name ~ /_median$/ {
      v = $3; gsub(/[ :,]/, "", v); sub(/_median$/, "", name); ns[name] = v * 1e9; order[++n] = name
    }
    END {
      printf "%-30s %9s %9s %7s\n", "per-sample case", "sample", "span", "ratio"
      for (i = 1; i <= n; ++i) {
        p = order[i]
        # The span case of the same stack: per-mode cases pair by name, the
        # others with spans of 64 samples.
        s = p
        if (s ~ /^BM_BumpWalk/) sub(/BM_BumpWalk/, "BM_BumpSpanWalk", s)
        else if (s ~ /^BM_ColorWalk/) sub(/BM_ColorWalk/, "BM_SpanWalk", s)
        else continue
        if (s ~ /^BM_SpanWalk(Flat|MapsAndMasks)\//) s = s "/64"
        if (s in ns) printf "%-30s %9.2f %9.2f %7.2f\n", p, ns[p], ns[s], ns[p] / ns[s]
      }
      printf "\n%-30s %9s\n", "span case", "ns"
      for (i = 1; i <= n; ++i) if (order[i] ~ /Span/) printf "%-30s %9.2f\n", order[i], ns[order[i]]
    }'
