#!/usr/bin/env bash
# First run on a Debian machine: installs the missing Debian packages the program and its plots
# need, builds the program alone (not the tests) in build/, runs the solar model of examples/ and
# ends with a summary of its tables and a picture of them:
#   out/sun.listing   the listing
#   out/sun.fort.10   per-depth tables (unit 10)       out/sun.fort.11   line-strength maxima (unit 11)
#   out/sun.png       continuum opacity, T, P, XNE, populations, and kappa(500 nm) against MARCS
#   out/sun.h5        every quantity at every depth in full precision (docs/hdf5.md)
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install_deps.sh run
if [ ! -f build/CMakeCache.txt ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DATMOTAB_TESTS=OFF >/dev/null
fi
echo "building build/atmotab ..."
cmake --build build --target atmotab | tail -n 1

mkdir -p out
start=$EPOCHREALTIME
hdf5=(--hdf5 out/sun.h5)
if build/atmotab --help | grep -q "not built in this program"; then hdf5=(); fi
build/atmotab --edges examples/edges.txt --table out/sun.fort.10 --maxima out/sun.fort.11 \
  "${hdf5[@]}" <examples/sun.deck >out/sun.listing
took=$(awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.2f", b - a }')
echo "ran examples/sun.deck in $took s: out/sun.listing ($(wc -l <out/sun.listing) lines)"
echo
tools/readtables.py out/sun.fort.10 out/sun.fort.11
echo
tools/plot_tables.py overview out/sun.fort.10 --listing out/sun.listing --marcs examples/sun.mod \
  -o out/sun.png
echo "more: tools/readtables.py --full out/sun.fort.10, tools/readtables.py -q 'Fe II' out/sun.fort.10," \
  "tools/plot_tables.py --help"
