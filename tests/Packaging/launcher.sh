#!/usr/bin/env bash
# The launcher's care of the player's folder, with installations made by cmake --install
# into prefixes with spaces in their paths and a fresh XDG_DATA_HOME (also with a space):
#  1. without a display: the folder is laid out, the game's status 1 is the launcher's;
#  2. a game quit at once (Escape, 100 points) on the X server: the table is written there;
#  3. a newer installation elsewhere (level 1 changed, level 12 gone), the old one removed,
#     the player's own levels, links (also to paths that look like an installation's) and a
#     high-score table kept elsewhere through a link: the launcher's links follow the new
#     installation, the player's files and links stay as they were; file names are said
#     escaped, as the game's console does; a second start with every link right changes
#     nothing (so a read-only folder is fine); a graphics/ folder and a sounds/ link of the
#     player's own are left as they are and named;
#  4. a second game: its 100 points join the first's in the linked table; status 0.
# Runs under xvfb-run.
#
#   launcher.sh BUILD_DIR OUT_DIR
set -uo pipefail
build=$1
out=$2
rm -rf "$out"
mkdir -p "$out"
. "$(cd "$(dirname "$0")/../support" && pwd)/xsession.sh"
console="$out/*.txt"
work=$(mktemp -d)
scratch=$work
[ -n "${DISPLAY:-}" ] || fail "no DISPLAY: run me through xvfb-run"

old="$scratch/old prefix"
new="$scratch/new prefix"
export XDG_DATA_HOME="$scratch/data home"
work="$XDG_DATA_HOME/kor-dudurad"
cmake --install "$build" --prefix "$old" > /dev/null || fail "cmake --install into $old"

# ---- 1. No display ----
step "without a display"
env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER timeout 30 "$old/bin/kor-dudurad" > "$out/1-stdout.txt" 2> "$out/1-stderr.txt"
status=$?
[ "$status" -eq 1 ] || fail "status $status without a display, not 1"
[ "$(readlink "$work/graphics")" = "$old/share/games/kor-dudurad/graphics" ] || fail "graphics/ is not linked to the installation"
[ "$(readlink "$work/sounds")" = "$old/share/games/kor-dudurad/sounds" ] || fail "sounds/ is not linked to the installation"
[ "$(ls "$work/data" | wc -l)" -eq "$(ls "$old/share/games/kor-dudurad/data" | wc -l)" ] || fail "not every level is in data/"
cmp -s "$work/data/level-12.txt" "$old/share/games/kor-dudurad/data/level-12.txt" || fail "level 12 is not the installed one"
[ ! -e "$work/data/highscores.dat" ] || fail "a high-score table appeared without a game"

# ---- Playing through the launcher on the X server ----
background='#001446'
face='#D4D0C8'

# Starts the game with a launcher, quits a game at once and leaves with "Exit".
play_and_quit() {  # play_and_quit PREFIX TAG
  "$1/bin/kor-dudurad" > "$out/$2-stdout.txt" 2> "$out/$2-stderr.txt" &
  pid=$!
  local intro menu game end
  intro=$(find_window Intro 20) || fail "$2: no intro window"
  # The intro text at (550, 500) comes with the final picture only.
  end=$((SECONDS + 60))
  until [ "$(import -window "$intro" -crop 250x50+550+500 -depth 8 txt:- 2> /dev/null | tail -n +2 | grep -vc "$background")" -gt 0 ]; do
    [ $SECONDS -lt $end ] || fail "$2: the intro never ended"
    alive || fail "$2: the program ended during the intro"
    sleep 0.3
  done
  xdotool windowfocus --sync "$intro" key space
  menu=$(find_window Menu 15) || fail "$2: no menu"
  wait_pixel "$menu" 365 455 "$face" 10 || fail "$2: the menu's buttons are not drawn"
  xdotool mousemove --window "$menu" 400 462 click 1
  game=$(find_window 'The KOR Dudurad' 15) || fail "$2: no game window"
  sleep 0.5
  press "$game" Escape
  sleep 1.5
  press "$game" space
  menu=$(find_window Menu 15) || fail "$2: no menu after the game"
  wait_pixel "$menu" 505 455 "$face" 10 || fail "$2: the second menu's buttons are not drawn"
  xdotool mousemove --window "$menu" 532 462 click 1
  end=$((SECONDS + 15))
  while alive && [ $SECONDS -lt $end ]; do sleep 0.2; done
  alive && fail "$2: the program did not end after \"Exit\""
  wait "$pid"
  status=$?
  pid=
  [ "$status" -eq 0 ] || fail "$2: status $status after \"Exit\", not 0"
}
scores() { tr -d '\r' < "$1" | tr '\n' ' '; }

