#!/usr/bin/env bash
# The "sortDir" collection of a tree of about 200,000 files in 4,000 folders, side by side in one run with
# a bare getdents64 walk, find and fdfind -j1 doing the same work. Each tool runs once to warm the cache,
# then RUNS times; the median wall time of whole processes is reported.
# usage: bench/collect/run.sh [BUILD_DIR] (default build); needs fd-find (fdfind) installed.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "${1:-$here/../../build}" && pwd)"
runs=${RUNS:-9}
work="${BENCH_DIR:-/tmp/quodrix-bench-collect}"
tree="$work/tree"

mkdir -p "$work"
[ -d "$tree" ] || python3 "$here/make_tree.py" "$tree"
cc -O2 -o "$work/walk" "$here/walk.c"

# A bundle whose only script answers the folder panel with the tree and prints the count.
bundle="$work/bundle"
mkdir -p "$bundle/bin" "$bundle/share/quodrix/Scripts"
cp "$build/bin/quodrix" "$bundle/bin/quodrix"
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

median_ms() {
  local fn=$1 times=() i start end
  "$fn" 2>/dev/null
  for ((i = 0; i < runs; i++)); do
    start=$EPOCHREALTIME
    "$fn" 2>/dev/null
    end=$EPOCHREALTIME
    times+=("$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f", (e - s) * 1000 }')")
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{ a[NR] = $1 } END { printf "%.1f", a[int((NR + 1) / 2)] }'
}

echo "matching files: walk $("$work/walk" "$tree" 2>&1 >/dev/null), quodrix $("$bundle/bin/quodrix" "$tree" 2>&1 >/dev/null)," \
  "find $(run_find_count() { find "$tree" -mindepth 1 -name '.*' -prune -o -type f "${find_filter[@]}" -print | wc -l; }; run_find_count)," \
  "fdfind $(fdfind -j1 --no-ignore --case-sensitive -t f "$regex" "$tree" | wc -l)"
walk=$(median_ms run_walk)
quodrix=$(median_ms run_quodrix)
findt=$(median_ms run_find)
fd=$(median_ms run_fd)
printf '%-28s %9s ms  %5s x walk\n' "bare getdents64 walk" "$walk" "1.00"
for row in "quodrix sortDir:$quodrix" "fdfind -j1:$fd" "find:$findt"; do
  name=${row%%:*}; t=${row#*:}
  printf '%-28s %9s ms  %5.2f x walk\n' "$name" "$t" "$(awk -v t="$t" -v w="$walk" 'BEGIN { print t / w }')"
done
