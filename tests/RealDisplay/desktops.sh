#!/usr/bin/env bash
# The real program on the desktops players use, each in an Xvfb of its own so that a real
# keyboard (xdotool) drives it:
#  - Wayland compositors nested in the Xvfb: weston, GNOME's mutter, KDE's KWin, sway and cage
#    (wlroots); the game on Wayland;
#  - the same compositors' Xwayland (weston-xwayland, mutter-xwayland, kwin-xwayland): the
#    game on X11 there, its window managed by the compositor;
#  - X11 window managers on the Xvfb itself: fluxbox, openbox, icewm, xfwm4.
# Per desktop: the intro shows, Space opens the menu, F11 makes it fullscreen, "Start spel"
# opens the game fullscreen (the picture centred at its scale, not black); F11 makes it a
# window (the whole window and its title bar on the screen) and back again ROUNDS times;
# Escape, Space and "Exit" end it with status 0. On X11 (window managers, Xwayland) a window
# that leaves fullscreen is back where it was, to the pixel: the menu after an F11 pair, the
# game after every round. At a SCALE above 1 the picture is laid out in the screen's own
# pixels. sway tells the window's app id too.
#
#   desktops.sh DESKTOP PROGRAM BUILD_DIR OUT_DIR [DISPLAY_NUMBER [SCREEN [ROUNDS [SCALE [BUSY]]]]]
# SCREEN: the screen in its own pixels, 1366x768 unless given; ROUNDS: fullscreen switches
# per game (1); SCALE: the compositor's output scale (1; sway takes 1.5 too); BUSY: busy
# loops beside the game (0; see tests/support/load.sh). A desktop that is not
# installed ends the run with status 77 (skipped). sway and cage refuse to run as root: as
# root they run as the user kor-desktop (made when missing).
set -uo pipefail
. "$(cd "$(dirname "$0")/../support" && pwd)/load.sh"
desktop=$1
prog=$(realpath "$2")
build=$(realpath "$3")
out=$4
number=${5:-340}
screen=${6:-1366x768}
rounds=${7:-1}
scale=${8:-1}
busy=${9:-0}
[ "$rounds" -ge 1 ] || rounds=1
sw=${screen%x*}
sh=${screen#*x}
# The screen in the desktop's units, and N units in screen pixels (SCALE may be 1.5).
times() { awk -v n="$1" -v s="$scale" 'BEGIN{printf "%d", n * s}'; }
lw=$(awk -v n="$sw" -v s="$scale" 'BEGIN{printf "%d", n / s}')
lh=$(awk -v n="$sh" -v s="$scale" 'BEGIN{printf "%d", n / s}')
here=$(cd "$(dirname "$0")" && pwd)
source=$(cd "$here/../.." && pwd)
compositor=${desktop%-xwayland}
case $desktop in
  weston | mutter | kwin | sway | cage) kind=wayland ;;
  weston-xwayland | mutter-xwayland | kwin-xwayland) kind=xwayland ;;
  fluxbox | openbox | icewm | xfwm4) kind=x11 ;;
  *) echo "desktops.sh: no such desktop: $desktop" >&2; exit 2 ;;
esac
needs=(Xvfb xdotool xwininfo convert)
case $compositor in
  weston) needs+=(weston) ;;
  mutter) needs+=(mutter dbus-run-session) ;;
  kwin) needs+=(kwin_wayland dbus-run-session) ;;
  sway) needs+=(sway swaymsg) ;;
  xfwm4) needs+=(xfwm4 dbus-run-session) ;;
  *) needs+=("$compositor") ;;
esac
[ "$kind" = xwayland ] && needs+=(Xwayland)
for p in "${needs[@]}"; do
  command -v "$p" > /dev/null || { echo "SKIP ($desktop): $p is not installed"; exit 77; }
