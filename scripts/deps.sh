#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when they are missing.
# As root it installs them; otherwise it prints the apt-get line to run and fails.
# On a system without apt-get (Fedora, Arch, ...) it prints what to install there and
# ends with status 3.
#
#   deps.sh        everything: the game, the tests, benchmarks, fuzzing, package checks
#   deps.sh play   only what building and playing the game needs (scripts/run.sh)
#   deps.sh desktops  only the Wayland desktops the tests nest in Xvfb (big: GNOME's and
#                  KDE's compositors)
set -euo pipefail

play=(
  cmake g++ make pkg-config
  libsdl2-dev libsdl2-mixer-dev libsdl2-ttf-dev libfontconfig-dev libx11-dev libpng-dev nlohmann-json3-dev fonts-dejavu-core
  # a level set shared as one file (.korset) is written and read with libarchive
  libarchive-dev
  # msgfmt compiles the translations (po/) at build time and translates the desktop entry
  # and the AppStream file, the latter with AppStream's ITS rules; xgettext refreshes the
  # templates
  gettext appstream
)
# The desktops the game is tried on (tests/RealDisplay/desktops.sh): GNOME's mutter, KDE's
# KWin with its Breeze title bars, wlroots' sway and cage, D-Bus for the first two, the
# fluxbox window manager and Xwayland (weston's).
desktops=(
  mutter kwin-wayland kwin-style-breeze sway cage dbus-daemon fluxbox xwayland
)
packages=(
  "${desktops[@]}"
  "${play[@]}"
  # The Debian packages: dpkg-buildpackage and debhelper (scripts/package.sh, Packaging.Deb);
  # hardening-check (devscripts) looks at the packaged programs; diffoscope shows how two
  # builds differ (scripts/reproducible.sh).
  dpkg-dev debhelper devscripts diffoscope-minimal
  libgtest-dev libgmock-dev libbenchmark-dev libx11-dev
  clang libclang-rt-dev llvm
  xvfb xauth xdotool imagemagick openbox x11-utils weston libdecor-0-plugin-1-cairo
  lintian desktop-file-utils appstream groff-base man-db clang-format
  # The docs check compares the README's JSON examples with the tools' output (Docs.ToolJson).
  jq
  # The desktop's view of a shared set: the MIME database, xdg-mime and xdg-open (which
  # read the database through mimetype, libfile-mimeinfo-perl, as xdg-utils recommends)
  shared-mime-info xdg-utils libfile-mimeinfo-perl
)
case ${1:-} in
  play) packages=("${play[@]}") ;;
  desktops) packages=("${desktops[@]}") ;;
  '') ;;
  *) echo "usage: deps.sh [play|desktops]" >&2; exit 2 ;;
esac

if ! command -v apt-get > /dev/null || ! command -v dpkg-query > /dev/null; then
  # The same packages under other distributions' names, to build and play.
  echo "deps.sh installs Debian packages, and this system has no apt-get. To build and play, install:" >&2
  echo "  Fedora: sudo dnf install cmake gcc-c++ make pkgconf-pkg-config SDL2-devel SDL2_mixer-devel SDL2_ttf-devel \\" >&2
  echo "          fontconfig-devel libX11-devel libpng-devel json-devel libarchive-devel gettext appstream dejavu-sans-fonts dejavu-sans-mono-fonts dejavu-serif-fonts" >&2
  echo "  Arch:   sudo pacman -S --needed cmake gcc make pkgconf sdl2 sdl2_mixer sdl2_ttf fontconfig libx11 libpng \\" >&2
  echo "          nlohmann-json libarchive gettext appstream ttf-dejavu" >&2
  echo "  elsewhere: CMake 3.22+, a C++20 compiler, pkg-config and the development files of SDL2, SDL2_mixer," >&2
  echo "          SDL2_ttf, fontconfig, libX11, libpng, nlohmann-json (3.x) and libarchive, gettext's msgfmt, AppStream's ITS rules and the DejaVu fonts." >&2
  exit 3
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages. Install them with:" >&2
  echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
