#!/usr/bin/env bash
# Installs what the project needs, builds it twice (plain, and with AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs every test in both builds, then builds the fuzz targets and runs
# each for FUZZ_SECONDS seconds (20 unless set; see tools/fuzz.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh
jobs=$(nproc)
# Each step says when it ends, counted from the start, so that a slow step shows in the output.
step() { echo "== $1 done at ${SECONDS}s"; }
step "installing"

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"
step "plain build"
ctest --test-dir build --output-on-failure -j "$jobs"
step "plain tests"

cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUODRIX_SANITIZE=ON
cmake --build build-sanitize -j "$jobs"
step "sanitized build"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-sanitize --output-on-failure -j "$jobs"
step "sanitized tests"

bash tools/fuzz.sh "${FUZZ_SECONDS:-20}"
step "fuzzing"
