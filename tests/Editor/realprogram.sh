#!/usr/bin/env bash
# The level editor in the built program on a real X server (run through xvfb-run): a copy of
# level 1 opened with --edit, its planet dragged 100 pixels up with the mouse (the flight path
# on the screen changes with it), Ctrl+S (the file holds the new place), a play-test with F5
# left with Escape, then Ctrl+Z still undoes the drag (the history came through the game),
# Ctrl+S again and Escape ends the program with status 0. The title names the file and marks
# unsaved work; the planet copied with Ctrl+C is pasted into a second editor with Ctrl+V
# through the X clipboard, which then saves a copy with Ctrl+Shift+S and Return.
#
#   realprogram.sh PROGRAM BUILD_DIR OUT_DIR
set -uo pipefail
prog=$1
build=$2
out=$3

rm -rf "$out"
mkdir -p "$out"
. "$(cd "$(dirname "$0")/../support" && pwd)/xsession.sh"
console="$out/stdout.txt $out/stderr.txt"
[ -n "${DISPLAY:-}" ] || fail "no DISPLAY: run me through xvfb-run"
work=$(mktemp -d)

# xvfb-run's server resets when its last client leaves: one client stays connected, so the
# short-lived xdotool calls before the program connects cannot take the server down under it.
xprop -root -spy > /dev/null 2>&1 &
others+=($!)

level=$work/level-01.txt
cp "$build/data/level-01.txt" "$level"
cd "$build" || fail "no build tree"
"$prog" --edit "$level" > "$out/stdout.txt" 2> "$out/stderr.txt" &
pid=$!
win=$(find_window "The KOR Dudurad - level-01.txt" 20) || fail "no editor window named after its file"
eval "$(xdotool getwindowgeometry --shell "$win")"
wx=$X
wy=$Y

# Pixels of the right half of the field, where the flight ends (the planet stays left of it).
field() { import -window "$win" -crop 400x420+600+200 -depth 8 "$1" 2> /dev/null; }
sleep 1
field "$out/before.png"

# Level 1's planet is at (-20, 170): window pixel (492, 214).
xdotool mousemove $((wx + 492)) $((wy + 214)) sleep 0.3 mousedown 1
for i in 1 2 3 4 5 6 7 8 9 10; do
  xdotool mousemove $((wx + 492)) $((wy + 214 - 10 * i))
  sleep 0.05
done
xdotool mouseup 1
sleep 1
field "$out/after.png"
import -window root "$out/dragged.png" 2> /dev/null
changed=$(compare -metric AE "$out/before.png" "$out/after.png" null: 2>&1 | cut -d' ' -f1)
[ "${changed:-0}" -gt 50 ] 2> /dev/null || fail "the flight path did not change on the screen ($changed pixels)"

[ "$(xdotool getwindowname "$win")" = "The KOR Dudurad - level-01.txt *" ] || fail "no mark of unsaved work in the title"
xdotool windowfocus --sync "$win" key ctrl+s
sleep 1
grep -qx "Position_Y = 270" "$level" || fail "the saved file does not hold the dragged planet"
[ "$(xdotool getwindowname "$win")" = "The KOR Dudurad - level-01.txt" ] || fail "the mark stayed after the save"
grep -qx "\* Level 1: first flight." "$level" || fail "the comments were lost"

# The play-test: the game's window (no editor panel at the bottom right), then Escape and the
# end screen's Escape bring the editor back. Each step waits for what the screen shows, so a
# slow machine only makes it slower.
panel="#001446"
editor_shown() { [ "$(pixel "$win" 1000 760)" = "$panel" ]; }
press "$win" F5
for _ in $(seq 1 100); do
  sleep 0.2
  win=$(find_window "The KOR Dudurad( - level-01.txt)?" 10) || fail "no window for the play-test"
  editor_shown || break
done
editor_shown && fail "F5 did not start the play-test"
sleep 1
import -window root "$out/playtest.png" 2> /dev/null
for _ in $(seq 1 40); do
  win=$(find_window "The KOR Dudurad( - level-01.txt)?" 10) || fail "no window after the play-test"
  editor_shown && break
  press "$win" Escape
  sleep 0.8
done
alive || fail "the program ended with the play-test"
editor_shown || fail "Escape did not bring the editor back"
import -window root "$out/back.png" 2> /dev/null

xdotool windowfocus --sync "$win" key ctrl+z
sleep 0.5
xdotool windowfocus --sync "$win" key ctrl+s
sleep 1
grep -qx "Position_Y = 170" "$level" || fail "the undo history did not come back from the play-test"

# Copy the planet; a second editor on another level pastes it and saves.
xdotool mousemove $((wx + 492)) $((wy + 214)) click 1
sleep 0.5
xdotool windowfocus --sync "$win" key ctrl+c
sleep 0.5
other=$work/level-02.txt
cp "$build/data/level-02.txt" "$other"
bodies=$(grep -c '^\[' "$other")
"$prog" --edit "$other" > "$out/stdout2.txt" 2> "$out/stderr2.txt" &
pid2=$!
others+=("$pid2")
win2=$(find_window "The KOR Dudurad - level-02.txt" 20) || fail "no second editor window"
sleep 1
xdotool windowfocus --sync "$win2" key ctrl+v
sleep 0.5
xdotool windowfocus --sync "$win2" key ctrl+s
sleep 1
import -window root "$out/pasted.png" 2> /dev/null
[ "$(grep -c '^\[' "$other")" -eq $((bodies + 1)) ] || fail "Ctrl+V did not add the copied planet"
tail -n 4 "$other" | grep -qx "Field = 300000" || fail "the pasted body is not the planet"
# Save-as by keys: the prompt is filled with the next free name, which Return takes.
xdotool windowfocus --sync "$win2" key ctrl+shift+s Return
for _ in $(seq 1 50); do [ -s "$work/level-03.txt" ] && break; sleep 0.1; done
cmp -s "$other" "$work/level-03.txt" || fail "Ctrl+Shift+S and Return did not save the level as level-03.txt"
win2=$(find_window "The KOR Dudurad - level-03.txt" 10) || fail "the editor did not go on with the saved copy"
press "$win2" Escape
win=$(find_window "The KOR Dudurad - level-01.txt" 10) || fail "the first editor's window went"
press "$win" Escape
for _ in $(seq 1 50); do alive || break; sleep 0.2; done
alive && fail "Escape did not end the editor"
wait "$pid"
status=$?
pid=
[ "$status" -eq 0 ] || fail "status $status"
echo "editor on a real X server: title, drag, path, save, play-test and back, undo, copy and paste, save-as: all fine"
