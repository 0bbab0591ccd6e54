#!/usr/bin/env bash
# Makes the Debian packages as a distribution does, from a clean copy of the sources (the
# files git knows, without build trees): dpkg-buildpackage -us -uc, then lintian --pedantic
# on the .changes (source and both binary packages; errors and warnings fail), then checks
# both packages: control fields, the file list of each, the hardening of every program
# (hardening-check), the desktop entry, the metadata and the manual pages, and the unpacked
# launcher and tools.
#
#   package.sh [--source] [OUT]    OUT (default build-package/) gets the packages and logs
#     --source   only the source package and its lintian check (quick)
#
# scripts/reproducible.sh runs it twice and compares the packages.
set -uo pipefail
source_only=
case ${1:-} in
  --source) source_only=yes; shift ;;
  -*) echo "usage: package.sh [--source] [OUT]" >&2; exit 2 ;;
esac
top=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$top/build-package}")
for tool in dpkg-buildpackage dh lintian hardening-check; do
  command -v "$tool" > /dev/null || { echo "package.sh: $tool is missing (bash scripts/deps.sh installs it)" >&2; exit 2; }
done

version=$(dpkg-parsechangelog -l "$top/debian/changelog" -S Version) || exit 2
tree=$out/kor-dudurad-$version
rm -rf "$out"
mkdir -p "$tree"
# The sources as git has them (with changes not yet committed, new files too); outside a
# git checkout, the tree without build folders.
if [ "$(git -C "$top" rev-parse --show-toplevel 2> /dev/null)" = "$top" ]; then
  (cd "$top" && git ls-files -z -c -o --exclude-standard | xargs -0 -r stat -c '%n' 2> /dev/null |
    tar -cf - --no-recursion -T -) | tar -xf - -C "$tree"
else
  tar -C "$top" -cf - --exclude='./build*' --exclude=./.git . | tar -xf - -C "$tree"
fi
[ -f "$tree/debian/control" ] || { echo "package.sh: no debian/ in the copy" >&2; exit 1; }
# The modes as git knows them (executable or not), whatever the checkout's umask made them,
# so the source package is the same from any checkout.
chmod -R u=rwX,go=rX "$tree"

fails=0
fail() { echo "FAIL: $*" >&2; fails=$((fails + 1)); }

if [ -n "$source_only" ]; then
  (cd "$tree" && dpkg-buildpackage -S -us -uc -d) > "$out/build.log" 2>&1 ||
    { tail -n 30 "$out/build.log" >&2; echo "FAIL: dpkg-buildpackage -S failed (log: $out/build.log)" >&2; exit 1; }
  changes=$out/kor-dudurad_${version}_source.changes
else
  start=$SECONDS
  # One job a core, unless DEB_BUILD_OPTIONS says parallel=N (dpkg-buildpackage's -j would
  # override it).
  jobs=-j$(nproc)
  [[ " ${DEB_BUILD_OPTIONS:-} " == *" parallel="* ]] && jobs=
  # shellcheck disable=SC2086
  (cd "$tree" && dpkg-buildpackage -us -uc $jobs) > "$out/build.log" 2>&1 ||
    { tail -n 30 "$out/build.log" >&2; echo "FAIL: dpkg-buildpackage failed (log: $out/build.log)" >&2; exit 1; }
  echo "dpkg-buildpackage: $((SECONDS - start)) s"
  changes=$out/kor-dudurad_${version}_$(dpkg-architecture -q DEB_HOST_ARCH).changes
fi
[ -f "$changes" ] || { ls "$out" >&2; echo "FAIL: no $changes" >&2; exit 1; }
grep -A20 '^Files:' "$changes" | sed -n 's/^ [0-9a-f]\{32\} *\([0-9]*\) .* \([^ ]*\)$/  \2  \1 bytes/p'

# Errors and warnings fail; informational tags are shown (each package overrides the
# ones it has reasons for, beside their reasons).
lintian --pedantic --display-info "$changes" > "$out/lintian.txt" 2>&1
echo "lintian --pedantic ${changes##*/}:"
sed 's/^/  /' "$out/lintian.txt"
grep -qE '^[EW]: ' "$out/lintian.txt" && fail "lintian reports errors or warnings"

if [ -z "$source_only" ]; then
  arch=$(dpkg-architecture -q DEB_HOST_ARCH)
  game=$out/kor-dudurad_${version}_$arch.deb
  data=$out/kor-dudurad-data_${version}_all.deb
  # --check: the file lists of both packages, control fields and the unpacked programs.
  bash "$top/tests/Packaging/deb.sh" --debs "$top" "$game" "$data" || fail "the packages' checks"
  # The programs hardened as Debian's defaults harden them: hardening-check asks for every
  # feature dpkg-buildflags turns on for debian/rules' options in this build and for no
  # other (bookworm's dpkg has no control-flow protection, dpkg 1.22's feature "branch"
  # adds it; noopt turns fortify off, as it needs the optimiser).
  unpacked=$out/unpacked
  rm -rf "$unpacked"
  dpkg-deb -x "$game" "$unpacked"
  maint=$(sed -n 's/^export DEB_BUILD_MAINT_OPTIONS *= *//p' "$tree/debian/rules")
  features=$(DEB_BUILD_MAINT_OPTIONS=$maint dpkg-buildflags --query-features hardening)
  skip=
  for pair in pie:--nopie stackprotector:--nostackprotector fortify:--nofortify relro:--norelro \
              bindnow:--nobindnow branch:--nocfprotection; do
    grep -A1 -x "Feature: ${pair%%:*}" <<< "$features" | grep -qx 'Enabled: yes' || skip+=" ${pair#*:}"
  done
  echo "hardening-check${skip}:"
  # Every program in the package (its ELF files), whatever the install rules name.
  programs=()
  while read -r file; do
    [ "$(head -c 4 "$file" | tail -c 3)" = ELF ] && programs+=("$file")
  done < <(find "$unpacked" -type f -perm -u=x | sort)
  [ "${#programs[@]}" -ge 3 ] || fail "only ${#programs[@]} programs in ${game##*/}"
  # shellcheck disable=SC2086
  hardening-check $skip "${programs[@]}" | sed 's/^/  /'
  [ "${PIPESTATUS[0]}" -eq 0 ] || fail "hardening-check"
  rm -rf "$unpacked"
fi

[ "$fails" -eq 0 ] || { echo "$fails checks failed" >&2; exit 1; }
echo "package.sh: passed (in $out)"