# ---- 2. A first game ----
step "a first game"
play_and_quit "$old" 2
[ -f "$work/data/highscores.dat" ] && [ ! -L "$work/data/highscores.dat" ] || fail "no table in the player's folder"
[ "$(scores "$work/data/highscores.dat")" = "100 0 0 0 0 " ] || fail "table '$(scores "$work/data/highscores.dat")'"

# ---- 3. A newer installation elsewhere; the old one gone ----
step "a newer installation"
cmake --install "$build" --prefix "$new" > /dev/null || fail "cmake --install into $new"
printf '* changed in the newer version\n' | cat - "$build/data/level-01.txt" > "$new/share/games/kor-dudurad/data/level-01.txt"
rm "$new/share/games/kor-dudurad/data/level-12.txt"
rm -rf "$old"
# The player keeps the table in another folder and has levels of their own.
mkdir -p "$scratch/synced"
mv "$work/data/highscores.dat" "$scratch/synced/scores"
ln -s "$scratch/synced/scores" "$work/data/highscores.dat"
echo '* mine' > "$work/data/level-05.txt.orig"
rm "$work/data/level-05.txt"
printf '[Ball]\nRadius = 25\n[Ball]\nPosition_X = -100\nRadius = 12\nMass = 1\n' > "$work/data/level-05.txt"
cp "$work/data/level-05.txt" "$scratch/mine-05"
printf '* my level after the last one\n' > "$work/data/level-30.txt"
# The player's links into a folder that looks like an installation's, one with an installed
# level's name; file names that would move the cursor or forge a second message.
mkdir -p "$scratch/x/kor-dudurad/data"
cp "$scratch/mine-05" "$scratch/x/kor-dudurad/data/level-04.txt"
cp "$scratch/mine-05" "$scratch/x/kor-dudurad/data/level-13.txt"
ln -sfn "$scratch/x/kor-dudurad/data/level-04.txt" "$work/data/level-04.txt"
ln -s "$scratch/x/kor-dudurad/data/level-13.txt" "$work/data/level-13.txt"
ln -s "$scratch/gone/kor-dudurad/data/level-14.txt" "$work/data/level-14.txt"
: > "$work/data/level-"$'\e]0;X\a\e[2J'".txt"
: > "$work/data/level-"$'\nkor-dudurad: forged\n'".txt"
# A folder from a launcher that recorded only levels: its pictures' link is still known.
sed -i '/^graphics\t/d; /^sounds\t/d' "$work/.installed-levels"
env -u DISPLAY -u WAYLAND_DISPLAY timeout 30 "$new/bin/kor-dudurad" > "$out/3-stdout.txt" 2> "$out/3-stderr.txt"
status=$?
[ "$status" -eq 1 ] || fail "status $status without a display, not 1"
[ "$(readlink "$work/graphics")" = "$new/share/games/kor-dudurad/graphics" ] || fail "graphics/ still points at the removed installation"
[ "$(readlink "$work/data/level-01.txt")" = "$new/share/games/kor-dudurad/data/level-01.txt" ] || fail "level 1 is not the newer one"
head -n 1 "$work/data/level-01.txt" | grep -q 'changed in the newer version' || fail "level 1 is the old one"
[ ! -e "$work/data/level-12.txt" ] && [ ! -L "$work/data/level-12.txt" ] || fail "the removed level 12 is still there"
[ -f "$work/data/level-11.txt" ] || fail "level 11 is gone"
[ ! -L "$work/data/level-05.txt" ] && cmp -s "$work/data/level-05.txt" "$scratch/mine-05" || fail "the player's level 5 was touched"
grep -q 'your own data/level-05.txt is played' "$out/3-stderr.txt" || fail "the player's level 5 was not mentioned"
[ -f "$work/data/level-30.txt" ] && [ -f "$work/data/level-05.txt.orig" ] || fail "the player's files were removed"
grep -q 'data/level-30.txt is not played' "$out/3-stderr.txt" || fail "the unreachable level 30 was not mentioned"
[ -L "$work/data/highscores.dat" ] || fail "the table's link was replaced"
[ "$(scores "$scratch/synced/scores")" = "100 0 0 0 0 " ] || fail "the table changed without a game"
for n in 04 13 14; do
  case $n in 14) where=gone ;; *) where=x ;; esac
  [ "$(readlink "$work/data/level-$n.txt")" = "$scratch/$where/kor-dudurad/data/level-$n.txt" ] ||
    fail "the player's link level-$n.txt was changed or removed"
