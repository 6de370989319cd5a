#!/usr/bin/env bash
# Times kestrine against dd and cp on the same range of one file of random bytes, all from the
# page cache, and measures kestrine's peak memory for a 1-byte and a full-size copy. The peers
# are what a user would pick instead: cp of a file holding just the range (the kernel's own
# copy, as kestrine's), dd bs=1M of the range, and dd bs=8192.
#
# Each ratio compares two tools reading the very same file: against dd, kestrine copies the
# range out of src.bin as dd does; against cp, it copies all of range.bin, the file cp copies.
# Two files of equal size on one tmpfs were read at speeds up to a tenth apart by cp itself (the
# machine's memory behind their pages differs), which would otherwise pass for the tools'.
#
#   bench/copy.sh [MiB]        (default 512, the size the targets are set for; 15 rounds)
#   KESTRINE=/path/to/kestrine RUNS=9 BENCH_DIR=/some/folder bench/copy.sh 16
#
# Targets (medians of the per-round ratios): kestrine <= 1.00 x cp of the range's size,
# <= 1.00 x dd bs=1M, <= 1.05 x dd bs=8192; peak memory of a full copy within 1 MiB of a 1-byte
# copy's. Then across file systems (tmpfs -> ext4 and ext4 -> tmpfs, ext4 under EXT4_DIR,
# default /var/tmp): <= 1.05 x cp each way. Then a 4 GiB image with 8 KiB of data (at 1 GB and
# 3 GB) on ext4 and on tmpfs: copied whole in under 0.5 s, at most 1 MiB on disk, identical.
set -euo pipefail

mib=${1:-512}
runs=${RUNS:-15}
here=$(cd "$(dirname "$0")/.." && pwd)
kestrine=${KESTRINE:-$here/build/kestrine}

