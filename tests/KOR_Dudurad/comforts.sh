#!/usr/bin/env bash
# The player's comforts on the built program on a real X server (run through xvfb-run):
# the options' output and statuses; --level 12 straight into the game (no intro, no menu);
# Shift+arrows dialling the aim step by step to a shot that wins (speed 250 -> 120 with 52
# presses of Shift+Left, angle 0 -> 0.175 rad with 14 of Shift+Up); R restarting a first
# flight at that aim; the shot again, paused in flight with P and resumed with P; M switching the sound off in the game and on
# in the menu, kept in data/settings.cfg; the won end screen without a high-score entry;
# the menu worked with Tab and Return. Screenshots of each step go to OUT_DIR.
#
#   comforts.sh PROGRAM BUILD_DIR OUT_DIR
set -uo pipefail
prog=$1
build=$2
out=$3

rm -rf "$out"
mkdir -p "$out"
work=$(mktemp -d)
pid=
cleanup() {
  if [ -n "$pid" ] && kill -0 "$pid" 2> /dev/null; then kill "$pid" 2> /dev/null; fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  import -window root "$out/failure.png" 2> /dev/null
  echo "--- stdout:" >&2
  cat "$out/stdout.txt" >&2 2> /dev/null
  echo "--- stderr:" >&2
  cat "$out/stderr.txt" >&2 2> /dev/null
  exit 1
}
step() { echo "[$(date +%T.%N | cut -c1-12)] $*"; }

[ -n "${DISPLAY:-}" ] || fail "no DISPLAY: run me through xvfb-run"
[ -x "$prog" ] || fail "no program at $prog"
. "$(cd "$(dirname "$0")/../support" && pwd)/xdrive.sh"

# ---- Options ----
cd "$work" || fail "no work folder"
"$prog" --help > help.txt 2> help.err
[ $? -eq 0 ] && grep -q -- '--level N' help.txt && grep -q -- '--scale N' help.txt && [ ! -s help.err ] ||
  fail "--help: not the usage on stdout with status 0"
[ "$("$prog" --version)" = "The KOR Dudurad 1.0.0" ] || fail "--version"
for bad in --bogus "--scale 9" "--level x"; do
  # shellcheck disable=SC2086
  "$prog" $bad > bad.txt 2> bad.err
  status=$?
  [ $status -eq 2 ] && [ ! -s bad.txt ] && grep -q '^Usage:' bad.err || fail "$bad: status $status, not 2 with the usage on stderr"
done
mkdir data
"$prog" --level 12 > /dev/null 2> bad.err
[ $? -eq 1 ] && grep -q 'level-12.txt is missing' bad.err || fail "--level of a missing level"
step "options pass"

# ---- The working directory: pictures, sounds and level 12 only ----
cp -r "$build/graphics" "$build/sounds" "$work/"
cp "$build/data/level-12.txt" "$work/data/"

background='#001446'  # RgbColor(0, 20, 70): the menu, and the pause box
won='#563B59'         # the won end screen at (512, 100)

# Presses key $2 of window $1 $3 times with Shift held, each long enough for a frame.
shift_presses() {
  local args=() i
  for ((i = 0; i < $3; i++)); do args+=(keydown "$2" sleep 0.06 keyup "$2" sleep 0.05); done
  xdotool windowfocus --sync "$1" keydown shift "${args[@]}" keyup shift
}

start=$SECONDS
(cd "$work" && exec env -u SDL_VIDEODRIVER -u SDL_AUDIODRIVER "$prog" --level 12 > "$out/stdout.txt" 2> "$out/stderr.txt") &
pid=$!

step "waiting for the game"
game=$(find_window 'The KOR Dudurad' 20) || fail "no game window with --level 12"
[ -z "$(xdotool search --name '^(Intro|Menu)$' 2> /dev/null)" ] || fail "an intro or menu window came first"
sleep 1
rocket=$(pixel "$game" 112 634)  # the rocket at (-400, -250)
import -window root "$out/0-level12.png"

# The aim, one step per press: speed 120, angle 0.175 rad.
shift_presses "$game" Up 14
shift_presses "$game" Left 52
sleep 0.3
import -window "$game" -crop 300x68+0+700 "$out/1-aim.png"

# R: a first flight at that aim, stopped by R; the rocket is back at its start, the aim
# kept. The shot wins when launched within about ten seconds of the level's start, while
# the moving bodies are where it expects them, so it goes at once.
press "$game" space
sleep 0.5
[ "$(pixel "$game" 112 634)" != "$rocket" ] || fail "the rocket did not fly"
press "$game" r
sleep 0.2
[ "$(pixel "$game" 112 634)" = "$rocket" ] || fail "R did not put the rocket back"
press "$game" space
step "R restarts; launched again after $((SECONDS - start)) s"
sleep 0.4
press "$game" p
wait_pixel "$game" 400 340 "$background" 3 || fail "no pause box"
import -window root "$out/2-paused.png"
sleep 2
paused=$(import -window "$game" -depth 8 rgb:- | md5sum)
sleep 1
[ "$(import -window "$game" -depth 8 rgb:- | md5sum)" = "$paused" ] || fail "the paused frame changed"
press "$game" p
press "$game" m
end=$((SECONDS + 5))
until grep -q 'sound = off' "$work/data/settings.cfg" 2> /dev/null; do
  [ $SECONDS -lt $end ] || fail "M in the game did not keep 'sound = off'"
  sleep 0.2
done
step "paused, resumed, sound off"

wait_pixel "$game" 512 100 "$won" 40 || fail "level 12 was not won"
sleep 0.3
import -window root "$out/3-won.png"
step "won"
press "$game" space

menu=$(find_window Menu 15) || fail "no menu after the end screen"
wait_pixel "$menu" 365 455 '#D4D0C8' 10 || fail "the menu's buttons are not drawn"
press "$menu" m
end=$((SECONDS + 5))
until grep -q 'sound = on' "$work/data/settings.cfg" 2> /dev/null; do
  [ $SECONDS -lt $end ] || fail "M in the menu did not keep 'sound = on'"
  sleep 0.2
done
for k in Tab Tab Tab; do press "$menu" $k; done
wait_pixel "$menu" 492 450 '#000000' 5 || fail "Tab x3 does not put the focus frame on \"Exit\""
import -window root "$out/4-menu-focus.png"
press "$menu" Return

end=$((SECONDS + 15))
while alive && [ $SECONDS -lt $end ]; do sleep 0.2; done
alive && fail "the program did not end after Return on \"Exit\""
wait "$pid"
status=$?
pid=
step "ended with status $status after $((SECONDS - start)) s"
echo "--- stdout:"
cat "$out/stdout.txt"
echo "--- stderr:"
cat "$out/stderr.txt"
[ "$status" -eq 0 ] || fail "exit status $status"
[ ! -e "$work/data/highscores.dat" ] || fail "a game from level 12 entered the high scores"
others=$(sed 's/\[ERROR\] (LoadScores) There are no high scores to load\.//' "$out/stdout.txt" "$out/stderr.txt" |
  grep -E '\[ERROR\]|^\*\*' || true)
[ -z "$others" ] || fail "unexpected messages: $others"
step "comforts passed; screenshots in $out"
