# Helpers of the benchmark scripts, sourced by them (". bench/lib.sh"), not run by itself.

# The median of the numbers on standard input, with one decimal.
median() { sort -n | awk '{ a[NR] = $1 } END { printf "%.1f", a[int((NR + 1) / 2)] }'; }

# $1 / $2 with two decimals.
ratio() { awk -v t="$1" -v w="$2" 'BEGIN { printf "%5.2f", t / w }'; }

# The milliseconds that the command takes (its error output dropped), with three decimals.
time_ms() {
  local start=$EPOCHREALTIME end
  "$@" 2>/dev/null
  end=$EPOCHREALTIME
  awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f", (e - s) * 1000 }'
}

# One timed run of a tool over fresh files, in microseconds a file: the calling script's `prepare` makes
# the files and `check TOOL` checks the result, both outside the timing; $files is the number of files.
time_once() {
  local fn=$1 start end
  prepare
  sync
  start=$EPOCHREALTIME
  "$fn"
  end=$EPOCHREALTIME
  check "$fn"
  awk -v s="$start" -v e="$end" -v n="$files" 'BEGIN { printf "%.3f", (e - s) * 1e6 / n }'
}
