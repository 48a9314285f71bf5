#!/bin/sh
# Builds bench_journal.cpp against the built library and runs it in WORK_DIR (default: a new folder under
# /var/tmp, on a disk file system, removed at the end).
set -e
BUILD=${1:-$(dirname "$0")/../../build}
WORK=${2:-$(mktemp -d /var/tmp/quodrix-bench-journal.XXXXXX)}
SRC=$(cd "$(dirname "$0")/../.." && pwd)
g++ -std=c++20 -O2 -I"$SRC/src" "$SRC/bench/journal/bench_journal.cpp" "$BUILD/libquodrixcore.a" -o "$WORK/bench_journal"
"$WORK/bench_journal" "$WORK"
rm -rf "$WORK"
