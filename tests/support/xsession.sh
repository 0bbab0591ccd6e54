# The set-up shared by the scripts that run the real program on X servers, sourced after
# the script has set $prog (the program) and $build (the build tree):
#
#   work          a fresh folder with the build's graphics/, sounds/ (and locale/) and an
#                 empty data/; the program runs there
#   pid           the program's process id (the script sets it); others=() more processes
#   kor_start_x FIRST [WxH] [wm|reset]   an Xvfb of the script's own, from display FIRST on
#                 (the first free one), with openbox too ("wm"), or resetting when its last
#                 client leaves as a player's lone X session does ("reset"); sets DISPLAY
#   kor_stop_x    ends the X servers kor_start_x started (the display goes under the program)
#   kor_busy_loops N               N busy loops for CPU load, ended with the script (load.sh)
#   kor_cases LIMIT FUNCTION       runs FUNCTION once for each line of standard input (its
#                 words the arguments; empty and # lines skipped), up to LIMIT at once, each in
#                 a subshell with a work folder of its own; a case that needs a display starts
#                 its own server, so that keys and windows of one case never reach another.
#                 Each case's output is printed when it ends; fails when any case failed.
#   fail TEXT     says why (with the console in $work/console.txt, or the files $console names),
#                 keeps a screenshot in $out when there is one, and ends the script or case
#   step TEXT     a line with the time
#
# The clean-up ends the program, the X servers, the busy loops and the processes in
# "others", and removes the work folder, whatever way the script or case ends.
# shellcheck shell=bash
. "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/xdrive.sh"
. "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/load.sh"

pid=
others=()
kor_x=()
kor_running_cases=()
out=${out:-}
console=

kor_work() {
  work=$(mktemp -d)
  cp -r "$build/graphics" "$build/sounds" "$work/"
  [ -d "$build/locale" ] && cp -r "$build/locale" "$work/"
  mkdir "$work/data"
}

kor_cleanup() {
  local p
  # Cases still running end with their own clean-up.
  for p in "${kor_running_cases[@]}"; do kill -TERM "$p" 2> /dev/null; done
  for p in "${kor_running_cases[@]}"; do wait "$p" 2> /dev/null; done
  if [ -n "$pid" ] && kill -0 "$pid" 2> /dev/null; then kill -KILL "$pid" 2> /dev/null; fi
  for p in "${others[@]}" "${kor_x[@]}"; do
    kill -KILL "$p" 2> /dev/null
    wait "$p" 2> /dev/null
  done
  [ -n "${work:-}" ] && rm -rf "$work"
  return 0
}
trap kor_cleanup EXIT
# A stop signal ends the script through its clean-up too.
trap 'exit 143' TERM INT HUP

fail() {
  echo "FAIL: $*" >&2
  [ -n "$out" ] && [ -n "${DISPLAY:-}" ] && import -window root "$out/failure-$BASHPID.png" 2> /dev/null
  local f
  for f in ${console:-${work:-}/console.txt}; do
    [ -f "$f" ] || continue
    echo "--- $f:" >&2
    cat "$f" >&2
  done
  exit 1
}
step() { echo "[$(date +%T.%N | cut -c1-12)] $*"; }

kor_start_x() {
  local first=$1 size=${2:-1280x1024} wm=${3:-} n fifo number= reset=-noreset
  [ "$wm" = reset ] && reset=
  fifo=$(mktemp -u)
  for ((n = first; n < first + 40; n++)); do
    mkfifo "$fifo"
    Xvfb ":$n" -displayfd 7 -screen 0 "${size}x24" -nolisten tcp $reset 7> "$fifo" 2> /dev/null &
    local xpid=$!
    # Ready when it writes its number; taken (another server has it) when it ends first.
    number=
    read -r -t 20 number < "$fifo"
    rm -f "$fifo"
    if [ "$number" = "$n" ]; then
      kor_x+=("$xpid")
      export DISPLAY=:$n
      if [ "$wm" = wm ]; then
        openbox > /dev/null 2>&1 &
        kor_x+=($!)
        # openbox has taken the screen when the root window names it.
        local end=$((SECONDS + 10))
        until xprop -root _NET_SUPPORTING_WM_CHECK 2> /dev/null | grep -q 'window id'; do
          [ $SECONDS -lt $end ] || fail "openbox did not start on :$n"
          sleep 0.1
        done
      fi
      return 0
    fi
    kill -KILL "$xpid" 2> /dev/null
    wait "$xpid" 2> /dev/null
  done
  fail "no free X display from :$first on"
}

kor_stop_x() {
  local p
  for p in "${kor_x[@]}"; do
    kill "$p" 2> /dev/null
    wait "$p" 2> /dev/null
  done
  kor_x=()
}


kor_cases() {
  local limit=$1 fn=$2 line i
  local kor_logs
  kor_logs=$(mktemp -d)
  local -a lines=() active=() names=() casepid=()
  mapfile -t lines
  local failed=0 ran=0
  # Prints and forgets the cases that have ended.
  reap() {
    local still=() j status state
    # Read without a process of its own: this runs five times a second for each case.
    for j in "${active[@]}"; do
      status=
      if [ -e "$kor_logs/$j.status" ]; then
        read -r status < "$kor_logs/$j.status"
      else
        # Ended without its clean-up (killed): gone, or a zombie.
        state=
        read -r state 2> /dev/null < "/proc/${casepid[j]}/stat"
        state=${state##*) }
        if [[ -z "$state" || $state == Z* ]]; then
          status=killed
          [ -e "$kor_logs/$j.status" ] && read -r status < "$kor_logs/$j.status"
        fi
      fi
      if [ -n "$status" ]; then
        wait "${casepid[j]}" 2> /dev/null
        if [ "$status" = 0 ]; then
          step "ok   ${names[$j]}"
        else
          step "FAIL ${names[$j]} (status $status)"
          failed=$((failed + 1))
        fi
        sed 's/^/    /' "$kor_logs/$j.log"
      else
        still+=("$j")
      fi
    done
    active=("${still[@]}")
  }
  for i in "${!lines[@]}"; do
    line=${lines[$i]}
    [[ -z "${line// /}" || $line == \#* ]] && continue
    names[i]=$line
    while [ ${#active[@]} -ge "$limit" ]; do
      sleep 0.2
      reap
    done
    ran=$((ran + 1))
    (
      # A case of its own: its program, servers and folder, ended with it; its status is
      # its function's, or fail's.
      pid= others=() kor_x=() kor_running_cases=()
      kor_case=$kor_logs/$i
      trap 'exit 143' TERM INT HUP
      trap 's=$?; kor_cleanup; echo "$s" > "$kor_case.status.tmp"; mv "$kor_case.status.tmp" "$kor_case.status"' EXIT
      kor_work
      # shellcheck disable=SC2086
      "$fn" $line
    ) > "$kor_logs/$i.log" 2>&1 &
    casepid[i]=$!
    kor_running_cases+=($!)
    active+=("$i")
  done
  while [ ${#active[@]} -gt 0 ]; do
    sleep 0.2
    reap
  done
  rm -rf "$kor_logs"
  kor_running_cases=()
  echo "$ran cases, $failed failed"
  [ "$failed" -eq 0 ]
}
