#!/usr/bin/env bash
# Stop signals on the real program (run through xvfb-run): SIGINT in the intro and SIGHUP in
# the menu end the program at once (130, 129). In a game a stop signal ends it as Escape
# does, its score saved, with status 128 + the first signal, however the signals come: one,
# two in one frame, during a pause, on the end screen, during a slow save, from a closed
# terminal, with stdout a closed pipe (SIGPIPE), behind a 2 GB score file (ended within a
# second). A save that cannot end is given up after a few seconds with the old table whole,
# and its leftover file goes at the next save. Two games ended in the same instant keep both
# scores. The editor keeps its work beside its file in every state: editing, in its
# play-test, on the play-test's end screen and back in the editor. A --level game never enters the table; a
# level that cannot be read is said on the screen. The console, redirected to a file, gets
# each line when it is written.
#
#   signals.sh PROGRAM BUILD_DIR
set -uo pipefail
prog=$1
build=$2
work=$(mktemp -d)
pid=
others=()
cleanup() {
  if [ -n "$pid" ] && kill -0 "$pid" 2> /dev/null; then kill -KILL "$pid" 2> /dev/null; fi
  for p in "${others[@]}"; do kill -KILL "$p" 2> /dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  echo "--- console:" >&2
  cat "$work/console.txt" >&2 2> /dev/null
  exit 1
}
[ -n "${DISPLAY:-}" ] || fail "no DISPLAY: run me through xvfb-run"
. "$(cd "$(dirname "$0")/../support" && pwd)/xdrive.sh"

cp -r "$build/graphics" "$build/sounds" "$work/"
mkdir "$work/data"
# The rocket is held until Space: nothing ends the level by itself.
printf '[Ball]\nPosition_X = 300\nRadius = 25\n[Ball]\nPosition_X = -300\nRadius = 12\nMass = 1\nBad \033[2J line\n' \
  > "$work/data/level-01.txt"
# A save made slow (or endless) by fsync, as a full network disk does, or failed (-1).
cat > "$work/slowsync.c" << 'EOF'
#include <errno.h>
#include <stdlib.h>
#include <unistd.h>
int fsync(int fd)
{
    (void)fd;
    const int seconds = atoi(getenv("SLOW_FSYNC"));
    if (seconds < 0) {
        errno = EIO;
        return -1;
    }
    sleep((unsigned)seconds);
    return 0;
}
EOF
cc -shared -fPIC -o "$work/slowsync.so" "$work/slowsync.c" || fail "cannot build the slow fsync"

