#!/usr/bin/env bash
# Times kestrine against dd and cp on the same range of one file of random bytes, all from the
# page cache, and measures kestrine's peak memory for a 1-byte and a full-size copy. The peers
# are what a user would pick instead: cp of a file holding just the range (the kernel's own
# copy, as kestrine's), dd bs=1M of the range, and dd bs=8192 (kestrine's read/write blocks).
#
#   bench/copy.sh [MiB]        (default 1024)
#   KESTRINE=/path/to/kestrine RUNS=9 BENCH_DIR=/some/folder bench/copy.sh 16
#
# Targets (medians of the per-round ratios): kestrine <= 1.10 x cp of the range's size,
# <= 1.00 x dd bs=1M, <= 1.05 x dd bs=8192; peak memory of a full copy within 1 MiB of a 1-byte
# copy's.
set -euo pipefail

mib=${1:-1024}
runs=${RUNS:-9}
here=$(cd "$(dirname "$0")/.." && pwd)
kestrine=${KESTRINE:-$here/build/kestrine}

[[ $mib =~ ^[0-9]+$ ]] && ((mib >= 1)) || { echo "usage: $0 [MiB >= 1]" >&2; exit 2; }
[ -x "$kestrine" ] || { echo "no executable at $kestrine (build first, or set KESTRINE)" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is missing (Debian package time)" >&2; exit 2; }

# shellcheck source=bench/lib.sh
source "$here/bench/lib.sh"
make_workspace kestrine-bench 4

# One run of each command.
run_kestrine() { "$kestrine" src.bin out.bin "${start}d" "${length}d" >/dev/null; }
run_dd8k() { dd if=src.bin of=out.bin bs=8192 iflag=skip_bytes,count_bytes skip="$start" count="$count" status=none; }
run_dd1m() { dd if=src.bin of=out.bin bs=1M iflag=skip_bytes,count_bytes skip="$start" count="$count" status=none; }
run_cp() { cp range.bin out.bin; }

# Checks the output once, before timing: same bytes as dd takes from the same range.
run_kestrine
mv out.bin kestrine.out
run_dd8k
mv out.bin dd.out
[ "$(stat -c %s kestrine.out)" -eq "$count" ] || { echo "kestrine wrote the wrong size" >&2; exit 1; }
cmp kestrine.out dd.out || { echo "kestrine's output differs from the source range" >&2; exit 1; }
rm -f kestrine.out
mv dd.out range.bin # cp's source: a file of the range's size
echo "Output checked with cmp: $count bytes from position $start are identical."

time_tools kestrine dd8k dd1m cp
printf '\n%-34s %10s   %s\n' "command ($runs runs, $mib MiB file)" "median s" "all runs (s)"
report_row "kestrine (range)" kestrine
report_row "dd bs=8192 (range)" dd8k
report_row "dd bs=1M (range)" dd1m
report_row "cp (a file of the range's size)" cp
report_ratio "kestrine / cp" kestrine cp 1100 copy-vs-cp
report_ratio "kestrine / dd-1M" kestrine dd1m 1000 copy-vs-dd-1m
report_ratio "kestrine / dd-8K" kestrine dd8k 1050 copy-vs-dd-8k

peak_kib() {
  rm -f out.bin
  /usr/bin/time -f %M -o rss.txt "$kestrine" src.bin out.bin "${start}d" "$1" >/dev/null
  rm -f out.bin
  tail -n 1 rss.txt
}
small=$(peak_kib 0d)
full=$(peak_kib "${length}d")
diff=$((full - small))
verdict=$( ((diff <= 1024 && diff >= -1024)) && echo met || echo MISSED)
printf 'peak RSS kestrine: 1 byte %d KiB, %d bytes %d KiB, difference %d KiB\n' \
  "$small" "$count" "$full" "$diff"
report_result copy-rss-growth-kib "$diff" 1024 "$verdict"
