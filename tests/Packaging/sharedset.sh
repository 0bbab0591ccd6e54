#!/usr/bin/env bash
# A level set shared from one account to another, as a desktop does it, with an
# installation made by cmake --install (a prefix without spaces: xdg-mime's own search of
# the data folders splits them at spaces):
#  1. the desktop learns the installation's types and applications (update-mime-database,
#     update-desktop-database): a .korset file is application/x-kor-dudurad-set, and the
#     game's desktop entry opens it;
#  2. account A exports a set of its own with --export-set (a relative file name, through the
#     launcher): its levels and set.txt, not its scores;
#  3. account B opens the file with xdg-open: the game starts and the set is there, its
#     levels byte for byte A's; opened again, it comes in beside it as "NAME (2)";
#  4. a hostile file (a member named ../) opened the same way: the game says why in one
#     console line and ends with status 1, and nothing is added anywhere.
# Runs under xvfb-run.
#
#   sharedset.sh BUILD_DIR OUT_DIR WMCLOSE
set -uo pipefail
build=$1
out=$2
wmclose=$(realpath "$3")
rm -rf "$out"
mkdir -p "$out"
. "$(cd "$(dirname "$0")/../support" && pwd)/xsession.sh"
console="$out/*.txt"
work=$(mktemp -d)
scratch=$work
[ -n "${DISPLAY:-}" ] || fail "no DISPLAY: run me through xvfb-run"

prefix="$scratch/prefix"
cmake --install "$build" --prefix "$prefix" > /dev/null || fail "cmake --install into $prefix"
type=application/x-kor-dudurad-set
id=io.github.kordudurad.KORDudurad

# ---- 1. The desktop's databases, as a package's triggers make them ----
step "the desktop's view"
export XDG_DATA_DIRS="$prefix/share:/usr/share" PATH="$prefix/bin:$PATH" XDG_CONFIG_HOME="$scratch/config"
unset XDG_CURRENT_DESKTOP DESKTOP_SESSION KDE_FULL_SESSION GNOME_DESKTOP_SESSION_ID
update-mime-database "$prefix/share/mime" || fail "update-mime-database"
update-desktop-database "$prefix/share/applications" || fail "update-desktop-database"

# Each account has its own home and data folder.
account() {  # account NAME: the environment of that account
  export HOME="$scratch/$1" XDG_DATA_HOME="$scratch/$1/.local/share"
  mkdir -p "$HOME"
  sets="$XDG_DATA_HOME/kor-dudurad/sets"
}

# ---- 2. Account A shares a set ----
step "account A exports a set"
account a
mkdir -p "$sets/Mine"
cp "$build/data/level-03.txt" "$sets/Mine/level-01.txt"
cp "$build/data/level-07.txt" "$sets/Mine/level-02.txt"
printf 'Name: Mijn set\nAuthor: A\n' > "$sets/Mine/set.txt"
printf '900\r\n' > "$sets/Mine/scores.dat"
(cd "$HOME" && kor-dudurad --export-set Mine "Mijn set.korset") > "$out/2-stdout.txt" 2> "$out/2-stderr.txt" ||
  fail "--export-set failed"
shared="$HOME/Mijn set.korset"
[ -f "$shared" ] || fail "no $shared"
[ "$(xdg-mime query filetype "$shared")" = "$type" ] || fail "the file is '$(xdg-mime query filetype "$shared")', not $type"
[ "$(xdg-mime query default "$type")" = "$id.desktop" ] || fail "the type opens with '$(xdg-mime query default "$type")'"

# Opens a file as a file manager's double-click does, waits for the game's first window and
# closes it with its close box: the game ends with status 0.
open_file() {  # open_file FILE TAG
  step "xdg-open ${1##*/}"
  xdg-open "$1" > "$out/$2-stdout.txt" 2> "$out/$2-stderr.txt" &
  pid=$!
  local intro
  intro=$(find_window Intro 30) || fail "$2: no intro window"
  "$wmclose" "$intro" || fail "$2: wmclose"
  local end=$((SECONDS + 20))
  while alive && [ $SECONDS -lt $end ]; do sleep 0.2; done
  alive && fail "$2: the game did not end after its window was closed"
  wait "$pid"
  local status=$?
  pid=
  [ "$status" -eq 0 ] || fail "$2: status $status, not 0"
}

# ---- 3. Account B opens it ----
account b
mkdir -p "$HOME/Downloads"
cp "$shared" "$HOME/Downloads/"
open_file "$HOME/Downloads/Mijn set.korset" 3
[ "$(cd "$sets" && ls)" = "Mijn set" ] || fail "B's sets: $(ls "$sets")"
[ "$(cd "$sets/Mijn set" && ls | tr '\n' ' ')" = "level-01.txt level-02.txt set.txt " ] ||
  fail "B's set holds $(ls "$sets/Mijn set")"
for f in level-01.txt level-02.txt set.txt; do
  cmp -s "$scratch/a/.local/share/kor-dudurad/sets/Mine/$f" "$sets/Mijn set/$f" || fail "$f differs from A's"
done
grep -q "Mijn set" "$out/3-stdout.txt" || fail "the console does not say the set was added"
open_file "$HOME/Downloads/Mijn set.korset" 3b
[ -f "$sets/Mijn set (2)/level-02.txt" ] || fail "opened again, it is not beside the first: $(ls "$sets")"

# ---- 4. A hostile file ----
python3 - "$HOME/Downloads/evil.korset" "$build/data/level-01.txt" << 'EOF' || fail "no hostile file"
import io, sys, tarfile
level = open(sys.argv[2], "rb").read()
with tarfile.open(sys.argv[1], "w", format=tarfile.USTAR_FORMAT) as t:
    for name in ("level-01.txt", "../../../escaped.txt"):
        info = tarfile.TarInfo(name)
        info.size = len(level)
        t.addfile(info, io.BytesIO(level))
EOF
before=$(cd "$scratch" && find . | sort)
step "xdg-open evil.korset"
timeout 60 xdg-open "$HOME/Downloads/evil.korset" > "$out/4-stdout.txt" 2> "$out/4-stderr.txt"
status=$?
{ [ "$status" -ne 0 ] && [ "$status" -ne 124 ]; } || fail "a refused set: status $status, not a failure"
[ "$(cd "$scratch" && find . | sort)" = "$before" ] || fail "the hostile file changed: $(diff <(echo "$before") <(cd "$scratch" && find . | sort))"
grep -q "ImportSet.*escaped.txt" "$out/4-stderr.txt" || fail "the refusal is not on the console"
[ "$(grep -c ImportSet "$out/4-stderr.txt")" -eq 1 ] || fail "the refusal is not one line"
step "passed"
