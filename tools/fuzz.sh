#!/usr/bin/env bash
# Builds the fuzz targets of tests/fuzz with clang and libFuzzer and runs each for a bounded time with its
# seed corpus from tests/fuzz/corpus/<target>/, copied to a scratch folder so that a run adds nothing to
# the repository. Runs as many targets at once as there are processors. Fails when a target crashes, leaks
# or breaks an expectation; the input that did it is kept in build-fuzz/findings/<target>/.
#
#   bash tools/fuzz.sh            # 20 seconds per target
#   bash tools/fuzz.sh 600        # ten minutes per target (or FUZZ_SECONDS=600)
#   bash tools/fuzz.sh 60 base64  # only the named targets
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-${FUZZ_SECONDS:-20}}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  # Every target has its seed folder: the folders name the targets.
  mapfile -t targets < <(ls tests/fuzz/corpus)
fi

for target in "${targets[@]}"; do
  if [ ! -d "tests/fuzz/corpus/$target" ]; then
    echo "no fuzz target $target (the targets: $(ls tests/fuzz/corpus | tr '\n' ' '))" >&2
    exit 2
  fi
done

cxx=${FUZZ_CXX:-$(command -v clang++ || command -v clang++-14)}
cc=${FUZZ_CC:-$(command -v clang || command -v clang-14)}
cmake -S tests/fuzz -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_C_COMPILER="$cc" >/dev/null
cmake --build build-fuzz -j "$(nproc)"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# Runs one target in the background of the caller; its log tells how it ended.
fuzz() {
  local target=$1 corpus="$scratch/$1" findings="build-fuzz/findings/$1"
  mkdir -p "$corpus" "$findings"
  cp -R "tests/fuzz/corpus/$target/." "$corpus/"
  "build-fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 \
    -max_len=65536 -print_final_stats=0 -artifact_prefix="$findings/" "$corpus" >"$scratch/$target.log" 2>&1
}

# As many targets at once as there are processors, each for the whole time; the results in the order given.
failed=()
report() {
  local target=$1 pid=$2
  if wait "$pid"; then
    echo "fuzzed $target for ${seconds}s: $(grep -E '^#[0-9]+.*(DONE|pulse|NEW)' "$scratch/$target.log" | tail -n 1)"
  else
    tail -n 60 "$scratch/$target.log" 2>/dev/null || true
    echo "fuzz target $target failed; the input is in build-fuzz/findings/$target/" >&2
    failed+=("$target")
  fi
}
jobs=$(nproc)
running=()
pids=()
for target in "${targets[@]}"; do
  if [ ${#running[@]} -ge "$jobs" ]; then
    report "${running[0]}" "${pids[0]}"
    running=("${running[@]:1}")
    pids=("${pids[@]:1}")
  fi
  echo "fuzzing $target for ${seconds}s"
  fuzz "$target" &
  running+=("$target")
  pids+=("$!")
done
for i in "${!running[@]}"; do
  report "${running[$i]}" "${pids[$i]}"
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing failed: ${failed[*]}" >&2
  exit 1
fi
echo "every fuzz target ran ${seconds}s without a failure"
