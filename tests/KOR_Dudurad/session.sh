#!/usr/bin/env bash
# A new player's first session with the built program on a real X server (run through
# xvfb-run; no window manager): the intro to its end and a key, "Start spel", level 1 won
# with Space, level 2 lost once and then quit with Escape, the end screen left with Space,
# "Exit". Checks the exit status, the console and data/highscores.dat, and keeps
# screenshots of the intro (rocket and end), the menu, both levels and the end screen.
#
#   session.sh PROGRAM BUILD_DIR OUT_DIR
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

# ---- The working directory: generated pictures and sounds, two test levels ----
kor_work
cat > "$work/data/level-01.txt" << 'EOF'
* The rocket lies on the black hole's axis: Space at the start values (250, straight
* to the right) flies it in within a second.
[Ball]
Position_X = 0
Position_Y = 0
Radius = 25
[Ball]
Position_X = -200
Position_Y = 0
Radius = 12
Mass = 1
EOF
cat > "$work/data/level-02.txt" << 'EOF'
* A red wall right in front of the rocket: Space at 150 crashes it.
[Ball]
Position_X = -400
Position_Y = 300
Radius = 25
[Ball]
Position_X = 0
Position_Y = 0
Radius = 12
Mass = 1
[Rectangle]
Position_X = 80
Position_Y = -50
Dimension_X = 40
Dimension_Y = 100
GameOverOnCollision = 1
EOF

background='#001446'  # RgbColor(0, 20, 70)
face='#D4D0C8'        # a push button's face
hotface='#F0EEE8'     # the face under the pointer

# ---- The session ----
start=$SECONDS
(cd "$work" && exec env -u SDL_VIDEODRIVER -u SDL_AUDIODRIVER "$prog" > "$out/stdout.txt" 2> "$out/stderr.txt") &
pid=$!

step "waiting for the intro"
intro=$(find_window Intro 20) || fail "no window \"Intro\""
shown=$SECONDS
sleep 6  # the rocket flies round the logo from about 4 s on
import -window root "$out/0-intro-rocket.png"
# The intro text at (550, 500) is on the final picture only; nothing else comes there.
final=
end=$((SECONDS + 60))
while [ $SECONDS -lt $end ]; do
  # (grep -c reads all its input: an early stop would fail the pipe under pipefail.)
  if [ "$(import -window "$intro" -crop 250x50+550+500 -depth 8 txt:- 2> /dev/null | tail -n +2 | grep -vc "$background")" -gt 0 ]; then
    final=yes
    break
  fi
  alive || fail "the program ended during the intro"
  sleep 0.3
done
[ -n "$final" ] || fail "the intro's final picture never came"
[ $((SECONDS - shown)) -ge 8 ] || fail "the intro took less than 8 s"
step "intro over after $((SECONDS - shown)) s"
import -window root "$out/1-intro-end.png"
xdotool windowfocus --sync "$intro" key space

step "waiting for the menu"
menu=$(find_window Menu 15) || fail "no window \"Menu\" after the intro"
wait_pixel "$menu" 365 455 "$face" 10 || fail "the menu's buttons are not drawn"
[ "$(pixel "$menu" 20 300)" = "$background" ] || fail "the menu's background is not dark blue"
xdotool mousemove --window "$menu" 400 462
wait_pixel "$menu" 365 455 "$hotface" 5 || fail "\"Start spel\" does not light up under the pointer"
import -window root "$out/2-menu.png"
xdotool mousemove --window "$menu" 400 462 click 1

step "waiting for the game"
game=$(find_window 'The KOR Dudurad' 15) || fail "no game window after \"Start spel\""
sleep 1
import -window root "$out/3-game-level1.png"
press "$game" space  # level 1 is won a moment later
sleep 2
import -window root "$out/4-game-level2.png"
press "$game" space  # into the red wall: lost, 20 points off
sleep 1.5
press "$game" Escape
sleep 1.5
import -window root "$out/5-end-screen.png"
press "$game" space

step "waiting for the menu again"
menu=$(find_window Menu 15) || fail "no menu after the end screen"
wait_pixel "$menu" 505 455 "$face" 10 || fail "the second menu's buttons are not drawn"
xdotool mousemove --window "$menu" 532 462 click 1

step "waiting for the program to end"
end=$((SECONDS + 15))
while alive && [ $SECONDS -lt $end ]; do sleep 0.2; done
alive && fail "the program did not end after \"Exit\""
wait "$pid"
status=$?
pid=
step "ended with status $status after $((SECONDS - start)) s"

# ---- Results ----
echo "--- stdout:"
cat "$out/stdout.txt"
echo
echo "--- stderr:"
cat "$out/stderr.txt"
[ "$status" -eq 0 ] || fail "exit status $status after \"Exit\", not 0"
# A first game finds no high-score file; nothing else may be reported.
grep -q '\[ERROR\] (LoadScores) There are no high scores to load\.' "$out/stdout.txt" ||
  fail "the missing high-score file was not reported"
others=$(sed 's/\[ERROR\] (LoadScores) There are no high scores to load\.//' "$out/stdout.txt" "$out/stderr.txt" |
  grep -E '\[ERROR\]|^\*\*' || true)
[ -z "$others" ] || fail "unexpected messages: $others"
[ -f "$work/data/highscores.dat" ] || fail "no data/highscores.dat"
scores=$(tr -d '\r' < "$work/data/highscores.dat" | tr '\n' ' ')
cp "$work/data/highscores.dat" "$out/"
# 100 at the start, +100 for level 1, -20 for the crash on level 2, then quit.
[ "$scores" = "180 0 0 0 0 " ] || fail "high scores are '$scores', not '180 0 0 0 0'"
step "session passed; screenshots in $out"
