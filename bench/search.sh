#!/usr/bin/env bash
# Times Kestrine's text search, through the real hex viewer window (offscreen), against grep and
# ripgrep on one file of random bytes with one needle near its end, all from the page cache; then
# the search's worst kind of text on a file of the same size (2,000 "a", "b", 2,000 "a" in a file
# of "a", found nowhere); and Kestrine's peak memory for a 1 MiB file and the full one. Kestrine
# searches from position 0 for the needle typed in mixed case. Its time is the search alone,
# taken inside the driver from the button press until the view shows the result: the start of
# the window toolkit (about 0.1 s) is no part of a search a user waits for. grep and rg have no
# such start to leave out, so their whole process is timed.
#
#   bench/search.sh [MiB]        (default 512, at most 2047 so the file stays under 2^31 bytes)
#   BUILD=/path/to/build RUNS=9 BENCH_DIR=/some/folder bench/search.sh 200
#
# Targets (medians of the per-round ratios): kestrine / grep <= 0.5, kestrine / rg <= 0.6, the
# worst-case text / the random file's search <= 2; peak memory growth from 1 MiB to the full file
# within 1 MiB. Each target ends in one line another script can collect:
#   RESULT <name> <ratio> <target> met|MISSED
set -euo pipefail

mib=${1:-512}
runs=${RUNS:-9}
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$here/build}
searcher=$build/kestrine-window-search

[[ $mib =~ ^[0-9]+$ ]] && ((mib >= 1 && mib < 2048)) || { echo "usage: $0 [MiB, 1 to 2047]" >&2; exit 2; }
[ -x "$searcher" ] || { echo "no executable at $searcher (build first, or set BUILD)" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is missing (Debian package time)" >&2; exit 2; }
have_rg=0
command -v rg >/dev/null && have_rg=1

# shellcheck source=bench/lib.sh
source "$here/bench/lib.sh"
make_workspace kestrine-search-bench 2

needle=KestrineNeedle42
typed=kEsTrInEnEeDlE42
needle_at=$((size > 8192 ? size - 4096 : size / 2))
place_needle() { printf '%s' "$needle" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none; }
place_needle src.bin "$needle_at"

echo "Making $mib MiB of \"a\" ..."
head -c "$size" /dev/zero | tr '\0' a >worst.bin
a2000=$(head -c 2000 /dev/zero | tr '\0' a)
worst_text=${a2000}b${a2000}

# "<hit> <ns>" from one search in the window.
search_once() { "$searcher" "$work/$1" "$2" 2>/dev/null; }

# One run of a tool; prints nanoseconds. Kestrine reports its own search time. grep and rg read
# the file into memory the same way; rg would otherwise map it, which on this machine touches
# every page of the file and makes it twice as slow as grep and a GiB large (--no-mmap is
# ripgrep's own fastest way here).
ns_kestrine() { search_once src.bin "$typed" | cut -d' ' -f2; }
ns_worst() { search_once worst.bin "$worst_text" | cut -d' ' -f2; }
run_grep() { LC_ALL=C grep -F -i -c -a "$typed" src.bin >/dev/null; }
run_rg() { rg --no-mmap -F -i -c -a "$typed" src.bin >/dev/null; }

# Each finds the needle once and only there, and the worst-case text nowhere.
hit=$(search_once src.bin "$typed" | cut -d' ' -f1)
[ "$hit" = "$needle_at" ] || { echo "kestrine found '$hit', not $needle_at" >&2; exit 1; }
[ "$(LC_ALL=C grep -F -i -c -a "$typed" src.bin)" = 1 ] || { echo "grep does not find the needle once" >&2; exit 1; }
if ((have_rg)); then
  [ "$(rg --no-mmap -F -i -c -a "$typed" src.bin)" = 1 ] || { echo "rg does not find the needle once" >&2; exit 1; }
fi
hit=$(search_once worst.bin "$worst_text" | cut -d' ' -f1)
[ "$hit" = none ] || { echo "kestrine found the worst-case text at '$hit'" >&2; exit 1; }
echo "Checked: each finds the needle at $needle_at once; kestrine finds the worst-case text nowhere."

tools=(kestrine worst grep)
((have_rg)) && tools+=(rg)
time_tools "${tools[@]}"
printf '\n%-34s %10s   %s\n' "search ($runs runs, $mib MiB file)" "median s" "all runs (s)"
report_row "kestrine, the search alone" kestrine
report_row "kestrine, worst-case text" worst
report_row "grep -F -i -c -a (LC_ALL=C)" grep
((have_rg)) && report_row "rg --no-mmap -F -i -c -a" rg

report_ratio "kestrine / grep" kestrine grep 500 search-vs-grep
if ((have_rg)); then
  report_ratio "kestrine / rg" kestrine rg 600 search-vs-rg
else
  echo "rg is not installed (Debian package ripgrep): no ratio against it"
fi
report_ratio "worst-case text / random file" worst kestrine 2000 search-pathological-vs-random

peak_kib() {
  /usr/bin/time -f %M -o rss.txt "$searcher" "$1" "$typed" >/dev/null 2>&1
  tail -n 1 rss.txt
}
head -c $((1024 * 1024)) /dev/urandom >small.bin
place_needle small.bin $((1024 * 1024 - 4096))
small=$(peak_kib "$work/small.bin")
full=$(peak_kib "$work/src.bin")
growth=$((full - small))
printf 'peak RSS kestrine: 1 MiB file %d KiB, %d MiB file %d KiB\n' "$small" "$mib" "$full"
report_result search-rss-growth-kib "$growth" 1024 "$( ((${growth#-} <= 1024)) && echo met || echo MISSED)"
