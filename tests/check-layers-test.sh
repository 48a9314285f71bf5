#!/usr/bin/env bash
# The folder-graph check itself: it passes a tree that follows its layers.txt and refuses one include
# against it, a folder it does not place and a cycle, naming each.
set -euo pipefail
check="$1"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/src/low" "$tmp/src/high"
printf 'low:\nhigh: low\n' >"$tmp/src/layers.txt"
printf '#include "low/A.h"\n' >"$tmp/src/high/B.cpp"
printf '#pragma once\n' >"$tmp/src/low/A.h"
python3 "$check" "$tmp/src" >/dev/null

fails() {
  if out=$(python3 "$check" "$tmp/src"); then echo "accepted: $1"; exit 1; fi
  grep -qF "$2" <<<"$out" || { echo "no '$2' in: $out"; exit 1; }
}
printf '#include "high/B.h"\n' >"$tmp/src/low/A.cpp"
fails "an include against the graph" "A.cpp:1: low may not include high"
rm "$tmp/src/low/A.cpp"
mkdir "$tmp/src/stray"
fails "an unplaced folder" "stray: a folder that layers.txt does not place"
rmdir "$tmp/src/stray"
printf 'low: high\nhigh: low\n' >"$tmp/src/layers.txt"
fails "a cycle" "a cycle: low -> high -> low"
echo "the check refuses what it must"
