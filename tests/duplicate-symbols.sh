#!/usr/bin/env bash
# Fails when two object files of the library define the same external symbol: the linker would keep one
# of them silently and the other's callers would run the wrong code.
set -euo pipefail
duplicates=$(nm --defined-only "$1" 2>/dev/null | awk '$2 ~ /^[TDBR]$/ {print $3}' | sort | uniq -d | c++filt)
if [ -n "$duplicates" ]; then
  echo "symbols defined twice in $1:"
  echo "$duplicates"
  exit 1
fi
echo "1 passed, 0 failed"
