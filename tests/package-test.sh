#!/usr/bin/env bash
# The Debian package: built by CPack from the build tree, it holds the executable, the classes and images
# modules, the scripts with their compiled forms (named for /usr/share/quodrix/Scripts), the manual page and
# the bash completion under /usr, and the unpacked executable finds its scripts and its modules there:
# commands whose classes need Exiv2, Little CMS, SQLite and ICU work.
set -euo pipefail
build="$1"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

(cd "$tmp" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/out" >"$tmp/cpack.log" 2>&1) || {
  cat "$tmp/cpack.log"; exit 1; }
deb=$(ls "$tmp"/out/quodrix_*.deb)

dpkg-deb -c "$deb" | awk '{print $6}' >"$tmp/files"
for f in ./usr/bin/quodrix ./usr/lib/quodrix/quodrix-classes.so ./usr/lib/quodrix/quodrix-images.so \
         ./usr/share/quodrix/Scripts/99_AppDelegate.lua \
         ./usr/share/man/man1/quodrix.1.gz ./usr/share/bash-completion/completions/quodrix; do
  grep -qxF "$f" "$tmp/files" || { echo "missing from the package: $f"; cat "$tmp/files"; exit 1; }
done
if grep -q "quodrix_tests" "$tmp/files"; then echo "the tests are in the package"; exit 1; fi
if grep -q "compile-scripts" "$tmp/files"; then echo "the build's script compiler is in the package"; exit 1; fi
# The scripts come compiled for where the package puts them.
for script in $(grep -E '^\./usr/share/quodrix/Scripts/.*\.lua$' "$tmp/files"); do
  name=$(basename "$script" .lua)
  grep -qxF "./usr/share/quodrix/Compiled/$name.luac" "$tmp/files" || { echo "$script is not compiled"; exit 1; }
done
depends=$(dpkg-deb -f "$deb" Depends)
if grep -q liblua <<<"$depends"; then echo "a Lua library in Depends: $depends"; exit 1; fi
# Lua is linked into the executable; the classes module's libraries are shared.
for lib in libsqlite3 libexiv2 libplist; do
  grep -q "$lib" <<<"$depends" || { echo "no $lib in Depends: $depends"; exit 1; }
done

dpkg-deb -x "$deb" "$tmp/root"
grep -q "@/usr/share/quodrix/Scripts/99_AppDelegate.lua" "$tmp/root/usr/share/quodrix/Compiled/99_AppDelegate.luac" || {
  echo "the compiled scripts are not named for /usr/share/quodrix/Scripts"; exit 1; }
version=$(HOME="$tmp" "$tmp/root/usr/bin/quodrix" --version)
[ "$version" = "quodrix $(dpkg-deb -f "$deb" Version)" ] || { echo "version: $version"; exit 1; }
help=$(HOME="$tmp" "$tmp/root/usr/bin/quodrix" help)
grep -q "^  insert " <<<"$help" || { echo "help: $help"; exit 1; }
zcat "$tmp/root/usr/share/man/man1/quodrix.1.gz" | grep -q '^\.TH "quodrix" "1"' || { echo "no manual page header"; exit 1; }
bash -n "$tmp/root/usr/share/bash-completion/completions/quodrix"
# Every command that help lists has its entry in the manual page and is completed.
commands=$(awk '/^commands:/ { listed = 1; next } listed && /^  [a-z]/ { print $1 } listed && /^$/ { exit }' <<<"$help")
[ "$(wc -l <<<"$commands")" -ge 10 ] || { echo "help lists too few commands: $commands"; exit 1; }
manual=$(zcat "$tmp/root/usr/share/man/man1/quodrix.1.gz")
completed=$(grep -m1 'local commands=' "$tmp/root/usr/share/bash-completion/completions/quodrix")
for command in $commands; do
  case $command in help|version) continue ;; esac
  grep -q "^[\\]fB$command[\\]fR" <<<"$manual" || { echo "no entry in the manual page for $command"; exit 1; }
  grep -qw -- "$command" <<<"$completed" || { echo "$command is not completed"; exit 1; }
done

# Commands that load the classes module, from the unpacked package.
q="$tmp/root/usr/bin/quodrix"
mkdir "$tmp/work"
cp "$tmp/root/usr/share/quodrix/Samples/Forest.jpg" "$tmp/work/a b.jpg"
expect() { [ "$1" = "$2" ] || { printf 'expected: %s\ngot: %s\n' "$2" "$1"; exit 1; }; }
expect "$(HOME="$tmp" "$q" comment "$tmp/work/a b.jpg" "Café ✓" 2>&1 >/dev/null)" "1 comment written"
expect "$(HOME="$tmp" "$q" comment "$tmp/work/a b.jpg")" "Café ✓"
expect "$(HOME="$tmp" "$q" meta "$tmp/work/a b.jpg" | head -3 | tr '\n' ' ')" "ColorModel: RGB PixelHeight: 64 PixelWidth: 96 "
expect "$(HOME="$tmp" "$q" presets save Packaged)" "saved Packaged"
expect "$(HOME="$tmp" "$q" presets check Packaged)" "Packaged"
expect "$(HOME="$tmp" "$q" insert -n X 0 "$tmp/work/a b.jpg" 2>/dev/null | cut -f2,3)" "Simulation	a b.jpg"
echo "the package holds and runs quodrix $version"
