#!/usr/bin/env bash
# Builds and runs the whole suite: the normal build, then (in CI, or with KESTRINE_ASAN=1) the
# AddressSanitizer + UndefinedBehaviorSanitizer build. Starts its own Xvfb for the tests that
# need a real X server.
set -euo pipefail
cd "$(dirname "$0")/.."

presets=("${PRESET:-default}")
if [ "${CI:-}" = "true" ]; then presets=(ci asan); fi
if [ "${KESTRINE_ASAN:-}" = "1" ]; then presets+=(asan); fi

# A private X server for the tests labelled "xvfb".
# shellcheck source=scripts/xvfb.sh
source scripts/xvfb.sh
trap stop_xvfb EXIT
start_xvfb
export KESTRINE_TEST_DISPLAY="$display"

status=0

# Every C++ file stays in the one format; a file that is not fails the run.
echo "== format"
cpp_files=$(git ls-files '*.cpp' '*.h' 2>/dev/null || find core platform settings ui tests bench main.cpp -name '*.cpp' -o -name '*.h')
# shellcheck disable=SC2086
if ! clang-format --dry-run -Werror $cpp_files; then
  echo "C++ files are not formatted: run scripts/format.sh" >&2
  status=1
fi

for preset in "${presets[@]}"; do
  echo "== build: $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  echo "== tests: $preset"
  if [ "$preset" = "asan" ]; then
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
    export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  fi
  ctest --preset "$preset" -j2 || status=1
done
exit $status
