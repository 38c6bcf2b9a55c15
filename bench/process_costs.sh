#!/usr/bin/env bash
# Costs of the program as a process, on the model of bench/model_bench.cpp (99 depths, 377 edges,
# 1128 frequencies, default switches): the start-up (edge list, frequency set and tables, END
# only), one model per process, and N models in one process; CPU time (user + system) per run or
# per model, the mean of REPEAT runs, and the peak resident memory of 1 and N models.
#
#   bench/process_costs.sh [N=100] [REPEAT=20] [PROGRAM=build/atmotab]
set -euo pipefail
cd "$(dirname "$0")/.."
n=${1:-100}
repeat=${2:-20}
program=$(realpath "${3:-build/atmotab}")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# The deck and edge list of model_bench: T from 4200 K to 9800 K over log RHOX -3 .. 1.5.
/usr/bin/python3 - "$tmp" <<'EOF'
import sys
d = sys.argv[1]
model = ["TEFF 5777. GRAVITY 4.44\nITERATIONS 1\nTITLE BENCHMARK MODEL\nREAD DECK 99\n"]
for j in range(1, 100):
    x = (j - 1) / 98.0
    rhox = 10 ** (-3.0 + 4.5 * x)
    model.append(" %.6E %.1f %.6E %.6E 0.1 0.0 1.5E5\n"
                 % (rhox, 4200 + 5600 * x * x, 27542.0 * rhox, 1e10 * 10 ** (5 * x)))
model.append("BEGIN\n")
open(d + "/one.deck", "w").write("".join(model) + "END\n")
edges = ["%g%s" % (60.0 * 1.0125 ** i, "\n" if i % 6 == 5 else " ") for i in range(377)]
open(d + "/edges", "w").write("".join(edges) + "\n0.\n")
EOF
for _ in $(seq "$n"); do sed '/^END$/d' "$tmp/one.deck"; done >"$tmp/many.deck"
echo END >>"$tmp/many.deck"
echo END >"$tmp/end.deck"

run() {  # run DECK: the program on DECK, listing and tables into the temporary directory
  "$program" --edges "$tmp/edges" --table "$tmp/t.10" --maxima "$tmp/t.11" <"$1" >"$tmp/listing"
}
TIMEFORMAT='%U %S'
cpu_ms() {  # cpu_ms DECK RUNS: mean CPU time of RUNS runs [ms]
  for _ in $(seq "$2"); do { time run "$1"; } 2>&1; done |
    awk '{ s += $1 + $2 } END { printf "%.2f", 1000 * s / NR }'
}
rss_kb() { /usr/bin/time -f %M "$program" --edges "$tmp/edges" --table "$tmp/t.10" \
  --maxima "$tmp/t.11" <"$1" 2>&1 >"$tmp/listing" | tail -n 1; }

echo "program: $program"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "start-up (END only), CPU per process:   $(cpu_ms "$tmp/end.deck" "$repeat") ms"
echo "one model per process, CPU per process: $(cpu_ms "$tmp/one.deck" "$repeat") ms"
many=$(cpu_ms "$tmp/many.deck" 3)
echo "$n models in one process, CPU per model: $(awk -v t="$many" -v n="$n" \
  'BEGIN { printf "%.2f", t / n }') ms"
echo "peak resident memory, 1 model:   $(rss_kb "$tmp/one.deck") KB"
echo "peak resident memory, $n models: $(rss_kb "$tmp/many.deck") KB"
