#!/usr/bin/env bash
# Collects every ratio and target that the benchmarks printed into one table: the RESULT lines
# ("RESULT <name> <figure> <target> met|MISSED", the figure at most the target to be met), and
# the lines that still say "(target ...: met)" in words.
#   bench/summary.sh bench.log
set -euo pipefail
printf '\n%-48s %-10s %-14s %s\n' "summary" "figure" "target" "verdict"
awk '$1 == "RESULT" && NF == 5 { printf "%-48s %-10s %-14s %s\n", $2, $3, $4, $5 }' "$1"
{ grep -E '\(target [^)]*: (met|MISSED)' "$1" || true; } | sed -E 's/^ratio //' |
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
