#!/usr/bin/env bash
# Stop signals on the real program: SIGINT in the intro and SIGHUP in the menu end the
# program at once (130, 129). In a game a stop signal ends it as Escape does, its score
# saved, with status 128 + the first signal, however the signals come: one, two in one
# frame, during a pause, on the end screen, during a slow save, from a closed terminal, with
# stdout a closed pipe (SIGPIPE), behind a 2 GB score file (ended within a second). A save
# that cannot end is given up after a few seconds with the old table whole, and its leftover
# file goes at the next save. Two games ended in the same instant keep both scores. The
# editor keeps its work beside its file in every state: editing, in its play-test, on the
# play-test's end screen and back in the editor, never through a link planted under the
# rescue file's name nor over an older rescue. A --level game never enters the table; a
# level that cannot be read is said on the screen. The console, redirected to a file, gets each line when it is
# written.
#
# Each case of the table at the end runs on an X server of its own (displays from 220 on),
# four at a time: most of a case is the intro's eight seconds.
#
#   signals.sh PROGRAM BUILD_DIR
set -uo pipefail
prog=$1
build=$2
. "$(cd "$(dirname "$0")/../support" && pwd)/xsession.sh"

kor_work
shared=$work
# A save made slow (or endless) by fsync, as a full network disk does, or failed (-1).
cat > "$shared/slowsync.c" << 'EOF'
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
cc -shared -fPIC -o "$shared/slowsync.so" "$shared/slowsync.c" || fail "cannot build the slow fsync"