done
rm -rf "$out"
mkdir -p "$out"
work=$(mktemp -d /tmp/kor-desktop.XXXXXX)
chmod 755 "$work"
pids=()
others=()  # busy loops
pid=
cleanup() {
  local p
  [ -n "$pid" ] && kill "$pid" 2> /dev/null
  # Each compositor leads a process group of its own (with its D-Bus and its Xwayland).
  for p in "${pids[@]}"; do kill -- -"$p" "$p" 2> /dev/null; done
  for p in "${others[@]}"; do kill "$p" 2> /dev/null; done
  wait 2> /dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL ($desktop): $*" >&2
  import -window root "$out/failure.png" 2> /dev/null
  if [ -n "$pid" ] && ! alive; then
    wait "$pid"
    echo "the program ended with status $?" >&2
    pid=
  fi
  grep -v '^ALSA' "$work/stderr.txt" >&2 2> /dev/null
  tail -n 20 "$out/compositor.txt" >&2 2> /dev/null
  exit 1
}
alive() { kill -0 "$pid" 2> /dev/null; }
xdotool() { timeout 10 env xdotool "$@"; }
kor_busy_loops "$busy"

# Who runs the compositor and the game: sway and cage refuse root.
as=()
if [ "$(id -u)" -eq 0 ] && { [ "$desktop" = sway ] || [ "$desktop" = cage ]; }; then
  id kor-desktop > /dev/null 2>&1 || useradd --system --no-create-home --shell /usr/sbin/nologin kor-desktop ||
    fail "no user to run $desktop"
  as=(setpriv --reuid=kor-desktop --regid=kor-desktop --clear-groups)
fi

export DISPLAY=:$number
# A compositor's window has room round it; a window manager has the whole screen.
margin=64
[ "$kind" = x11 ] && margin=0
xdpyinfo > /dev/null 2>&1 && fail "$DISPLAY is another X server's"
Xvfb "$DISPLAY" -screen 0 "$((sw + margin))x$((sh + margin))x24" -nolisten tcp -noreset 2> /dev/null &
pids+=($!)
for _ in $(seq 100); do xdpyinfo > /dev/null 2>&1 && break; sleep 0.1; done
xdpyinfo > /dev/null 2>&1 || fail "no Xvfb on $DISPLAY"
runtime=$work/runtime
mkdir -m 700 "$runtime"
[ ${#as[@]} -gt 0 ] && chown kor-desktop: "$runtime"
socket=kd-desk-$desktop
cp -r "$build/graphics" "$build/sounds" "$work/"
mkdir "$work/data" "$work/home"
printf '%s\n' '[Ball]' 'Position_X = 400' 'Position_Y = 300' 'Radius = 25' \
  '[Ball]' 'Position_X = -450' 'Position_Y = -300' 'Radius = 12' 'Mass = 1' > "$work/data/level-01.txt"
[ ${#as[@]} -gt 0 ] && chown -R kor-desktop: "$work/data"
# Under AddressSanitizer memory errors count; leaks do not: the graphics drivers that SDL
# loads on Wayland leak from modules already unloaded, which no suppression can name.
game=(env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER -u SDL_AUDIODRIVER XDG_RUNTIME_DIR="$runtime"
  ASAN_OPTIONS="${ASAN_OPTIONS:-}${ASAN_OPTIONS:+:}detect_leaks=0")

xwayland=false
[ "$kind" = xwayland ] && xwayland=true
case $compositor in
  weston)
    # Without its panel: the clock would change the screen under the comparisons.
    printf '%s\n' '[core]' "xwayland=$xwayland" '[shell]' 'panel-position=none' > "$work/weston.ini"
    XDG_RUNTIME_DIR=$runtime setsid weston --config="$work/weston.ini" --backend=x11-backend.so --socket="$socket" \
      --width="$lw" --height="$lh" --scale="$scale" \
      > "$out/compositor.txt" 2>&1 &
    ;;
  mutter)
    x11=--no-x11
    [ "$kind" = xwayland ] && x11=
    XDG_RUNTIME_DIR=$runtime MUTTER_DEBUG_DUMMY_MODE_SPECS=$screen MUTTER_DEBUG_DUMMY_MONITOR_SCALES=$scale \
      setsid dbus-run-session -- mutter --nested --wayland $x11 --wayland-display="$socket" > "$out/compositor.txt" 2>&1 &
    ;;
  kwin)
    x11=
    [ "$kind" = xwayland ] && x11=--xwayland
    # KWin's file capability is refused in containers: a copy without it runs the same.
    mkdir "$work/kwin" && cp "$(command -v kwin_wayland)" "$work/kwin/kwin_wayland"
    XDG_RUNTIME_DIR=$runtime setsid dbus-run-session -- "$work/kwin/kwin_wayland" --x11-display "$DISPLAY" $x11 \
      --width "$lw" --height "$lh" --scale "$scale" --socket "$socket" > "$out/compositor.txt" 2>&1 &
    ;;
  sway)
    printf '%s\n' "output * mode ${screen} scale $scale" 'xwayland disable' 'focus_follows_mouse no' > "$work/sway.conf"
    XDG_RUNTIME_DIR=$runtime WLR_BACKENDS=x11 WLR_X11_OUTPUTS=1 WLR_RENDERER=pixman \
      setsid "${as[@]}" sway --config "$work/sway.conf" > "$out/compositor.txt" 2>&1 &
    ;;
  cage)
    # cage runs the game itself (and an Xwayland of its own: the game is kept off it).
    (cd "$work" && XDG_RUNTIME_DIR=$runtime WLR_BACKENDS=x11 WLR_X11_OUTPUTS=1 WLR_RENDERER=pixman \
      exec setsid "${as[@]}" cage -- "${game[@]}" "$prog" > "$work/stdout.txt" 2> "$work/stderr.txt") &
    ;;
  xfwm4)
    HOME=$work/home setsid dbus-run-session -- xfwm4 --compositor=off > "$out/compositor.txt" 2>&1 &
    ;;
  *)
    HOME=$work/home setsid "$compositor" > "$out/compositor.txt" 2>&1 &
    ;;
