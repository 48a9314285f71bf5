#!/usr/bin/env bash
# Runs every benchmark, one after the other (never two at once: they would measure each other), and ends
# with one table of the ratios each printed. Each benchmark's whole output is kept in OUT_DIR.
# usage: bench/run-all.sh [BUILD_DIR]   (default build; peers needed: perl rename, fd-find, exiftool, exiv2,
#        imagemagick, sqlite3, lua5.4)
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "${1:-$here/../build}" && pwd)"
out="${OUT_DIR:-$(mktemp -d /tmp/quodrix-bench-all-XXXXXX)}"
mkdir -p "$out"

benchmarks=(
  "start-up|bash $here/startup/run.sh $build"
  "insert renaming|bash $here/rename/run.sh $build"
  "pattern renaming|bash $here/rename/pattern.sh $build"
  "journal|bash $here/journal/run.sh $build"
  "collection|bash $here/collect/run.sh $build"
  "comment write|bash $here/meta/comment-bench.sh $build"
  "list reader and copy|sh $here/files/run.sh $build"
  "action-type query|python3 $here/presets/checkForActionType.py $build"
)
# The million-file benchmarks (bench/scale/run.sh, bench/scale/commands.sh) make their trees and run for
# several minutes: SCALE=1 adds them.
if [ "${SCALE:-0}" = 1 ]; then
  benchmarks+=("a million files|bash $here/scale/run.sh $build")
  benchmarks+=("a million by command|bash $here/scale/commands.sh $build")
fi

for entry in "${benchmarks[@]}"; do
  name=${entry%%|*}; command=${entry#*|}
  file="$out/$(echo "$name" | tr ' ' '-').txt"
  echo "== $name: $command" >&2
  if ! $command > "$file" 2>&1; then
    echo "   failed; see $file" >&2
  fi
done

echo
printf 'Figures of %s on %s (%s cores, load %s)\n' "$(date -u +%Y-%m-%d)" "$(uname -n)" "$(nproc)" \
  "$(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-22s %s\n' "benchmark" "result"
for entry in "${benchmarks[@]}"; do
  name=${entry%%|*}
  file="$out/$(echo "$name" | tr ' ' '-').txt"
  # The lines that compare: "x loop", "x walk", "x lua", "x shell", "quodrix / exiv2", the files
  # benchmark's per-tool lines, and the commands' times, peaks and checks at a million files.
  compare=' x [a-z]+|[0-9.]+ *x|ratio|quodrix / |^  (awk|bare|ours|cp|hCopyFileTo|hReadMfrLog)'
  grep -E "$compare|, peak [0-9]+ KB|not at their own" "$file" 2>/dev/null \
    | sed "s/^ *//; s/^/$(printf '%-22s ' "$name")/" || printf '%-22s %s\n' "$name" "(no result)"
done
echo "(whole outputs in $out)"
