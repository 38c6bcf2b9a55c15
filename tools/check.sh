#!/usr/bin/env bash
# Installs the Debian packages the tests need when they are missing, checks that the C++ sources
# follow .clang-format, then builds atmotab and runs every test: an optimised build (build/, with
# the benchmarks compiled but not run) and a build under AddressSanitizer and
# UndefinedBehaviorSanitizer with array bound checks (build-asan/). Both builds treat compiler
# warnings as errors. Last, each fuzz harness runs for 15 s (build-fuzz/).
# A failing step does not stop the independent steps after it; the last line gives the steps that
# passed and failed and the exit status, which is 1 when any step failed.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/steps.sh
jobs=$(nproc 2>/dev/null || echo 2)

step packages tools/install_deps.sh test

format_check() {
  git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
  echo "clang-format: sources follow .clang-format"
}
if command -v clang-format >/dev/null; then
  step format format_check
else
  step_not_run format "no clang-format"
fi

release_build() {
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DATMOTAB_TESTS=ON -DATMOTAB_WERROR=ON \
    -DATMOTAB_BENCH=ON >/dev/null
  cmake --build build -j "$jobs"
}
step "release build" release_build
step_after "release tests" "release build" ctest --test-dir build -j "$jobs" --output-on-failure

asan_build() {
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Release -DATMOTAB_SANITIZE=ON \
    -DATMOTAB_WERROR=ON >/dev/null
  cmake --build build-asan -j "$jobs"
}
# The Python tests do not depend on the build flavour; they ran above.
asan_tests() {
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan -j "$jobs" --output-on-failure -E '^python/'
}
step "asan build" asan_build
step_after "asan tests" "asan build" asan_tests

# The fuzz harnesses, 15 s each (about a minute in all), so that they keep building and running;
# longer fuzzing: tools/fuzz.sh SECONDS.
step fuzz tools/fuzz.sh 15

steps_end check.sh
