#!/usr/bin/env bash
# Builds the libFuzzer harnesses of fuzz/ with clang (coverage, AddressSanitizer,
# UndefinedBehaviorSanitizer, array bound checks) in build-fuzz/ and runs each for SECONDS seconds:
# the card scanner, the card interpreter with the model readers, the edge-list reader and a whole
# run. The seed corpus is the decks and edge lists of examples/, tests/regression/ and fuzz/seeds/,
# and the inputs of fuzz/regressions/ (earlier findings); what a harness learns stays in
# build-fuzz/corpus/<harness>/ for the next run. A crash or broken invariant gives status 1 (the
# other harnesses still run), the input kept as build-fuzz/crashes/<harness>-*. The harnesses are
# built with warnings as errors, as the other builds are.
#   tools/fuzz.sh SECONDS [HARNESS...]     (HARNESS: scanner cards edges run; default all four)
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -lt 1 ] || ! [[ $1 =~ ^[0-9]+$ ]]; then
  echo "usage: tools/fuzz.sh SECONDS [scanner|cards|edges|run ...]" >&2
  exit 2
fi
seconds=$1
shift
harnesses=("$@")
[ ${#harnesses[@]} -gt 0 ] || harnesses=(scanner cards edges run)

cxx=$(command -v clang++-14 || command -v clang++ || true)
if [ -z "$cxx" ]; then
  echo "fuzz.sh: clang++ not found (Debian: apt-get install clang-14 libclang-rt-14-dev)" >&2
  exit 2
fi
cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DATMOTAB_FUZZ=ON -DATMOTAB_TESTS=OFF -DATMOTAB_WERROR=ON >/dev/null
cmake --build build-fuzz -j "$(nproc 2>/dev/null || echo 2)" \
  --target "${harnesses[@]/#/fuzz_}"

# Seeds per harness: decks for the scanner, the interpreter and the run; edge lists for the edge
# reader (and the scanner).
seed() {
  local dir=build-fuzz/seeds/$1
  rm -rf "$dir"
  mkdir -p "$dir"
  shift
  local n=0 f
  for f in "$@"; do
    [ -f "$f" ] || continue
    n=$((n + 1))
    cp "$f" "$dir/$n-$(basename "$f")"
  done
}
decks=(examples/*.deck tests/regression/*/deck.txt fuzz/seeds/cards/*)
edges=(examples/edges.txt tests/regression/edges.txt fuzz/seeds/edges/*)
seed scanner "${decks[@]}" "${edges[@]}" fuzz/regressions/scanner/*
seed cards "${decks[@]}" fuzz/regressions/cards/*
seed edges "${edges[@]}" fuzz/regressions/edges/*
seed run "${decks[@]}" fuzz/regressions/run/*

mkdir -p build-fuzz/crashes
status=0
failed=()
for h in "${harnesses[@]}"; do
  mkdir -p "build-fuzz/corpus/$h"
  echo "fuzz.sh: $h for ${seconds} s"
  if ! ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    "build-fuzz/fuzz/fuzz_$h" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=4096 \
    -max_len=16384 -print_final_stats=1 -artifact_prefix="build-fuzz/crashes/$h-" \
    "build-fuzz/corpus/$h" "build-fuzz/seeds/$h" 2>"build-fuzz/$h.log"; then
    echo "fuzz.sh: $h found a failure (build-fuzz/$h.log, build-fuzz/crashes/$h-*)" >&2
    tail -40 "build-fuzz/$h.log" >&2
    failed+=("$h")
    status=1
  else
    grep -E '^stat::number_of_executed_units|^Done|^#[0-9]+ +DONE' "build-fuzz/$h.log" | tail -2
  fi
done
echo "fuzz.sh: ${#harnesses[@]} harnesses ran ${seconds} s each, $((${#harnesses[@]} - ${#failed[@]})) without a finding${failed[*]:+, findings in: ${failed[*]}}"
exit $status
