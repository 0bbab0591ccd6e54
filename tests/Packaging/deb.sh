#!/usr/bin/env bash
# The Debian packaging, checked with the distribution's tools.
#
#   deb.sh SOURCE_DIR BUILD_DIR WORK_DIR        the test command's check (about half a minute):
#     the source package (dpkg-buildpackage -S, lintian --pedantic on it), debian/ against
#     the sources (version, licence, the packages' file lists against the installation),
#     and the installation of the normal build (cmake --install into a scratch root),
#     whose files are the packages' files in another folder layout.
#   deb.sh --debs SOURCE_DIR GAME.deb DATA.deb  the built packages (scripts/package.sh):
#     control fields, the file list of each, and the same checks of the unpacked files.
#
# Both check the files: the launcher, the tools, the program (hardened), every picture,
# sound and level, the desktop entry, the metadata, the icons and the manual pages (with
# desktop-file-validate, appstreamcli, groff, readelf), no high-score table; then the
# launcher runs without a display with a fresh folder.
set -uo pipefail
debs=
if [ "${1:-}" = --debs ]; then
  debs=yes
  src=$2 game_deb=$3 data_deb=$4
else
  src=$1 build=$2 work=$3
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fails=0
fail() { echo "FAIL: $*" >&2; fails=$((fails + 1)); }
root=$scratch/root
version=$(dpkg-parsechangelog -l "$src/debian/changelog" -S Version)

