#!/usr/bin/env bash
# Builds the Debian packages twice, in folders of different names and depths, at
# different times, under different umasks, time zones and locales, and checks that both
# builds give bit-identical packages (source and binary, debug symbols included). Where
# they differ, diffoscope shows how.
#
#   reproducible.sh [OUT]     OUT (default build-reproducible/) keeps both builds
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$top/build-reproducible}")
rm -rf "$out"
mkdir -p "$out/sources"
# Both builds start from one copy of the sources (the files git knows), so that edits made
# meanwhile do not count as a difference.
(cd "$top" && git ls-files -z -c -o --exclude-standard | xargs -0 -r stat -c '%n' 2> /dev/null |
  tar -cf - --no-recursion -T -) | tar -xf - -C "$out/sources" ||
  { echo "FAIL: cannot copy the sources" >&2; exit 1; }

build() {  # $1 folder, then the environment that varies
  local dir=$1
  shift
  echo "== build in $dir ($*)"
  mkdir -p "$(dirname "$dir")"
  # Without a compiler cache, so that both builds really compile what they compare.
  (umask "$UMASK" && env -u CMAKE_C_COMPILER_LAUNCHER -u CMAKE_CXX_COMPILER_LAUNCHER "$@" \
    bash "$out/sources/scripts/package.sh" "$dir") > "$dir.log" 2>&1 ||
    { tail -n 30 "$dir.log" >&2; echo "FAIL: the build in $dir failed (log: $dir.log)" >&2; exit 1; }
  grep '^dpkg-buildpackage: [0-9]* s' "$dir.log"
}
UMASK=0022 build "$out/first" TZ=UTC LC_ALL=C.UTF-8
UMASK=0002 build "$out/second/a/much/longer/folder/name" TZ=Pacific/Kiritimati LC_ALL=C

first=$out/first
second=$out/second/a/much/longer/folder/name
differ=0
n=0
for file in "$first"/*.deb "$first"/*.tar.xz "$first"/*.dsc; do
  name=${file##*/}
  n=$((n + 1))
  if cmp -s "$file" "$second/$name"; then
    echo "same: $name $(sha256sum < "$file" | cut -c1-16)"
  else
    differ=$((differ + 1))
    echo "DIFFERENT: $name"
    if command -v diffoscope > /dev/null; then
      diffoscope --text - "$file" "$second/$name" | head -n 200
    fi
  fi
done
[ "$n" -ge 4 ] || { echo "FAIL: only $n files to compare" >&2; exit 1; }
[ "$differ" -eq 0 ] || { echo "FAIL: $differ of $n files differ" >&2; exit 1; }
echo "reproducible.sh: all $n files bit-identical"
