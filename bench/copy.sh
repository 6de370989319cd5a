#!/usr/bin/env bash
# Times kestrine against dd and cp on the same range of one file of random bytes, all from the
# page cache, and measures kestrine's peak memory for a 1-byte and a full-size copy.
#
#   bench/copy.sh [MiB]        (default 1024)
#   KESTRINE=/path/to/kestrine RUNS=5 BENCH_DIR=/some/folder bench/copy.sh 16
#
# Targets: kestrine / dd-8K median ratio <= 1.05; peak memory difference within 1 MiB.
set -euo pipefail

mib=${1:-1024}
runs=${RUNS:-5}
here=$(cd "$(dirname "$0")/.." && pwd)
kestrine=${KESTRINE:-$here/build/kestrine}

[[ $mib =~ ^[0-9]+$ ]] && ((mib >= 1)) || { echo "usage: $0 [MiB >= 1]" >&2; exit 2; }
[ -x "$kestrine" ] || { echo "no executable at $kestrine (build first, or set KESTRINE)" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is missing (Debian package time)" >&2; exit 2; }

size=$((mib * 1024 * 1024))
start=4096
count=$((size - 2 * 4096)) # the range stops 4096 bytes before the end
if ((count < 1)); then
  start=0
  count=$size
fi

# Source, one output and dd's copy for the check live side by side.
need_kib=$(((size / 1024) * 3 + 1024))
avail_kib() { df --output=avail -k "$1" 2>/dev/null | tail -n 1 | tr -d ' '; }

# A tmpfs keeps every byte in the page cache and leaves disk writeback, which varies a lot
# from run to run, out of the figures. BENCH_DIR chooses another place.
if [ -n "${BENCH_DIR:-}" ]; then
  base=$BENCH_DIR
elif [ -d /dev/shm ] && [ -w /dev/shm ] && (($(avail_kib /dev/shm || echo 0) >= need_kib)); then
  base=/dev/shm
else
  base=${TMPDIR:-/tmp}
fi
work=$(mktemp -d "$base/kestrine-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
if (($(avail_kib .) < need_kib)); then
  echo "not enough room in $work: need $((need_kib / 1024)) MiB" >&2
  exit 2
fi

echo "Making $mib MiB of random bytes in $work ..."
head -c "$size" /dev/urandom >src.bin

# One run of each command; prints nanoseconds. The previous output is removed and the file
# system settled outside the timed part, so no run pays for the one before it.
run_kestrine() { "$kestrine" src.bin out.bin "${start}d" "$((count - 1))d" >/dev/null; }
run_dd8k() { dd if=src.bin of=out.bin bs=8192 iflag=skip_bytes,count_bytes skip="$start" count="$count" status=none; }
run_dd1m() { dd if=src.bin of=out.bin bs=1M iflag=skip_bytes,count_bytes skip="$start" count="$count" status=none; }
run_cp() { cp src.bin out.bin; }

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

# ns -> "s.mmm"
seconds() { printf '%d.%03d' $(($1 / 1000000000)) $((($1 / 1000000) % 1000)); }

# Checks the output once, before timing: same bytes as dd takes from the same range.
run_kestrine
mv out.bin kestrine.out
run_dd8k
mv out.bin dd.out
[ "$(stat -c %s kestrine.out)" -eq "$count" ] || { echo "kestrine wrote the wrong size" >&2; exit 1; }
cmp kestrine.out dd.out || { echo "kestrine's output differs from the source range" >&2; exit 1; }
rm -f kestrine.out dd.out
echo "Output checked with cmp: $count bytes from position $start are identical."

tools=(kestrine dd8k dd1m cp)
declare -A times
for tool in "${tools[@]}"; do
  timed "run_$tool" >/dev/null # warm-up: everything in the page cache
  times[$tool]=""
done
for ((i = 0; i < runs; i++)); do
  # Interleaved and rotated, so a slow moment of the machine or a position in the round hits
  # every tool alike.
  for ((j = 0; j < ${#tools[@]}; j++)); do
    tool=${tools[(i + j) % ${#tools[@]}]}
    times[$tool]+=" $(timed "run_$tool")"
  done
done
rm -f out.bin

declare -A med
printf '\n%-34s %10s   %s\n' "command ($runs runs, $mib MiB file)" "median s" "all runs (s)"
for tool in "${tools[@]}"; do
  # shellcheck disable=SC2086 # the list is meant to split
  med[$tool]=$(median ${times[$tool]})
  all=""
  for t in ${times[$tool]}; do all+=" $(seconds "$t")"; done
  case $tool in
    kestrine) label="kestrine (range)" ;;
    dd8k) label="dd bs=8192 (range)" ;;
    dd1m) label="dd bs=1M (range)" ;;
    cp) label="cp (whole file)" ;;
  esac
  printf '%-34s %10s  %s\n' "$label" "$(seconds "${med[$tool]}")" "$all"
done

ratio_milli=$((med[kestrine] * 1000 / (med[dd8k] > 0 ? med[dd8k] : 1)))
verdict=$( ((ratio_milli <= 1050)) && echo met || echo MISSED)
printf '\nratio kestrine / dd-8K: %d.%03d   (target <= 1.050: %s)\n' \
  $((ratio_milli / 1000)) $((ratio_milli % 1000)) "$verdict"

peak_kib() {
  rm -f out.bin
  /usr/bin/time -f %M -o rss.txt "$kestrine" src.bin out.bin "${start}d" "$1" >/dev/null
  rm -f out.bin
  tail -n 1 rss.txt
}
small=$(peak_kib 0d)
full=$(peak_kib "$((count - 1))d")
diff=$((full - small))
verdict=$( ((diff <= 1024 && diff >= -1024)) && echo met || echo MISSED)
printf 'peak RSS kestrine: 1 byte %d KiB, %d bytes %d KiB, difference %d KiB   (target within 1024 KiB: %s)\n' \
  "$small" "$count" "$full" "$diff" "$verdict"
