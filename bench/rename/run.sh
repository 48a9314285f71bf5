#!/usr/bin/env bash
# Insert renaming of 10,000 files by `quodrix insert` (with the bundled action log, its log file and the
# run's journal), against a plain loop of renameat(2) and the Perl `rename` tool doing the same insertion
# ("_x" after the fourth character), in two settings:
#   move      the files are moved into another folder (-m -d DEST), by the insert renaming controller;
#   in place  the files are renamed where they are (-m --in-place), by the command's plan;
#   list      the list controller renames them in place (`quodrix list LIST SRC`, LIST holding
#             "img_00001.jpg;img__x00001.jpg" lines, made outside the timing), against the same loop and
#             Perl rename in place.
# The files are made anew before each run, outside the timing; the median of RUNS runs of whole processes
# is reported, per file, with its ratio to the renameat loop.
# usage: bench/rename/run.sh [BUILD_DIR] (default build); needs the Perl rename tool (package rename).
# MODES="move inplace list" by default; RUNS=5, FILES=10000.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/../lib.sh"
build="$(cd "${1:-$here/../../build}" && pwd)"
runs=${RUNS:-5}
files=${FILES:-10000}
modes=${MODES:-move inplace list}
work="${BENCH_DIR:-/tmp/quodrix-bench-rename}"
rm -rf "$work"
mkdir -p "$work/home"
cc -O2 -o "$work/renameat_loop" "$here/renameat_loop.c"
perl_rename=$(command -v file-rename || command -v rename)
mode=move

# Where the renamed files end up.
target() { if [ "$mode" = move ]; then echo "$work/dst"; else echo "$work/src"; fi; }

prepare() {
  rm -rf "$work/src" "$work/dst"
  mkdir -p "$work/src" "$work/dst"
  (cd "$work/src" && seq -f "img_%05g.jpg" 1 "$files" | xargs touch)
  if [ "$mode" = list ]; then seq -f "%05g" 1 "$files" | awk '{ print "img_" $1 ".jpg;img__x" $1 ".jpg" }' > "$work/list.txt"; fi
}

run_quodrix() {
  if [ "$mode" = list ]; then
    HOME="$work/home" XDG_DATA_HOME= "$build/bin/quodrix" list "$work/list.txt" "$work/src" > /dev/null 2>&1
  elif [ "$mode" = inplace ]; then
    HOME="$work/home" XDG_DATA_HOME= "$build/bin/quodrix" insert -m --in-place _x 4 "$work/src" > /dev/null 2>&1
  else
    HOME="$work/home" XDG_DATA_HOME= "$build/bin/quodrix" insert -m -d "$(target)" _x 4 "$work/src" > /dev/null 2>&1
  fi
}
run_loop()    { "$work/renameat_loop" "$work/src" "$(target)" _x 4 2> /dev/null; }
# The floor of a journaled run: the loop with one lstat and one journal write a file before its rename.
run_floor()   { "$work/renameat_loop" "$work/src" "$(target)" _x 4 "$work/floor.journal" 2> /dev/null; }
run_perl()    { (cd "$work/src" && "$perl_rename" "s{^(.{4})}{$(target)/\$1_x}" -- *); }

check() {
  local n
  n=$(find "$(target)" -type f -name 'img__x*' | wc -l)
  [ "$n" -eq "$files" ] || { echo "$1 ($mode): $n files renamed, not $files" >&2; exit 1; }
  [ -f "$(target)/img__x00001.jpg" ] || { echo "$1 ($mode): wrong names" >&2; exit 1; }
}



for mode in $modes; do
  # The tools take turns in every round, so that a change in the machine's load touches all of them alike.
  loop_times=() floor_times=() quodrix_times=() perl_times=()
  for ((round = 0; round < runs; round++)); do
    loop_times+=("$(time_once run_loop)")
    floor_times+=("$(time_once run_floor)")
    quodrix_times+=("$(time_once run_quodrix)")
    perl_times+=("$(time_once run_perl)")
  done
  loop=$(printf '%s\n' "${loop_times[@]}" | median)
  floor=$(printf '%s\n' "${floor_times[@]}" | median)
  quodrix=$(printf '%s\n' "${quodrix_times[@]}" | median)
  perl=$(printf '%s\n' "${perl_times[@]}" | median)
  case $mode in inplace) label="in place" ;; list) label="list, in place" ;; *) label=$mode ;; esac
  printf '%s, %d files, median of %d runs:\n' "$label" "$files" "$runs"
  printf '  %-26s %8s us/file  %5s x loop\n' "renameat loop" "$loop" "1.00"
  for row in "journaled loop (floor):$floor" "quodrix $([ "$mode" = list ] && echo list || echo insert):$quodrix" "Perl rename:$perl"; do
    name=${row%%:*}; t=${row#*:}
    printf '  %-26s %8s us/file  %5.2f x loop\n' "$name" "$t" "$(awk -v t="$t" -v w="$loop" 'BEGIN { print t / w }')"
  done
done