esac
pids+=($!)
[ "$desktop" = cage ] && pid=$!

# Where keys, clicks and screenshots go: the compositor's window on the X server, or the
# screen itself under a window manager.
output=
for _ in $(seq 150); do
  if [ "$kind" = x11 ]; then
    output=$(xwininfo -root | awk '/Window id:/{print $4}')
    xprop -root _NET_SUPPORTING_WM_CHECK 2> /dev/null | grep -q 'window id' && break
  else
    output=$(xwininfo -root -children 2> /dev/null | awk '$1 ~ /^0x/ && / [0-9]+x[0-9]+\+/ {print $1; exit}')
    [ -n "$output" ] && break
  fi
  sleep 0.1
done
[ -n "$output" ] || fail "$desktop did not start"
# The game's X display (window managers, Xwayland): its windows' frames are read there.
gx=()
if [ "$kind" = x11 ]; then
  gx=(DISPLAY="$DISPLAY")
  sleep 1
elif [ "$kind" = xwayland ]; then
  for _ in $(seq 100); do
    # weston starts its Xwayland for the first X client; the others at once, with an
    # authority file.
    xd=$(grep -o 'listening on display :[0-9]*' "$out/compositor.txt" 2> /dev/null | grep -o ':[0-9]*' | head -n 1)
    args=$(pgrep -a -s "${pids[-1]}" Xwayland | head -n 1)
    [ -z "$xd" ] && xd=$(grep -o ' :[0-9]*' <<< "$args" | head -n 1 | tr -d ' ')
    auth=$(grep -o -- '-auth [^ ]*' <<< "$args" | cut -d' ' -f2)
    [ -n "$xd" ] && DISPLAY=$xd XAUTHORITY=$auth xdpyinfo > /dev/null 2>&1 && break
    sleep 0.1
  done
  [ -n "$xd" ] || fail "$desktop started no Xwayland"
  gx=(DISPLAY="$xd" XAUTHORITY="$auth")
fi
if [ "$kind" = wayland ] && [ "$desktop" != cage ]; then
  for _ in $(seq 100); do
    socket=$(cd "$runtime" && ls wayland-* kd-desk-* 2> /dev/null | grep -v lock | head -n 1)
    [ -n "$socket" ] && break
    sleep 0.1
  done
  [ -n "$socket" ] || fail "$desktop made no Wayland socket"
  game+=(WAYLAND_DISPLAY="$socket")
fi
if [ "$desktop" != cage ]; then
  (cd "$work" && exec "${as[@]}" "${game[@]}" "${gx[@]}" "$prog" > "$work/stdout.txt" 2> "$work/stderr.txt") &
  pid=$!
fi
read -r ox oy ow oh <<< "$(xwininfo -id "$output" | awk '/Absolute upper-left X/{x=$NF}/Absolute upper-left Y/{y=$NF}/Width:/{w=$NF}/Height:/{h=$NF}END{print x, y, w, h}')"

