#!/usr/bin/env bash
# Without any display (no DISPLAY, no WAYLAND_DISPLAY, no SDL_VIDEODRIVER) the program
# says so on the console and ends with status 1 at once instead of waiting for keys that
# nobody can press.
#
#   nodisplay.sh PROGRAM BUILD_DIR
set -uo pipefail
prog=$1
build=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$build/graphics" "$build/sounds" "$build/data" "$work/"
cd "$work"
started=$(date +%s%N)
env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER timeout 30 "$prog" > out.txt 2> err.txt
status=$?
elapsed_ms=$((($(date +%s%N) - started) / 1000000))
echo "--- stdout:"; cat out.txt
echo "--- stderr:"; cat err.txt
echo "--- status $status after $elapsed_ms ms"
[ "$status" -eq 1 ] || { echo "FAIL: status $status, not 1" >&2; exit 1; }
[ "$elapsed_ms" -lt 10000 ] || { echo "FAIL: took $elapsed_ms ms" >&2; exit 1; }
grep -q 'could not be opened.*graphical display' err.txt || { echo "FAIL: no clear message" >&2; exit 1; }
echo "passed"
