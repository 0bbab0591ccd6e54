#!/usr/bin/env bash
# Stop signals on the real program (run through xvfb-run): SIGTERM during a game ends it as
# Escape does, its score saved, with status 143; SIGINT in the intro and SIGHUP in the menu
# end the program at once (130, 129). The console, redirected to a file, gets each line
# when it is written: a level's message is there while the game still runs.
#
#   signals.sh PROGRAM BUILD_DIR
set -uo pipefail
prog=$1
build=$2
work=$(mktemp -d)
pid=
cleanup() {
  if [ -n "$pid" ] && kill -0 "$pid" 2> /dev/null; then kill -KILL "$pid" 2> /dev/null; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  echo "--- console:" >&2
  cat "$work/console.txt" >&2 2> /dev/null
  exit 1
}
[ -n "${DISPLAY:-}" ] || fail "no DISPLAY: run me through xvfb-run"
. "$(cd "$(dirname "$0")/../support" && pwd)/xdrive.sh"

cp -r "$build/graphics" "$build/sounds" "$work/"
mkdir "$work/data"
# The rocket is held until Space: nothing ends the level by itself.
printf '[Ball]\nPosition_X = 300\nRadius = 25\n[Ball]\nPosition_X = -300\nRadius = 12\nMass = 1\nBad \033[2J line\n' \
  > "$work/data/level-01.txt"
printf '500\r\n' > "$work/data/highscores.dat"

start() {
  (cd "$work" && exec env -u SDL_VIDEODRIVER -u SDL_AUDIODRIVER "$prog" > "$work/console.txt" 2>&1) &
  pid=$!
}
# Sends signal $1 and waits at most 5 s for the end; the exit status goes to $status.
stop_with() {
  kill -"$1" "$pid"
  local end=$((SECONDS + 5))
  while alive && [ $SECONDS -lt $end ]; do sleep 0.1; done
  alive && fail "still running 5 s after SIG$1"
  wait "$pid"
  status=$?
  pid=
}
to_menu() {
  local intro menu=
  intro=$(find_window Intro 20) || fail "no window \"Intro\""
  # A key ends the intro once its window has the keyboard.
  for _ in 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15; do
    xdotool windowfocus --sync "$intro" key space 2> /dev/null
    menu=$(find_window Menu 1) && break
  done
  [ -n "$menu" ] || fail "no menu"
  wait_pixel "$menu" 365 455 '#D4D0C8' 10 || fail "the menu's buttons are not drawn"
  echo "$menu"
}

# ---- SIGINT in the intro ----
start
find_window Intro 20 > /dev/null || fail "no window \"Intro\""
stop_with INT
[ "$status" -eq 130 ] || fail "SIGINT in the intro: status $status, not 130"

# ---- SIGHUP in the menu ----
start
to_menu > /dev/null
stop_with HUP
[ "$status" -eq 129 ] || fail "SIGHUP in the menu: status $status, not 129"
[ "$(tr -d '\r' < "$work/data/highscores.dat" | tr '\n' ' ')" = "500 " ] || fail "the menu touched the scores"

# ---- SIGTERM during a game ----
start
menu=$(to_menu)
xdotool mousemove --window "$menu" 400 462 click 1
find_window 'The KOR Dudurad' 15 > /dev/null || fail "no game window after \"Start spel\""
sleep 1
grep -qF "[ERROR] (ReadLevelFileLine) Couldn't interpret this: Bad \\x1B[2J line" "$work/console.txt" ||
  fail "the level's message is not on the console (escaped) while the game runs"
stop_with TERM
[ "$status" -eq 143 ] || fail "SIGTERM in a game: status $status, not 143"
scores=$(tr -d '\r' < "$work/data/highscores.dat" | tr '\n' ' ')
[ "$scores" = "500 100 0 0 0 " ] || fail "high scores are '$scores', not '500 100 0 0 0'"
echo "signals passed"
