#!/usr/bin/env bash
# Level sets on the built program on a real X server, as a player meets them: a level put
# into My levels is in the select (S) without any file command and plays from there, on
# into the set's own table and its record of won levels; a restart shows the tick and keeps
# the table; --level FILE plays a file and enters no table, and so does a file dropped on
# the menu (by XDND, as a file manager drops it); the shipped table is never touched by any
# of it. Screenshots of the select in Dutch and English go to OUT_DIR.
#
#   sets.sh PROGRAM BUILD_DIR OUT_DIR XDNDDROP
set -uo pipefail
prog=$1
build=$2
out=$3
drop=$4

rm -rf "$out"
mkdir -p "$out"
. "$(cd "$(dirname "$0")/../support" && pwd)/xsession.sh"
[ -x "$prog" ] || fail "no program at $prog"
kor_start_x 460
kor_work
console="$work/stdout.txt $work/stderr.txt"
export XDG_DATA_HOME=$work/xdg
mine=$XDG_DATA_HOME/kor-dudurad/sets/my-levels
mkdir -p "$mine"

# Won by Space at the start values (250, straight to the right) within a second.
winnable='[Ball]
Position_X = 0
Position_Y = 0
Radius = 25
[Ball]
Position_X = -200
Position_Y = 0
Radius = 12
Mass = 1'
echo "$winnable" > "$work/data/level-01.txt"
printf '* Name: Mijn eerste\n* Hint: gewoon spatie\n%s\n' "$winnable" > "$mine/level-01.txt"
printf '500\r\n300\r\n200\r\n100\r\n0\r\n' > "$work/data/highscores.dat"
cp "$work/data/highscores.dat" "$work/shipped-before.dat"

background='#001446'  # the menu's and the select's blue
won='#563B59'         # the won end screen at (512, 100)
tick='#40C030'        # the won mark of the first level's picture

# start ARGS...: the program in the work folder, its console kept.
start() {
  (cd "$work" && exec env -u SDL_VIDEODRIVER -u SDL_AUDIODRIVER "$prog" "$@" > "$work/stdout.txt" 2> "$work/stderr.txt") &
  pid=$!
}
# The menu, a key after the intro has begun (again until the menu comes); its window id.
to_menu() {
  local intro menu= end=$((SECONDS + 30))
  intro=$(find_window Intro 20) || fail "no intro"
  while [ -z "$menu" ] && [ $SECONDS -lt $end ]; do
    xdotool key --window "$intro" space 2> /dev/null
    menu=$(find_window Menu 1) || menu=
  done
  [ -n "$menu" ] || fail "no menu"
  wait_pixel "$menu" 20 300 "$background" 10 || fail "no menu picture"
  sleep 0.5
  echo "$menu"
}
# The menu, then the select with S; the select's window id.
to_select() {
  local menu
  menu=$(to_menu) || exit 1
  xdotool windowfocus --sync "$menu" key s
  wait_pixel "$menu" 790 300 "$background" 10 || fail "no select"  # the logo is gone
  echo "$menu"
}
stop() {
  kill -TERM "$pid" 2> /dev/null
  wait "$pid" 2> /dev/null
  pid=
}

step "My levels in the select, played into the set's table"
start
select=$(to_select) || exit 1
sleep 1
import -window "$select" "$out/select-nl.png"
xdotool windowfocus --sync "$select" key Left Down Right
sleep 1
import -window "$select" "$out/select-my-levels.png"
xdotool windowfocus --sync "$select" key Return
game=$(find_window 'The KOR Dudurad' 15) || fail "no game from the select"
sleep 1
press "$game" space
wait_pixel "$game" 512 100 "$won" 15 || fail "My levels' level 1 was not won"
import -window "$game" "$out/set-end.png"
[ "$(tr -d '\r' < "$mine/scores.dat" | head -n 1)" = 200 ] || fail "the set's table: $(cat "$mine/scores.dat")"
[ "$(cat "$mine/progress.txt")" = 1 ] || fail "the won level was not recorded"
cmp -s "$work/data/highscores.dat" "$work/shipped-before.dat" || fail "a set's game changed the shipped table"
stop

step "a restart: the tick and the table are still there; in English"
start --language en
select=$(to_select) || exit 1
xdotool windowfocus --sync "$select" key Left Down Right
wait_pixel "$select" 318 62 "$tick" 10 || fail "no tick on the won level after a restart"
sleep 0.5
import -window "$select" "$out/select-en.png"
[ "$(tr -d '\r' < "$mine/scores.dat" | head -n 1)" = 200 ] || fail "the set's table after a restart"
stop

step "a level file dropped on the menu"
start
menu=$(to_menu) || exit 1
"$drop" "$menu" "$mine/level-01.txt" || fail "the menu did not take the drop"
game=$(find_window 'The KOR Dudurad' 15) || fail "no game from the dropped file"
sleep 1
press "$game" space
wait_pixel "$game" 512 100 "$won" 15 || fail "the dropped level was not won"
[ "$(wc -l < "$mine/scores.dat")" -eq 5 ] || fail "a dropped file's game entered a table"
stop

step "--level FILE"
start --level "$mine/level-01.txt"
game=$(find_window 'The KOR Dudurad' 15) || fail "no game with --level FILE"
[ -z "$(xdotool search --name '^(Intro|Menu)$' 2> /dev/null)" ] || fail "an intro or menu came first"
sleep 1
press "$game" space
wait_pixel "$game" 512 100 "$won" 15 || fail "the file's level was not won"
import -window "$game" "$out/file-end.png"
[ "$(tr -d '\r' < "$mine/scores.dat" | head -n 1)" = 200 ] && [ "$(wc -l < "$mine/scores.dat")" -eq 5 ] ||
  fail "a file's game entered the set's table"
cmp -s "$work/data/highscores.dat" "$work/shipped-before.dat" || fail "a file's game changed the shipped table"
stop
grep -E '\[ERROR\]' "$work/stdout.txt" "$work/stderr.txt" | grep -v 'no high scores' && fail "unexpected messages"
step "sets pass"