scores() { tr -d '\r' < "$work/data/highscores.dat" | tr '\n' ' '; }
# start [NAME=VALUE...] [-- OPTION...]: the program in the work folder, its console in
# console.txt (or where $out says).
start() {
  local settings=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do
    settings+=("$1")
    shift
  done
  [ $# -gt 0 ] && shift
  (cd "$work" && exec env -u SDL_VIDEODRIVER -u SDL_AUDIODRIVER "${settings[@]}" "$prog" "$@" > "${out:-$work/console.txt}" 2>&1) &
  pid=$!
}
# Waits at most $1 s for the end; the exit status goes to $status.
ended_within() {
  local end=$((SECONDS + $1))
  while alive && [ $SECONDS -lt $end ]; do sleep 0.05; done
  alive && fail "still running $1 s after the signal"
  wait "$pid"
  status=$?
  pid=
}
stop_with() {
  kill -"$1" "$pid"
  ended_within 5
}
to_menu() {
  local intro menu=
  intro=$(find_window Intro 20) || fail "no window \"Intro\""
  # A key ends the intro once its window has the keyboard.
  for _ in $(seq 30); do
    xdotool windowfocus --sync "$intro" key space 2> /dev/null
    menu=$(find_window Menu 1) && break
  done
  [ -n "$menu" ] || fail "no menu"
  wait_pixel "$menu" 365 455 '#D4D0C8' 10 || fail "the menu's buttons are not drawn"
  echo "$menu"
}
to_game() {
  local menu
  menu=$(to_menu) || exit 1
  xdotool mousemove --window "$menu" 400 462 click 1
  game=$(find_window 'The KOR Dudurad' 15) || fail "no game window after \"Start spel\""
  sleep 1
}

# ---- SIGINT in the intro ----
printf '500\r\n' > "$work/data/highscores.dat"
start
find_window Intro 20 > /dev/null || fail "no window \"Intro\""
stop_with INT
[ "$status" -eq 130 ] || fail "SIGINT in the intro: status $status, not 130"

# ---- SIGHUP in the menu ----
start
to_menu > /dev/null
stop_with HUP
[ "$status" -eq 129 ] || fail "SIGHUP in the menu: status $status, not 129"
[ "$(scores)" = "500 " ] || fail "the menu touched the scores"

# ---- Stop signals in a game: the score is saved every way ----
# case: how the game is brought to its end; the status and table it must end with.
case_one() {
  grep -qF "[ERROR] (ReadLevelFileLine) Couldn't interpret this: Bad \\x1B[2J line" "$work/console.txt" ||
    fail "the level's message is not on the console (escaped) while the game runs"
  stop_with TERM
}
case_two_in_a_frame() {
  kill -HUP "$pid"
  kill -TERM "$pid"
  ended_within 5
}
case_paused() {
  press "$game" p
  sleep 0.5
  stop_with TERM
}
case_end_screen() {
  press "$game" Escape
  sleep 1.5
  [ "$(scores)" = "500 100 0 0 0 " ] || fail "end screen: Escape did not save"
  stop_with TERM
}
case_slow_save() {  # started with a fsync of 2 s: the later signals wait for it
  kill -TERM "$pid"
  sleep 0.5
  kill -TERM "$pid"
  kill -HUP "$pid"
  ended_within 5
}
case_endless_save() {  # a fsync of 60 s: given up, the old table whole
  kill -TERM "$pid"
  ended_within 10
  grep -qF "[ERROR] (Signals) The game did not end within 5 s" "$work/console.txt" || fail "endless save: no message"
  ls "$work/data" | grep -q '^highscores.dat.tmp-' || fail "endless save: no leftover file (was it slow?)"
}
case_failed_save() {  # the end screen shows the table on disk and says the score was not saved
  press "$game" Escape
  sleep 1.5
  grep -qF "[ERROR] (SaveScores) Couldn't write" "$work/console.txt" || fail "failed save: not on the console"
  [ -n "${SHOT:-}" ] && import -window "$game" "$SHOT"
  [ "$(import -window "$game" -crop 280x12+20+676 -depth 8 txt:- 2> /dev/null | tail -n +2 | grep -c '#FFFFFF')" -gt 20 ] ||
    fail "failed save: the end screen does not say so"
  stop_with TERM
}
case_closed_pipe() {  # stdout is a pipe whose reader left after one byte
  kill -TERM "$pid"
  ended_within 5
}
case_huge_file() {  # a 2 GB damaged table: read only at its start
  local t0
  t0=$(date +%s%N)
  kill -TERM "$pid"
  ended_within 5
  [ $((($(date +%s%N) - t0) / 1000000)) -lt 1000 ] || fail "huge file: the game took a second or more to end"
}
# The editor (started with --edit lvl.txt): a change, then keys to the state the signal
# finds it in. Its work must be kept in lvl.txt.unsaved in every state.
edit_until() {
  local key win
  find_window 'The KOR Dudurad' 20 > /dev/null || fail "$name: no editor window"
  sleep 1
  for key in n "$@"; do  # n: a new planet, work to keep
    win=$(xdotool search --all --pid "$pid" --name '^The KOR Dudurad$' 2> /dev/null | tail -n 1)
    [ -n "$win" ] || fail "$name: no window for the key $key"
    press "$win" "$key"
    sleep 1.5
  done
  stop_with TERM
  [ -f "$work/lvl.txt.unsaved" ] && ! cmp -s "$work/lvl.txt" "$work/lvl.txt.unsaved" || fail "$name: the editor's work is lost"
  grep -qF "Unsaved changes were kept in lvl.txt.unsaved" "$work/console.txt" || fail "$name: not said where the work is"
  rm "$work/lvl.txt.unsaved"
}
case_edit() { edit_until; }
case_edit_play_test() { edit_until F5; }
case_edit_end_screen() { edit_until F5 Escape; }
case_edit_back() { edit_until F5 Escape Escape; }
# Two games in one folder, both ended by one kill in the same instant, ten times: both
# scores are kept every time (the table on disk is read afresh under a lock at each save).
# The intro cannot be cut short, so up to three pairs start at once and wait in their games
# (a game reads the table only when it ends); each to_game brings one program, whichever
# intro it finds, into a game.
case_two_games() {
  local playing=("$pid") ready=1 try=0 size i end statuses
  others+=("$pid")
  while [ "$try" -lt 10 ]; do
    size=$((10 - try < 3 ? 2 * (10 - try) : 6))
    for ((i = ${#playing[@]}; i < size; i++)); do
      out=$work/console-$i.txt start
      playing+=("$pid")
      others+=("$pid")
    done
    end=$((SECONDS + 60))  # starting side by side takes longer on a busy machine
    until [ "$(xdotool search --name '^Intro$' 2> /dev/null | wc -l)" -eq $((size - ready)) ]; do
      [ $SECONDS -lt $end ] || fail "two games: not all $((size - ready)) intros there"
      sleep 0.2
    done
    for ((i = ready; i < size; i++)); do to_game; done
    end=$((SECONDS + 15))
    until [ "$(xdotool search --name '^The KOR Dudurad$' 2> /dev/null | wc -l)" -eq "$size" ]; do
      [ $SECONDS -lt $end ] || fail "two games: not all $size playing"
      sleep 0.2
    done
    sleep 1
    for ((i = 0; i < size; i += 2)); do
      try=$((try + 1))
      printf '500\r\n' > "$work/data/highscores.dat"
      kill -TERM "${playing[i]}" "${playing[i + 1]}"
      pid=${playing[i + 1]}
      ended_within 5
      statuses=$status
      pid=${playing[i]}
      ended_within 5
      [ "$statuses $status" = "143 143" ] || fail "two games, try $try: statuses $statuses $status"
      [ "$(scores)" = "500 100 100 0 0 " ] || fail "two games, try $try: high scores are '$(scores)'"
    done
    playing=()
    ready=0
  done
}
cp "$work/data/level-01.txt" "$work/lvl.txt"
# name status (0: that of either signal) table-before table-after slow-fsync-seconds (edit:
# the editor, with no game)
while read -r name want before after environment; do
  printf "$before" > "$work/data/highscores.dat"
  [ "$name" = huge_file ] && truncate -s 2G "$work/data/highscores.dat"
  if [ "$name" = closed_pipe ]; then
    rm -f "$work/pipe"
    mkfifo "$work/pipe"
    head -c 1 < "$work/pipe" > /dev/null &
    out=$work/pipe start
  elif [ "$environment" = edit ]; then
    start -- --edit lvl.txt
  elif [ "$environment" = - ]; then
    start
  else
    start LD_PRELOAD="$work/slowsync.so" SLOW_FSYNC="$environment"
  fi
  echo "[$(date +%T)] $name"
  [ "$environment" = edit ] || to_game
  "case_$name"
  [ "$status" -eq "$want" ] || { [ "$want" = 0 ] && [ "$status" -gt 128 ]; } || fail "$name: status $status, not $want"
  [ "$(scores)" = "${after//_/ }" ] || fail "$name: high scores are '$(scores)', not '${after//_/ }'"
  [ "$name" = endless_save ] || ! ls "$work/data" | grep -q '^highscores.dat.tmp-' || fail "$name: a leftover file"
done << 'EOF'
one 143 500\r\n 500_100_0_0_0_ -
two_in_a_frame 0 500\r\n 500_100_0_0_0_ -
paused 143 500\r\n 500_100_0_0_0_ -
end_screen 143 500\r\n 500_100_0_0_0_ -
slow_save 143 500\r\n 500_100_0_0_0_ 2
endless_save 143 500\r\n 500_ 60
failed_save 143 500\r\n 500_ -1
closed_pipe 143 500\r\nx\r\n 500_100_0_0_0_ -
edit 143 500\r\n 500_ edit
edit_play_test 143 500\r\n 500_ edit
edit_end_screen 143 500\r\n 500_ edit
edit_back 143 500\r\n 500_ edit
two_games 143 500\r\n 500_100_100_0_0_ -
huge_file 143 - 100_0_0_0_0_ -
EOF
grep -qF "[ERROR] (LoadScores) data/highscores.dat is longer than a table of scores can be" "$work/console.txt" ||
  fail "the huge file's bound was not said"

# ---- A closed terminal: bash in a pty, the game its foreground job; the pty goes ----
printf '500\r\n' > "$work/data/highscores.dat"
rm -f "$work/console.txt"
# The commands are typed once bash is ready (it drops what came before).
(exec setsid script -q -c "bash --norc -i" /dev/null < <(
  sleep 1
  printf 'cd %q && { env -u SDL_VIDEODRIVER -u SDL_AUDIODRIVER %q > console.txt 2>&1 & echo $! > game.pid; fg; }\n' \
    "$work" "$prog"
  while sleep 1 && echo; do :; done  # ends when script has gone
) > /dev/null 2>&1) &
term=$!
others+=("$term")
end=$((SECONDS + 20))
until [ -s "$work/game.pid" ]; do
  [ $SECONDS -lt $end ] || fail "closed terminal: the game did not start"
  sleep 0.2
done
pid=$(cat "$work/game.pid")
shell=$(ps -o ppid= -p "$pid" | tr -d ' ')
others+=("$shell")
to_game
# script ends: the pty's master closes, as when a terminal window is closed.
{
  kill -KILL "$term"
  wait "$term"
} 2> /dev/null
end=$((SECONDS + 5))
while alive && [ $SECONDS -lt $end ]; do sleep 0.1; done
alive && fail "closed terminal: the game still runs 5 s later"
pid=
[ "$(scores)" = "500 100 0 0 0 " ] || fail "closed terminal: high scores are '$(scores)'"

# ---- A --level game, even from level 1, leaves the table alone ----
printf '500\r\n' > "$work/data/highscores.dat"
start -- --level 1
game=$(find_window 'The KOR Dudurad' 20) || fail "--level 1: no game window"
sleep 1
stop_with TERM
[ "$status" -eq 143 ] || fail "--level 1: status $status, not 143"
[ "$(scores)" = "500 " ] || fail "--level 1 entered the table: '$(scores)'"

# ---- A level that cannot be read (here a FIFO) is said on the screen, not only the console ----
mkfifo "$work/data/level-02.txt"
start -- --level 2
game=$(find_window 'The KOR Dudurad' 20) || fail "unreadable level: no game window"
sleep 1
[ "$(import -window "$game" -crop 300x16+462+40 -depth 8 txt:- 2> /dev/null | tail -n +2 | grep -c '#FFFFFF')" -gt 20 ] ||
  fail "unreadable level: nothing said on the screen"
grep -qF "[ERROR] (LoadLevel) Couldn't open this file: data/level-02.txt" "$work/console.txt" ||
  fail "unreadable level: nothing said on the console"
stop_with TERM
[ "$status" -eq 143 ] || fail "unreadable level: status $status, not 143"
echo "signals passed"
