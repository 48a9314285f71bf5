#!/usr/bin/env bash
# Where the time of renaming 10,000 files in place goes: before the first rename (start, walk, plan and
# check), from the first rename to the last (with the journal's records and looks), and after the last
# (the rows, the log file, the journal's end), for the bare renameat loop, the journaled loop (the floor of
# a run that keeps a journal) and `quodrix insert -m --in-place`, timed by phases.c loaded into each. The
# tools take turns over RUNS rounds on fresh files; the median of each phase is printed, in milliseconds.
# usage: bench/rename/phases.sh [BUILD_DIR] (default build). RUNS=7, FILES=10000.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/../lib.sh"
build="$(cd "${1:-$here/../../build}" && pwd)"
runs=${RUNS:-7}
files=${FILES:-10000}
work="${BENCH_DIR:-/tmp/quodrix-bench-phases}"
rm -rf "$work"
mkdir -p "$work/home"
cc -O2 -o "$work/renameat_loop" "$here/renameat_loop.c"
cc -O2 -shared -fPIC -o "$work/phases.so" "$here/phases.c"

prepare() {
  rm -rf "$work/src" "$work/floor.journal"
  mkdir -p "$work/src"
  (cd "$work/src" && seq -f "img_%05g.jpg" 1 "$files" | xargs touch)
  sync
}

# The three phases of one run of a tool, from its standard error.
phases_of() {
  case $1 in
    loop) LD_PRELOAD="$work/phases.so" "$work/renameat_loop" "$work/src" "$work/src" _x 4 2>&1 >/dev/null ;;
    floor) LD_PRELOAD="$work/phases.so" "$work/renameat_loop" "$work/src" "$work/src" _x 4 "$work/floor.journal" \
      2>&1 >/dev/null ;;
    quodrix) HOME="$work/home" XDG_DATA_HOME= LD_PRELOAD="$work/phases.so" "$build/bin/quodrix" insert -m \
      --in-place _x 4 "$work/src" 2>&1 >/dev/null ;;
  esac | awk '$1 == "phases" { print $2, $3, $4 }'
}

declare -A before renaming after
for ((round = 0; round < runs; round++)); do
  for tool in loop floor quodrix; do
    prepare
    read -r b r a <<< "$(phases_of "$tool")"
    before[$tool]+="$b "; renaming[$tool]+="$r "; after[$tool]+="$a "
  done
done
printf 'in place, %d files, median of %d runs (ms):\n' "$files" "$runs"
printf '  %-16s %8s %8s %8s %8s\n' "" before renaming after total
for tool in loop floor quodrix; do
  b=$(tr ' ' '\n' <<< "${before[$tool]}" | grep . | median)
  r=$(tr ' ' '\n' <<< "${renaming[$tool]}" | grep . | median)
  a=$(tr ' ' '\n' <<< "${after[$tool]}" | grep . | median)
  total=$(awk -v b="$b" -v r="$r" -v a="$a" 'BEGIN { printf "%.1f", b + r + a }')
  printf '  %-16s %8s %8s %8s %8s\n' "$tool" "$b" "$r" "$a" "$total"
done
rm -rf "$work"
