#!/usr/bin/env bash
# Pattern renaming of 10,000 files in place ("img_00001.jpg" to "photo_00001.jpg" by a regular expression)
# by `quodrix rename -x`, against a plain loop of renameat(2) (renameat_inplace.c, the names read first) and
# the Perl `rename` tool with the same expression. The files are made anew before each run, outside the
# timing; the median of RUNS runs of whole processes is reported, per file.
# usage: bench/rename/pattern.sh [BUILD_DIR] (default build); needs the Perl rename tool (package rename).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/../lib.sh"
build="$(cd "${1:-$here/../../build}" && pwd)"
runs=${RUNS:-5}
files=${FILES:-10000}
work="${BENCH_DIR:-/tmp/quodrix-bench-pattern}"
rm -rf "$work"
mkdir -p "$work/home"
cc -O2 -o "$work/renameat_inplace" "$here/renameat_inplace.c"
perl_rename=$(command -v file-rename || command -v rename)

prepare() {
  rm -rf "$work/pics"
  mkdir -p "$work/pics"
  (cd "$work/pics" && seq -f "img_%05g.jpg" 1 "$files" | xargs touch)
}

run_quodrix() { HOME="$work/home" XDG_DATA_HOME= "$build/bin/quodrix" rename -x '^img_(\d+)' 'photo_$1' "$work/pics" > /dev/null 2>&1; }
run_loop()    { "$work/renameat_inplace" "$work/pics" img_ photo_ 2> /dev/null; }
run_perl()    { (cd "$work/pics" && "$perl_rename" 's/^img_(\d+)/photo_$1/' -- *); }

check() {
  local n
  n=$(find "$work/pics" -name 'photo_*.jpg' | wc -l)
  [ "$n" -eq "$files" ] || { echo "$1: $n files renamed, not $files" >&2; exit 1; }
}



loop_times=() quodrix_times=() perl_times=()
for ((round = 0; round < runs; round++)); do
  loop_times+=("$(time_once run_loop)")
  quodrix_times+=("$(time_once run_quodrix)")
  perl_times+=("$(time_once run_perl)")
done
loop=$(printf '%s\n' "${loop_times[@]}" | median)
quodrix=$(printf '%s\n' "${quodrix_times[@]}" | median)
perl=$(printf '%s\n' "${perl_times[@]}" | median)
printf '%-28s %8s us/file  %5s x loop\n' "renameat loop (in place)" "$loop" "1.00"
for row in "quodrix rename -x:$quodrix" "Perl rename:$perl"; do
  name=${row%%:*}; t=${row#*:}
  printf '%-28s %8s us/file  %5.2f x loop\n' "$name" "$t" "$(awk -v t="$t" -v w="$loop" 'BEGIN { print t / w }')"
done
