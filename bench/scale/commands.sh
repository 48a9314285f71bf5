#!/usr/bin/env bash
# A million files through the commands, as a user runs them: `quodrix insert -m -i _x 4 TREE` over a tree
# of 1,000,000 files of a few bytes in 20,000 folders of 50, then `quodrix history` and `quodrix undo`, each
# a whole process with its rows written to a file, timed by /usr/bin/time (wall, user and system time, peak
# resident memory). Then the same insert again, an undo killed with SIGKILL after KILL_AFTER seconds (8 by
# default) and a second undo, after which every file must be at its own name with its own contents.
# The tree is made under BENCH_DIR (default /var/tmp/quodrix-bench-commands) and removed at the end
# (KEEP_TREE=1 keeps it). Several minutes.
# usage: bench/scale/commands.sh [BUILD_DIR]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "${1:-$here/../../build}" && pwd)"
work="${BENCH_DIR:-/var/tmp/quodrix-bench-commands}"
tree="$work/tree"
cleanup() { [ "${KEEP_TREE:-0}" = 1 ] || rm -rf "$work"; }
trap cleanup EXIT

# Each file holds "FOLDER/INDEX", so that the check finds any file under another file's name.
make_tree() {
  python3 - "$tree" <<'PY'
import os, sys
root = sys.argv[1]
for f in range(20000):
    d = os.path.join(root, "d%03d" % (f // 200), "f%05d" % f)
    os.makedirs(d)
    for i in range(50):
        with open(os.path.join(d, "img_%05d.jpg" % i), "wb") as out:
            out.write(b"%d/%d" % (f, i))
PY
}
check_tree() {
  python3 - "$tree" <<'PY'
import os, sys
count = wrong = 0
for root, _, files in os.walk(sys.argv[1]):
    folder = int(os.path.basename(root)[1:]) if os.path.basename(root).startswith("f") else None
    for name in files:
        count += 1
        ok = folder is not None and name.startswith("img_") and len(name) == 13
        if ok:
            with open(os.path.join(root, name), "rb") as f:
                ok = f.read() == b"%d/%d" % (folder, int(name[4:9]))
        wrong += not ok
print(f"{count} files, {wrong} not at their own name with their contents")
sys.exit(1 if wrong or count != 1000000 else 0)
PY
}

export HOME="$work/home" XDG_DATA_HOME=
mkdir -p "$work"
rm -rf "$HOME" && mkdir -p "$HOME"
[ -d "$tree" ] || make_tree
q="$build/bin/quodrix"
timed() {
  local label=$1
  shift
  /usr/bin/time -f "$label: %e s (user %U, system %S), peak %M KB" "$@" > "$work/rows.txt" 2> "$work/err.txt" || true
  tail -1 "$work/err.txt"
}
timed "insert, a million renames in place" "$q" insert -m -i _x 4 "$tree"
timed "history" "$q" history
timed "undo" "$q" undo
check_tree

"$q" insert -m -i _x 4 "$tree" > /dev/null 2>&1
"$q" undo > /dev/null 2>&1 &
undo=$!
sleep "${KILL_AFTER:-8}"
kill -KILL "$undo" 2> /dev/null || true
wait "$undo" 2> /dev/null || true
echo "undo killed after ${KILL_AFTER:-8} s: $(find "$tree" -name 'img__x*' | wc -l) files still renamed"
timed "the next undo" "$q" undo
check_tree
