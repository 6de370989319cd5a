#!/usr/bin/env bash
# Runs hex_accessibility.py on a private Xvfb inside a D-Bus session of its own, so that the
# accessibility bus it starts is the test's alone.
#   hex_accessibility.sh <host executable>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
host=$1
# shellcheck source=scripts/xvfb.sh
source "$here/../../scripts/xvfb.sh"
work=$(mktemp -d)
cleanup() { stop_xvfb; rm -rf "$work"; }
trap cleanup EXIT
start_xvfb 1024x768x24
export DISPLAY=$display
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
# The system's Python, which python3-pyatspi installs into (not one that PATH may put first).
dbus-run-session -- /usr/bin/python3 "$here/hex_accessibility.py" "$host" "$work"