# Pictures of the compositor's screen only, compressed lightly (the same pixels in a third
# of the time).
shot() { import -window root -crop "${ow}x${oh}+${ox}+${oy}" +repage -quality 10 "$out/$1.png" 2> /dev/null; }
count() { convert "$1" -fill black +opaque "$2" -fill white -opaque "$2" -format '%[fx:int(mean*w*h+0.5)]' info:; }
# The box "W H X Y" of one colour.
box() {
  local g
  g=$(convert "$1" -fill black +opaque "$2" -trim -format '%w %h %X %Y' info: 2> /dev/null) || return 1
  set -- $g
  echo "$1 $2 ${3#+} ${4#+}"
}
# The game's newest window on its X display (window managers, Xwayland).
xwindow() { env "${gx[@]}" xdotool search --name '^(Intro|Menu|The KOR Dudurad)$' 2> /dev/null | tail -n 1; }
# Keys go to the compositor's window, which hands them on; under a window manager to the
# game's window. On weston's Xwayland they go into the game's X display itself (XTEST there):
# weston's X11 backend hands keys and clicks on to X windows only some of the time, and the
# game reads them as the same X events either way. (mutter draws its pointer where such a
# click leaves it, in the pictures: there the compositor's way.)
direct=false
[ "$desktop" = weston-xwayland ] && direct=true
key() {
  if $direct; then
    timeout 10 env "${gx[@]}" xdotool windowfocus --sync "$(xwindow)" keydown "$1" sleep 0.15 keyup "$1"
    return
  fi
  local to=$output
  [ "$kind" = x11 ] && to=$(xwindow)
  xdotool windowfocus --sync "$to" keydown "$1" sleep 0.15 keyup "$1"
}
# weston's X11 backend takes a click where the pointer shows only after a second move. Under
# Xwayland its root is the compositor's screen.
click() {
  if $direct; then
    timeout 10 env "${gx[@]}" xdotool mousemove "$1" "$2" click 1
    return
  fi
  xdotool mousemove --window "$output" $(($1 - 1)) "$2" mousemove --window "$output" "$1" "$2" click 1
}
# "X Y W H" of a window on the game's X display.
xgeometry() {
  env "${gx[@]}" xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$NF}/Absolute upper-left Y/{y=$NF}
    /Width:/{w=$NF}/Height:/{h=$NF}END{print x, y, w, h}'
}
# "X Y W H" of the frame the window manager put the game's window in, then of the window
# itself (X11).
frame() {
  local w p root client
  client=$(xwindow) && [ -n "$client" ] || return 1
  root=$(env "${gx[@]}" xwininfo -root | awk '/Window id:/{print $4}')
  w=$client
  while p=$(env "${gx[@]}" xwininfo -id "$w" -children 2> /dev/null | awk '/Parent window id/{print $4}') &&
    [ -n "$p" ] && [ "$((p))" != "$((root))" ]; do w=$p; done
  echo "$(xgeometry "$w") $(xgeometry "$client")"
}
# Waits until a shot shows at least $3 pixels of colour $2; the shot is $1.
await() {
  local i
  for i in $(seq "${4:-30}"); do
    shot "$1"
    [ "$(count "$out/$1.png" "$2")" -gt "$3" ] && return 0
    alive || return 1
    sleep 0.5
  done
  return 1
}
# The picture's size for a client of $3 x $4 at the scale the game chooses for a room of
# $1 x $2 (whole scales when it fits, else the largest that fits): "W H".
fit() {
  awk -v rw="$1" -v rh="$2" -v cw="${3:-1024}" -v ch="${4:-768}" 'BEGIN{s = rw / cw < rh / ch ? rw / cw : rh / ch
    if (s >= 1) s = int(s); w = int(cw * s + 0.5); h = int(ch * s + 0.5); print w, h}'
}
# The room a window has on this desktop, in screen pixels: on Wayland room is kept for a
# title bar and a panel (88 at scale 1).
room_h=$oh
[ "$kind" = wayland ] && room_h=$((oh - $(times 88)))

