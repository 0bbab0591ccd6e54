#!/bin/bash
# The program on X servers of several sizes, driven as a player would: window sizes and
# places, 3 x 3 and 2 x 2 blocks against scale 1, fullscreen on F11 and Alt+Enter (for
# the windows that follow too), menu buttons by mouse at every scale, class and icon.
# Usage: present.sh PROGRAM BUILD_DIR OUT_DIR
set -u
program=$1 build=$2 out=$3
. "$(cd "$(dirname "$0")/../support" && pwd)/xsession.sh"
mkdir -p "$out"
# Failures are counted: a case goes on after one, to show all that differ.
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Starts an Xvfb with a screen of $1 (WxH), openbox too when $2 is "wm"; sets $display.
start_x() {
  kor_start_x 280 "$1" "${2:-}"
  display=$DISPLAY
}

# Starts the program on $display in the build tree; sets $pid.
start_program() {
  (cd "$build" && DISPLAY=$display SDL_AUDIODRIVER=dummy exec "$program") > "$out/console-${display#:}.txt" 2>&1 &
  pid=$!
  others+=($pid)
}

# "W H X Y" of a window's client area on the screen, and of its frame.
geometry() { xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$NF}/Absolute upper-left Y/{y=$NF}/Width:/{w=$NF}/Height:/{h=$NF}END{print w, h, x, y}'; }
frame() {
  local l r t b
  read -r l r t b <<< "$(xprop -id "$1" _NET_FRAME_EXTENTS | grep -o '[0-9, ]*$' | tr -d ',')"
  read -r W H X Y <<< "$(geometry "$1")"
  echo $((W + ${l:-0} + ${r:-0})) $((H + ${t:-0} + ${b:-0})) $((X - ${l:-0})) $((Y - ${t:-0}))
}
# The window position at the centre of client pixel ($2, $3) for a client of $4 x $5
# shown in a picture of $6 x $7 at ($8, $9) of window $1's area.
at() { echo $(($8 + (2 * $2 + 1) * $6 / (2 * $4))) $(($9 + (2 * $3 + 1) * $7 / (2 * $5))); }
# Bounding box of what is not black in a screenshot: "WxH+X+Y".
trimmed() { convert "$1" -fuzz 0 -trim -format '%wx%h%O' info:; }
# Number of pixels that differ between two pictures.
differ() { compare -metric AE "$1" "$2" null: 2>&1 | cut -d' ' -f1; }
xdotool() { timeout 10 env xdotool "$@"; }
# Gives window $1 the keyboard focus, then presses $2. A window manager still busy with a
# new window refuses the focus (BadMatch, the window not yet viewable): xdotool then ends
# before the key, and the whole is tried again. Status 1 when the window has gone.
focus_key() {
  local i
  for i in $(seq 80); do
    # A window that has gone (an intro that took an earlier key) takes no key.
    xwininfo -id "$1" > /dev/null 2>&1 || return 1
    xwininfo -id "$1" 2> /dev/null | grep -q IsViewable && xdotool windowfocus --sync "$1" key "$2" 2> /dev/null && return
    sleep 0.25
  done
  fail "window $1 never took the keyboard focus"
}
# Waits at most 10 s until window $1 is $2 ("W H") in size.
wait_size() {
  local i
  for i in $(seq 50); do
    read -r W H X Y <<< "$(geometry "$1")"
    [ "$W $H" = "$2" ] && return 0
    sleep 0.2
  done
  return 1
}
# Presses Space in the intro $1 until it takes it (it reads keys once it is over, later
# under load): the intro's window goes.
leave_intro() {
  local i j
  for i in $(seq 15); do
    xwininfo -id "$1" > /dev/null 2>&1 || return 0
    focus_key "$1" space || return 0
    for j in $(seq 10); do
      xwininfo -id "$1" > /dev/null 2>&1 || return 0
      sleep 0.2
    done
  done
}
wait_gone() { local end=$((SECONDS + $1)); while alive && [ $SECONDS -lt $end ]; do sleep 0.2; done; ! alive; }

