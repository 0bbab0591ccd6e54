#!/usr/bin/env bash
# The game's languages on the real program: with no choice made every
# screen is exactly today's Dutch one (pixel hashes below, taken before English existed);
# --language en, the file's `language = en` and the menu's L key give the English screens,
# kept across a restart; an unknown language gives one line and Dutch; the desktop's locale
# (LANG, LANGUAGE: English here) never chooses. The screenshots of
# both languages stay in OUT_DIR to be looked at. The cases of the table at the end run side
# by side, each on an X server of its own (displays from 400 on); the screens are compared
# once all have ended.
#
#   language.sh PROGRAM BUILD_DIR OUT_DIR [record]   (record: print the hashes, compare none)
set -uo pipefail
prog=$1
build=$2
out=$3
record=${4:-}

rm -rf "$out"
mkdir -p "$out"
. "$(cd "$(dirname "$0")/../support" && pwd)/xsession.sh"
[ -x "$prog" ] || fail "no program at $prog"

# The screens of today's Dutch game: sha256 of each window's RGB pixels (import, convert rgb:-).
declare -A today=(
  [intro]=308e216e6f9d088a
  [menu]=438e5bedea20ffd3
  [explanation-top]=77a96b5198007247
  [game]=3dabc09f7ddea4d6
  [end]=644b1cd2c9fb83ca
)

# Still bodies only, so that the game's first frame is the same every time.
level=$(cat << 'EOF'
[Ball]
Position_X = 300
Position_Y = 0
Radius = 25
[Ball]
Position_X = -300
Position_Y = 0
Radius = 12
Mass = 1
[Rectangle]
Position_X = 0
Position_Y = -150
Dimension_X = 40
Dimension_Y = 100
GameOverOnCollision = 1
EOF
)

background='#001446'
face='#D4D0C8'

pixels() { convert "$1" -depth 8 rgb:- | sha256sum | cut -c1-16; }
# shot WINDOW NAME [CROP]: the window (or a part, WxH+X+Y) into OUT_DIR/NAME.png.
shot() {
  if [ -n "${3:-}" ]; then
    import -window "$1" -crop "$3" +repage -depth 8 "$out/$2.png"
  else
    import -window "$1" -depth 8 "$out/$2.png"
  fi
}
# Waits until the window's rectangle WxH+X+Y holds some pixel that is not the background.
wait_drawn() {
  local end=$((SECONDS + $3))
  while [ $SECONDS -lt $end ]; do
    [ "$(import -window "$1" -crop "$2" -depth 8 txt:- 2> /dev/null | tail -n +2 | grep -vc "$background")" -gt 0 ] &&
      return 0
    alive || return 1
    sleep 0.3
  done
  return 1
}
ended() {  # ended SECONDS: waits for the program's end, its status in $status
  local end=$((SECONDS + $1))
  while alive && [ $SECONDS -lt $end ]; do sleep 0.2; done
  alive && return 1
  wait "$pid"
  status=$?
  pid=
}

# run TAG [OPTIONS...]: intro, menu, explanation, the game it starts, the end screen, Exit.
run() {
  local tag=$1
  shift
  console="$out/$tag-stdout.txt $out/$tag-stderr.txt"
  xdotool mousemove 1270 1010  # off every window: no button lights up
  (cd "$work" && exec env -u SDL_VIDEODRIVER -u SDL_AUDIODRIVER LANG=en_GB.UTF-8 LANGUAGE=en:fr "$prog" "$@" > "$out/$tag-stdout.txt" \
    2> "$out/$tag-stderr.txt") &
  pid=$!
  local intro menu game
  intro=$(find_window Intro 20) || fail "$tag: no intro"
  wait_drawn "$intro" 250x50+550+500 60 || fail "$tag: the intro's final picture never came"
  sleep 0.3
  shot "$intro" "$tag-intro"
  xdotool windowfocus --sync "$intro" key space
  menu=$(find_window Menu 40) || fail "$tag: no menu"
  wait_pixel "$menu" 365 455 "$face" 10 || fail "$tag: the menu's buttons are not drawn"
  wait_drawn "$menu" 120x30+340+35 10 || fail "$tag: the menu's title is not drawn"
  sleep 0.5
  shot "$menu" "$tag-menu"
  xdotool mousemove --window "$menu" 266 462 click 1 mousemove 1270 1010
  wait_drawn "$menu" 100x40+350+15 10 || fail "$tag: no explanation"
  sleep 1
  shot "$menu" "$tag-explanation"
  # The part above the key tables, which the new keys leave alone.
  shot "$menu" "$tag-explanation-top" 800x150+0+0
  game=$(find_window 'The KOR Dudurad' 20) || fail "$tag: no game after the explanation"
  sleep 1.5
  shot "$game" "$tag-game"
  press "$game" Escape
  sleep 1.5
  shot "$game" "$tag-end"
  press "$game" space
  menu=$(find_window Menu 15) || fail "$tag: no menu after the end screen"
  wait_pixel "$menu" 365 455 "$face" 10 || fail "$tag: the second menu's buttons are not drawn"
  xdotool windowfocus --sync "$menu" key Escape
  ended 15 || fail "$tag: the program did not end after Escape in the menu"
  [ "$status" -eq 0 ] || fail "$tag: status $status after Exit"
  rm -f "$work/data/highscores.dat"
}

