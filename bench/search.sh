#!/usr/bin/env bash
# Times Kestrine's text search, through the real hex viewer window (offscreen), against grep and
# ripgrep on one file of random bytes with one needle near its end, all from the page cache, and
# measures Kestrine's peak memory for a 1 MiB file and the full one. Kestrine searches from
# position 0 for the needle typed in mixed case.
#
#   bench/search.sh [MiB]        (default 1900, so the file stays under 2^31 bytes)
#   BUILD=/path/to/build RUNS=9 BENCH_DIR=/some/folder bench/search.sh 200
#
# Targets: kestrine / grep <= 0.5, kestrine / rg <= 1.2 (medians of the per-round ratios);
# peak memory growth from 1 MiB to the full file within 1 MiB.
set -euo pipefail

mib=${1:-1900}
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
make_workspace kestrine-search-bench 1

needle=KestrineNeedle42
typed=kEsTrInEnEeDlE42
needle_at=$((size > 8192 ? size - 4096 : size / 2))
place_needle() { printf '%s' "$needle" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none; }
place_needle src.bin "$needle_at"

run_kestrine() { "$searcher" "$work/src.bin" "$typed" >/dev/null 2>&1; }
run_grep() { grep -F -i -c -a "$typed" src.bin >/dev/null; }
run_rg() { rg -F -i -c "$typed" src.bin >/dev/null; }

# Each finds the needle once and only there.
hit=$("$searcher" "$work/src.bin" "$typed" 2>/dev/null)
[ "$hit" = "$needle_at" ] || { echo "kestrine found '$hit', not $needle_at" >&2; exit 1; }
[ "$(grep -F -i -c -a "$typed" src.bin)" = 1 ] || { echo "grep does not find the needle once" >&2; exit 1; }
if ((have_rg)); then
  [ "$(rg -F -i -c "$typed" src.bin)" = 1 ] || { echo "rg does not find the needle once" >&2; exit 1; }
fi
echo "Checked: each finds the needle at $needle_at once."

tools=(kestrine grep)
((have_rg)) && tools+=(rg)
time_tools "${tools[@]}"
printf '\n%-34s %10s   %s\n' "search ($runs runs, $mib MiB file)" "median s" "all runs (s)"
report_row "kestrine window (offscreen)" kestrine
report_row "grep -F -i -c -a" grep
((have_rg)) && report_row "rg -F -i -c" rg

# The median of the per-round ratios a / b, in thousandths.
round_ratio() {
  local -a a b r=()
  read -ra a <<<"${times[$1]}"
  read -ra b <<<"${times[$2]}"
  local i
  for ((i = 0; i < ${#a[@]}; i++)); do r+=($((a[i] * 1000 / (b[i] > 0 ? b[i] : 1)))); done
  median "${r[@]}"
}
verdict() { (($1 <= $2)) && echo met || echo MISSED; }

r_grep=$(round_ratio kestrine grep)
printf '\nratio kestrine / grep: %s   (target <= 0.500: %s)\n' "$(thousandths "$r_grep")" "$(verdict "$r_grep" 500)"
r_rg_text=n/a
if ((have_rg)); then
  r_rg=$(round_ratio kestrine rg)
  r_rg_text=$(thousandths "$r_rg")
  printf 'ratio kestrine / rg:   %s   (target <= 1.200: %s)\n' "$r_rg_text" "$(verdict "$r_rg" 1200)"
fi

peak_kib() {
  /usr/bin/time -f %M -o rss.txt "$searcher" "$1" "$typed" >/dev/null 2>&1
  tail -n 1 rss.txt
}
head -c $((1024 * 1024)) /dev/urandom >small.bin
place_needle small.bin $((1024 * 1024 - 4096))
small=$(peak_kib "$work/small.bin")
full=$(peak_kib "$work/src.bin")
growth=$((full - small))
printf 'peak RSS kestrine: 1 MiB file %d KiB, %d MiB file %d KiB   (target growth within 1024 KiB: %s)\n' \
  "$small" "$mib" "$full" "$(verdict "${growth#-}" 1024)"
echo "search: kestrine/grep = $(thousandths "$r_grep"), kestrine/rg = $r_rg_text, RSS growth $growth KiB"
