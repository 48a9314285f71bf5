#!/usr/bin/env bash
# The "sortDir" collection of a tree of about 200,000 files in 4,000 folders, side by side in one run with
# a bare getdents64 walk, find and fdfind -j1 doing the same work. Each tool runs once to warm the cache;
# then the tools take turns over RUNS rounds and the median wall time of whole processes is reported.
# usage: bench/collect/run.sh [BUILD_DIR] (default build); needs fd-find (fdfind) installed.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/../lib.sh"
build="$(cd "${1:-$here/../../build}" && pwd)"
runs=${RUNS:-9}
work="${BENCH_DIR:-/tmp/quodrix-bench-collect}"
tree="$work/tree"

mkdir -p "$work"
[ -d "$tree" ] || python3 "$here/make_tree.py" "$tree"
cc -O2 -o "$work/walk" "$here/walk.c"

# A bundle whose only script answers the folder panel with the tree and prints the count.
bundle="$work/bundle"
mkdir -p "$bundle/bin" "$bundle/share/quodrix/Scripts" "$bundle/lib/quodrix"
cp "$build/bin/quodrix" "$bundle/bin/quodrix"
# The native classes that the collection needs come with their module, as in the build's own bundle.
cp "$build/lib/quodrix/quodrix-classes.so" "$bundle/lib/quodrix/"
cat > "$bundle/share/quodrix/Scripts/bench.lua" <<'LUA'
local tree = objc.arguments[2]
objc.panels.open = function(request) return { tree } end
local paths = objc.cToolBox:hOpenDialogFiles_("sortDir")
io.stderr:write(#paths, "\n")
LUA

regex='\.(jpg|jpeg|tif|tiff|pdf|png|gif|JPG|JPEG|TIF|TIFF|PDF|PNG|GIF)$'
find_filter=( \( -name '*.jpg' -o -name '*.jpeg' -o -name '*.tif' -o -name '*.tiff' -o -name '*.pdf'
  -o -name '*.png' -o -name '*.gif' -o -name '*.JPG' -o -name '*.JPEG' -o -name '*.TIF' -o -name '*.TIFF'
  -o -name '*.PDF' -o -name '*.PNG' -o -name '*.GIF' \) )

run_walk()    { "$work/walk" "$tree" > /dev/null; }
run_quodrix() { "$bundle/bin/quodrix" "$tree" > /dev/null; }
run_find()    { find "$tree" -mindepth 1 -name '.*' -prune -o -type f "${find_filter[@]}" -print > /dev/null; }
run_fd()      { fdfind -j1 --no-ignore --case-sensitive -t f "$regex" "$tree" > /dev/null; }



echo "matching files: walk $("$work/walk" "$tree" 2>&1 >/dev/null), quodrix $("$bundle/bin/quodrix" "$tree" 2>&1 >/dev/null)," \
  "find $(run_find_count() { find "$tree" -mindepth 1 -name '.*' -prune -o -type f "${find_filter[@]}" -print | wc -l; }; run_find_count)," \
  "fdfind $(fdfind -j1 --no-ignore --case-sensitive -t f "$regex" "$tree" | wc -l)"
# Warm the cache, then let the tools take turns in every round, so that a change in the machine's load
# touches all of them alike.
run_walk 2>/dev/null; run_quodrix 2>/dev/null; run_find; run_fd
walk_times=() quodrix_times=() find_times=() fd_times=()
for ((round = 0; round < runs; round++)); do
  walk_times+=("$(time_ms run_walk)")
  quodrix_times+=("$(time_ms run_quodrix)")
  fd_times+=("$(time_ms run_fd)")
  find_times+=("$(time_ms run_find)")
done
walk=$(printf '%s\n' "${walk_times[@]}" | median)
quodrix=$(printf '%s\n' "${quodrix_times[@]}" | median)
fd=$(printf '%s\n' "${fd_times[@]}" | median)
findt=$(printf '%s\n' "${find_times[@]}" | median)
printf '%-28s %9s ms  %5s x walk\n' "bare getdents64 walk" "$walk" "1.00"
for row in "quodrix sortDir:$quodrix" "fdfind -j1:$fd" "find:$findt"; do
  name=${row%%:*}; t=${row#*:}
  printf '%-28s %9s ms  %5.2f x walk\n' "$name" "$t" "$(awk -v t="$t" -v w="$walk" 'BEGIN { print t / w }')"
done