# menu TAG KEYS [OPTIONS...]: the intro skipped, KEYS pressed in the menu (each followed by the
# note's time), a shot of the menu, Escape.
menu() {
  local tag=$1 keys=$2
  shift 2
  console="$out/$tag-stdout.txt $out/$tag-stderr.txt"
  (cd "$work" && exec env -u SDL_VIDEODRIVER -u SDL_AUDIODRIVER LANG=en_GB.UTF-8 LANGUAGE=en:fr "$prog" "$@" > "$out/$tag-stdout.txt" \
    2> "$out/$tag-stderr.txt") &
  pid=$!
  local intro menu
  intro=$(find_window Intro 20) || fail "$tag: no intro"
  sleep 0.5
  xdotool windowfocus --sync "$intro" key space
  menu=$(find_window Menu 40) || fail "$tag: no menu"
  wait_pixel "$menu" 365 455 "$face" 10 || fail "$tag: the menu's buttons are not drawn"
  wait_drawn "$menu" 120x30+340+35 10 || fail "$tag: the menu's title is not drawn"  # drawn after the buttons
  sleep 0.5
  for key in $keys; do
    xdotool windowfocus --sync "$menu" key "$key"
    sleep 2.2  # the note stays 1.5 s
  done
  shot "$menu" "$tag-menu"
  xdotool windowfocus --sync "$menu" key Escape
  ended 15 || fail "$tag: the program did not end after Escape in the menu"
  [ "$status" -eq 0 ] || fail "$tag: status $status after Exit"
}
same() { [ "$(pixels "$out/$1.png")" = "$(pixels "$out/$2.png")" ] || fail "$1 is not $2"; }

# The cases: each runs in a work folder and on an X server of its own; the screens they leave
# in OUT_DIR are compared once all have ended.
dutch() { run nl; }
english_by_option() {
  run en --language en
  [ ! -e "$work/data/settings.cfg" ] || fail "--language wrote the settings"
  grep -q "(Language)" "$out/en-stdout.txt" && fail "the English catalog was not found"
  return 0
}
# L in the menu, kept across a restart, and back.
by_key() {
  menu by-key l
  grep -qx 'language = en' "$work/data/settings.cfg" || fail "L did not keep the choice: $(cat "$work/data/settings.cfg")"
  menu restarted ""
  menu back l
  grep -qx 'language = nl' "$work/data/settings.cfg" || fail "the second L did not choose Dutch"
  menu restarted-dutch ""
}
# settings.cfg: the player's lines, link and mode kept; an unknown language.
kept_lines() {
  mkdir "$work/elsewhere"
  printf '# my settings\nvolume = 7\nlanguage = tlh\nfullscreen = yes\n' > "$work/elsewhere/settings.cfg"
  chmod 640 "$work/elsewhere/settings.cfg"
  ln -s ../elsewhere/settings.cfg "$work/data/settings.cfg"
  menu unknown m
  [ "$(grep -c ERROR "$out/unknown-stdout.txt")" -eq 1 ] || fail "not one line for the unknown language"
  grep -q 'language "tlh"' "$out/unknown-stdout.txt" || fail "the unknown language is not named"
  [ -L "$work/data/settings.cfg" ] || fail "the link was replaced"
  [ "$(stat -c %a "$work/elsewhere/settings.cfg")" = 640 ] || fail "the mode changed"
  [ "$(cat "$work/elsewhere/settings.cfg")" = "$(printf '# my settings\nvolume = 7\nlanguage = tlh\nfullscreen = yes\nsound = off')" ] ||
    fail "the player's lines were not kept: $(cat "$work/elsewhere/settings.cfg")"
}
# A FIFO settings.cfg does not stall the start.
fifo_settings() {
  mkfifo "$work/data/settings.cfg"
  menu fifo ""
  grep -q 'settings.cfg is not a regular file' "$out/fifo-stdout.txt" || fail "the FIFO was not reported"
}
# An unknown language as an option.
unknown_option() {
  (cd "$work" && "$prog" --language tlh > "$out/option-stdout.txt" 2> "$out/option-stderr.txt")
  status=$?
  [ "$status" -eq 2 ] || fail "--language tlh ended with $status, not 2"
  grep -q "^kor-dudurad: --language knows nl, en; not 'tlh'" "$out/option-stderr.txt" || fail "no usage line for --language tlh"
}

one_case() {
  kor_start_x 400
  echo "$level" > "$work/data/level-01.txt"
  "$@"
}
kor_cases 4 one_case << 'EOF' || exit 1
dutch
english_by_option
by_key
kept_lines
fifo_settings
unknown_option
EOF

if [ -n "$record" ]; then
  for screen in "${!today[@]}"; do echo "  [$screen]=$(pixels "$out/nl-$screen.png")"; done
  exit 0
fi
for screen in "${!today[@]}"; do
  got=$(pixels "$out/nl-$screen.png")
  [ "$got" = "${today[$screen]}" ] || fail "the default $screen screen changed: $got, today ${today[$screen]}"
done
step "the default screens are today's"
for screen in intro menu explanation game end; do
  [ "$(pixels "$out/en-$screen.png")" != "$(pixels "$out/nl-$screen.png")" ] || fail "the English $screen screen is the Dutch one"
done
same() { [ "$(pixels "$out/$1.png")" = "$(pixels "$out/$2.png")" ] || fail "$1 is not $2"; }
same by-key-menu en-menu
same restarted-menu en-menu
same back-menu nl-menu
same restarted-dutch-menu nl-menu
same unknown-menu nl-menu
same fifo-menu nl-menu
step "L, a restart, the player's lines and a FIFO give the screens they should"

# Dutch and English side by side, to be looked at.
for screen in menu explanation end; do
  convert "$out/nl-$screen.png" "$out/en-$screen.png" +append "$out/side-by-side-$screen.png"
done
step "passed; screenshots of both languages in $out"
