#!/usr/bin/env bash
# Start-up: the executable running an empty script, against `lua5.4 -e ""` (the bare interpreter) and a
# C++ program that only opens and closes a Lua state (the floor for a C++ host of the same Lua library).
# Each tool runs BATCH times in a row per round; the tools take turns over RUNS rounds and the median time
# of one start is reported.
# usage: bench/startup/run.sh [BUILD_DIR] (default build)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/../lib.sh"
build="$(cd "${1:-$here/../../build}" && pwd)"
runs=${RUNS:-9}
batch=${BATCH:-100}
work="${BENCH_DIR:-/tmp/quodrix-bench-startup}"
rm -rf "$work"
mkdir -p "$work/bundle/bin" "$work/bundle/share/quodrix/Scripts" "$work/home"
cp "$build/bin/quodrix" "$work/bundle/bin/quodrix"
: > "$work/bundle/share/quodrix/Scripts/empty.lua"
cat > "$work/host.cpp" <<'CPP'
#include <lua5.4/lua.hpp>
int main() { lua_State* L = luaL_newstate(); luaL_openlibs(L); lua_close(L); }
CPP
c++ -O2 -o "$work/host" "$work/host.cpp" $(pkg-config --libs lua5.4-c++)

run_quodrix() { HOME="$work/home" "$work/bundle/bin/quodrix"; }
run_lua()     { lua5.4 -e ""; }
run_host()    { "$work/host"; }

# Microseconds per start, over a batch.
time_batch() {
  local fn=$1 start end
  start=$EPOCHREALTIME
  for ((i = 0; i < batch; i++)); do "$fn" > /dev/null; done
  end=$EPOCHREALTIME
  awk -v s="$start" -v e="$end" -v n="$batch" 'BEGIN { printf "%.1f", (e - s) * 1e6 / n }'
}


lua_times=() quodrix_times=() host_times=()
for ((round = 0; round < runs; round++)); do
  lua_times+=("$(time_batch run_lua)")
  quodrix_times+=("$(time_batch run_quodrix)")
  host_times+=("$(time_batch run_host)")
done
lua=$(printf '%s\n' "${lua_times[@]}" | median)
quodrix=$(printf '%s\n' "${quodrix_times[@]}" | median)
host=$(printf '%s\n' "${host_times[@]}" | median)
printf '%-28s %8s us  %5s x lua\n' "lua5.4 -e \"\"" "$lua" "1.00"
for row in "quodrix, empty script:$quodrix" "C++ host of liblua5.4-c++:$host"; do
  name=${row%%:*}; t=${row#*:}
  printf '%-28s %8s us  %5.2f x lua\n' "$name" "$t" "$(awk -v t="$t" -v w="$lua" 'BEGIN { print t / w }')"
done