# The one list of which file goes into which package: debian/PACKAGE.install, read as
# dh_install reads it (a path or a glob under the installation; a folder takes all below it).
packages=$(cd "$src/debian" && ls -- *.install | sed 's/\.install$//')
owners() {  # the packages whose .install takes the file $1 (a path below the root)
  local package pattern
  for package in $packages; do
    while read -r pattern _; do
      { [ -z "$pattern" ] || [[ $pattern == \#* ]]; } && continue
      # shellcheck disable=SC2053
      if [[ $1 == $pattern || $1 == $pattern/* ]]; then
        echo "$package"
        break
      fi
    done < "$src/debian/$package.install"
  done
}

if [ -n "$debs" ]; then
  # ---- Control fields and the file list of each package ----
  field() { dpkg-deb -f "$1" "$2"; }
  for deb in "$game_deb" "$data_deb"; do
    [ "$(field "$deb" Version)" = "$version" ] || fail "${deb##*/}: Version is '$(field "$deb" Version)'"
    [ "$(field "$deb" Section)" = games ] || fail "${deb##*/}: Section is '$(field "$deb" Section)'"
    echo "${deb##*/}: $(stat -c %s "$deb") bytes, $(dpkg-deb -c "$deb" | grep -vc '/$') files, installed $(field "$deb" Installed-Size) KiB"
    # Everything lies under /usr, owned by root.
    dpkg-deb -c "$deb" | awk '$2 != "root/root" || $6 !~ /^\.\/usr\// && $6 != "./" { bad = 1; print } END { exit bad }' ||
      fail "${deb##*/} has files outside /usr or not owned by root"
  done
  [ "$(field "$game_deb" Package)" = kor-dudurad ] || fail "Package is '$(field "$game_deb" Package)'"
  [ "$(field "$data_deb" Package)" = kor-dudurad-data ] || fail "Package is '$(field "$data_deb" Package)'"
  [ "$(field "$data_deb" Architecture)" = all ] || fail "the data package is not Architecture: all"
  [ "$(field "$game_deb" Architecture)" = "$(dpkg-architecture -q DEB_HOST_ARCH)" ] || fail "the game package's architecture"
  depends=$(field "$game_deb" Depends)
  echo "Depends: $depends"
  names=$(sed 's/ *([^)]*)//g; s/, */\n/g' <<< "$depends")
  for lib in kor-dudurad-data libsdl2-2.0-0 libsdl2-mixer-2.0-0 libsdl2-ttf-2.0-0 libfontconfig1 libx11-6 libpng16-16 \
             fonts-dejavu-core libc6 libstdc++6; do
    grep -qxF "$lib" <<< "$names" || fail "Depends lacks $lib"
  done
  grep -qF "kor-dudurad-data (= $version)" <<< "$depends" || fail "the game does not depend on its own version of the data"
  # Build-only packages must not be needed to play.
  for dev in -dev gtest benchmark xvfb xdotool imagemagick; do
    grep -q -- "$dev" <<< "$depends" && fail "Depends names $dev"
  done
  # Each package holds the files its .install gives it (and debhelper's documentation and
  # lintian overrides), and nothing else.
  for deb in "$game_deb" "$data_deb"; do
    package=$(field "$deb" Package)
    while read -r file; do
      case $file in usr/share/doc/"$package"/* | usr/share/lintian/overrides/"$package") continue ;; esac
      owner=$(owners "$file")
      [ "$owner" = "$package" ] || fail "${deb##*/} holds $file, which debian/*.install gives to '${owner:-no package}'"
    done < <(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print substr($6, 3) }')
  done
  # The data package holds nothing that runs.
  dpkg-deb -c "$data_deb" | awk '$1 ~ /^-.*x/ { print; bad = 1 } END { exit !bad }' && fail "the data package holds the programs above"
  for deb in "$game_deb" "$data_deb"; do dpkg-deb -x "$deb" "$root" || fail "dpkg-deb -x ${deb##*/}"; done
  bindir=games programdir=lib/games/kor-dudurad
  # The documentation as debhelper leaves it: compressed, with the copyright file.
  doc=$root/usr/share/doc/kor-dudurad
  for f in README.md.gz changelog.gz copyright; do [ -f "$doc/$f" ] || fail "no $f in $doc"; done
  [ "$(zcat "$doc/changelog.gz" | dpkg-parsechangelog -l - -S Version 2>&1)" = "$version" ] ||
    fail "changelog.gz is not of version $version"
  cmp -s "$src/debian/copyright" "$doc/copyright" || fail "the copyright file is not debian/copyright"
else
  # ---- The source package ----
  bash "$src/scripts/package.sh" --source "$work/source" || fail "the source package"
  # ---- debian/ against the sources ----
  project=$(sed -n 's/^project(kor_dudurad VERSION \([0-9.]*\) .*/\1/p' "$src/CMakeLists.txt")
  [ "$version" = "$project" ] || fail "debian/changelog has version $version, CMakeLists.txt $project"
  # The licence text in debian/copyright is LICENSE's, word for word.
  licence=$(awk '/^License: Expat$/ { text = ""; next } { text = text $0 "\n" } END { printf "%s", text }' "$src/debian/copyright" |
    sed 's/^ //; s/^\.$//')
  [ "$licence" = "$(sed -n '/^Permission/,$p' "$src/LICENSE")" ] || fail "the Expat text of debian/copyright is not LICENSE's"
  # deps.sh on a system without apt-get: what to install there, and a status of its own.
  mkdir "$scratch/bin"
  for tool in bash id cat grep sed; do ln -s "$(command -v "$tool")" "$scratch/bin/$tool"; done
  out=$(PATH=$scratch/bin bash "$src/scripts/deps.sh" 2>&1)
  status=$?
  [ "$status" -eq 3 ] && grep -q 'dnf install' <<< "$out" && grep -q 'pacman -S' <<< "$out" ||
    fail "deps.sh without apt-get: status $status, $out"
  # ---- The normal build's installation, in the packages' file names ----
  DESTDIR=$root cmake --install "$build" --prefix /usr > "$scratch/install.log" 2>&1 ||
    { cat "$scratch/install.log" >&2; fail "cmake --install"; }
  bindir=bin programdir=lib/kor-dudurad
  # Every installed file goes into exactly one of the packages (as dh_missing checks), and
  # every line of their .install files finds files. The documentation is debhelper's.
  find "$root" -type f -printf '%P\n' | sed "s|^usr/$bindir/|usr/games/|; s|^usr/$programdir/|usr/lib/games/kor-dudurad/|" |
    grep -v '^usr/share/doc/' | sort > "$scratch/installed"
  for package in $packages; do
    while read -r pattern _; do
      { [ -z "$pattern" ] || [[ $pattern == \#* ]]; } && continue
      found=
      while read -r file; do
        # shellcheck disable=SC2053
        [[ $file == $pattern || $file == $pattern/* ]] && { found=yes; break; }
      done < "$scratch/installed"
      [ -n "$found" ] || fail "debian/$package.install: nothing installed under $pattern"
    done < "$src/debian/$package.install"
  done
  while read -r file; do
    owner=$(owners "$file")
    case $owner in
    '') fail "$file is installed but in no package (debian/*.install)" ;;
    *$'\n'*) fail "$file is in two packages: "$owner ;;
    esac
  done < "$scratch/installed"
fi

# ---- Files ----
usr=$root/usr
programs="$bindir/kor-levelcheck $bindir/kor-sim $programdir/KOR_Dudurad"
for prog in $bindir/kor-dudurad $programs; do
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
missing=$(ldd "$usr/$programdir/KOR_Dudurad" | grep 'not found')
[ -z "$missing" ] || fail "libraries not found: $missing"
# The pictures and sounds the build makes, and the levels of the sources, and nothing
# else: no high-score table from anybody's build.
data=$usr/share/games/kor-dudurad
[ "$(find "$data/graphics" -name '*.bmp' | wc -l)" -ge 40 ] || fail "pictures missing"
[ "$(find "$data/sounds" -name '*.wav' | wc -l)" -eq 9 ] || fail "sounds missing"
levels=$(cd "$src/data" && ls level-*.txt)
[ "$(cd "$data/data" && ls)" = "$levels" ] || fail "the installed data/ is not the levels of the sources"
for l in $levels; do cmp -s "$src/data/$l" "$data/data/$l" || fail "$l differs"; done
[ -z "$(find "$root" -name 'highscores*' -o -name 'settings.cfg')" ] || fail "a player's file is installed"
if [ -z "$debs" ]; then
  for dir in graphics sounds; do
    diff -r "$build/$dir" "$data/$dir" > /dev/null || fail "$dir differ from the build's"
  done
fi

# The menu entry and the software centres' metadata: valid, and naming each other.
id=io.github.kordudurad.KORDudurad
desktop=$usr/share/applications/$id.desktop
metainfo=$usr/share/metainfo/$id.metainfo.xml
[ -f "$desktop" ] || fail "no desktop entry"
for line in '[Desktop Entry]' 'Type=Application' 'Name=The KOR Dudurad' 'Exec=kor-dudurad %f' 'Icon=kor-dudurad' \
            'Terminal=false' 'StartupWMClass=io.github.kordudurad.KORDudurad' \
            'MimeType=application/x-kor-dudurad-set;'; do
  grep -qxF "$line" "$desktop" || fail "desktop entry lacks '$line'"
done
grep -q '^Categories=.*Game;' "$desktop" || fail "desktop entry is not in the Game category"
# Both carry the catalogs' Dutch (po/desktop/), besides the English they show without one.
for key in Name GenericName Comment Keywords; do
  grep -q "^$key\[nl\]=." "$desktop" || fail "desktop entry lacks $key[nl]"
done
grep -qF '<summary xml:lang="nl">' "$metainfo" || fail "the metadata has no Dutch summary"
out=$(desktop-file-validate "$desktop" 2>&1)
[ -z "$out" ] || fail "desktop-file-validate: $out"
appstreamcli validate --pedantic --no-net "$metainfo" > "$scratch/appstream.txt" 2>&1 ||
  fail "appstreamcli validate failed: $(cat "$scratch/appstream.txt")"
grep -qE '^[EW]: ' "$scratch/appstream.txt" && fail "appstreamcli: $(cat "$scratch/appstream.txt")"
grep -qF "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" || fail "the metadata does not launch $id.desktop"
# The shared sets' file type: known to the MIME database, opened by the game.
grep -qF '<mediatype>application/x-kor-dudurad-set</mediatype>' "$metainfo" || fail "the metadata lacks the sets' type"
mkdir -p "$scratch/mime/packages" && cp "$usr/share/mime/packages/$id.xml" "$scratch/mime/packages/" &&
  out=$(XDG_DATA_HOME=$scratch update-mime-database "$scratch/mime" 2>&1) && [ -z "$out" ] &&
  grep -q '^application/x-kor-dudurad-set:\*\.korset$' "$scratch/mime/globs" ||
  fail "the sets' MIME type is not installed or not taken by update-mime-database: $out"
for size in 48 128 256; do
  icon=$usr/share/icons/hicolor/${size}x${size}/apps/kor-dudurad.png
  [ "$(head -c 8 "$icon" 2> /dev/null | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "no PNG icon at $size"
done
# A manual page for every program on the PATH, free of groff warnings, naming every
# option its program's usage names.
for page in kor-dudurad kor-sim kor-levelcheck; do
  man=$usr/share/man/man6/$page.6.gz
  [ -f "$man" ] || { fail "no manual page $page(6)"; continue; }
  out=$(zcat "$man" | groff -ww -z -man 2>&1)
  [ -z "$out" ] || fail "groff warns on $page.6: $out"
  prog=$usr/$bindir/$page
  [ "$page" = kor-dudurad ] && prog=$usr/$programdir/KOR_Dudurad
  text=$(zcat "$man" | groff -man -Tutf8 -P-cbou 2> /dev/null)
  for option in $("$prog" --help 2>&1 | grep -o -- '--[a-z][a-z-]*' | sort -u); do
    grep -qF -- "$option" <<< "$text" || fail "$page(6) does not name $option"
  done
done
# The tools work from the installation.
"$usr/$bindir/kor-sim" "$data/data/level-01.txt" --steps 10 > /dev/null || fail "kor-sim does not run"

# ---- The launcher, without a display ----
home=$scratch/home
mkdir -p "$home"
run() { env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER -u XDG_DATA_HOME HOME="$home" timeout 30 "$usr/$bindir/kor-dudurad" "$@"; }
folder=$home/.local/share/kor-dudurad
# Asking the program about itself leaves the player's folder alone.
run --version > /dev/null 2>&1
[ ! -e "$folder" ] || fail "--version made the player's folder"
# A start lays the folder out; without a display the game ends with status 1.
run > "$scratch/run.out" 2>&1
status=$?
[ "$status" -eq 1 ] || { cat "$scratch/run.out" >&2; fail "launcher without a display: status $status, not 1"; }
[ "$(readlink "$folder/graphics")" = "$data/graphics" ] || fail "graphics/ is not the installation's"
[ "$(readlink "$folder/data/level-01.txt")" = "$data/data/level-01.txt" ] || fail "level 1 is not the installation's"

[ "$fails" -eq 0 ] || { echo "$fails checks failed" >&2; exit 1; }
echo "passed"
