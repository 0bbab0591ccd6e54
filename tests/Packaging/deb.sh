#!/usr/bin/env bash
# Builds the Debian package as a packager would: a build tree of its own in the package's
# layout (no tests), then CPack. Checks it with the distribution's tools (lintian
# --pedantic, desktop-file-validate, appstreamcli, groff on the manual pages, readelf for
# the hardening of every program), then unpacks it with dpkg -x and checks its control
# fields and its files: the launcher, the tools, the program, every picture, sound and
# level, the desktop entry, the metadata and the icons, no high-score table. Then the
# unpacked launcher runs (without a display) with a fresh folder.
#
#   deb.sh SOURCE_DIR WORK_DIR      (WORK_DIR keeps the package build between runs)
set -uo pipefail
src=$1
work=$2
build=$work/build-deb
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fails=0
fail() { echo "FAIL: $*" >&2; fails=$((fails + 1)); }

mkdir -p "$work"
{
  cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOR_DEBIAN_LAYOUT=ON -DBUILD_TESTING=OFF &&
    cmake --build "$build" -j"$(nproc)"
} > "$work/build.log" 2>&1 || { tail -n 40 "$work/build.log" >&2; echo "FAIL: the package build failed" >&2; exit 1; }
cpack_var() { sed -n "s/^set($1 \"\(.*\)\")\$/\1/p" "$build/CPackConfig.cmake"; }
version=$(cpack_var CPACK_PACKAGE_VERSION)-$(cpack_var CPACK_DEBIAN_PACKAGE_RELEASE)
[[ $version =~ ^[0-9.]+-[0-9]+$ ]] || { echo "FAIL: no version in $build/CPackConfig.cmake: '$version'" >&2; exit 1; }
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" > "$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log" >&2; echo "FAIL: cpack failed" >&2; exit 1; }
deb=$scratch/out/kor-dudurad_${version}_amd64.deb
[ -f "$deb" ] || { ls "$scratch/out" >&2; echo "FAIL: no $deb" >&2; exit 1; }
echo "package: ${deb##*/}, $(stat -c %s "$deb") bytes"

# ---- The distribution's checkers ----
# Errors and warnings fail; informational tags are shown (the package overrides the ones
# it has reasons for, beside their reasons).
lintian --pedantic --display-info "$deb" > "$scratch/lintian.txt" 2>&1
echo "lintian --pedantic:"
sed 's/^/  /' "$scratch/lintian.txt"
grep -qE '^[EW]: ' "$scratch/lintian.txt" && fail "lintian reports errors or warnings"

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
programs="games/kor-levelcheck games/kor-sim lib/games/kor-dudurad/KOR_Dudurad"
for prog in games/kor-dudurad $programs; do
  [ -f "$usr/$prog" ] && [ -x "$usr/$prog" ] || fail "no program $prog"
done
# Hardened: PIE, full RELRO (BIND_NOW) and stack protection in every program.
# (The output is read whole: grep -q would stop early and fail the pipe.)
for prog in $programs; do
  elf=$(readelf -h -l -d --dyn-syms -W "$usr/$prog" 2>&1)
  grep -q 'Type: *DYN' <<< "$elf" || fail "$prog is not PIE"
  grep -q GNU_RELRO <<< "$elf" || fail "$prog has no RELRO"
  grep -qE 'BIND_NOW|FLAGS_1.* NOW' <<< "$elf" || fail "$prog is not linked with -z now"
  grep -q __stack_chk_fail <<< "$elf" || fail "$prog has no stack protection"
done
# Every shared library the program needs is on this machine (the package's dependencies).
missing=$(ldd "$usr/lib/games/kor-dudurad/KOR_Dudurad" | grep 'not found')
[ -z "$missing" ] || fail "libraries not found: $missing"
# The pictures and sounds the build made, byte for byte, and nothing else.
data=$usr/share/games/kor-dudurad
for dir in graphics sounds; do
  diff -r "$build/$dir" "$data/$dir" > /dev/null || fail "$dir differ from the build's"
