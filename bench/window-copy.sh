#!/usr/bin/env bash
# Times a copy through the real main window (offscreen, its event pump after every block)
# against the command-line copy of the same range, both in the same run, on one file of random
# bytes in the page cache. The range is the one bench/copy.sh copies.
#
#   bench/window-copy.sh [MiB]        (default 1024)
#   BUILD=/path/to/build RUNS=5 bench/window-copy.sh 64
#
# Target: window / command-line median ratio <= 1.25.
set -euo pipefail

mib=${1:-1024}
runs=${RUNS:-5}
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$here/build}
kestrine=$build/kestrine
window=$build/kestrine-window-copy

[[ $mib =~ ^[0-9]+$ ]] && ((mib >= 1)) || { echo "usage: $0 [MiB >= 1]" >&2; exit 2; }
for exe in "$kestrine" "$window"; do
  [ -x "$exe" ] || { echo "no executable at $exe (build first, or set BUILD)" >&2; exit 2; }
done

size=$((mib * 1024 * 1024))
start=4096
count=$((size - 2 * 4096))
if ((count < 1)); then
  start=0
  count=$size
fi
length=$((count - 1))

work=$(mktemp -d "${TMPDIR:-/tmp}/kestrine-window-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

need_kib=$(((size / 1024) * 3 + 1024))
avail_kib=$(df --output=avail -k . | tail -n 1 | tr -d ' ')
if ((avail_kib < need_kib)); then
  echo "not enough room in $work: need $((need_kib / 1024)) MiB, have $((avail_kib / 1024)) MiB" >&2
  exit 2
fi

echo "Making $mib MiB of random bytes in $work ..."
head -c "$size" /dev/urandom >src.bin

run_cli() { "$kestrine" src.bin out.bin "${start}d" "${length}d" >/dev/null; }
run_window() { QT_QPA_PLATFORM=offscreen "$window" "$work/src.bin" "$work/out.bin" "$start" "$length" 2>/dev/null; }

timed() {
  rm -f out.bin
  sync
  local t0 t1
  t0=$(date +%s%N)
  "$@"
  t1=$(date +%s%N)
  echo $((t1 - t0))
}

median() { printf '%s\n' "$@" | sort -n | sed -n "$((($# + 1) / 2))p"; }
seconds() { printf '%d.%03d' $(($1 / 1000000000)) $((($1 / 1000000) % 1000)); }

# Both write the same bytes: the range of the source.
run_window
mv out.bin window.out
run_cli
[ "$(stat -c %s window.out)" -eq "$count" ] || { echo "the window copy wrote the wrong size" >&2; exit 1; }
cmp window.out out.bin || { echo "the window copy differs from the command-line copy" >&2; exit 1; }
rm -f window.out out.bin
echo "Output checked with cmp: $count bytes from position $start, window and command line alike."

tools=(cli window)
declare -A times
for tool in "${tools[@]}"; do
  timed "run_$tool" >/dev/null # warm-up
  times[$tool]=""
done
for ((i = 0; i < runs; i++)); do
  for ((j = 0; j < ${#tools[@]}; j++)); do
    tool=${tools[(i + j) % ${#tools[@]}]}
    times[$tool]+=" $(timed "run_$tool")"
  done
done
rm -f out.bin

declare -A med
printf '\n%-34s %10s   %s\n' "copy ($runs runs, $mib MiB file)" "median s" "all runs (s)"
for tool in "${tools[@]}"; do
  # shellcheck disable=SC2086 # the list is meant to split
  med[$tool]=$(median ${times[$tool]})
  all=""
  for t in ${times[$tool]}; do all+=" $(seconds "$t")"; done
  case $tool in
    cli) label="kestrine command line" ;;
    window) label="kestrine window (offscreen)" ;;
  esac
  printf '%-34s %10s  %s\n' "$label" "$(seconds "${med[$tool]}")" "$all"
done

ratio_milli=$((med[window] * 1000 / (med[cli] > 0 ? med[cli] : 1)))
verdict=$( ((ratio_milli <= 1250)) && echo met || echo MISSED)
printf '\nratio window / command line: %d.%03d   (target <= 1.250: %s)\n' \
  $((ratio_milli / 1000)) $((ratio_milli % 1000)) "$verdict"