done
grep -q 'your own data/level-04.txt is played' "$out/3-stderr.txt" || fail "the player's link level-04 was not mentioned"
! grep -q $'\e' "$out/3-stderr.txt" || fail "an escape sequence in a file name went to the terminal"
grep -qF 'data/level-\x1B]0;X\x07\x1B[2J.txt is not played' "$out/3-stderr.txt" || fail "the name is not escaped"
! grep -q '^kor-dudurad: forged' "$out/3-stderr.txt" || fail "a file name forged a message"
grep -qF 'data/level-\x0Akor-dudurad: forged\x0A.txt is not played' "$out/3-stderr.txt" || fail "the newline is not escaped"
# Everything right already: a second start writes nothing.
before=$(ls -lai --time-style=full-iso "$work" "$work/data")
env -u DISPLAY -u WAYLAND_DISPLAY timeout 30 "$new/bin/kor-dudurad" > "$out/3a-stdout.txt" 2> "$out/3a-stderr.txt"
status=$?
[ "$status" -eq 1 ] || fail "status $status at the second start, not the game's 1"
[ "$(ls -lai --time-style=full-iso "$work" "$work/data")" = "$before" ] || fail "a start with every link right changed the folder"

# The installation's own folder as the player's: left as it is.
XDG_DATA_HOME="$new/share/games" env -u DISPLAY -u WAYLAND_DISPLAY timeout 30 "$new/bin/kor-dudurad" > "$out/3b-stdout.txt" 2> "$out/3b-stderr.txt"
status=$?
[ "$status" -eq 1 ] || fail "status $status in the installation's own folder, not 1"
[ -d "$new/share/games/kor-dudurad/graphics" ] && [ ! -L "$new/share/games/kor-dudurad/graphics" ] &&
  [ -f "$new/share/games/kor-dudurad/graphics/raket.bmp" ] || fail "the installation's pictures were replaced"
[ -f "$new/share/games/kor-dudurad/data/level-01.txt" ] && [ ! -L "$new/share/games/kor-dudurad/data/level-01.txt" ] ||
  fail "the installation's levels were replaced"

# A graphics/ folder and a sounds/ link of the player's own: never removed nor repointed,
# each named on the console; the game starts (here: fails for want of a display).
rm "$work/graphics" "$work/sounds"
mkdir "$work/graphics"
echo mine > "$work/graphics/mine.bmp"
ln -s "$scratch/my sounds" "$work/sounds"
env -u DISPLAY -u WAYLAND_DISPLAY timeout 30 "$new/bin/kor-dudurad" > "$out/3c-stdout.txt" 2> "$out/3c-stderr.txt"
status=$?
[ "$status" -eq 1 ] || fail "status $status with the player's own folders, not the game's 1"
[ "$(cat "$work/graphics/mine.bmp")" = mine ] && [ ! -L "$work/graphics" ] || fail "the player's graphics/ was removed"
[ "$(readlink "$work/sounds")" = "$scratch/my sounds" ] || fail "the player's sounds link was repointed"
for dir in graphics sounds; do
  grep -qF "kor-dudurad: $work/$dir is yours, not a link this launcher made: it is left as it is" "$out/3c-stderr.txt" ||
    fail "the player's $dir was not named"
done
rm -r "$work/graphics" "$work/sounds"

# ---- 4. A second game, through the link ----
step "a second game"
play_and_quit "$new" 4
[ -L "$work/data/highscores.dat" ] || fail "the game replaced the table's link"
[ "$(scores "$scratch/synced/scores")" = "100 100 0 0 0 " ] || fail "table '$(scores "$scratch/synced/scores")' after two games"
step "passed"