done
[ "$(find "$data/graphics" -name '*.bmp' | wc -l)" -ge 40 ] || fail "pictures missing"
[ "$(find "$data/sounds" -name '*.wav' | wc -l)" -eq 9 ] || fail "sounds missing"
# The levels of the sources, and only levels: no high-score table from anybody's build.
levels=$(cd "$src/data" && ls level-*.txt)
[ "$(cd "$data/data" && ls)" = "$levels" ] || fail "the installed data/ is not the levels of the sources"
for l in $levels; do cmp -s "$src/data/$l" "$data/data/$l" || fail "$l differs"; done
[ -z "$(find "$root" -name 'highscores*')" ] || fail "the package carries a high-score file"
# The Debian changelog names this version.
changelog=$usr/share/doc/kor-dudurad/changelog.Debian.gz
[ "$(zcat "$changelog" | dpkg-parsechangelog -l - -S Version 2>&1)" = "$version" ] ||
  fail "changelog.Debian.gz is not of version $version"

# The menu entry and the software centres' metadata: valid, and naming each other.
id=io.github.kordudurad.KORDudurad
desktop=$usr/share/applications/$id.desktop
metainfo=$usr/share/metainfo/$id.metainfo.xml
[ -f "$desktop" ] || fail "no desktop entry"
for line in '[Desktop Entry]' 'Type=Application' 'Name=The KOR Dudurad' 'Exec=kor-dudurad' 'Icon=kor-dudurad' \
            'Terminal=false' 'StartupWMClass=io.github.kordudurad.KORDudurad'; do
  grep -qxF "$line" "$desktop" || fail "desktop entry lacks '$line'"
done
grep -q '^Categories=.*Game;' "$desktop" || fail "desktop entry is not in the Game category"
out=$(desktop-file-validate "$desktop" 2>&1)
[ -z "$out" ] || fail "desktop-file-validate: $out"
appstreamcli validate --no-net "$metainfo" > "$scratch/appstream.txt" 2>&1 ||
  fail "appstreamcli validate failed: $(cat "$scratch/appstream.txt")"
grep -qE '^[EW]: ' "$scratch/appstream.txt" && fail "appstreamcli: $(cat "$scratch/appstream.txt")"
grep -qF "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" || fail "the metadata does not launch $id.desktop"
for size in 48 128 256; do
  icon=$usr/share/icons/hicolor/${size}x${size}/apps/kor-dudurad.png
  [ "$(head -c 8 "$icon" 2> /dev/null | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "no PNG icon at $size"
done
# A manual page for every program on the PATH, free of groff warnings.
for page in kor-dudurad kor-sim kor-levelcheck; do
  man=$usr/share/man/man6/$page.6.gz
  [ -f "$man" ] || { fail "no manual page $page(6)"; continue; }
  out=$(zcat "$man" | groff -ww -z -man 2>&1)
  [ -z "$out" ] || fail "groff warns on $page.6: $out"
done
# Everything lies under /usr, in folders of the usual modes, owned by root.
[ "$(ls "$root")" = usr ] || fail "files outside /usr: $(ls "$root")"
dpkg-deb -c "$deb" | awk '$2 != "root/root" { bad = 1; print } END { exit bad }' > /dev/null ||
  fail "files not owned by root"
# The tools work from the package.
"$usr/games/kor-sim" "$data/data/level-01.txt" --steps 10 > /dev/null || fail "kor-sim does not run"

# ---- The unpacked launcher, without a display ----
home=$scratch/home
mkdir -p "$home"
run() { env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER -u XDG_DATA_HOME HOME="$home" timeout 30 "$usr/games/kor-dudurad" "$@"; }
folder=$home/.local/share/kor-dudurad
# Asking the program about itself leaves the player's folder alone.
run --version > /dev/null 2>&1
[ ! -e "$folder" ] || fail "--version made the player's folder"
# A start lays the folder out; without a display the game ends with status 1.
run > "$scratch/run.out" 2>&1
status=$?
[ "$status" -eq 1 ] || { cat "$scratch/run.out" >&2; fail "launcher without a display: status $status, not 1"; }
[ "$(readlink "$folder/graphics")" = "$data/graphics" ] || fail "graphics/ is not the package's"
[ "$(readlink "$folder/data/level-01.txt")" = "$data/data/level-01.txt" ] || fail "level 1 is not the package's"

[ "$fails" -eq 0 ] || { echo "$fails checks failed" >&2; exit 1; }
echo "passed"
