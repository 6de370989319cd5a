#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for FUZZ_RUNS inputs (default 1,000,000) on
# one core, starting from its corpus in tests/fuzz/corpus/<target>/. Prints per target the runs
# done, the corpus size and the findings; a finding is left in build-fuzz/findings/<target>/
# (copy it into the target's corpus once fixed, so the replay test keeps it).
# FUZZ_TARGETS="numbers file_types" limits the run to some targets.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${FUZZ_RUNS:-1000000}
build=build-fuzz

cmake --preset fuzz >/dev/null
mapfile -t all < <(grep -v '^$' "$build/fuzz-targets.txt")
targets=(${FUZZ_TARGETS:-${all[@]}})
cmake --build --preset fuzz --target "${targets[@]/#/fuzz_}"

summary=()
status=0
for t in "${targets[@]}"; do
  work="$build/corpus/$t"
  findings="$build/findings/$t"
  mkdir -p "$work" "$findings"
  marker="$build/fuzz-$t.started"
  touch "$marker"
  # Texts of the profile layer may be long: a reading that is not linear shows as a timeout.
  extra=()
  case $t in
    profile_text) extra=(-max_len=65536) ;;
  esac
  echo "== fuzz $t: $runs runs"
  log="$build/fuzz-$t.log"
  set +e
  # In-process, one core; the kept corpus goes to the work folder, the seeds stay as they are.
  "$build/tests/fuzz/fuzz_$t" -runs="$runs" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$findings/" "${extra[@]}" "$work" "tests/fuzz/corpus/$t" >"$log" 2>&1
  rc=$?
  set -e
  done_runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  corpus=$(find "$work" -type f | wc -l)
  found=$(find "$findings" -type f -newer "$marker" | wc -l)
  if [ "$rc" -ne 0 ]; then
    status=1
    grep -E '^(broken property|==[0-9]+==ERROR|SUMMARY)' "$log" | head -5 || true
  fi
  summary+=("$(printf '%-14s runs %9s  corpus %5s  findings %s' "$t" "${done_runs:-?}" "$corpus" "$found")")
done
echo "== fuzz summary"
printf '%s\n' "${summary[@]}"
exit $status