scores() { tr -d '\r' < "$work/data/highscores.dat" | tr '\n' ' '; }
# start [NAME=VALUE...] [-- OPTION...]: the program in the work folder, its console in
# console.txt (or where $stdout_to says).
start() {
  local settings=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do
    settings+=("$1")
    shift
  done
  [ $# -gt 0 ] && shift
  (cd "$work" && exec env -u SDL_VIDEODRIVER -u SDL_AUDIODRIVER "${settings[@]}" "$prog" "$@" > "${stdout_to:-$work/console.txt}" 2>&1) &
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
  wait_pixel "$menu" 365 455 '#D4D0C8' 20 || fail "the menu's buttons are not drawn"
  echo "$menu"
}
games() { xdotool search --name '^The KOR Dudurad$' 2> /dev/null | wc -l; }
# Waits for one more game window than before the click: with several programs at once an
# earlier game's window is not this one's, and a window mapped late would cover the next menu.
to_game() {
  local menu before end
  menu=$(to_menu) || exit 1
  before=$(games)
  xdotool mousemove --window "$menu" 400 462 click 1
  end=$((SECONDS + 20))
  until [ "$(games)" -gt "$before" ]; do
    [ $SECONDS -lt $end ] || fail "no game window after \"Start spel\""
    sleep 0.2
  done
  game=$(find_window 'The KOR Dudurad' 1)
  sleep 1
}

# ---- The cases: each a function, run by the table at the end ----
intro_sigint() {
  printf '500\r\n' > "$work/data/highscores.dat"
  start
  find_window Intro 20 > /dev/null || fail "no window \"Intro\""
  stop_with INT
  [ "$status" -eq 130 ] || fail "SIGINT in the intro: status $status, not 130"
}

menu_sighup() {
  printf '500\r\n' > "$work/data/highscores.dat"
  start
  to_menu > /dev/null
  stop_with HUP
  [ "$status" -eq 129 ] || fail "SIGHUP in the menu: status $status, not 129"
  [ "$(scores)" = "500 " ] || fail "the menu touched the scores"
}

# Stop signals in a game: the score is saved every way. game_NAME brings the game to its
# end; "in_game NAME ..." in the table gives the status and table it must end with.
game_one() {
  grep -qF "[ERROR] (ReadLevelFileLine) Couldn't interpret this: Bad \\x1B[2J line" "$work/console.txt" ||
    fail "the level's message is not on the console (escaped) while the game runs"
  stop_with TERM
}
game_two_in_a_frame() {
  kill -HUP "$pid"
  kill -TERM "$pid"
  ended_within 5
}
game_paused() {
  press "$game" p
  sleep 0.5
  stop_with TERM
}
game_end_screen() {
  press "$game" Escape
  local end=$((SECONDS + 5))
  until [ "$(scores)" = "500 100 0 0 0 " ]; do
    [ $SECONDS -lt $end ] || fail "end screen: Escape did not save"
    sleep 0.1
  done
  stop_with TERM
}
game_slow_save() {  # started with a fsync of 2 s: the later signals wait for it
  kill -TERM "$pid"
  sleep 0.5
  kill -TERM "$pid"
  kill -HUP "$pid"
  ended_within 5
}
game_endless_save() {  # a fsync of 60 s: given up, the old table whole
  kill -TERM "$pid"
  ended_within 10
  grep -qF "[ERROR] (Signals) The game did not end within 5 s" "$work/console.txt" || fail "endless save: no message"
  ls "$work/data" | grep -q '^highscores.dat.tmp-' || fail "endless save: no leftover file (was it slow?)"
}
game_failed_save() {  # the end screen shows the table on disk and says the score was not saved
  press "$game" Escape
  local end=$((SECONDS + 5))
  until grep -qF "[ERROR] (SaveScores) Couldn't write" "$work/console.txt"; do
    [ $SECONDS -lt $end ] || fail "failed save: not on the console"
    sleep 0.1
  done
  # The end screen is drawn after the save.
  end=$((SECONDS + 5))
  until [ "$(import -window "$game" -crop 280x12+20+676 -depth 8 txt:- 2> /dev/null | tail -n +2 | grep -c '#FFFFFF')" -gt 20 ]; do
    [ $SECONDS -lt $end ] || fail "failed save: the end screen does not say so"
    sleep 0.2
  done
  [ -n "${SHOT:-}" ] && import -window "$game" "$SHOT"
  stop_with TERM
}
game_closed_pipe() {  # stdout is a pipe whose reader left after one byte
  kill -TERM "$pid"
  ended_within 5
}
game_huge_file() {  # a 2 GB damaged table: read only at its start
  local t0
  t0=$(date +%s%N)
  kill -TERM "$pid"
  ended_within 5
  [ $((($(date +%s%N) - t0) / 1000000)) -lt 1000 ] || fail "huge file: the game took a second or more to end"
  grep -qF "[ERROR] (LoadScores) data/highscores.dat is longer than a table of scores can be" "$work/console.txt" ||
    fail "the huge file's bound was not said"
}
# in_game NAME STATUS (0: that of either signal) TABLE-BEFORE TABLE-AFTER SLOW-FSYNC-SECONDS
in_game() {
  local name=$1 want=$2 before=$3 after=$4 environment=$5
  # shellcheck disable=SC2059
  printf "$before" > "$work/data/highscores.dat"
  [ "$name" = huge_file ] && truncate -s 2G "$work/data/highscores.dat"
  if [ "$name" = closed_pipe ]; then
    mkfifo "$work/pipe"
    head -c 1 < "$work/pipe" > /dev/null &
    others+=($!)
    stdout_to=$work/pipe start
  elif [ "$environment" = - ]; then
    start
  else
    start LD_PRELOAD="$shared/slowsync.so" SLOW_FSYNC="$environment"
  fi
  to_game
  "game_$name"
  [ "$status" -eq "$want" ] || { [ "$want" = 0 ] && [ "$status" -gt 128 ]; } || fail "$name: status $status, not $want"
  [ "$(scores)" = "${after//_/ }" ] || fail "$name: high scores are '$(scores)', not '${after//_/ }'"
  [ "$name" = endless_save ] || ! ls "$work/data" | grep -q '^highscores.dat.tmp-' || fail "$name: a leftover file"
}

# A closed terminal: bash in a pty, the game its foreground job; the pty goes.
closed_terminal() {
  printf '500\r\n' > "$work/data/highscores.dat"
  # The commands are typed once bash is ready (it drops what came before).
  (exec setsid script -q -c "bash --norc -i" /dev/null < <(
    sleep 1
    printf 'cd %q && { env -u SDL_VIDEODRIVER -u SDL_AUDIODRIVER %q > console.txt 2>&1 & echo $! > game.pid; fg; }\n' \
      "$work" "$prog"
    while sleep 1 && echo; do :; done  # ends when script has gone
  ) > /dev/null 2>&1) &
  local term=$! end=$((SECONDS + 20)) shell
  others+=("$term")
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
}

# The editor (started with --edit lvl.txt): a change, then keys to the state the signal
# finds it in. Its work must be kept in lvl.txt.unsaved in every state, and said where.
editor_until() {
  local key win
  printf '500\r\n' > "$work/data/highscores.dat"
  cp "$work/data/level-01.txt" "$work/lvl.txt"
  start -- --edit lvl.txt
  find_window 'The KOR Dudurad - lvl.txt' 20 > /dev/null || fail "editor $*: no window"
  sleep 1
  for key in n "$@"; do  # n: a new planet, work to keep
    # The editor's title names its file and marks unsaved work; a play-test's is the game's.
    win=$(xdotool search --all --pid "$pid" --name '^The KOR Dudurad( - lvl\.txt( \*)?)?$' 2> /dev/null | tail -n 1)
    [ -n "$win" ] || fail "editor $*: no window for the key $key"
    press "$win" "$key"
    sleep 1.5
  done
  stop_with TERM
  [ "$status" -eq 143 ] || fail "editor $*: status $status, not 143"
  [ -f "$work/lvl.txt.unsaved" ] && ! cmp -s "$work/lvl.txt" "$work/lvl.txt.unsaved" || fail "editor $*: the work is lost"
  grep -qF "Unsaved changes were kept in lvl.txt.unsaved" "$work/console.txt" || fail "editor $*: not said where the work is"
  [ "$(scores)" = "500 " ] || fail "editor $*: the scores changed"
}

# A rescue file's name already taken beside the level (a link planted to the player's notes,
# an older rescue): neither is written through nor over; the work goes to the next free name.
editor_taken() {
  local win
  cp "$work/data/level-01.txt" "$work/lvl.txt"
  echo "the player's notes" > "$work/notes"
  case $1 in
    link) ln -s "$work/notes" "$work/lvl.txt.unsaved" ;;
    rescue) cp "$work/notes" "$work/lvl.txt.unsaved" ;;
  esac
  start XDG_DATA_HOME="$work/xdg" -- --edit lvl.txt
  find_window 'The KOR Dudurad - lvl.txt' 20 > /dev/null || fail "editor, $1 taken: no window"
  sleep 1
  win=$(xdotool search --all --pid "$pid" --name '^The KOR Dudurad( - lvl\.txt( \*)?)?$' 2> /dev/null | tail -n 1)
  press "$win" n
  sleep 1.5
  stop_with TERM
  [ "$status" -eq 143 ] || fail "editor, $1 taken: status $status, not 143"
  [ "$(cat "$work/notes")" = "the player's notes" ] || fail "editor, $1 taken: the player's notes were overwritten"
  [ "$1" = rescue ] && ! cmp -s "$work/notes" "$work/lvl.txt.unsaved" && fail "editor: the older rescue was overwritten"
  [ -f "$work/lvl.txt.unsaved-2" ] && [ ! -L "$work/lvl.txt.unsaved-2" ] && grep -q '^\[Ball\]' "$work/lvl.txt.unsaved-2" ||
    fail "editor, $1 taken: the work is not in lvl.txt.unsaved-2"
  grep -qF "Unsaved changes were kept in lvl.txt.unsaved-2 (lvl.txt.unsaved was there already" "$work/console.txt" ||
    fail "editor, $1 taken: not said where the work is"
}

