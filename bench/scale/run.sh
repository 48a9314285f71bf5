#!/usr/bin/env bash
# Collections and the run journal at a million files.
# - A tree of 1,000,000 files in 20,000 folders (bench/collect/make_tree.py 100 200 49) is made under
#   BENCH_DIR (default /var/tmp/quodrix-bench-scale) and removed at the end (KEEP_TREE=1 keeps it).
# - Time: the "sortDir" and "renameDir" collections of hOpenDialogFiles: as whole quodrix processes, against
#   the bare getdents64 walk (bench/collect/walk.c) printing the same paths; the tools take turns over RUNS
#   rounds (default 5) after a warm-up, and the medians are printed.
# - Memory: the peak resident size of each collection (/usr/bin/time), less that of the same process whose
#   script returns before collecting, per collected path, against the mean length of the path texts.
# - The journal: bench_journal_scale (linked to libquodrixcore.a) records 10,000 and 1,000,000 changes.
# - The plan: bench_plan_scale renames 10,000 and 1,000,000 files in folders of 50 through a checked rename
#   plan with its journal, beside a bare renameat loop over the same files (several minutes at a million).
# usage: bench/scale/run.sh [BUILD_DIR]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/../lib.sh"
build="$(cd "${1:-$here/../../build}" && pwd)"
runs=${RUNS:-5}
work="${BENCH_DIR:-/var/tmp/quodrix-bench-scale}"
tree="$work/tree"
cleanup() { [ "${KEEP_TREE:-0}" = 1 ] || rm -rf "$work"; }
trap cleanup EXIT

mkdir -p "$work"
[ -d "$tree" ] || python3 "$here/../collect/make_tree.py" "$tree" 100 200 49
cc -O2 -o "$work/walk" "$here/../collect/walk.c"
# The same walk putting the paths into a Lua table instead of printing them: the floor of any collection
# that a script receives as a table of strings.
g++ -O2 -x c++ -DINTO_LUA -o "$work/walk_lua" "$here/../collect/walk.c" -llua5.4-c++

# A bundle whose only script answers the folder panel with the tree and collects for the action given;
# "none" returns before collecting (the baseline of the memory figures); "bytes" sums the path lengths.
bundle="$work/bundle"
mkdir -p "$bundle/bin" "$bundle/share/quodrix/Scripts"
cp "$build/bin/quodrix" "$bundle/bin/quodrix"
# The native classes that the collection needs come with their module, as in the build's own bundle.
mkdir -p "$bundle/lib/quodrix"
cp "$build/lib/quodrix/quodrix-classes.so" "$bundle/lib/quodrix/"
cat > "$bundle/share/quodrix/Scripts/bench.lua" <<'LUA'
local tree, action, mode = objc.arguments[2], objc.arguments[3], objc.arguments[4]
if action == "none" then return end
objc.panels.open = function(request) return { tree } end
local paths = objc.cToolBox:hOpenDialogFiles_(action)
if mode == "bytes" then
  local bytes = 0
  for i = 1, #paths do bytes = bytes + #paths[i] end
  io.stderr:write(#paths, " ", bytes, "\n")
else
  io.stderr:write(#paths, "\n")
end
LUA

q="$bundle/bin/quodrix"
run_walk_sort() { "$work/walk" "$tree" > /dev/null; }
run_walk_all()  { "$work/walk" "$tree" all > /dev/null; }
run_floor_sort() { "$work/walk_lua" "$tree" > /dev/null; }
run_floor_all()  { "$work/walk_lua" "$tree" all > /dev/null; }
run_q_sort()    { "$q" "$tree" sortDir > /dev/null; }
run_q_rename()  { "$q" "$tree" renameDir > /dev/null; }


echo "machine: $(nproc) cores, $(awk '/MemTotal/ { printf "%.0f GB", $2 / 1048576 }' /proc/meminfo), load $(cut -d' ' -f1-3 /proc/loadavg), $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "paths: walk sortDir $("$work/walk" "$tree" 2>&1 >/dev/null), quodrix sortDir $("$q" "$tree" sortDir 2>&1 >/dev/null);" \
  "walk all $("$work/walk" "$tree" all 2>&1 >/dev/null), quodrix renameDir $("$q" "$tree" renameDir 2>&1 >/dev/null)"

for f in run_walk_sort run_floor_sort run_q_sort run_walk_all run_floor_all run_q_rename; do "$f" 2>/dev/null; done
ws=() fs=() qs=() wa=() fa=() qr=()
for ((round = 0; round < runs; round++)); do
  ws+=("$(time_ms run_walk_sort)"); fs+=("$(time_ms run_floor_sort)"); qs+=("$(time_ms run_q_sort)")
  wa+=("$(time_ms run_walk_all)"); fa+=("$(time_ms run_floor_all)"); qr+=("$(time_ms run_q_rename)")
done
ws=$(printf '%s\n' "${ws[@]}" | median); fs=$(printf '%s\n' "${fs[@]}" | median); qs=$(printf '%s\n' "${qs[@]}" | median)
wa=$(printf '%s\n' "${wa[@]}" | median); fa=$(printf '%s\n' "${fa[@]}" | median); qr=$(printf '%s\n' "${qr[@]}" | median)
printf '%-34s %9s ms\n' "bare walk, sort set" "$ws"
printf '%-34s %9s ms  %s x walk (floor)\n' "walk into a Lua table, sort set" "$fs" "$(ratio "$fs" "$ws")"
printf '%-34s %9s ms  %s x walk (target 1.5), %s x floor\n' "quodrix sortDir" "$qs" "$(ratio "$qs" "$ws")" "$(ratio "$qs" "$fs")"
printf '%-34s %9s ms\n' "bare walk, every file" "$wa"
printf '%-34s %9s ms  %s x walk (floor)\n' "walk into a Lua table, every file" "$fa" "$(ratio "$fa" "$wa")"
printf '%-34s %9s ms  %s x walk (target 1.5), %s x floor\n' "quodrix renameDir" "$qr" "$(ratio "$qr" "$wa")" "$(ratio "$qr" "$fa")"

peak_kb() { /usr/bin/time -f '%M' "$@" 2>&1 >/dev/null | tail -1; }
base=$(peak_kb "$q" "$tree" none)
for action in sortDir renameDir; do
  read -r count bytes < <("$q" "$tree" "$action" bytes 2>&1 >/dev/null)
  peak=$(peak_kb "$q" "$tree" "$action" bytes)
  awk -v a="$action" -v p="$peak" -v b="$base" -v n="$count" -v t="$bytes" 'BEGIN {
    per = (p - b) * 1024 / n; len = t / n
    printf "%-10s %8d paths, mean path %5.1f bytes; peak %7.1f MB (empty script %5.1f MB): %6.1f bytes a path, %4.2f x its text (target 3)\n",
      a, n, len, p / 1024, b / 1024, per, per / len }'
done

g++ -std=c++20 -O2 -I"$here/../../src" "$here/bench_journal_scale.cpp" "$build/libquodrixcore.a" -o "$work/bench_journal_scale"
"$work/bench_journal_scale" "$work" 3

g++ -std=c++20 -O2 -I"$here/../../src" "$here/bench_plan_scale.cpp" "$build/libquodrixcore.a" -o "$work/bench_plan_scale"
"$work/bench_plan_scale" "$work" 3