# The intro: its dark blue sky.
await 1-intro '#001446' 50000 || fail "the intro's picture is not shown"
read -r w h x y <<< "$(box "$out/1-intro.png" '#001446')"
click $((x + w / 2)) $((y + h / 2))  # the compositor's keyboard focus follows
sleep 8
# Space is read once the intro is over (a minute and more later under load).
menu_end=$((SECONDS + 120))
while [ $SECONDS -lt $menu_end ]; do
  click $((x + w / 2)) $((y + h / 2))
  key space
  await 2-menu '#D4D0C8' 3000 2 && break
done
[ "$(count "$out/2-menu.png" '#D4D0C8')" -gt 3000 ] || fail "no menu with its buttons"
# The menu's three buttons span x 226 to 572, y 450 to 475 of its 800 x 550 picture, their
# faces 342 pixels from the first to the last: at a whole scale N exactly N times that many
# screen pixels on Wayland, whatever the desktop's own scale.
read -r w h x y <<< "$(box "$out/2-menu.png" '#D4D0C8')"
read -r mw mh <<< "$(fit "$ow" "$room_h" 800 550)"
if [ "$kind" = wayland ] && [ "$mw" -ge 800 ]; then
  [ "$w" -eq $((342 * mw / 800)) ] ||
    fail "the menu's buttons are $w pixels wide, not $((342 * mw / 800)): not laid out in the screen's pixels"
fi
# A window first shown as a window comes back to its place after an F11 pair (X11; on
# weston's Xwayland the game maps the window again there, as weston takes no later move).
same_place() { [ "$1" = "$2" ]; }
# The game's X screen in its own pixels: a window of that size is fullscreen.
[ "$kind" != wayland ] && read -r rw rh <<< "$(env "${gx[@]}" xwininfo -root | awk '/Width:/{w=$NF}/Height:/{h=$NF}END{print w, h}')"
# Waits after F11 (at most 10 s) until the game's X window is fullscreen ($1 on) or a window
# again ($1 off): where $2 says (same_place), or without $2 with its frame still for a
# second; prints the frame. A Wayland window's switch is given 2 s.
switched() {
  local f= previous= still=0 w h
  if [ "$kind" = wayland ]; then
    sleep 2
    return
  fi
  for _ in $(seq 40); do
    sleep 0.25
    f=$(frame) || continue
    read -r _ _ _ _ _ _ w h <<< "$f"
    if [ "$1" = on ]; then
      [ "$w $h" = "$rw $rh" ] && break
    elif [ "$w $h" != "$rw $rh" ]; then
      if [ -n "${2:-}" ]; then
        same_place "$f" "$2" && break
      else
        [ "$f" = "$previous" ] && still=$((still + 1)) || still=0
        [ "$still" -ge 4 ] && break
      fi
    fi
    previous=$f
  done
  echo "$f"
}
if [ "$kind" != wayland ]; then
  before=$(switched off)
  [ -n "$before" ] || fail "no frame round the menu"
  key F11
  switched on > /dev/null
  key F11
  after=$(switched off "$before")
  echo "menu: $before, after an F11 pair $after" >> "$out/frames.txt"
  same_place "$after" "$before" || fail "the menu left fullscreen at $after, not where it was ($before)"
fi
# Fullscreen from the menu on: the game opens fullscreen.
key F11
# Where the buttons are once the switch has settled (on sway they may not move at all).
switched on > /dev/null
g=
for _ in $(seq 20); do
  shot 2-menu-fullscreen
  previous=$g
  g=$(box "$out/2-menu-fullscreen.png" '#D4D0C8') && [ "$g" = "$previous" ] && break
  sleep 1
done
[ -n "$g" ] && [ "$g" = "$previous" ] || fail "no menu after F11"
read -r w h x y <<< "$g"
s=$(awk -v w="$w" 'BEGIN{printf "%.4f", w / 347}')
mx=$(awk -v x="$x" -v s="$s" 'BEGIN{printf "%d", x + (400 - 226) * s}')
my=$(awk -v y="$y" -v s="$s" 'BEGIN{printf "%d", y + 12 * s}')
click "$mx" "$my"

# The game (1024 x 768), first in a window, then fullscreen and back.
# The game: no menu (its buttons' grey, its sky's flat blue) and a screen not black.
game_shown() {
  [ "$(count "$out/$1.png" '#D4D0C8')" -lt 100 ] && [ "$(count "$out/$1.png" '#001446')" -lt 1000 ] &&
    convert "$out/$1.png" -format '%[fx:mean > 0.05]' info: | grep -q 1
}
for _ in $(seq 30); do
  sleep 0.5
  shot 3-game
  game_shown 3-game && break
