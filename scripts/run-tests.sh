#!/usr/bin/env bash
# Builds and runs the whole suite: the normal build, then (in CI, or with KESTRINE_ASAN=1) the
# AddressSanitizer + UndefinedBehaviorSanitizer build. Starts its own Xvfb for the tests that
# need a real X server.
set -euo pipefail
cd "$(dirname "$0")/.."

presets=(default)
if [ "${CI:-}" = "true" ]; then presets=(ci asan); fi
if [ "${KESTRINE_ASAN:-}" = "1" ]; then presets+=(asan); fi

xvfb_pid=""
cleanup() { [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true; }
trap cleanup EXIT

# A private X server for the tests labelled "xvfb".
display=":$((90 + RANDOM % 800))"
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do
  [ -e "/tmp/.X11-unix/X${display#:}" ] && break
  sleep 0.1
done
export KESTRINE_TEST_DISPLAY="$display"

status=0
for preset in "${presets[@]}"; do
  echo "== build: $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  echo "== tests: $preset"
  if [ "$preset" = "asan" ]; then
    export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  fi
  ctest --preset "$preset" -j2 || status=1
done
exit $status
