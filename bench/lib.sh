# Shared by the benchmarks: the file and range, the work folder, timing and the report.
# Source it after setting `mib` and `runs`.

size=$((mib * 1024 * 1024))
start=4096
count=$((size - 2 * 4096)) # the range stops 4096 bytes before the end
if ((count < 1)); then
  start=0
  count=$size
fi
length=$((count - 1))

avail_kib() { df --output=avail -k "$1" 2>/dev/null | tail -n 1 | tr -d ' '; }

# Makes the work folder with the random source in it and enters it. A tmpfs keeps every byte
# in the page cache and leaves disk writeback, which varies a lot from run to run, out of the
# figures. BENCH_DIR chooses another place.
# A second argument gives how many file-sized copies the benchmark keeps (3: source, output,
# check copy).
make_workspace() {
  local name=$1 base need_kib=$(((size / 1024) * ${2:-3} + 1024))
  if [ -n "${BENCH_DIR:-}" ]; then
    base=$BENCH_DIR
  elif [ -d /dev/shm ] && [ -w /dev/shm ] && (($(avail_kib /dev/shm || echo 0) >= need_kib)); then
    base=/dev/shm
  else
    base=${TMPDIR:-/tmp}
  fi
  work=$(mktemp -d "$base/$name.XXXXXX")
  trap 'rm -rf "$work"' EXIT
  cd "$work"
  if (($(avail_kib .) < need_kib)); then
    echo "not enough room in $work: need $((need_kib / 1024)) MiB" >&2
    exit 2
  fi
  echo "Making $mib MiB of random bytes in $work ..."
  head -c "$size" /dev/urandom >src.bin
}

# One run of a command; prints nanoseconds. The previous output is removed and the file system
# settled outside the timed part, so no run pays for the one before it.
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

# Nanoseconds of one run of a tool: its own ns_<tool> where it times itself, else run_<tool>
# timed whole.
# With best_of=N (default 1), the fastest of N runs back to back.
measure() {
  local i ns fastest=""
  for ((i = 0; i < ${best_of:-1}; i++)); do
    if declare -F "ns_$1" >/dev/null; then ns=$("ns_$1"); else ns=$(timed "run_$1"); fi
    if [ -z "$fastest" ] || ((ns < fastest)); then fastest=$ns; fi
  done
  echo "$fastest"
}

# Times each tool: one warm-up, then `runs` rounds, interleaved and rotated so that a slow
# moment of the machine or a place in the round hits every tool alike. Fills `med`.
declare -A times med best
time_tools() {
  local tool i j
  for tool in "$@"; do
    measure "$tool" >/dev/null
    times[$tool]=""
  done
  local tools=("$@")
  for ((i = 0; i < runs; i++)); do
    for ((j = 0; j < ${#tools[@]}; j++)); do
      tool=${tools[(i + j) % ${#tools[@]}]}
      times[$tool]+=" $(measure "$tool")"
    done
  done
  rm -f out.bin
  for tool in "$@"; do
    # shellcheck disable=SC2086 # the list is meant to split
    med[$tool]=$(median ${times[$tool]})
    # shellcheck disable=SC2086
    best[$tool]=$(printf '%s\n' ${times[$tool]} | sort -n | head -n 1)
  done
}

# A table row: label, median and every run of one tool.
report_row() {
  local all="" t
  for t in ${times[$2]}; do all+=" $(seconds "$t")"; done
  printf '%-34s %10s  %s\n' "$1" "$(seconds "${med[$2]}")" "$all"
}

thousandths() { printf '%d.%03d' $(($1 / 1000)) $(($1 % 1000)); }

# The line `make bench` collects: "RESULT <name> <figure> <target> met|MISSED", the name one word.
report_result() {
  printf 'RESULT %s %s %s %s\n' "${1// /_}" "$2" "$3" "$4"
}

# The median over the rounds of one run of $2 divided by the run of $3 in the same round, in
# thousandths: the two run close together, so a slow moment of the machine weighs on both.
round_ratio() {
  local -a a b r=()
  read -ra a <<<"${times[$1]}"
  read -ra b <<<"${times[$2]}"
  local i
  for ((i = 0; i < ${#a[@]}; i++)); do r+=($((a[i] * 1000 / (b[i] > 0 ? b[i] : 1)))); done
  median "${r[@]}"
}

# The round ratio of $2 to $3 against a target in thousandths, with the ratio of the fastest
# runs (which a noisy machine disturbs least), then its RESULT line named $5 (default: $1).
report_ratio() {
  local what=$1 target=$4 name=${5:-$1} ratio fastest verdict
  ratio=$(round_ratio "$2" "$3")
  fastest=$((best[$2] * 1000 / (best[$3] > 0 ? best[$3] : 1)))
  verdict=$( ((ratio <= target)) && echo met || echo MISSED)
  printf '\nratio %s: %s   (fastest runs: %s)\n' "$what" "$(thousandths "$ratio")" \
    "$(thousandths "$fastest")"
  report_result "$name" "$(thousandths "$ratio")" "$(thousandths "$target")" "$verdict"
}
