#!/usr/bin/env bash
# The real program on a real X server of its own (Xvfb, no window manager, resetting as
# a player's lone X session does), with two busy loops beside it for CPU load:
#
#   closebox  close boxes clicked as a window manager sends them (WM_DELETE_WINDOW) on the
#             intro, the menu, the explanation, a game with the rocket held or flying and
#             the end screen: status 0, no display error, the score file as the game's
#             rules make it (a closed game is quit and saved).
#   sessions  whole sessions: intro, menu, a won and a lost level, the end screen, the
#             menu again, "Exit": status 0, the table "180 0 0 0 0".
#   xdies     the X server ends under the intro, the menu and a game: a message, status 1,
#             the score file untouched.
#   cycles    one program run of ROUNDS cycles menu, game (quit with Escape), end screen,
#             menu; then "Exit": status 0, the table "100 100 100 100 100".
#
#   realdisplay.sh MODE ROUNDS PROGRAM BUILD_DIR WMCLOSE OUT_DIR
# KOR_CLOSE_CASES (say "flying held") picks the close-box cases.
# The runs go two at a time, each on an X server of its own (displays from 260 on), beside
# the same two busy loops. Prints one line per run and a summary; the exit status is 1 when
# any run failed.
set -uo pipefail
mode=$1
rounds=$2
prog=$(realpath "$3")
build=$(realpath "$4")
wmclose=$(realpath "$5")
out=$6
. "$(cd "$(dirname "$0")/../support" && pwd)/xsession.sh"

mkdir -p "$out"
menu=
game=
kor_busy_loops 2

face='#D4D0C8'  # a push button's face

# ---- One run's X server and levels ----
start_x() { kor_start_x 260 1280x1024 reset; }
stop_x() { kor_stop_x; }

# $1: "far" (a level whose rocket flies for seconds) or "session" (won, then lost).
make_work() {
  if [ "$1" = far ]; then
    printf '%s\n' '* The rocket flies past far from the black hole for many seconds.' \
      '[Ball]' 'Position_X = 400' 'Position_Y = 300' 'Radius = 25' \
      '[Ball]' 'Position_X = -450' 'Position_Y = -300' 'Radius = 12' 'Mass = 1' > "$work/data/level-01.txt"
  else
    printf '%s\n' '* Space at the start values flies the rocket in.' \
      '[Ball]' 'Position_X = 0' 'Position_Y = 0' 'Radius = 25' \
      '[Ball]' 'Position_X = -200' 'Position_Y = 0' 'Radius = 12' 'Mass = 1' > "$work/data/level-01.txt"
    printf '%s\n' '* Space crashes the rocket into the red wall.' \
      '[Ball]' 'Position_X = -400' 'Position_Y = 300' 'Radius = 25' \
      '[Ball]' 'Position_X = 0' 'Position_Y = 0' 'Radius = 12' 'Mass = 1' \
      '[Rectangle]' 'Position_X = 80' 'Position_Y = -50' 'Dimension_X = 40' 'Dimension_Y = 100' \
      'GameOverOnCollision = 1' > "$work/data/level-02.txt"
  fi
}

launch() {
  (cd "$work" && exec env -u SDL_VIDEODRIVER -u SDL_AUDIODRIVER -u WAYLAND_DISPLAY "$prog" > "$work/stdout.txt" 2> "$work/stderr.txt") &
  pid=$!
}

# Waits at most $1 seconds for the program's end; its status in $status (124: still running).
finish() {
  local end=$((SECONDS + $1))
  while alive && [ $SECONDS -lt $end ]; do sleep 0.1; done
  if alive; then
    kill -9 "$pid" 2> /dev/null
    wait "$pid" 2> /dev/null
    status=124
  else
    wait "$pid"
    status=$?
  fi
  pid=
}

to_menu() {
  local intro
  intro=$(find_window Intro 20) || return 1
  xdotool windowfocus --sync "$intro" key space 2> /dev/null
  menu=$(find_window Menu 15) || return 1
  wait_pixel "$menu" 365 455 "$face" 10
}

to_game() {
  to_menu || return 1
  xdotool mousemove --window "$menu" 400 462 click 1
  game=$(find_window 'The KOR Dudurad' 15) || return 1
  sleep 0.5
}

