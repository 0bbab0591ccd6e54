#!/usr/bin/env bash
# The player's comforts on the built program on a real X server (run through xvfb-run):
# the options' output and statuses; --level 12 straight into the game (no intro, no menu);
# Shift+arrows dialling the aim step by step to a shot that wins (speed 250 -> 120 with 52
# presses of Shift+Left, angle 0 -> 0.175 rad with 14 of Shift+Up); R restarting a first
# flight at that aim; the shot again, paused in flight with P and resumed with P; M switching the sound off in the game and on
# in the menu, kept in data/settings.cfg; the won end screen without a high-score entry;
# the menu worked with Tab and Return. The help (F1, ?) over the game, the end screen and the
# menu; the explanation left early with Space; a quick Shift+Tab (12 ms) moving back. A
# virtual pad through /dev/uinput where there is one. Screenshots of each step go to OUT_DIR.
#
#   comforts.sh PROGRAM BUILD_DIR OUT_DIR
set -uo pipefail
prog=$1
build=$2
out=$3

rm -rf "$out"
mkdir -p "$out"
. "$(cd "$(dirname "$0")/../support" && pwd)/xsession.sh"
console="$out/stdout.txt $out/stderr.txt"
[ -n "${DISPLAY:-}" ] || fail "no DISPLAY: run me through xvfb-run"
[ -x "$prog" ] || fail "no program at $prog"
work=$(mktemp -d)

# ---- Options ----
cd "$work" || fail "no work folder"
"$prog" --help > help.txt 2> help.err
[ $? -eq 0 ] && grep -q -- '--level N' help.txt && grep -q -- '--scale N' help.txt && [ ! -s help.err ] ||
  fail "--help: not the usage on stdout with status 0"
for option in --help --version; do
  "$prog" $option > /dev/full 2> full.err && fail "$option to a full disc: status 0"
  grep -q "^kor-dudurad: the .* could not be written: No space left on device" full.err || fail "$option to a full disc: $(cat full.err)"
done
[ "$("$prog" --version)" = "The KOR Dudurad 1.0.0" ] || fail "--version"
for bad in --bogus "--scale 9" "--level -5" "a.txt b.txt"; do
  # shellcheck disable=SC2086
  "$prog" $bad > bad.txt 2> bad.err
  status=$?
  [ $status -eq 2 ] && [ ! -s bad.txt ] && grep -q '^Usage:' bad.err || fail "$bad: status $status, not 2 with the usage on stderr"
done
mkdir data
"$prog" --level 12 > /dev/null 2> bad.err
[ $? -eq 1 ] && grep -q 'level-12.txt is missing' bad.err || fail "--level of a missing level"
"$prog" --level nothing.txt > /dev/null 2> bad.err
[ $? -eq 1 ] && grep -q 'level file nothing.txt cannot be played' bad.err || fail "--level of a missing file"
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

# F1: the keys over the game, which holds; F1 again plays on. The box's fill at (230, 160).
press "$game" F1
wait_pixel "$game" 230 160 "$background" 3 || fail "F1 shows no help over the game"
import -window root "$out/0-help.png"
press "$game" question
sleep 0.3
[ "$(pixel "$game" 230 160)" != "$background" ] || fail "? did not close the help"
step "help over the game"

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
press "$game" F1
wait_pixel "$game" 280 260 "$background" 3 || fail "F1 shows no help over the end screen"
import -window root "$out/3-help.png"
press "$game" F1
sleep 0.3
[ "$(pixel "$game" 280 260)" != "$background" ] || fail "F1 again did not bring the end screen back"
press "$game" space

menu=$(find_window Menu 15) || fail "no menu after the end screen"
wait_pixel "$menu" 365 455 '#D4D0C8' 10 || fail "the menu's buttons are not drawn"
press "$menu" m
end=$((SECONDS + 5))
until grep -q 'sound = on' "$work/data/settings.cfg" 2> /dev/null; do
  [ $SECONDS -lt $end ] || fail "M in the menu did not keep 'sound = on'"
  sleep 0.2
done
[ ! -e "$work/data/highscores.dat" ] || fail "a game from level 12 entered the high scores"

# The menu's help: its top edge at (400, 90) over the background; any key closes it.
press "$menu" F1
wait_pixel "$menu" 400 90 '#FFFFFF' 5 || fail "F1 shows no help over the menu"
import -window root "$out/4-menu-help.png"
press "$menu" Escape  # closes the help only
wait_pixel "$menu" 400 90 "$background" 5 || fail "a key did not close the menu's help"
alive || fail "Escape over the menu's help left the program"

# "Speluitleg" with Return, left with Space after its first second: the game (no level 1
# here, so straight to its end screen) comes long before the ten seconds are over.
press "$menu" Tab
wait_pixel "$menu" 226 450 '#000000' 5 || fail "Tab does not put the focus on \"Speluitleg\""
press "$menu" Return
sleep 1.5
skipped=$SECONDS
press "$menu" space
game=$(find_window 'The KOR Dudurad' 8) || fail "Space did not leave the explanation"
[ $((SECONDS - skipped)) -le 5 ] || fail "the explanation was not left early"
sleep 1
press "$game" space
menu=$(find_window Menu 15) || fail "no menu after the second end screen"
wait_pixel "$menu" 365 455 '#D4D0C8' 10 || fail "the menu's buttons are not drawn again"
step "explanation skipped"

# A quick Shift+Tab (xdotool's key with 12 ms between its events) moves back every time.
for k in Tab Tab Tab; do press "$menu" $k; done
wait_pixel "$menu" 492 450 '#000000' 5 || fail "Tab x3 does not put the focus frame on \"Exit\""
for i in 1 2 3; do
  xdotool windowfocus --sync "$menu" key --delay 12 shift+Tab
  wait_pixel "$menu" 360 450 '#000000' 3 || fail "a quick Shift+Tab did not move back ($i)"
  press "$menu" Tab
  wait_pixel "$menu" 492 450 '#000000' 3 || fail "Tab did not move on again ($i)"
done
step "quick Shift+Tab"

# A virtual pad on the real program needs /dev/uinput, which not every machine has.
if [ ! -w /dev/uinput ]; then
  echo "SKIP: no writable /dev/uinput; the virtual pad is tried on SDL's virtual joystick only"
fi
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
others=$(sed 's/\[ERROR\] (LoadScores) There are no high scores to load\.//g' "$out/stdout.txt" "$out/stderr.txt" |
  grep -E '\[ERROR\]|^\*\*' || true)
[ -z "$others" ] || fail "unexpected messages: $others"
step "comforts passed; screenshots in $out"
