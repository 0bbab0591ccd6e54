#!/usr/bin/env bash
# Builds the Debian package from the build tree with CPack, unpacks it into a scratch root
# with dpkg -x and checks its control fields and its files: the program, the launcher, the
# tools, every picture, sound and level, the desktop entry and the icons, no high-score
# table. Then the unpacked launcher runs (without a display) with a fresh folder.
#
#   deb.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
build=$1
src=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fails=0
fail() { echo "FAIL: $*" >&2; fails=$((fails + 1)); }

version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
[ -n "$version" ] || { echo "FAIL: no version in $build/CPackConfig.cmake" >&2; exit 1; }
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" > "$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log" >&2; echo "FAIL: cpack failed" >&2; exit 1; }
deb=$scratch/out/kor-dudurad_${version}_amd64.deb
[ -f "$deb" ] || { ls "$scratch/out" >&2; echo "FAIL: no $deb" >&2; exit 1; }
echo "package: ${deb##*/}, $(stat -c %s "$deb") bytes"

# ---- Control fields ----
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = kor-dudurad ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)'"
[ "$(field Architecture)" = amd64 ] || fail "Architecture is '$(field Architecture)'"
[ "$(field Section)" = games ] || fail "Section is '$(field Section)'"
depends=$(field Depends)
echo "Depends: $depends"
names=$(sed 's/ *([^)]*)//g; s/, */\n/g' <<< "$depends")
for lib in libsdl2-2.0-0 libsdl2-mixer-2.0-0 libsdl2-ttf-2.0-0 libfontconfig1 fonts-dejavu-core libc6 libstdc++6; do
  grep -qxF "$lib" <<< "$names" || fail "Depends lacks $lib"
done
# Build-only packages must not be needed to play.
for dev in -dev gtest benchmark xvfb xdotool imagemagick; do
  grep -q -- "$dev" <<< "$depends" && fail "Depends names $dev"
done

# ---- Files ----
root=$scratch/root
dpkg-deb -x "$deb" "$root" || { echo "FAIL: dpkg-deb -x" >&2; exit 1; }
usr=$root/usr
for prog in bin/kor-dudurad bin/kor-levelcheck bin/kor-sim lib/kor-dudurad/KOR_Dudurad; do
  [ -f "$usr/$prog" ] && [ -x "$usr/$prog" ] || fail "no program $prog"
done
# Every shared library the program needs is on this machine (the package's dependencies).
missing=$(ldd "$usr/lib/kor-dudurad/KOR_Dudurad" | grep 'not found')
[ -z "$missing" ] || fail "libraries not found: $missing"
# The pictures and sounds the build made, byte for byte, and nothing else.
for dir in graphics sounds; do
  diff -r "$build/$dir" "$usr/share/games/kor-dudurad/$dir" > /dev/null || fail "$dir differ from the build's"
done
[ "$(find "$usr/share/games/kor-dudurad/graphics" -name '*.bmp' | wc -l)" -ge 40 ] || fail "pictures missing"
[ "$(find "$usr/share/games/kor-dudurad/sounds" -name '*.wav' | wc -l)" -eq 9 ] || fail "sounds missing"
# The levels of the sources, and only levels: no high-score table from anybody's build.
levels=$(cd "$src/data" && ls level-*.txt)
[ "$(cd "$usr/share/games/kor-dudurad/data" && ls)" = "$levels" ] || fail "the installed data/ is not the levels of the sources"
for l in $levels; do cmp -s "$src/data/$l" "$usr/share/games/kor-dudurad/data/$l" || fail "$l differs"; done
[ -z "$(find "$root" -name 'highscores*')" ] || fail "the package carries a high-score file"
desktop=$usr/share/applications/kor-dudurad.desktop
[ -f "$desktop" ] || fail "no desktop entry"
for line in '[Desktop Entry]' 'Type=Application' 'Name=The KOR Dudurad' 'Exec=kor-dudurad' 'Icon=kor-dudurad' \
            'Terminal=false'; do
  grep -qxF "$line" "$desktop" || fail "desktop entry lacks '$line'"
done
grep -q '^Categories=.*Game;' "$desktop" || fail "desktop entry is not in the Game category"
for size in 48 128 256; do
  icon=$usr/share/icons/hicolor/${size}x${size}/apps/kor-dudurad.png
  [ "$(head -c 8 "$icon" 2> /dev/null | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "no PNG icon at $size"
done
# Everything lies under /usr, in folders of the usual modes, owned by root.
[ "$(ls "$root")" = usr ] || fail "files outside /usr: $(ls "$root")"
dpkg-deb -c "$deb" | awk '$2 != "root/root" { bad = 1; print } END { exit bad }' > /dev/null ||
  fail "files not owned by root"
# The tools work from the package.
"$usr/bin/kor-sim" "$usr/share/games/kor-dudurad/data/level-01.txt" --steps 10 > /dev/null || fail "kor-sim does not run"

# ---- The unpacked launcher, without a display: the folder is laid out, status 1 ----
home=$scratch/home
mkdir -p "$home"
env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER -u XDG_DATA_HOME HOME="$home" \
  timeout 30 "$usr/bin/kor-dudurad" > "$scratch/run.out" 2>&1
status=$?
[ "$status" -eq 1 ] || { cat "$scratch/run.out" >&2; fail "launcher without a display: status $status, not 1"; }
work=$home/.local/share/kor-dudurad
[ "$(readlink "$work/graphics")" = "$usr/share/games/kor-dudurad/graphics" ] || fail "graphics/ is not the package's"
[ "$(readlink "$work/data/level-01.txt")" = "$usr/share/games/kor-dudurad/data/level-01.txt" ] || fail "level 1 is not the package's"

[ "$fails" -eq 0 ] || { echo "$fails checks failed" >&2; exit 1; }
echo "passed"
