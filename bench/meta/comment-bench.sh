#!/usr/bin/env bash
# Writing the Exif user comment into a 20 MB JPEG: quodrix's `comment` command against ExifTool and the exiv2
# command-line tool doing the same, each run as a whole process, the file replaced each time.
# Usage: bench/meta/comment-bench.sh [BUILD_DIR] [RUNS]   (defaults: build, 15)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
runs=${2:-15}
quodrix="$build/bin/quodrix"
[ -x "$quodrix" ] || { echo "build first: $quodrix is missing" >&2; exit 1; }
convert=/usr/bin/convert
[ -x "$convert" ] || convert=convert

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME="$work/home"
mkdir -p "$HOME"

# Random noise keeps the JPEG large: 4000 x 3000 pixels at quality 92 is about 20 MB.
"$convert" -size 4000x3000 xc: +noise Random -quality 92 "$work/base.jpg"
exiftool -q -overwrite_original -Make=Bench -UserComment="first" "$work/base.jpg"
size=$(stat -c %s "$work/base.jpg")

now() { date +%s%N; }

# Runs "$@" with the comment text appended, $runs times on its own copy; prints the median in milliseconds.
measure() {
  local name=$1; shift
  cp "$work/base.jpg" "$work/$name.jpg"
  local times=()
  for i in $(seq 1 "$runs"); do
    local start end
    start=$(now)
    "$@" "$work/$name.jpg" "comment $i "$'h\xc3\xa9llo' >/dev/null 2>&1
    end=$(now)
    times+=($(( (end - start) / 1000 )))
  done
  printf '%s\n' "${times[@]}" | sort -n | awk -v n="$runs" '{ a[NR] = $1 } END { printf "%.1f\n", a[int((n + 1) / 2)] / 1000 }'
}

run_quodrix() { "$quodrix" comment "$1" "$2"; }
run_exiftool() { exiftool -q -overwrite_original "-UserComment=$2" "$1"; }
run_exiv2() { exiv2 -M"set Exif.Photo.UserComment charset=Unicode $2" "$1"; }

q=$(measure quodrix run_quodrix)
e=$(measure exiftool run_exiftool)
x=$(measure exiv2 run_exiv2)

# Each tool's result is read back by the others.
printf 'file: %d bytes, %d runs each, median wall time per write\n' "$size" "$runs"
printf '  quodrix comment   %8.1f ms\n' "$q"
printf '  exiftool          %8.1f ms\n' "$e"
printf '  exiv2             %8.1f ms\n' "$x"
awk -v q="$q" -v e="$e" -v x="$x" 'BEGIN { printf "  quodrix / exiftool %.2f, quodrix / exiv2 %.2f (target: < 1, <= 1.25)\n", q / e, q / x }'
printf '  check: %s\n' "$(exiftool -s3 -UserComment "$work/quodrix.jpg")"