[[ $mib =~ ^[0-9]+$ ]] && ((mib >= 1)) || { echo "usage: $0 [MiB >= 1]" >&2; exit 2; }
[ -x "$kestrine" ] || { echo "no executable at $kestrine (build first, or set KESTRINE)" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is missing (Debian package time)" >&2; exit 2; }

# shellcheck source=bench/lib.sh
source "$here/bench/lib.sh"
# Each figure is the faster of two runs back to back. This kind of machine hands memory freed
# for a while back to its host, and the first write to such memory (a 512 MiB output lands
# on it now and then) made one run in four of either tool up to five times as slow.
best_of=2
make_workspace kestrine-bench 4

# One run of each command.
run_kestrine() { "$kestrine" src.bin out.bin "${start}d" "${length}d" >/dev/null; }
run_kwhole() { "$kestrine" range.bin out.bin 0d "${length}d" >/dev/null; }
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
run_kwhole
cmp out.bin range.bin || { echo "kestrine's copy of all of range.bin differs" >&2; exit 1; }
echo "Output checked with cmp: $count bytes from position $start are identical."

time_tools kestrine dd8k dd1m kwhole cp
printf '\n%-34s %10s   %s\n' "command ($runs runs, $mib MiB file)" "median s" "all runs (s)"
report_row "kestrine (range of src.bin)" kestrine
report_row "dd bs=8192 (range of src.bin)" dd8k
report_row "dd bs=1M (range of src.bin)" dd1m
report_row "kestrine (all of range.bin)" kwhole
report_row "cp (range.bin)" cp
report_ratio "kestrine / cp" kwhole cp 1000 copy-vs-cp
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

# --- Across file systems: the system cannot copy between them, so kestrine reads and writes.
ext4_dir=${EXT4_DIR:-/var/tmp}
if [ "$(stat -f -c %T "$ext4_dir" 2>/dev/null)" != "ext2/ext3" ]; then
  echo "no ext4 at $ext4_dir (set EXT4_DIR): the copies across file systems are left out"
else
  other=$(mktemp -d "$ext4_dir/kestrine-bench.XXXXXX")
  trap 'rm -rf "$work" "$other"' EXIT
  if (($(avail_kib "$other") < (size / 1024) * 3 + 1024)); then
    echo "not enough room in $other for the copies across file systems" >&2
    exit 2
  fi
  cp range.bin "$other/range.bin"
  run_toext4() { "$kestrine" range.bin "$other/out.bin" 0d "${length}d" >/dev/null; }
  run_cptoext4() { cp range.bin "$other/out.bin"; }
  run_fromext4() { "$kestrine" "$other/range.bin" out.bin 0d "${length}d" >/dev/null; }
  run_cpfromext4() { cp "$other/range.bin" out.bin; }
  # Each run starts without the output of the one before, on both sides, and with the ext4
  # source read back into the page cache: this machine drops page cache it deems cold, and a
  # run that found it gone would time the disk.
  timed_across() { rm -f "$other/out.bin"; cat "$other/range.bin" >/dev/null; timed "$@"; }
  ns_toext4() { timed_across run_toext4; }
  ns_cptoext4() { timed_across run_cptoext4; }
  ns_fromext4() { timed_across run_fromext4; }
  ns_cpfromext4() { timed_across run_cpfromext4; }
  run_toext4
  cmp "$other/out.bin" range.bin || { echo "kestrine's copy into ext4 differs" >&2; exit 1; }
  run_fromext4
  cmp out.bin range.bin || { echo "kestrine's copy out of ext4 differs" >&2; exit 1; }
  time_tools toext4 cptoext4 fromext4 cpfromext4
  printf '\n%-34s %10s   %s\n' "across file systems ($runs runs)" "median s" "all runs (s)"
  report_row "kestrine tmpfs -> ext4" toext4
  report_row "cp tmpfs -> ext4" cptoext4
  report_row "kestrine ext4 -> tmpfs" fromext4
  report_row "cp ext4 -> tmpfs" cpfromext4
  report_ratio "kestrine / cp, tmpfs -> ext4" toext4 cptoext4 1050 copy-tmpfs-to-ext4-vs-cp
  report_ratio "kestrine / cp, ext4 -> tmpfs" fromext4 cpfromext4 1050 copy-ext4-to-tmpfs-vs-cp
  rm -f "$other/range.bin" "$other/out.bin"
fi

# --- A sparse image: only its data is copied, its holes stay holes.
sparse_case() {
  local where=$1 name=$2 image t0 t1 ms kib
  image=$where/sparse.img
  truncate -s 4G "$image"
  head -c 4096 /dev/urandom | dd of="$image" bs=4096 seek=$((1000000000 / 4096)) conv=notrunc status=none
  head -c 4096 /dev/urandom | dd of="$image" bs=4096 seek=$((3000000000 / 4096)) conv=notrunc status=none
  rm -f "$where/sparse.out"
  sync
  t0=$(date +%s%N)
  "$kestrine" "$image" "$where/sparse.out" 0d "$((4 * 1024 * 1024 * 1024 - 1))d" >/dev/null
  t1=$(date +%s%N)
  ms=$(((t1 - t0) / 1000000))
  kib=$(du -k "$where/sparse.out" | cut -f1)
  cmp "$image" "$where/sparse.out" || { echo "the copy of the sparse image differs" >&2; exit 1; }
  printf '4 GiB sparse image on %s: %d ms, %d KiB on disk, identical\n' "$name" "$ms" "$kib"
  report_result "sparse-4GiB-$name-seconds" "$(thousandths "$ms")" 0.500 \
    "$( ((ms < 500)) && echo met || echo MISSED)"
  report_result "sparse-4GiB-$name-KiB-on-disk" "$kib" 1024 \
    "$( ((kib <= 1024)) && echo met || echo MISSED)"
  rm -f "$image" "$where/sparse.out"
}
echo
sparse_case "$work" "$(stat -f -c %T "$work" | sed 's#ext2/ext3#ext4#')"
if [ -n "${other:-}" ]; then sparse_case "$other" ext4; fi
