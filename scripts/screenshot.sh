#!/usr/bin/env bash
# Makes docs/main-window.png from the real program on a private Xvfb: a remembered source file,
# a start position and a length typed in, the pointer over the Copy button (its hint shows).
# Then docs/hex-viewer.png: the hex viewer on the same file with a start and a finish picked by
# double clicks on the bytes; then docs/about-box.png: the About box opened from the menu; then
# docs/settings-window.png: the Settings command, a preferred source folder, the pointer over
# the Form Colour button.
#
#   scripts/screenshot.sh [main.png [hex.png [about.png [settings.png]]]]   KESTRINE=/path/to/kestrine
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
exe=${KESTRINE:-$here/build/kestrine}
out=${1:-$here/docs/main-window.png}
hex_out=${2:-$(dirname "$out")/hex-viewer.png}
about_out=${3:-$(dirname "$out")/about-box.png}
settings_out=${4:-$(dirname "$out")/settings-window.png}
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
cp "$(dirname "$exe")/libkestrine-windows.so" "$work/"
# Some binary bytes, then text, so the viewer's text column has something to show.
text=""
while [ ${#text} -lt 1472 ]; do
  text+='Kestrine copies an exact run of bytes out of a file into a new file. '
done
{
  head -c 64 /dev/urandom
  printf '%s' "${text:0:1472}"
} >"$work/disk.img"
printf '[Kestrine]\nTop=0\nLeft=0\nSaveLastSourceFile=%s\nSaveLastDestFile=%s\n' \
  "$work/disk.img" "$work/disk2.img" >"$work/Kestrine.ini"
printf 'PrefSourcePathSwitch=1\nPrefSourcePath=%s\n' /home/alex/disk-images >>"$work/Kestrine.ini"
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

# The hex viewer, from its button beside the position fields.
xdotool mousemove --window "$id" 413 $((menu + 156)) click 1
viewer=$(timeout 20 xdotool search --sync --onlyvisible --name '^Hex File Viewer$' | head -n 1)
[ -n "$viewer" ] || { echo "the hex viewer did not appear" >&2; exit 1; }
cell() { # column row: the middle of a byte cell of the grid
  echo $((3 + 1 + 77 + ($1 - 1) * 26 + 12)) $((16 + 1 + $2 * 18 + 8))
}
xdotool mousemove --window "$viewer" 115 353 click 1 # Clear Start
xdotool mousemove --window "$viewer" 315 353 click 1 # Clear Finish
# shellcheck disable=SC2046
xdotool mousemove --window "$viewer" $(cell 5 3) click --repeat 2 --delay 60 1
# shellcheck disable=SC2046
xdotool mousemove --window "$viewer" $(cell 12 11) click --repeat 2 --delay 60 1
xdotool mousemove --window "$viewer" 612 352 # over Accept: its hint in the status bar
sleep 0.5
import -window "$viewer" "$hex_out"
echo "wrote $hex_out"
xdotool mousemove --window "$viewer" 612 381 click 1 # Close
sleep 0.3

xdotool windowfocus --sync "$id" key alt+a # the About command
about=$(timeout 20 xdotool search --sync --onlyvisible --name '^About$' | head -n 1)
[ -n "$about" ] || { echo "the About box did not appear" >&2; exit 1; }
sleep 0.3
import -window "$about" "$about_out"
echo "wrote $about_out"
xdotool windowfocus --sync "$about" key Return
sleep 0.3

xdotool mousemove --window "$id" 60 $((menu / 2)) click 1 # the Settings command
sid=$(timeout 20 xdotool search --sync --onlyvisible --name '^Settings$' | head -n 1)
[ -n "$sid" ] || { echo "the settings window did not appear" >&2; exit 1; }
xdotool mousemove --window "$sid" 397 180 # over Form Colour: its hint in the status bar
sleep 0.5
import -window "$sid" "$settings_out"
echo "wrote $settings_out"
xdotool mousemove --window "$sid" 398 374 click 1 # Exit of the settings window
sleep 0.3

xdotool mousemove --window "$id" 401 $((menu + 220)) click 1 # Exit
wait "$app_pid" || true
app_pid=""
