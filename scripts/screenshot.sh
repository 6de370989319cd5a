#!/usr/bin/env bash
# Makes the pictures of the README and of the manual from the real program on a private Xvfb:
# docs/main-window.png: a remembered source file, a start position and a length typed in, the
# pointer over the Copy button (its hint shows); docs/hex-viewer.png: the hex viewer on the same
# file with a search hit and a start and a finish picked by double clicks on the bytes;
# docs/about-box.png: the About box opened from the menu; docs/settings-window.png: the Settings
# command, a preferred source folder, the pointer over the Form Colour button;
# docs/folder-chooser.png: the folder chooser of that preferred folder with a new folder's name
# typed in. Each picture is also copied, with fewer colours, into resources/help/ for the
# manual (HELP_DIR= to put those elsewhere, HELP_DIR=none to leave them out).
#
#   scripts/screenshot.sh [main.png [hex.png [about.png [settings.png [chooser.png]]]]]
#   KESTRINE=/path/to/kestrine
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
exe=${KESTRINE:-$here/build/kestrine}
out=${1:-$here/docs/main-window.png}
hex_out=${2:-$(dirname "$out")/hex-viewer.png}
about_out=${3:-$(dirname "$out")/about-box.png}
settings_out=${4:-$(dirname "$out")/settings-window.png}
chooser_out=${5:-$(dirname "$out")/folder-chooser.png}
help_dir=${HELP_DIR:-$here/resources/help}
[ -x "$exe" ] || { echo "no executable at $exe (build first, or set KESTRINE)" >&2; exit 2; }
for tool in Xvfb xdotool import convert; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/install-deps.sh)" >&2; exit 2; }
done

# shellcheck source=scripts/xvfb.sh
source "$here/scripts/xvfb.sh"
# /var/tmp rather than /tmp: the folder chooser's picture shows the folders around the demo's,
# and /var/tmp holds few.
work=$(mktemp -d "${SHOTS_DIR:-/var/tmp}/kestrine-demo.XXXXXX")
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
xdotool mousemove --window "$viewer" 440 378 click 1 # Text Search
xdotool type --delay 20 "exact"
xdotool mousemove --window "$viewer" 539 379 click 1 # Search: the hit is marked silver
sleep 0.3
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
# The folder chooser of the preferred source folder, a new folder's name typed in.
mkdir -p "$work/images/parts"
cp "$work/disk.img" "$work/images/disk.img"
printf x >"$work/images/notes.txt"
xdotool mousemove --window "$sid" 200 266 click 1 # the path field
xdotool key End shift+Home BackSpace
xdotool type --delay 10 "$work/images"
[ -n "${DEBUG_SHOTS:-}" ] && import -window "$sid" /tmp/kestrine-settings-typed.png
xdotool mousemove --window "$sid" 419 267 click 1 # its folder button
chooser=$(timeout 20 xdotool search --sync --onlyvisible --name '^Select Directory$' | head -n 1)
[ -n "$chooser" ] || { echo "the folder chooser did not appear" >&2; exit 1; }
sleep 1.5 # the folder tree is read in the background
xdotool windowfocus --sync "$chooser" key End
xdotool type --delay 20 "/new-part"
sleep 0.3
import -window "$chooser" "$chooser_out"
echo "wrote $chooser_out"
xdotool windowfocus --sync "$chooser" key Escape
sleep 0.3

xdotool mousemove --window "$sid" 398 374 click 1 # Exit of the settings window
sleep 0.3

xdotool mousemove --window "$id" 401 $((menu + 220)) click 1 # Exit
wait "$app_pid" || true
app_pid=""

# The manual's copies: a palette of 256 colours keeps the help file small.
if [ "$help_dir" != none ]; then
  for picture in "$out" "$hex_out" "$about_out" "$settings_out" "$chooser_out"; do
    convert "$picture" -strip -colors 256 "PNG8:$help_dir/$(basename "$picture")"
    echo "wrote $help_dir/$(basename "$picture")"
  done
fi
