#!/usr/bin/env bash
# Grid throughput: N copies of the solar model (examples/sun.deck, 56 depths, 882 frequencies)
# run as a grid of N decks by tools/grid.py (GNU parallel on all C cores, batches of models, one
# program process per batch), and the same N models as one deck in one process. Prints wall time,
# models per second and CPU time (user + system, the processes started included) of each, the
# least of REPEAT runs; the N decks run by one process in its --batch mode (each
# deck a run of its own, as in the grid's jobs, without GNU parallel); the cost of starting the
# program (edge list, tables, no model); whether the merged grid tables equal those of the
# one-process run; and the grid against its goals: CPU per model at most 1.2 times that of the one
# process, wall time at most 1/C of the one process's plus a few seconds. BATCH is --batch of
# grid.py.
#
#   bench/grid_throughput.sh [N=200] [REPEAT=3] [PROGRAM=build/atmotab] [BATCH=automatic]
set -euo pipefail
cd "$(dirname "$0")/.."
n=${1:-200}
repeat=${2:-3}
program=$(realpath "${3:-build/atmotab}")
batch_option=()
[ -n "${4:-}" ] && batch_option=(--batch "$4")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

mkdir "$tmp/decks"
model=$(sed '/^END$/d' examples/sun.deck)
for k in $(seq -w 1 "$n"); do printf '%s\nEND\n' "$model" >"$tmp/decks/sun$k.deck"; done
{ for _ in $(seq "$n"); do printf '%s\n' "$model"; done; echo END; } >"$tmp/all.deck"
echo END >"$tmp/end.deck"

TIMEFORMAT='%R %U %S'
# Runs "$@" REPEAT times; prints "wall cpu": the shortest wall time and the least CPU time of the
# runs (each the least disturbed by the other work of a shared machine, which only adds).
measure() {
  for _ in $(seq "$repeat"); do
    { time "$@" >/dev/null 2>&1; } 2>&1 | awk '{ print $1, $2 + $3 }'
  done | awk 'NR == 1 || $1 < w { w = $1 } NR == 1 || $2 < c { c = $2 } END { print w, c }'
}
one_process() {
  "$program" --edges examples/edges.txt --table "$tmp/one.10" --maxima "$tmp/one.11" \
    <"$tmp/all.deck" >"$tmp/one.listing"
}
# The folders and the list of the --batch run, made before it is timed (its files are
# overwritten as the one process's are).
mkdir "$tmp/batch"
for d in "$tmp"/decks/*.deck; do printf '%s\t%s\n' "$d" "$tmp/batch/$(basename "$d" .deck)"; done \
  >"$tmp/batch.list"
cut -f2 "$tmp/batch.list" | xargs mkdir -p
batch_mode() {
  "$program" --edges examples/edges.txt --batch "$tmp/batch.list"
}
grid() {
  rm -rf "$tmp/grid"
  /usr/bin/python3 tools/grid.py run "$tmp/grid" "$tmp/decks" --edges examples/edges.txt \
    --program "$program" --no-merge --no-bar "${batch_option[@]}"
}
starts() {
  for _ in $(seq "$n"); do
    "$program" --edges examples/edges.txt --table "$tmp/e.10" --maxima "$tmp/e.11" <"$tmp/end.deck"
  done
}
show() {
  awk -v n="$n" -v w="$1" -v c="$2" \
    'BEGIN { printf "%7.2f s %7.1f models/s   CPU %6.2f s (%5.1f ms per model)\n", w, n / w, c, 1000 * c / n }'
}

one=$(measure one_process)
batch_run=$(measure batch_mode)
grid_run=$(measure grid)
start=$(measure starts)
merge=$(measure /usr/bin/python3 tools/grid.py merge "$tmp/grid")
same=no
cmp -s "$tmp/grid/grid.fort.10" "$tmp/one.10" && cmp -s "$tmp/grid/grid.fort.11" "$tmp/one.11" &&
  same=yes

echo "$n solar models (56 depths, 882 frequencies), $(nproc) cores, load $(cut -d' ' -f1 /proc/loadavg), least of $repeat runs:"
echo "  one process, one deck of $n models:   $(show $one)"
echo "  one process, $n decks (atmotab --batch): $(show $batch_run)"
echo "  grid.py, $n decks, GNU parallel -j $(nproc): $(show $grid_run)"
echo "  $n program starts without a model:  $(show $start)"
echo "  merging the $n table pairs:           $(show $merge)"
echo "  merged grid tables identical to the one-process run: $same"
cores=$(nproc)
read -r one_wall one_cpu <<<"$one"
read -r grid_wall grid_cpu <<<"$grid_run"
awk -v ow="$one_wall" -v oc="$one_cpu" -v gw="$grid_wall" -v gc="$grid_cpu" -v c="$cores" 'BEGIN {
  printf "  grid CPU / one-process CPU: %.2f (goal <= 1.2: %s)\n", gc / oc, gc <= 1.2 * oc ? "met" : "NOT met"
  printf "  grid wall %.2f s against one-process wall / %d cores = %.2f s: +%.2f s (goal: a few s)\n",
    gw, c, ow / c, gw - ow / c
}'