case1() {
# ---- 1. Scale 3 on a 3840 x 2160 screen against scale 1 on a 1920 x 1080 screen ----
start_x 3840x2160; big=$display
start_program; pid3=$pid
start_x 1920x1080; hd=$display
start_program; pid1=$pid
pid=$pid3; w3=$(DISPLAY=$big find_window Intro 10) || { fail "no intro window at 3840 x 2160"; return; }
pid=$pid1; w1=$(DISPLAY=$hd find_window Intro 10) || { fail "no intro window at 1920 x 1080"; return; }
read -r W H X Y <<< "$(DISPLAY=$big geometry "$w3")"
[ "$W $H" = "2400 1650" ] || fail "intro at 3840 x 2160 is $W x $H, not 2400 x 1650 (scale 3)"
[ "$X" -ge 0 ] && [ "$Y" -ge 0 ] && [ $((X + W)) -le 3840 ] && [ $((Y + H)) -le 2160 ] || fail "intro not wholly on screen: $X,$Y"
read -r W H X Y <<< "$(DISPLAY=$hd geometry "$w1")"
[ "$W $H" = "800 550" ] || fail "intro at 1920 x 1080 is $W x $H, not 800 x 550"
# One name towards the desktop: the window class is the desktop entry's file name, which is
# its StartupWMClass and the AppStream id; the entry's icon is one the build makes.
packaging=$(cd "$(dirname "$0")/../../packaging" && pwd)
entry=$(ls "$packaging"/*.desktop)
id=$(basename "$entry" .desktop)
class=$(DISPLAY=$big xprop -id "$w3" WM_CLASS)
[ "$class" = "WM_CLASS(STRING) = \"$id\", \"$id\"" ] || fail "class: $class, the desktop entry: $id"
grep -qxF "StartupWMClass=$id" "$entry" || fail "the desktop entry's StartupWMClass is not $id"
grep -qF "<id>$id</id>" "$packaging/$id.metainfo.xml" || fail "the AppStream id is not $id"
grep -qF "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$packaging/$id.metainfo.xml" ||
  fail "the AppStream data does not launch $id.desktop"
icon=$(sed -n 's/^Icon=//p' "$entry")
ls "$build"/icons/*/apps/"$icon.png" > /dev/null 2>&1 || fail "the build makes no icon $icon"
DISPLAY=$big xprop -id "$w3" _NET_WM_ICON | grep -q 'Icon (64 x 64)' || fail "no window icon"
sleep 9  # the intro's final picture, which both reach at their own pace under load
for i in $(seq 20); do
  DISPLAY=$big import -window "$w3" "$out/intro-scale3.png"
  DISPLAY=$hd import -window "$w1" "$out/intro-scale1.png"
  convert "$out/intro-scale3.png" -sample 800x550 "$out/intro-scale3-down.png"
  [ "$(differ "$out/intro-scale3-down.png" "$out/intro-scale1.png")" = 0 ] && break
  sleep 1
done
convert "$out/intro-scale3-down.png" -sample 2400x1650 "$out/intro-scale3-blocks.png"
[ "$(differ "$out/intro-scale3.png" "$out/intro-scale3-blocks.png")" = 0 ] || fail "scale 3 is not 3 x 3 blocks"
[ "$(differ "$out/intro-scale3-down.png" "$out/intro-scale1.png")" = 0 ] || fail "scale 3 does not show the scale 1 picture"
kill "$pid1" "$pid3" 2> /dev/null
}

case2() {
# ---- 2. Fullscreen with a window manager: F11, the next window, the mouse, Alt+Enter ----
start_x 3840x2160 wm
start_program
local -x DISPLAY=$display
w=$(find_window Intro 10) || { fail "no intro window with openbox"; return; }
focus_key "$w" F11
wait_size "$w" "3840 2160" || fail "F11: the intro is $W x $H, not fullscreen"
sleep 0.5
import -window root "$out/intro-fullscreen.png"
[ "$(trimmed "$out/intro-fullscreen.png")" = "2400x1650+720+255" ] || fail "fullscreen intro not centred at scale 3: $(trimmed "$out/intro-fullscreen.png")"
sleep 8
leave_intro "$w"
m=$(find_window Menu 10) || { fail "no menu after the intro"; return; }
wait_size "$m" "3840 2160" || fail "the menu after a fullscreen intro is $W x $H, not fullscreen"
for i in 1 2 3 4 5; do
  import -window root "$out/menu-fullscreen.png"
  [ "$(trimmed "$out/menu-fullscreen.png")" = "2400x1650+720+255" ] && break
  sleep 1
done
read -r mx my <<< "$(at "$m" 400 462 800 550 2400 1650 720 255)"
xdotool mousemove --window "$m" "$mx" "$my" click 1   # "Start spel"
g=$(find_window 'The KOR Dudurad' 10) || { fail "Start spel in fullscreen opened no game"; return; }
for i in 1 2 3 4 5 6 7 8 9 10; do
  sleep 1
  import -window root "$out/game-fullscreen.png"
  [ "$(trimmed "$out/game-fullscreen.png")" = "2048x1536+896+312" ] && break
done
[ "$(trimmed "$out/game-fullscreen.png")" = "2048x1536+896+312" ] || fail "fullscreen game not centred at scale 2"
focus_key "$g" alt+Return
wait_size "$g" "2048 1536" || fail "Alt+Enter: the game is $W x $H, not a 2048 x 1536 window"
sleep 0.5
read -r W H X Y <<< "$(frame "$g")"
[ "$X" -ge 0 ] && [ "$Y" -ge 0 ] && [ $((X + W)) -le 3840 ] && [ $((Y + H)) -le 2160 ] || fail "game window frame off screen"
import -window "$g" "$out/game-scale2.png"
convert "$out/game-scale2.png" -sample 1024x768 -sample 2048x1536 "$out/game-scale2-blocks.png"
[ "$(differ "$out/game-scale2.png" "$out/game-scale2-blocks.png")" = 0 ] || fail "scale 2 is not 2 x 2 blocks"
# The keys never reached the game: the frame (aim, speed in the panel) is the one shown before.
convert "$out/game-fullscreen.png" -crop 2048x1536+896+312 +repage "$out/game-fullscreen-picture.png"
[ "$(differ "$out/game-fullscreen-picture.png" "$out/game-scale2.png")" = 0 ] || fail "the game's picture changed with F11 / Alt+Enter"
kill "$pid" 2> /dev/null
}

case3() {
# ---- 3. 1366 x 768 with a title bar: the game window shrinks below 1, wholly on screen ----
start_x 1366x768 wm
start_program
local -x DISPLAY=$display
w=$(find_window Intro 10) || { fail "no intro on 1366 x 768"; return; }
sleep 10
leave_intro "$w"
m=$(find_window Menu 10) || { fail "no menu on 1366 x 768"; return; }
sleep 1
read -r W H X Y <<< "$(geometry "$m")"
[ "$W $H" = "800 550" ] || fail "the menu on 1366 x 768 is $W x $H, not scale 1"
xdotool mousemove --window "$m" 400 462 click 1
g=$(find_window 'The KOR Dudurad' 10) || { fail "Start spel at scale 1 opened no game"; return; }
sleep 1
read -r W H X Y <<< "$(geometry "$g")"
[ "$W" -lt 1024 ] && [ $((W * 768)) -ge $(((H - 1) * 1024)) ] && [ $((W * 768)) -le $(((H + 1) * 1024)) ] || fail "game on 1366 x 768: $W x $H"
read -r W H X Y <<< "$(frame "$g")"
[ "$X" -ge 0 ] && [ "$Y" -ge 0 ] && [ $((X + W)) -le 1366 ] && [ $((Y + H)) -le 768 ] || fail "game window with its title bar not wholly on screen: $W x $H at $X,$Y"
kill "$pid" 2> /dev/null
}

case4() {
# ---- 4. Below 1: the menu on an 800 x 560 screen; "Exit" hit where it is drawn ----
start_x 800x560 wm
start_program
local -x DISPLAY=$display
w=$(find_window Intro 10) || { fail "no intro on 800 x 560"; return; }
sleep 10
leave_intro "$w"
m=$(find_window Menu 10) || { fail "no menu on 800 x 560"; return; }
sleep 1
read -r W H X Y <<< "$(geometry "$m")"
[ "$W" -lt 800 ] || fail "the menu on 800 x 560 is not below scale 1: $W x $H"
read -r mx my <<< "$(at "$m" 580 462 800 550 "$W" "$H" 0 0)"
xdotool mousemove --window "$m" "$mx" "$my" click 1   # beside "Exit": nothing
sleep 1
alive || fail "a click beside Exit ended the program"
read -r mx my <<< "$(at "$m" 532 462 800 550 "$W" "$H" 0 0)"
xdotool mousemove --window "$m" "$mx" "$my" click 1   # "Exit"
wait_gone 10 || fail "Exit below scale 1 did not end the program"
wait "$pid"; status=$?
[ "$status" = 0 ] || fail "status after Exit: $status"
}

# Each case on X servers of its own, two at a time.
one_case() {
  "$@"
  echo "$1: $failures failure(s)"
  [ "$failures" = 0 ]
}
kor_cases 2 one_case << 'EOF'
case1
case2
case3
case4
EOF
