#!/usr/bin/env bash
# The whole-process cost of a 1-byte copy, which a script that cuts many small ranges out of a
# file pays at every call: kestrine against `dd bs=1 count=1` on the same file, and both peak
# memories.
#
#   bench/startup.sh            RUNS=300 KESTRINE=/path/to/kestrine bench/startup.sh
#
# Targets: kestrine / dd whole-process time <= 2.0; peak memory within 1 MiB of dd's.
set -euo pipefail

runs=${RUNS:-300}
here=$(cd "$(dirname "$0")/.." && pwd)
kestrine=${KESTRINE:-$here/build/kestrine}
[ -x "$kestrine" ] || { echo "no executable at $kestrine (build first, or set KESTRINE)" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is missing (Debian package time)" >&2; exit 2; }

mib=1
# shellcheck source=bench/lib.sh
source "$here/bench/lib.sh"
make_workspace kestrine-startup

run_kestrine() { "$kestrine" src.bin out.bin 4096d 0d >/dev/null; }
run_dd() { dd if=src.bin of=out.bin bs=1 count=1 skip=4096 status=none; }

run_kestrine
cmp out.bin <(tail -c +4097 src.bin | head -c 1) || { echo "kestrine copied the wrong byte" >&2; exit 1; }

if command -v hyperfine >/dev/null; then
  # hyperfine subtracts its own shell start-up and reports the mean of many runs.
  hyperfine --warmup 20 --runs "$runs" -N --export-json times.json \
    "$kestrine src.bin out.bin 4096d 0d" "dd if=src.bin of=out.bin bs=1 count=1 skip=4096 status=none" \
    >/dev/null
  mapfile -t means < <(grep -o '"median": [0-9.e-]*' times.json | awk '{printf "%d\n", $2 * 1e9}')
  med[kestrine]=${means[0]}
  med[dd]=${means[1]}
  times[kestrine]=${means[0]}
  times[dd]=${means[1]}
  best[kestrine]=${means[0]}
  best[dd]=${means[1]}
  how="hyperfine, $runs runs each, median"
else
  # The same alternating loop as the other benchmarks, over batches of 20 runs, so that the
  # clock's own cost stays small against a run of a few milliseconds.
  run_batch_kestrine() { for _ in {1..20}; do run_kestrine; done; }
  run_batch_dd() { for _ in {1..20}; do run_dd; done; }
  runs=$((runs / 20))
  time_tools batch_kestrine batch_dd
  times[kestrine]=${times[batch_kestrine]}
  times[dd]=${times[batch_dd]}
  med[kestrine]=$((med[batch_kestrine] / 20))
  med[dd]=$((med[batch_dd] / 20))
  best[kestrine]=$((best[batch_kestrine] / 20))
  best[dd]=$((best[batch_dd] / 20))
  how="alternating batches of 20 runs, median"
fi

printf '\n1-byte copy, whole process (%s)\n' "$how"
printf '%-34s %10s ms\n' "kestrine" "$(thousandths $((med[kestrine] / 1000)))"
printf '%-34s %10s ms\n' "dd bs=1 count=1" "$(thousandths $((med[dd] / 1000)))"
report_ratio "kestrine / dd (1-byte copy)" kestrine dd 2000 startup-vs-dd

peak() { /usr/bin/time -f %M -o rss.txt "$@" >/dev/null; tail -n 1 rss.txt; }
k=$(peak "$kestrine" src.bin out.bin 4096d 0d)
d=$(peak dd if=src.bin of=out.bin bs=1 count=1 skip=4096 status=none)
diff=$((k - d))
verdict=$( ((diff <= 1024)) && echo met || echo MISSED)
printf 'peak RSS 1-byte copy: kestrine %d KiB, dd %d KiB, difference %d KiB   (target within 1024 KiB: %s)\n' \
  "$k" "$d" "$diff" "$verdict"
