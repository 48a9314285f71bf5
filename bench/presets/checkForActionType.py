#!/usr/bin/env python3
"""checkForActionType::: over 100,000 rows of "Presets" (50 actions, 2,000 rows each), side by side with the
sqlite3 command-line shell running the same query on the same file.

Usage: python3 bench/presets/checkForActionType.py [BUILD_DIR] [RUNS]

Three figures, each the median of RUNS runs (default 21):
  shell     the sqlite3 shell as a process: SELECT * FROM Presets WHERE Action = 'Action17', output to /dev/null
  process   the quodrix executable as a process: one checkForActionType::: call from a script, lines to /dev/null
  call      the checkForActionType::: call alone, timed inside the script (open, query, lines, close)
"""
import os
import shutil
import sqlite3
import statistics
import subprocess
import sys
import tempfile
import time

ROWS, ACTIONS = 100_000, 50

build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
runs = int(sys.argv[2]) if len(sys.argv) > 2 else 21
work = tempfile.mkdtemp(prefix="quodrix-bench-")
scripts = os.path.join(work, "share", "quodrix", "Scripts")
os.makedirs(os.path.join(work, "bin"))
os.makedirs(scripts)
shutil.copy(os.path.join(build, "bin", "quodrix"), os.path.join(work, "bin", "quodrix"))
env = dict(os.environ, HOME=os.path.join(work, "home"), LANG="C.UTF-8")
env.pop("XDG_DATA_HOME", None)
db_path = os.path.join(work, "home", ".local", "share", "BriskloCom", "QuodrixPresets.sql")


def run_script(source, stdout=subprocess.PIPE):
    with open(os.path.join(scripts, "50_bench.lua"), "w") as f:
        f.write(source + "\nobjc.NSApp:terminate_(nil)\n")
    return subprocess.run([os.path.join(work, "bin", "quodrix")], env=env, stdout=stdout,
                          stderr=subprocess.PIPE, check=True, text=True).stdout


def timed(command, **kwargs):
    start = time.perf_counter()
    subprocess.run(command, stdout=subprocess.DEVNULL, check=True, **kwargs)
    return (time.perf_counter() - start) * 1000


# The store makes the file and its tables; the rows go in through one transaction of our own.
run_script("objc.dbViewController:new():linkToPresetsDB()")
con = sqlite3.connect(db_path)
columns = ["NameOfPreset", "Process", "Action"] + ["StrField%d" % p for p in range(3, 62)]
rows = []
for i in range(ROWS):
    values = ["Preset%d" % i, "Sorting", "Action%d" % (i % ACTIONS)]
    values += [("%d" % (i * p % 1000)) if 21 <= p <= 41 else "Value%d-%d" % (p, i % 97) for p in range(3, 62)]
    rows.append(values)
con.executemany("INSERT INTO Presets (%s) VALUES (%s)" % (",".join(columns), ",".join("?" * 62)), rows)
con.commit()
con.close()

query = "SELECT * FROM Presets WHERE Action = 'Action17'"
count = len(subprocess.run(["sqlite3", db_path, query], stdout=subprocess.PIPE, check=True,
                           text=True).stdout.splitlines())

in_script = run_script("""
local db = objc.dbViewController:new()
local times, n = {}, 0
for i = 1, %d do
  local start = objc.date():timeIntervalSince1970()
  n = #db:checkForActionType___("Presets", "Action", "Action17")
  times[#times + 1] = (objc.date():timeIntervalSince1970() - start) * 1000
end
table.sort(times)
print(n, times[(#times + 1) // 2])
""" % runs).split()

with open(os.path.join(scripts, "50_bench.lua"), "w") as f:
    f.write("""for _, line in ipairs(objc.dbViewController:new():checkForActionType___("Presets", "Action", "Action17")) do
  io.stdout:write(line, "\\n")
end
objc.NSApp:terminate_(nil)
""")
for _ in range(3):  # warm the page cache for both
    timed(["sqlite3", db_path, query])
    timed([os.path.join(work, "bin", "quodrix")], env=env)
shell = statistics.median(timed(["sqlite3", db_path, query]) for _ in range(runs))
process = statistics.median(timed([os.path.join(work, "bin", "quodrix")], env=env) for _ in range(runs))

print("rows %d, matching %d (shell) / %s (store), file %.1f MB, %d runs"
      % (ROWS, count, in_script[0], os.path.getsize(db_path) / 1e6, runs))
print("shell    %7.2f ms" % shell)
print("process  %7.2f ms  (%.2f x shell)" % (process, process / shell))
print("call     %7.2f ms  (%.2f x shell)" % (float(in_script[1]), float(in_script[1]) / shell))
shutil.rmtree(work)
