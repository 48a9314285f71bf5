#!/usr/bin/env bash
# Insert renaming of 10,000 files (moves into another folder, with the bundled action log and its log file)
# by `quodrix insert`, against a plain loop of renameat(2) and the Perl `rename` tool doing the same
# insertion ("_x" after the fourth character). The files are made anew before each run, outside the
# timing; the median of RUNS runs of whole processes is reported, per file.
# usage: bench/rename/run.sh [BUILD_DIR] (default build); needs the Perl rename tool (package rename).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "${1:-$here/../../build}" && pwd)"
runs=${RUNS:-5}
files=${FILES:-10000}
work="${BENCH_DIR:-/tmp/quodrix-bench-rename}"
rm -rf "$work"
mkdir -p "$work/home"
cc -O2 -o "$work/renameat_loop" "$here/renameat_loop.c"
perl_rename=$(command -v file-rename || command -v rename)

prepare() {
  rm -rf "$work/src" "$work/dst"
  mkdir -p "$work/src" "$work/dst"
  (cd "$work/src" && seq -f "img_%05g.jpg" 1 "$files" | xargs touch)
}

run_quodrix() { HOME="$work/home" XDG_DATA_HOME= "$build/bin/quodrix" insert -m -d "$work/dst" _x 4 "$work/src" > /dev/null; }
run_loop()    { "$work/renameat_loop" "$work/src" "$work/dst" _x 4 2> /dev/null; }
run_perl()    { (cd "$work/src" && "$perl_rename" "s{^(.{4})}{$work/dst/\$1_x}" -- *); }

check() {
  local n
  n=$(find "$work/dst" -type f | wc -l)
  [ "$n" -eq "$files" ] || { echo "$1: $n files moved, not $files" >&2; exit 1; }
  [ -f "$work/dst/img__x00001.jpg" ] || { echo "$1: wrong names" >&2; exit 1; }
}

# One timed run of a tool on fresh files, in microseconds a file.
time_once() {
  local fn=$1 start end
  prepare
  sync
  start=$EPOCHREALTIME
  "$fn"
  end=$EPOCHREALTIME
  check "$fn"
  awk -v s="$start" -v e="$end" -v n="$files" 'BEGIN { printf "%.3f", (e - s) * 1e6 / n }'
}

median() { sort -n | awk '{ a[NR] = $1 } END { printf "%.1f", a[int((NR + 1) / 2)] }'; }

# The tools take turns in every round, so that a change in the machine's load touches all of them alike.
loop_times=() quodrix_times=() perl_times=()
for ((round = 0; round < runs; round++)); do
  loop_times+=("$(time_once run_loop)")
  quodrix_times+=("$(time_once run_quodrix)")
  perl_times+=("$(time_once run_perl)")
done
loop=$(printf '%s\n' "${loop_times[@]}" | median)
quodrix=$(printf '%s\n' "${quodrix_times[@]}" | median)
perl=$(printf '%s\n' "${perl_times[@]}" | median)
printf '%-28s %8s us/file  %5s x loop\n' "renameat loop" "$loop" "1.00"
for row in "quodrix insert:$quodrix" "Perl rename:$perl"; do
  name=${row%%:*}; t=${row#*:}
  printf '%-28s %8s us/file  %5.2f x loop\n' "$name" "$t" "$(awk -v t="$t" -v w="$loop" 'BEGIN { print t / w }')"
done
