# Helpers for scripts that drive the real program on an X server with xdotool, as a
# player would. The sourcing script sets $pid to the program's process id.

alive() { kill -0 "$pid" 2> /dev/null; }

# Id of the window with this exact title, waiting at most $2 seconds.
find_window() {
  local title=$1 limit=$2 id
  local end=$((SECONDS + limit))
  while [ $SECONDS -lt $end ]; do
    id=$(xdotool search --name "^${title}\$" 2> /dev/null | head -n 1)
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    alive || return 1
    sleep 0.2
  done
  return 1
}

# Colour of one pixel of a window, as #RRGGBB.
pixel() { import -window "$1" -crop "1x1+$2+$3" -depth 8 txt:- 2> /dev/null | grep -o '#[0-9A-F]\{6\}' | head -n 1; }

# Waits at most $5 seconds until pixel ($2, $3) of window $1 has colour $4.
wait_pixel() {
  local end=$((SECONDS + $5))
  while [ $SECONDS -lt $end ]; do
    [ "$(pixel "$1" "$2" "$3")" = "$4" ] && return 0
    sleep 0.2
  done
  return 1
}

# Waits at most $5 seconds until pixel ($2, $3) of window $1 has a colour other than $4.
wait_pixel_not() {
  local end=$((SECONDS + $5)) seen
  while [ $SECONDS -lt $end ]; do
    seen=$(pixel "$1" "$2" "$3")
    [ -n "$seen" ] && [ "$seen" != "$4" ] && return 0
    sleep 0.2
  done
  return 1
}

# Holds a key down for a moment: the game looks at held keys once per frame.
press() {
  xdotool windowfocus --sync "$1" keydown "$2" sleep 0.15 keyup "$2"
}
