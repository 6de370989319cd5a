#!/usr/bin/env bash
# Collects every ratio and target that the benchmarks printed into one table.
#   bench/summary.sh bench.log
set -euo pipefail
printf '\n%-48s %-10s %-14s %s\n' "summary" "figure" "target" "verdict"
grep -E '\(target [^)]*: (met|MISSED)' "$1" | sed -E 's/^ratio //' |
  awk '{
    what = $0; sub(/:.*/, "", what)
    figure = $0; sub(/^[^:]*: */, "", figure); sub(/ .*/, "", figure)
    if ($0 ~ /difference -?[0-9]+ KiB/) {
      figure = $0; sub(/.*difference /, "", figure); sub(/ KiB.*/, "", figure); figure = figure " KiB"
    }
    target = $0; sub(/.*\(target /, "", target); verdict = target
    sub(/:.*/, "", target); sub(/^[^:]*: */, "", verdict); sub(/[;)].*/, "", verdict)
    printf "%-48s %-10s %-14s %s\n", what, figure, target, verdict
  }'