# Two games in one folder, both ended by one kill in the same instant, ten times: both
# scores are kept every time (the table on disk is read afresh under a lock at each save).
# The intro cannot be cut short, so up to three pairs start at once and wait in their games
# (a game reads the table only when it ends); each to_game brings one program, whichever
# intro it finds, into a game.
two_games() {
  local playing=() ready=0 try=0 size i end statuses
  while [ "$try" -lt 10 ]; do
    size=$((10 - try < 3 ? 2 * (10 - try) : 6))
    for ((i = ${#playing[@]}; i < size; i++)); do
      stdout_to=$work/console-$i.txt start
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
    until [ "$(games)" -eq "$size" ]; do
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

# A --level game, even from level 1, leaves the table alone.
level_option() {
  printf '500\r\n' > "$work/data/highscores.dat"
  start -- --level 1
  game=$(find_window 'The KOR Dudurad' 20) || fail "--level 1: no game window"
  sleep 1
  stop_with TERM
  [ "$status" -eq 143 ] || fail "--level 1: status $status, not 143"
  [ "$(scores)" = "500 " ] || fail "--level 1 entered the table: '$(scores)'"
}

# A level that cannot be read (here a FIFO) is said on the screen, not only the console.
unreadable_level() {
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
}

# Every case: its own X server and work folder, whose level holds the rocket until Space
# (nothing ends it by itself) and has a line the loader cannot read.
one_case() {
  kor_start_x 220
  printf '[Ball]\nPosition_X = 300\nRadius = 25\n[Ball]\nPosition_X = -300\nRadius = 12\nMass = 1\nBad \033[2J line\n' \
    > "$work/data/level-01.txt"
  "$@"
}

kor_cases 4 one_case << 'EOF'
intro_sigint
menu_sighup
# in_game NAME STATUS TABLE-BEFORE TABLE-AFTER SLOW-FSYNC-SECONDS
in_game one 143 500\r\n 500_100_0_0_0_ -
in_game two_in_a_frame 0 500\r\n 500_100_0_0_0_ -
in_game paused 143 500\r\n 500_100_0_0_0_ -
in_game end_screen 143 500\r\n 500_100_0_0_0_ -
in_game slow_save 143 500\r\n 500_100_0_0_0_ 2
in_game endless_save 143 500\r\n 500_ 60
in_game failed_save 143 500\r\n 500_ -1
in_game closed_pipe 143 500\r\nx\r\n 500_100_0_0_0_ -
in_game huge_file 143 - 100_0_0_0_0_ -
closed_terminal
editor_until
editor_until F5
editor_until F5 Escape
editor_until F5 Escape Escape
editor_taken link
editor_taken rescue
two_games
level_option
unreadable_level
EOF
status=$?
[ "$status" -eq 0 ] && echo "signals passed"
exit "$status"
