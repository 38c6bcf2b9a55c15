#!/usr/bin/env bash
# CPU cost of the HDF5 output (--hdf5): N solar models (examples/sun.deck repeated) in one run,
# with and without --hdf5, REPEAT alternating pairs; the task-clock of each run (perf stat, else
# user + system from bash's time), the medians, and the median of the pairs' relative differences
# (each pair ran back to back, so it saw the same machine: on a shared machine that median is the
# steadier figure), with the load average before and after.
#
#   bench/hdf5_overhead.sh [N=100] [REPEAT=7] [PROGRAM=build/atmotab]
#   bench/hdf5_overhead.sh --instructions [N=10] [PROGRAM=build/atmotab]
#
# The second form counts instructions instead (valgrind's callgrind, user space only, the same on
# every run): the program's with and without --hdf5, and those of Hdf5Output::write_model.
set -euo pipefail
cd "$(dirname "$0")/.."
instructions=0
if [ "${1:-}" = --instructions ]; then
  instructions=1
  shift
  set -- "${1:-10}" 0 "${2:-build/atmotab}"
fi
n=${1:-100}
repeat=${2:-7}
program=$(realpath "${3:-build/atmotab}")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for _ in $(seq "$n"); do sed '/^END$/d' examples/sun.deck; done >"$tmp/many.deck"
echo END >>"$tmp/many.deck"

if [ "$instructions" = 1 ]; then
  count() {  # count OUT [OPTIONS]: callgrind's profile of one run into OUT
    local out=$1
    shift
    valgrind --tool=callgrind --callgrind-out-file="$out" "$program" --edges examples/edges.txt \
      --table "$tmp/t.10" --maxima "$tmp/t.11" "$@" <"$tmp/many.deck" >/dev/null 2>&1
  }
  count "$tmp/plain.cg"
  count "$tmp/hdf5.cg" --hdf5 "$tmp/out.h5"
  total() { callgrind_annotate "$1" | awk '/PROGRAM TOTALS/ { gsub(",", "", $1); print $1 }'; }
  p=$(total "$tmp/plain.cg")
  h=$(total "$tmp/hdf5.cg")
  w=$(callgrind_annotate --inclusive=yes "$tmp/hdf5.cg" |
    awk '/Hdf5Output::write_model/ && !seen { gsub(",", "", $1); print $1; seen = 1 }')
  awk -v p="$p" -v h="$h" -v w="$w" -v n="$n" 'BEGIN {
    printf "%d models: %d instructions without --hdf5, %d with (+%.1f %%)\n", n, p, h, 100 * (h - p) / p
    printf "writing the models: %.2f million instructions per model, %.1f %% of a model\n",
      w / n / 1e6, 100 * w / p }'
  exit 0
fi

cpu_ms() {  # cpu_ms [OPTIONS]: CPU time of one run of the program on the deck [ms]
  if perf stat -x, -e task-clock -o "$tmp/stat" true 2>/dev/null; then
    perf stat -x, -e task-clock -o "$tmp/stat" "$program" --edges examples/edges.txt \
      --table "$tmp/t.10" --maxima "$tmp/t.11" "$@" <"$tmp/many.deck" >"$tmp/listing"
    awk -F, '/task-clock/ { printf "%.0f", $1 }' "$tmp/stat"
  else
    local TIMEFORMAT='%U %S'
    { time "$program" --edges examples/edges.txt --table "$tmp/t.10" --maxima "$tmp/t.11" \
      "$@" <"$tmp/many.deck" >"$tmp/listing"; } 2>&1 | awk '{ printf "%.0f", 1000 * ($1 + $2) }'
  fi
}
median() { tr ' ' '\n' | sed '/^$/d' | sort -n | awk '{ v[NR] = $1 } END {
  print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "program: $program ($(nproc) cores, $(lscpu | sed -n 's/^Model name: *//p'))"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
plain="" hdf5=""
for _ in $(seq "$repeat"); do
  plain+="$(cpu_ms) "
  hdf5+="$(cpu_ms --hdf5 "$tmp/out.h5") "
  rm -f "$tmp/out.h5"
done
echo "load average after:  $(cut -d' ' -f1-3 /proc/loadavg)"
p=$(echo "$plain" | median)
h=$(echo "$hdf5" | median)
echo "$n models, CPU [ms] without --hdf5: $plain(median $p)"
echo "$n models, CPU [ms] with --hdf5:    $hdf5(median $h)"
pairs=$(paste -d' ' <(echo "$plain" | tr ' ' '\n' | sed '/^$/d') \
  <(echo "$hdf5" | tr ' ' '\n' | sed '/^$/d') | awk '{ printf "%.4f ", ($2 - $1) / $1 }')
awk -v p="$p" -v h="$h" -v n="$n" -v d="$(echo "$pairs" | median)" 'BEGIN {
  printf "HDF5 output: +%.1f %% of the medians (%.2f ms per model); median of the pairs: +%.1f %%\n",
  100 * (h - p) / p, (h - p) / n, 100 * d }'
