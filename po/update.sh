#!/usr/bin/env bash
# Refreshes the translation template po/kor-dudurad.pot from the sources po/POTFILES.in lists
# and merges it into each catalog of po/LINGUAS (new texts come in untranslated, changed ones
# fuzzy), as gettext's own po/ folders do. The template keeps each text's source files
# (#: lines, without line numbers, so that moving code changes nothing) and is rewritten only
# when its texts change, not for its date alone.
#
# The desktop entry and the AppStream file have catalogs of their own in po/desktop/: their
# texts are English (what a desktop shows without a translation), so Dutch is one of their
# translations there, beside every language of LINGUAS but English.
#
#   po/update.sh           refresh the templates and the catalogs
#   po/update.sh --check   change nothing; fail when a source with a text is missing from
#                          POTFILES.in, or a catalog is missing, misses a text of the
#                          sources or has an untranslated or fuzzy one (the build's test)
set -euo pipefail
cd "$(dirname "$0")/.."
check=${1:-}
# POTFILES.in and LINGUAS as gettext reads them: # starts a comment, codes and names are
# separated by blanks or line ends.
mapfile -t files < <(sed 's/#.*//' po/POTFILES.in | tr -s ' \t' '\n' | grep -v '^$')
mapfile -t langs < <(sed 's/#.*//' po/LINGUAS | tr -s ' \t' '\n' | grep -v '^$')
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
status=0

# Every source with a text for players is listed.
grep -rlE '(^|[^A-Za-z0-9_])(Tr|TrLater|Label)\(' src include tools --include='*.cpp' --include='*.hpp' | LC_ALL=C sort > "$tmp/found"
printf '%s\n' "${files[@]}" | LC_ALL=C sort > "$tmp/listed"
if ! missing=$(comm -23 "$tmp/found" "$tmp/listed") || [ -n "$missing" ]; then
  echo "po/POTFILES.in lacks: $missing" >&2
  status=1
fi

# $1 the template, $2 the fresh one from the sources: the fresh one replaces it only when a
# text or a source reference changed, not for its date alone.
refresh() {
  if [ ! -f "$1" ] || ! cmp -s <(grep -v '^"POT-Creation-Date:' "$1") <(grep -v '^"POT-Creation-Date:' "$2"); then
    cp "$2" "$1"
  fi
}
# $1 the template, then the catalogs to merge it into (or, with --check, to check).
merge() {
  local pot=$1 po stats
  shift
  for po in "$@"; do
    [ -f "$po" ] || { echo "$po is missing: start it from the template beside it" >&2; status=1; continue; }
    if [ "$check" = --check ]; then
      msgcmp --use-untranslated "$po" "$pot" || status=1
      stats=$(LC_ALL=C msgfmt --check --statistics -o /dev/null "$po" 2>&1)
      echo "$po: $stats"
      case $stats in *untranslated* | *fuzzy*) echo "$po is not complete" >&2; status=1 ;; esac
    else
      # msgmerge rewrites a catalog only when it changes.
      msgmerge --quiet --update --backup=none --no-wrap "$po" "$pot"
    fi
  done
}

xgettext --keyword= --keyword=Tr --keyword=TrLater --keyword=Label:2 --language=C++ --from-code=UTF-8 --package-name=kor-dudurad \
  --add-comments=TRANSLATORS: --sort-by-file --no-wrap --add-location=file -o "$tmp/kor-dudurad.pot" "${files[@]}"
# The desktop files' texts: the desktop entry's keys desktops translate (not Icon), and
# the AppStream elements its ITS rules (from the package appstream) mark translatable.
desktop_files=(packaging/*.desktop packaging/*.metainfo.xml)
xgettext --keyword= --keyword=Name --keyword=GenericName --keyword=Comment --keyword=Keywords --from-code=UTF-8 \
  --package-name=kor-dudurad --add-comments=TRANSLATORS: --sort-by-file --no-wrap --add-location=file \
  -o - "${desktop_files[@]}" | sed 's/charset=CHARSET/charset=UTF-8/' > "$tmp/kor-dudurad-desktop.pot"
desktop_langs=(nl)
for lang in "${langs[@]}"; do [ "$lang" = en ] || desktop_langs+=("$lang"); done

if [ "$check" = --check ]; then
  pot=$tmp/kor-dudurad.pot desktop_pot=$tmp/kor-dudurad-desktop.pot
else
  pot=po/kor-dudurad.pot desktop_pot=po/desktop/kor-dudurad-desktop.pot
  refresh "$pot" "$tmp/kor-dudurad.pot"
  refresh "$desktop_pot" "$tmp/kor-dudurad-desktop.pot"
fi
catalogs=() desktop_catalogs=()
for lang in "${langs[@]}"; do catalogs+=("po/$lang.po"); done
for lang in "${desktop_langs[@]}"; do desktop_catalogs+=("po/desktop/$lang.po"); done
merge "$pot" "${catalogs[@]}"
merge "$desktop_pot" "${desktop_catalogs[@]}"
exit $status
