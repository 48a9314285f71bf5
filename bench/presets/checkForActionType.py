#!/usr/bin/env python3
"""checkForActionType::: over 100,000 rows of "Presets" (50 actions, 2,000 rows each), side by side with the
sqlite3 command-line shell running the same query on the same file.

Usage: python3 bench/presets/checkForActionType.py [BUILD_DIR] [RUNS]

Three figures, each the median of RUNS runs (default 21):
  shell     the sqlite3 shell as a process: SELECT * FROM Presets WHERE Action = 'Action17', output to /dev/null
  process   the quodrix executable as a process: one checkForActionType::: call from a script, lines to /dev/null
  call      the checkForActionType::: call alone, timed inside that script (open, query, lines, close)
The shell and the application run in turn, so that both meet the same load on the machine.
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
# The presets store is a native class of the module that the executable loads on first use.
os.makedirs(os.path.join(work, "lib", "quodrix"))
shutil.copy(os.path.join(build, "lib", "quodrix", "quodrix-classes.so"), os.path.join(work, "lib", "quodrix"))
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

# One run of the application: the call is timed inside the script, the lines go to standard output.
with open(os.path.join(scripts, "50_bench.lua"), "w") as f:
    f.write("""local start = objc.date():timeIntervalSince1970()
local lines = objc.dbViewController:new():checkForActionType___("Presets", "Action", "Action17")
local elapsed = (objc.date():timeIntervalSince1970() - start) * 1000
for _, line in ipairs(lines) do io.stdout:write(line, "\\n") end
io.stderr:write(string.format("%d %.3f\\n", #lines, elapsed))
objc.NSApp:terminate_(nil)
""")


def application_run():
    start = time.perf_counter()
    done = subprocess.run([os.path.join(work, "bin", "quodrix")], env=env, stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE, check=True, text=True)
    wall = (time.perf_counter() - start) * 1000
    found, call = done.stderr.split()
    return wall, float(call), int(found)


for _ in range(3):  # warm the page cache for both
    timed(["sqlite3", db_path, query])
    application_run()
# Interleaved, so that both see the same load on the machine.
shell_times, process_times, call_times = [], [], []
for _ in range(runs):
    shell_times.append(timed(["sqlite3", db_path, query]))
    wall, call, found = application_run()
    process_times.append(wall)
    call_times.append(call)
shell, process, call = (statistics.median(t) for t in (shell_times, process_times, call_times))
in_script = [found]

print("rows %d, matching %d (shell) / %s (store), file %.1f MB, %d runs"
      % (ROWS, count, in_script[0], os.path.getsize(db_path) / 1e6, runs))
print("shell    %7.2f ms" % shell)
print("process  %7.2f ms  (%.2f x shell)" % (process, process / shell))
print("call     %7.2f ms  (%.2f x shell)" % (call, call / shell))
shutil.rmtree(work)
