#!/usr/bin/env bash
# Takes the README's screenshots from the real program on an X server of its own (Xvfb):
# the main menu (docs/menu.png) and a game frame of level 1 with the rocket in flight and
# its path (docs/game.png). Needs a built tree (bash scripts/run.sh or scripts/test.sh).
#
#   bash scripts/screenshots.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
if [ -z "${KOR_SCREENSHOTS_INNER:-}" ]; then
  bash scripts/deps.sh
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
  cmake --build build -j"$(nproc)" --target KOR_Dudurad
  exec env KOR_SCREENSHOTS_INNER=1 xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
fi

work=$(mktemp -d)
pid=
cleanup() {
  if [ -n "$pid" ] && kill -0 "$pid" 2> /dev/null; then kill "$pid"; fi
  rm -rf "$work"
}
trap cleanup EXIT
mkdir "$work/data"
cp data/level-*.txt "$work/data/"
ln -s "$root/build/graphics" "$work/graphics"
ln -s "$root/build/sounds" "$work/sounds"
mkdir -p docs

find_window() {  # find_window TITLE: waits up to 20 s
  local id
  for _ in $(seq 100); do
    id=$(xdotool search --name "^$1\$" 2> /dev/null | head -n 1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.2
  done
  echo "no window \"$1\"" >&2
  return 1
}
pixel() { import -window "$1" -crop "1x1+$2+$3" -depth 8 txt:- 2> /dev/null | grep -o '#[0-9A-F]\{6\}' | head -n 1; }
shot() { import -window "$1" -depth 8 "$2" && echo "wrote $2 ($(identify -format '%wx%h' "$2"), $(stat -c %s "$2") bytes)"; }

(cd "$work" && exec "$root/build/KOR_Dudurad" > /dev/null 2>&1) &
pid=$!
intro=$(find_window Intro)
# The intro's final picture: its blue corner and the intro text at (550, 500).
until [ "$(pixel "$intro" 20 520)" = '#001446' ] && [ "$(pixel "$intro" 600 525)" != '#001446' ]; do sleep 0.3; done
xdotool windowfocus --sync "$intro" key space

menu=$(find_window Menu)
until [ "$(pixel "$menu" 365 455)" = '#D4D0C8' ]; do sleep 0.2; done
xdotool mousemove --window "$menu" 400 462  # "Start spel" lights up under the pointer
sleep 0.5
shot "$menu" docs/menu.png
xdotool click 1

game=$(find_window 'The KOR Dudurad')
sleep 1
# Aim a little up, launch at 250 and catch the rocket on its way round the planet.
xdotool windowfocus --sync "$game" keydown Up sleep 0.05 keyup Up sleep 0.3 keydown space sleep 0.05 keyup space
sleep 1.9
shot "$game" docs/game.png
xdotool windowfocus --sync "$game" key Escape
