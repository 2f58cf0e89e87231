#!/usr/bin/env bash
# Builds the shipped configuration (preset "windows") twice, from two copies
# of the same sources in two different folders, and checks that both builds
# give a byte-identical KorvaneInstaller.exe: no timestamp, no source or build
# path and nothing of the build machine's clock may reach the program.
#
# Usage: reproducible_build.sh SOURCE_DIR [CMAKE]
set -euo pipefail

source_dir=$(cd "$1" && pwd)
cmake=${2:-cmake}

work=$(mktemp -d "${TMPDIR:-/tmp}/korvane-repro.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Folder names of different lengths, so that an embedded path would also
# move whatever follows it.
copies=("$work/a/src" "$work/second-tree/korvane-sources")
# Local clocks 26 hours apart (UTC-12 and UTC+14), so the two builds run on
# different dates at any hour: a __DATE__ or __TIME__ would differ.
clocks=("WEST12" "EAST-14")

copy_sources() {
  local target=$1
  mkdir -p "$target"
  if git -C "$source_dir" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    # The files as they are now, tracked or new; nothing git ignores (build trees).
    (cd "$source_dir" &&
      git ls-files -z --cached --others --exclude-standard |
      while IFS= read -r -d '' file; do [ -f "$file" ] && printf '%s\0' "$file"; done |
      xargs -0 cp --parents -t "$target")
  else
    tar -C "$source_dir" --exclude=./build --exclude=./out --exclude=./.git -cf - . | tar -C "$target" -xf -
  fi
}

for i in 0 1; do
  copy="${copies[$i]}"
  copy_sources "$copy"
  log="$work/build-$i.log"
  if ! (cd "$copy" && TZ="${clocks[$i]}" "$cmake" --preset windows &&
        TZ="${clocks[$i]}" "$cmake" --build --preset windows --target KorvaneInstaller) >"$log" 2>&1; then
    cat "$log"
    echo "reproducible_build: the build in $copy failed" >&2
    exit 1
  fi
done

first="${copies[0]}/build/windows/installer/KorvaneInstaller.exe"
second="${copies[1]}/build/windows/installer/KorvaneInstaller.exe"
echo "KorvaneInstaller.exe: $(stat -c %s "$first") bytes, sha256 $(sha256sum "$first" | cut -d' ' -f1)"
if ! cmp -s "$first" "$second"; then
  echo "reproducible_build: the two builds differ in $(cmp -l "$first" "$second" | wc -l) bytes; first offsets (decimal, octal values):" >&2
  cmp -l "$first" "$second" | head -n 10 >&2 || true  # head closes the pipe early
  exit 1
fi
echo "two builds in different folders are byte-identical"