# $1 name, $2 expected status, $3 expected score table ("" for no file), $4 message that
# must be on the console ("" for none). Uses $status, $work; ends the run as failed.
check() {
  local why=
  [ "$status" = "$2" ] || why="status $status, not $2"
  if grep -aq 'X Error\|display refused\|AddressSanitizer\|runtime error' "$work/stderr.txt" "$work/stdout.txt"; then
    why="$why; display or memory error on the console"
  fi
  if [ -n "$4" ] && ! grep -aq "$4" "$work/stderr.txt"; then why="$why; no message \"$4\""; fi
  local scores=
  [ -f "$work/data/highscores.dat" ] && scores=$(tr -d '\r' < "$work/data/highscores.dat" | tr '\n' ' ')
  [ "$scores" = "$3" ] || why="$why; scores '$scores', not '$3'"
  if [ -n "$why" ]; then
    echo "FAIL $1: $why"
    local keep="$out/fail-$BASHPID-$1"
    mkdir -p "$keep"
    cp "$work"/*.txt "$work/data/highscores.dat" "$keep/" 2> /dev/null
    sed 's/^/    /' "$work/stderr.txt" | head -n 20
    exit 1
  fi
  echo "ok   $1 (status $status, $((SECONDS - run_start)) s)"
}

close_run() {
  local what=$1 expect_scores="" target=
  run_start=$SECONDS
  make_work far
  start_x
  launch
  case $what in
  intro) target=$(find_window Intro 20) ;;
  menu) to_menu && target=$menu ;;
  explanation)
    to_menu && target=$menu
    xdotool mousemove --window "$menu" 266 462 click 1
    sleep 1
    ;;
  held) to_game && target=$game && expect_scores="100 0 0 0 0 " ;;
  flying)
    to_game && target=$game && expect_scores="100 0 0 0 0 "
    press "$game" space
    sleep 0.2
    ;;
  endscreen)
    to_game && target=$game && expect_scores="100 0 0 0 0 "
    press "$game" Escape
    sleep 1
    ;;
  esac
  [ -n "$target" ] && "$wmclose" "$target"
  finish 25
  check "close-$what" 0 "$expect_scores" ""
}

session_run() {
  run_start=$SECONDS
  make_work session
  start_x
  launch
  local ok= stage="the menu"
  if to_menu; then
    stage="the game window"
    xdotool mousemove --window "$menu" 400 462 click 1
    if game=$(find_window 'The KOR Dudurad' 15); then
      stage="the menu after the game"
      sleep 0.5
      press "$game" space   # level 1 won
      sleep 1.5
      press "$game" space   # level 2 lost
      sleep 1.2
      press "$game" Escape
      sleep 1.2
      press "$game" space   # leaves the end screen
      if menu=$(find_window Menu 15) && wait_pixel "$menu" 505 455 "$face" 10; then
        xdotool mousemove --window "$menu" 532 462 click 1
        ok=yes
      fi
    fi
  fi
  if [ -z "$ok" ]; then
    echo "     (the session did not get to $stage)"
    import -window root "$out/stuck-$BASHPID.png" 2> /dev/null
  fi
  finish 15
  check session 0 "180 0 0 0 0 " ""
}

xdies_run() {
  local when=$1
  run_start=$SECONDS
  make_work far
  printf '500\n400\n300\n200\n100\n' > "$work/data/highscores.dat"
  start_x
  launch
  case $when in
  intro) find_window Intro 20 > /dev/null ;;
  menu) to_menu ;;
  game)
    to_game
    press "$game" space
    ;;
  esac
  sleep 0.3
  stop_x
  finish 10
  check "xdies-$when" 1 "500 400 300 200 100 " "connection to the display was lost"
}

cycles_run() {
  run_start=$SECONDS
  make_work far
  start_x
  launch
  local done_cycles=0
  if to_menu; then
    for ((c = 1; c <= rounds; ++c)); do
      xdotool mousemove --window "$menu" 400 462 click 1
      game=$(find_window 'The KOR Dudurad' 15) || break
      sleep 0.3
      press "$game" Escape
      sleep 0.5
      press "$game" space  # leaves the end screen
      menu=$(find_window Menu 15) || break
      wait_pixel "$menu" 505 455 "$face" 10 || break
      done_cycles=$c
      [ $((c % 25)) -eq 0 ] && echo "     $c cycles ($((SECONDS - run_start)) s)"
    done
    [ "$done_cycles" -eq "$rounds" ] && xdotool mousemove --window "$menu" 532 462 click 1
  fi
  echo "     $done_cycles of $rounds cycles"
  finish 15
  [ "$done_cycles" -eq "$rounds" ] || status="$status (stuck after $done_cycles cycles)"
  check cycles 0 "100 100 100 100 100 " ""
}

# The runs of the mode, one a line.
runs() {
  if [ "$mode" = cycles ]; then
    echo cycles_run
    return
  fi
  for ((r = 1; r <= rounds; ++r)); do
    case $mode in
    closebox)
      for what in ${KOR_CLOSE_CASES:-intro menu held flying endscreen}; do echo "close_run $what"; done
      # The explanation holds the window for ten seconds: every other round.
      [ -z "${KOR_CLOSE_CASES:-}" ] && [ $((r % 2)) -eq 1 ] && echo "close_run explanation"
      ;;
    sessions) echo session_run ;;
    xdies) for when in intro menu game; do echo "xdies_run $when"; done ;;
    *)
      echo "unknown mode $mode" >&2
      exit 2
      ;;
    esac
  done
}
one_run() { "$@"; }
kor_cases 2 one_run < <(runs)
