#!/usr/bin/env bash
# Times a copy through the real main window (offscreen, its event pump after every chunk)
# against the command-line copy of the same range, both in the same run, on one file of random
# bytes in the page cache. The range is the one bench/copy.sh copies. The window's figure is the
# copy itself, from the press of Copy to its end, as the driver measures it: the window's start
# (Qt, fonts, the window) is paid once per session, not per copy. The command line's figure is
# its whole process, start included; its start is a few milliseconds (bench/startup.sh). The
# whole-process ratio is printed too.
#
#   bench/window-copy.sh [MiB]        (default 512)
#   BUILD=/path/to/build RUNS=9 bench/window-copy.sh 64
#
# Target: window / command line, the median of the per-round ratios, <= 1.05.
set -euo pipefail

mib=${1:-512}
runs=${RUNS:-9}
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$here/build}
kestrine=$build/kestrine
window=$build/kestrine-window-copy

[[ $mib =~ ^[0-9]+$ ]] && ((mib >= 1)) || { echo "usage: $0 [MiB >= 1]" >&2; exit 2; }
for exe in "$kestrine" "$window"; do
  [ -x "$exe" ] || { echo "no executable at $exe (build first, or set BUILD)" >&2; exit 2; }
done

# shellcheck source=bench/lib.sh
source "$here/bench/lib.sh"
# The faster of two runs back to back, for the reason bench/copy.sh gives.
best_of=2
make_workspace kestrine-window-bench

run_cli() { "$kestrine" src.bin out.bin "${start}d" "${length}d" >/dev/null; }
# Each run adds the copy's nanoseconds, as the driver measured them, to copy-ns.txt.
run_window() { QT_QPA_PLATFORM=offscreen "$window" "$work/src.bin" "$work/out.bin" "$start" "$length" 2>/dev/null >>copy-ns.txt; }

# Both write the same bytes: the range of the source.
run_window
mv out.bin window.out
run_cli
[ "$(stat -c %s window.out)" -eq "$count" ] || { echo "the window copy wrote the wrong size" >&2; exit 1; }
cmp window.out out.bin || { echo "the window copy differs from the command-line copy" >&2; exit 1; }
rm -f window.out out.bin
echo "Output checked with cmp: $count bytes from position $start, window and command line alike."

rm -f copy-ns.txt
time_tools cli window
# The copies of the timed rounds, without the warm-up's, the faster of each two.
times[copy]=$(tail -n +$((best_of + 1)) copy-ns.txt |
  awk -v n="$best_of" '{ m = (NR % n == 1 || n == 1 || $1 < m) ? $1 : m } NR % n == 0 { print m }' |
  tr '\n' ' ')
# shellcheck disable=SC2086 # the list is meant to split
med[copy]=$(median ${times[copy]})
# shellcheck disable=SC2086
best[copy]=$(printf '%s\n' ${times[copy]} | sort -n | head -n 1)
printf '\n%-34s %10s   %s\n' "copy ($runs runs, $mib MiB file)" "median s" "all runs (s)"
report_row "kestrine command line" cli
report_row "kestrine window, the copy" copy
report_row "kestrine window, whole process" window
printf '\nwhole processes, window / command line: %s\n' \
  "$(thousandths $((med[window] * 1000 / (med[cli] > 0 ? med[cli] : 1))))"
report_ratio "window copy / command line" copy cli 1050 window-copy-vs-command-line