done
game_shown 3-game || fail "the game's picture is not shown (or the menu is still there)"
# The pixels of an area ($2, WxH+X+Y) of a shot ($1) that are not black.
lit() { convert "$1" -crop "$2" +repage -colorspace gray -threshold 0 -format '%[fx:int(mean*w*h+0.5)]' info:; }
# Fullscreen: the picture centred at its scale for the whole screen, black bars round it (a
# compositor may draw its pointer there: a pointer's worth of pixels is let through).
check_fullscreen() {
  local w h x y f=$out/$1.png
  read -r w h <<< "$(fit "$ow" "$oh")"
  x=$(((ow - w) / 2)) y=$(((oh - h) / 2))
  if [ "$x" -gt 0 ]; then
    [ "$(lit "$f" "${x}x${oh}+0+0")" -le 400 ] || return 1
    [ "$(lit "$f" "${x}x${oh}+$((x + w))+0")" -le 400 ] || return 1
  fi
  if [ "$y" -gt 0 ]; then
    [ "$(lit "$f" "${ow}x${y}+0+0")" -le 400 ] || return 1
  fi
  # The picture is no black hole: its edges and its middle show the sky.
  for c in "4x${h}+${x}+${y}" "4x${h}+$((x + w - 4))+${y}" "$((w / 2))x$((h / 2))+$((x + w / 4))+$((y + h / 4))"; do
    convert "$f" -crop "$c" -format '%[fx:mean > 0.05]' info: | grep -q 1 || return 1
  done
}
# The mouse out of the way, so that it is in no picture: off the compositor's window (a
# compositor draws the pointer into its screen), or in the X server's corner.
park() { xdotool mousemove --window "$output" $((ow - 1 + margin / 2)) $((oh - 1 + margin / 2)); sleep 0.3; }
first=
for round in $(seq "$rounds"); do
  if [ "$round" -gt 1 ]; then
    key F11
    switched on > /dev/null
  fi
  # A loaded machine may show the compositor's new size a few frames late: look again for
  # up to 10 s before calling the picture wrong.
  for try in $(seq 20); do
    shot 4-fullscreen-$round
    alive || fail "the program ended on F11 ($round)"
    check_fullscreen 4-fullscreen-$round && echo "round $round: right at look $try" >> "$out/fullscreen.txt" && break
    [ "$try" -lt 20 ] || fail "the fullscreen picture is not centred at its scale or is black ($round)"
    sleep 0.5
  done
  key F11
  place=$(switched off "$first")
  park
  shot 5-window-$round
  alive || fail "the program ended on the second F11 ($round)"
  if [ "$kind" != wayland ]; then
    echo "game, round $round: $place" >> "$out/frames.txt"
    [ "$round" -eq 1 ] && first=$place
    same_place "$place" "$first" || fail "the game left fullscreen at $place in round $round, at $first in round 1"
    # It keeps the keyboard and shows its picture (weston's Xwayland: though mapped again),
    # the middle of the window lit; a loaded machine is given 5 s.
    read -r _ _ _ _ x y w h <<< "$place"
    for try in $(seq 20); do
      [ "$(env "${gx[@]}" xdotool getwindowfocus 2> /dev/null)" = "$(xwindow)" ] &&
        [ "$(lit "$out/5-window-$round.png" "$((w / 2))x$((h / 2))+$((x + w / 4))+$((y + h / 4))")" -gt $((w * h / 8)) ] &&
        break
      [ "$try" -lt 20 ] || fail "the game's window lost the keyboard or its picture after F11 pair $round"
      sleep 0.25
      park
      shot 5-window-$round
    done
  fi
done
if [ "$desktop" = sway ]; then
  tree=$(XDG_RUNTIME_DIR=$runtime SWAYSOCK=$(ls "$runtime"/sway-ipc.* 2> /dev/null | head -n 1) "${as[@]}" swaymsg -t get_tree 2>&1)
  echo "$tree" > "$out/sway-tree.json"
  id=$(basename "$(ls "$source"/packaging/*.desktop)" .desktop)
  grep -q "\"app_id\": \"$id\"" <<< "$tree" || fail "the game's app id is not $id"
  # The window and its title bar on the screen.
  rects=$(grep -A4 '"rect"' <<< "$tree" | tr -d ' ,' | paste -sd' ')
  echo "$rects" > "$out/sway-rects.txt"
