#!/usr/bin/env bash
# The real program on Wayland: Debian's weston as a nested compositor (x11 backend) inside
# an Xvfb of its own, with its own socket and runtime folder, and DISPLAY unset for the
# game. The intro, the menu and a game window open and show their pictures; the game is
# quit with Escape, the end screen left, "Exit" clicked: status 0, the table saved.
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
output=
for _ in $(seq 50); do
  output=$(xdotool search --class weston 2> /dev/null | head -n 1)
  [ -n "$output" ] && break
  sleep 0.1
done

cp -r "$build/graphics" "$build/sounds" "$work/"
mkdir "$work/data"
printf '%s\n' '[Ball]' 'Position_X = 400' 'Position_Y = 300' 'Radius = 25' \
  '[Ball]' 'Position_X = -450' 'Position_Y = -300' 'Radius = 12' 'Mass = 1' > "$work/data/level-01.txt"
(cd "$work" && exec env -u DISPLAY -u SDL_VIDEODRIVER -u SDL_AUDIODRIVER XDG_RUNTIME_DIR="$work/runtime" \
  WAYLAND_DISPLAY=kor-wayland "$prog" > "$work/stdout.txt" 2> "$work/stderr.txt") &
pid=$!

# Pixels of one colour on the compositor's screen.
count() { convert "$1" -fill black +opaque "$2" -fill white -opaque "$2" -format '%[fx:int(mean*w*h+0.5)]' info:; }
shot() { import -window root "$out/$1.png" 2> /dev/null; }
# The menu's client origin, from the buttons' faces (the three span x 226 to 572, y 450 to 475).
menu_origin() {
  local geometry
  geometry=$(convert "$1" -fill black +opaque '#D4D0C8' -trim -format '%X %Y' info: 2> /dev/null) || return 1
  set -- $geometry
  mx=$((${1#+} - 226))
  my=$((${2#+} - 450))
}
key() { xdotool windowfocus --sync "$output" keydown "$1" sleep 0.15 keyup "$1"; }
# Clicks the middle of the area of one colour: the compositor's keyboard focus follows.
click_on() {
  local geometry
  geometry=$(convert "$1" -fill black +opaque "$2" -trim -format '%X %Y %w %h' info: 2> /dev/null) || return 1
  set -- $geometry
  xdotool mousemove $((${1#+} + $3 / 2)) $((${2#+} + $4 / 2)) click 1
}

sleep 3
alive || fail "the program ended at start"
shot 1-intro
[ "$(count "$out/1-intro.png" '#001446')" -gt 100000 ] || fail "the intro's picture is not shown"
click_on "$out/1-intro.png" '#001446'
key space  # read once the intro is over
found=
for _ in $(seq 40); do
  sleep 0.5
  shot 2-menu
  [ "$(count "$out/2-menu.png" '#D4D0C8')" -gt 3000 ] && found=yes && break
done
[ -n "$found" ] || fail "no menu with its buttons"
menu_origin "$out/2-menu.png" || fail "the menu's buttons can't be placed"
xdotool mousemove $((mx + 400)) $((my + 462)) click 1
sleep 3
shot 3-game
alive || fail "the program ended on \"Start spel\""
[ "$(count "$out/3-game.png" '#D4D0C8')" -lt 100 ] || fail "the menu is still there"
# The game's head-up display: light text panel at the bottom left, white score text.
[ "$(count "$out/3-game.png" '#FFFFFF')" -gt 50 ] || fail "the game's picture is not shown"
key Escape
sleep 2
shot 4-end
alive || fail "the program ended on Escape"
key space
found=
for _ in $(seq 20); do
  sleep 0.5
  shot 5-menu
  [ "$(count "$out/5-menu.png" '#D4D0C8')" -gt 3000 ] && found=yes && break
done
[ -n "$found" ] || fail "no menu after the game"
menu_origin "$out/5-menu.png" || fail "the menu's buttons can't be placed"
xdotool mousemove $((mx + 532)) $((my + 462)) click 1
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
