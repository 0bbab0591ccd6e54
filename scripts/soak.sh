#!/usr/bin/env bash
# A long soak of the real program on real X servers (Xvfb, resetting as a lone player's
# session does) with two busy loops beside it: menu-game-menu cycles in one run, whole
# sessions, close boxes everywhere, and X servers dying under it. Every run checks the
# exit status, the console (no display or memory errors) and the high-score file.
#
# Then the Wayland desktops (weston, mutter, KWin, sway, cage nested in Xvfb) on screens of
# 1366 x 768 and 1920 x 1080, each game switched to fullscreen and back DESKTOP_ROUNDS times.
#
#   bash scripts/soak.sh [CYCLES [SESSIONS [CLOSE_ROUNDS [XDIES_ROUNDS [DESKTOP_ROUNDS]]]]]
# Defaults 200, 20, 5, 3 and 5 (about 50 minutes). BUILD=build-asan soaks the
# AddressSanitizer build. The exit status is 1 when any run failed.
set -uo pipefail
cd "$(dirname "$0")/.."
cycles=${1:-200}
sessions=${2:-20}
close_rounds=${3:-5}
xdies_rounds=${4:-3}
desktop_rounds=${5:-5}
build=${BUILD:-build}
[ -d "$build" ] || cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build "$build" -j2 --target KOR_Dudurad wmclose assets levels > /dev/null || exit 1
out=$build/soak
rm -rf "$out"
run() { bash tests/RealDisplay/realdisplay.sh "$1" "$2" "$build/KOR_Dudurad" "$build" "$build/tests/RealDisplay/wmclose" "$out/$1"; }
failed=0
for step in "cycles $cycles" "sessions $sessions" "closebox $close_rounds" "xdies $xdies_rounds"; do
  set -- $step
  [ "$2" -gt 0 ] || continue
  echo "== $1 ($2)"
  run "$1" "$2" | grep -v '^    ALSA' || failed=1
done
if [ "$desktop_rounds" -gt 0 ]; then
  echo "== desktops ($desktop_rounds fullscreen switches a game)"
  number=350
  for screen in 1366x768 1920x1080; do
    for desktop in weston mutter kwin sway cage; do
      mkdir -p "$out"
      bash tests/RealDisplay/desktops.sh "$desktop" "$build/KOR_Dudurad" "$build" "$out/desktop-$desktop-$screen" \
        "$number" "$screen" "$desktop_rounds" > "$out/desktop-$desktop-$screen.txt" 2>&1 || failed=1
      grep -E '^(passed|FAIL)' "$out/desktop-$desktop-$screen.txt"
      number=$((number + 1))
    done
  done
fi
# The Debian packages, built twice and compared (two package builds more; KOR_SOAK_PACKAGES=0
# leaves them out).
if [ "${KOR_SOAK_PACKAGES:-1}" != 0 ]; then
  echo "== Debian packages, built twice"
  bash scripts/reproducible.sh || failed=1
fi
[ "$failed" -eq 0 ] && echo "== soak passed" || echo "== soak FAILED (kept in $out)"
[ "$failed" -eq 0 ]