fi
key Escape
sleep 2
shot 6-end
alive || fail "the program ended on Escape"
# The end screen reads keys once it is drawn (later under load). The new menu may come
# under the pointer that clicked "Start spel", which lights that button: two buttons' faces
# are enough.
for _ in $(seq 10); do
  key space
  await 7-menu '#D4D0C8' 2000 4 && break
done
[ "$(count "$out/7-menu.png" '#D4D0C8')" -gt 2000 ] || fail "no menu after the game"
# The buttons where they hold still for two looks: the closed game's window may still be
# going (weston fades it out) while the menu comes.
g=
for _ in $(seq 20); do
  previous=$g
  g=$(box "$out/7-menu.png" '#D4D0C8') && [ "$g" = "$previous" ] && break
  sleep 0.5
  shot 7-menu
done
read -r w h x y <<< "$g"
ex=$(awk -v x="$x" -v s="$s" 'BEGIN{printf "%d", x + (532 - 226) * s}')
ey=$(awk -v y="$y" -v s="$s" 'BEGIN{printf "%d", y + 12 * s}')
# A click that reached no window is said and made once more; a program that takes a click
# and does not end fails all the same. The X windows at each miss are kept.
for try in 1 2 3; do
  click "$ex" "$ey"
  for _ in $(seq 100); do alive || break; sleep 0.1; done
  alive || break
  echo "click $try on \"Exit\" at $ex,$ey: the program runs on"
  shot 7-menu-miss-$try
  [ "$kind" = wayland ] || env "${gx[@]}" xwininfo -root -tree > "$out/7-menu-miss-$try.txt" 2>&1
done
alive && fail "the program did not end after \"Exit\""
wait "$pid"
status=$?
pid=
# The windows on the screen. Wayland: where a window shot differs from the empty screen is
# the game's window with its title bar, whole when it has the picture's size at its scale
# on this desktop and a title bar above it. weston puts a Wayland window opened fullscreen
# at the screen's corner when it leaves fullscreen, its title bar above the screen (a
# Wayland program can't place its window): there the picture only. X11: the window within
# the screen and a title bar's room above it.
title=$(times 20)
[ "$desktop" = weston ] && title=0
read -r pw ph <<< "$(fit "$ow" "$room_h")"
if [ "$desktop" != cage ]; then
  park
  shot 8-empty
  for f in "$out"/5-window-*.png; do
    n=${f##*-window-} && n=${n%.png}
    if [ "$kind" = wayland ]; then
      g=$(compare "$f" "$out/8-empty.png" -compose src -fuzz 2% png:- 2> /dev/null | convert - -fuzz 2% -trim \
        -format '%w %h %X %Y' info:)
      read -r w h x y <<< "${g//+/}"
      echo "$(basename "$f" .png): window and title bar $w x $h at $x,$y; picture $pw x $ph" >> "$out/windows.txt"
      [ "$w" -ge "$pw" ] && [ "$h" -ge $((ph + title)) ] ||
        fail "$(basename "$f"): the window is not wholly on the screen ($w x $h at $x,$y; its picture is $pw x $ph)"
    else
      read -r _ _ _ _ x y w h <<< "$(grep "round $n:" "$out/frames.txt" | sed 's/.*: //')"
      [ "$x" -ge 0 ] && [ "$y" -ge "$title" ] && [ $((x + w)) -le "$ow" ] && [ $((y + h)) -le "$oh" ] ||
        fail "$(basename "$f"): the window ($w x $h at $x,$y) or its title bar is not on the screen"
    fi
  done
fi
grep -v '^ALSA' "$work/stderr.txt"
[ "$status" -eq 0 ] || fail "status $status"
grep -aq '\[ERROR\] (Window)' "$work/stderr.txt" && fail "the window layer reported an error"
scores=$(tr -d '\r' < "$work/data/highscores.dat" 2> /dev/null | tr '\n' ' ')
[ "$scores" = "100 0 0 0 0 " ] || fail "scores '$scores'"
echo "passed on $desktop ($screen, scale $scale, $rounds rounds); screenshots in $out"
