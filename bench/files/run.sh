#!/bin/sh
# Benchmarks of the rename-list reader and the copy of cNSFileHandling against awk, a bare C reader and cp.
# Needs a built tree (cmake --build build). Usage: bench/files/run.sh [BUILD_DIR] [WORK_DIR]
# WORK_DIR must lie on a disk file system with about 2.5 GB free; it is removed at the end.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$root/build}
work=${2:-$(mktemp -d /var/tmp/quodrix-bench-XXXXXX)}
runs=${RUNS:-5}
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT

cc -O2 -o "$work/bare_reader" "$here/bare_reader.c"
c++ -std=c++20 -O2 -I"$root/src" -o "$work/bench_files" "$here/bench_files.cpp" "$build/libquodrixcore.a" \
    $(pkg-config --libs lua5.4-c++ sqlite3 icu-uc icu-i18n glib-2.0 gio-2.0 exiv2 lcms2 libplist-2.0 libcurl) \
    $(cups-config --libs)

# 1,000,000 lines of two names and CR LF: 32 bytes a line, 32,000,000 bytes.
list="$work/list.txt"
awk 'BEGIN { for (i = 0; i < 1000000; i++) printf "IMG_%06d.jpg;NEW_%07d.jpg\r\n", i, i }' > "$list"
echo "list: $(wc -c < "$list") bytes, $(wc -l < "$list") lines"

ms() { date +%s%N; }
best() { sort -n | head -1; }

echo "reader (best of $runs, ms, file in the page cache):"
for i in $(seq "$runs"); do
    "$work/bare_reader" "$list" | awk '{print "bare " $2}'
    "$work/bench_files" read "$list" | awk '{print "ours " $2}'
done > "$work/read.txt"
grep '^bare ' "$work/read.txt" | awk '{print $2}' | best | sed 's/^/  bare C reader   /'
grep '^ours ' "$work/read.txt" | awk '{print $2}' | best | sed 's/^/  hReadMfrLog     /'
for i in $(seq "$runs"); do
    s=$(ms); pairs=$(LC_ALL=C awk -F';' 'NF==2' "$list" | wc -l); e=$(ms)
    echo "$(( (e - s) / 1000000 ))"
done | best | sed 's/^/  awk NF==2       /'
"$work/bare_reader" "$list" | awk '{print "  pairs (bare C): " $1}'
"$work/bench_files" read "$list" | awk '{print "  pairs (ours):   " $1}'

echo "copy of 1 GiB (best of 3, ms, runs alternating):"
head -c 1073741824 /dev/urandom > "$work/big.bin"
sync
for i in 1 2 3; do
    rm -f "$work/cp.bin" "$work/ours.bin"; sync
    s=$(ms); cp "$work/big.bin" "$work/cp.bin"; e=$(ms)
    echo "cp $(( (e - s) / 1000000 ))"
    rm -f "$work/cp.bin"; sync
    "$work/bench_files" copy "$work/big.bin" "$work/ours.bin" | awk '{print "ours " $2}'
done > "$work/copy.txt"
grep '^cp ' "$work/copy.txt" | awk '{print $2}' | best | sed 's/^/  cp              /'
grep '^ours ' "$work/copy.txt" | awk '{print $2}' | best | sed 's/^/  hCopyFileTo     /'
cmp "$work/big.bin" "$work/ours.bin" && echo "  copy identical"
