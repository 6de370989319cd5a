#!/usr/bin/env bash
# Makes docs/main-window.png from the real program on a private Xvfb: a remembered source file,
# a start position and a length typed in, the pointer over the Copy button (its hint shows).
# Then docs/about-box.png: the About box opened from the menu.
#
#   scripts/screenshot.sh [output.png [about.png]]   KESTRINE=/path/to/kestrine to pick the build
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
exe=${KESTRINE:-$here/build/kestrine}
out=${1:-$here/docs/main-window.png}
about_out=${2:-$here/docs/about-box.png}
[ -x "$exe" ] || { echo "no executable at $exe (build first, or set KESTRINE)" >&2; exit 2; }
for tool in Xvfb xdotool import; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/install-deps.sh)" >&2; exit 2; }
done

# shellcheck source=scripts/xvfb.sh
source "$here/scripts/xvfb.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/kestrine-demo.XXXXXX")
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  stop_xvfb
  rm -rf "$work"
}
trap cleanup EXIT

start_xvfb 1024x768x24
export DISPLAY=$display

# The program keeps Kestrine.ini beside itself, so it runs from the demo folder.
cp "$exe" "$work/kestrine"
head -c 1536 /dev/urandom >"$work/disk.img"
printf '[Kestrine]\nTop=0\nLeft=0\nSaveLastSourceFile=%s\nSaveLastDestFile=%s\n' \
  "$work/disk.img" "$work/disk2.img" >"$work/Kestrine.ini"
(cd "$work" && exec ./kestrine) >/dev/null 2>&1 &
app_pid=$!

id=$(timeout 20 xdotool search --sync --onlyvisible --name '^Kestrine$' | head -n 1)
[ -n "$id" ] || { echo "the window did not appear" >&2; exit 1; }
height=$(xdotool getwindowgeometry "$id" | sed -n 's/.*Geometry: [0-9]*x\([0-9]*\).*/\1/p')
menu=$((height - 398)) # the client area is 398 pixels high, the menu bar above it

type_into() { # x y text: replace the "0" of a number field
  xdotool mousemove --window "$id" "$1" $((menu + $2)) click 1
  xdotool key End BackSpace
  xdotool type --delay 20 "$3"
}
type_into 100 130 512
type_into 287 130 1023
xdotool mousemove --window "$id" 196 $((menu + 220)) # over Copy: its hint in the status bar
sleep 0.5

mkdir -p "$(dirname "$out")"
import -window "$id" "$out"
echo "wrote $out"

xdotool windowfocus --sync "$id" key alt+a # the About command
about=$(timeout 20 xdotool search --sync --onlyvisible --name '^About$' | head -n 1)
[ -n "$about" ] || { echo "the About box did not appear" >&2; exit 1; }
sleep 0.3
import -window "$about" "$about_out"
echo "wrote $about_out"
xdotool windowfocus --sync "$about" key Return

xdotool mousemove --window "$id" 401 $((menu + 220)) click 1 # Exit
wait "$app_pid" || true
app_pid=""
