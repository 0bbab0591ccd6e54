#!/usr/bin/env bash
# The real program on Wayland: Debian's weston as a nested compositor (x11 backend) inside
# an Xvfb of its own, with its own socket and runtime folder, and DISPLAY unset for the
# game. The intro, the menu and a game window open and show their pictures; the game is
# quit with Escape, the end screen left, "Exit" clicked: status 0, the table saved. Each
# step waits for what the screen shows, a bounded time: a loaded machine is slow, not wrong.
#
#   wayland.sh PROGRAM BUILD_DIR OUT_DIR
set -uo pipefail
prog=$(realpath "$1")
build=$(realpath "$2")
out=$3
rm -rf "$out"
mkdir -p "$out"
work=$(mktemp -d)
pid=
xpid=
wpid=
output=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2> /dev/null
  [ -n "$wpid" ] && kill "$wpid" 2> /dev/null
  [ -n "$xpid" ] && kill "$xpid" 2> /dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  if [ -n "$pid" ] && ! alive; then
    wait "$pid"
    echo "the program ended with status $?" >&2
    pid=
  fi
  import -window root "$out/failure.png" 2> /dev/null
  echo "weston's window ${output:-none}, the X focus $(xdotool getwindowfocus 2> /dev/null)" >&2
  grep -v '^ALSA' "$work/stderr.txt" >&2 2> /dev/null
  exit 1
}
alive() { kill -0 "$pid" 2> /dev/null; }

fdfile=$work/display
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3> "$fdfile" 2> /dev/null &
xpid=$!
for _ in $(seq 100); do [ -s "$fdfile" ] && break; sleep 0.05; done
export DISPLAY=:$(head -n 1 "$fdfile")
mkdir -m 700 "$work/runtime"
XDG_RUNTIME_DIR=$work/runtime weston --backend=x11-backend.so --socket=kor-wayland --width=1200 --height=950 \
  > "$out/weston.txt" 2>&1 &
wpid=$!
for _ in $(seq 100); do [ -S "$work/runtime/kor-wayland" ] && break; sleep 0.1; done
[ -S "$work/runtime/kor-wayland" ] || fail "weston did not start"
# weston's window on the X server, which takes the keys (a loaded machine shows it late).
output=
for _ in $(seq 300); do
  output=$(xdotool search --class weston 2> /dev/null | head -n 1)
  [ -n "$output" ] && break
  sleep 0.1
done
[ -n "$output" ] || fail "weston's window is not on the X server"

cp -r "$build/graphics" "$build/sounds" "$work/"
mkdir "$work/data"
printf '%s\n' '[Ball]' 'Position_X = 400' 'Position_Y = 300' 'Radius = 25' \
  '[Ball]' 'Position_X = -450' 'Position_Y = -300' 'Radius = 12' 'Mass = 1' > "$work/data/level-01.txt"
(cd "$work" && exec env -u DISPLAY -u SDL_VIDEODRIVER -u SDL_AUDIODRIVER XDG_RUNTIME_DIR="$work/runtime" \
  WAYLAND_DISPLAY=kor-wayland "$prog" > "$work/stdout.txt" 2> "$work/stderr.txt") &
pid=$!

# Pixels of one colour on the compositor's screen.
count() { convert "$1" -fill black +opaque "$2" -fill white -opaque "$2" -format '%[fx:int(mean*w*h+0.5)]' info:; }
# Compressed lightly: the same pixels in a third of the time.
shot() { import -window root -quality 10 "$out/$1.png" 2> /dev/null; }
# The menu's client origin, from the buttons' faces (the three span x 226 to 572, y 450 to 475).
menu_origin() {
  local geometry
  geometry=$(convert "$1" -fill black +opaque '#D4D0C8' -trim -format '%X %Y' info: 2> /dev/null) || return 1
  set -- $geometry
  mx=$((${1#+} - 226))
  my=$((${2#+} - 450))
}
xdotool() { timeout 10 env xdotool "$@"; }
key() { xdotool windowfocus --sync "$output" keydown "$1" sleep 0.15 keyup "$1"; }
# weston's X11 backend follows the pointer by how far each move goes, and learns its place
# only when it comes into weston's window: the pointer leaves the window and comes in again
# where the click goes, and is moved once more.
click() { xdotool mousemove 1279 1023 mousemove $(($1 - 1)) "$2" mousemove "$1" "$2" click 1; }
# Clicks the middle of the area of one colour: the compositor's keyboard focus follows.
click_on() {
  local geometry
  geometry=$(convert "$1" -fill black +opaque "$2" -trim -format '%X %Y %w %h' info: 2> /dev/null) || return 1
  set -- $geometry
  click $((${1#+} + $3 / 2)) $((${2#+} + $4 / 2))
}
# Waits, at most $4 seconds, until a shot ($1) shows more than $3 pixels of colour $2 (or,
# with $3 negative, fewer than -$3): a loaded machine opens windows late.
await() {
  local n end=$((SECONDS + $4))
  while :; do
    shot "$1"
    n=$(count "$out/$1.png" "$2")
    if [ "$3" -ge 0 ]; then [ "$n" -gt "$3" ] && return 0; else [ "$n" -lt $((-$3)) ] && return 0; fi
    alive && [ $SECONDS -lt "$end" ] || return 1
    sleep 0.5
  done
}
# Presses $1 until shot $2 shows the menu (at most $3 seconds): the intro and the end
# screen read keys once they are drawn, later under load; the menu takes no key from here on.
# With $4, a shot whose colour $5 is clicked first each time: the window the keys go to.
until_menu() {
  local end=$((SECONDS + $3))
  while :; do
    [ -n "${4:-}" ] && click_on "$4" "$5"
    key "$1"
    await "$2" '#D4D0C8' 3000 4 && return 0
    [ $SECONDS -lt "$end" ] || return 1
  done
}

await 1-intro '#001446' 100000 40 || fail "the intro's picture is not shown"
until_menu space 2-menu 90 "$out/1-intro.png" '#001446' || fail "no menu with its buttons"
menu_origin "$out/2-menu.png" || fail "the menu's buttons can't be placed"
# A click the compositor drops under load is clicked again while the menu is still there.
start_game() {
  local end=$((SECONDS + 40))
  while :; do
    click $((mx + 400)) $((my + 462))
    await 3-game '#D4D0C8' -100 5 && return 0
    [ $SECONDS -lt "$end" ] || return 1
  done
}
start_game || fail "the menu is still there"
alive || fail "the program ended on \"Start spel\""
# The game's head-up display: light text panel at the bottom left, white score text.
await 3-game '#FFFFFF' 50 15 || fail "the game's picture is not shown"
key Escape
sleep 1
shot 4-end
alive || fail "the program ended on Escape"
until_menu space 5-menu 40 || fail "no menu after the game"
menu_origin "$out/5-menu.png" || fail "the menu's buttons can't be placed"
click $((mx + 532)) $((my + 462))
for _ in $(seq 100); do alive || break; sleep 0.1; done
alive && fail "the program did not end after \"Exit\""
wait "$pid"
status=$?
pid=
grep -v '^ALSA' "$work/stderr.txt"
[ "$status" -eq 0 ] || fail "status $status"
grep -aq '\[ERROR\] (Window)' "$work/stderr.txt" && fail "the window layer reported an error"
scores=$(tr -d '\r' < "$work/data/highscores.dat" 2> /dev/null | tr '\n' ' ')
[ "$scores" = "100 0 0 0 0 " ] || fail "scores '$scores'"
echo "passed; screenshots in $out"
