#!/usr/bin/env bash
# Refreshes the translation template po/kor-dudurad.pot from the sources po/POTFILES.in lists
# and merges it into each catalog of po/LINGUAS (new texts come in untranslated, changed ones
# fuzzy), as gettext's own po/ folders do. The template keeps each text's source files
# (#: lines, without line numbers, so that moving code changes nothing) and is rewritten only
# when its texts change, not for its date alone.
#
#   po/update.sh           refresh the template and the catalogs
#   po/update.sh --check   change nothing; fail when a source with a text is missing from
#                          POTFILES.in, or a catalog misses a text of the sources or has an
#                          untranslated or fuzzy one (the build's test)
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

pot=$tmp/kor-dudurad.pot
xgettext --keyword= --keyword=Tr --keyword=TrLater --keyword=Label:2 --language=C++ --from-code=UTF-8 --package-name=kor-dudurad \
  --add-comments=TRANSLATORS: --sort-by-file --no-wrap --add-location=file -o "$pot" "${files[@]}"
same_texts() { cmp -s <(grep -v '^"POT-Creation-Date:' "$1") <(grep -v '^"POT-Creation-Date:' "$2"); }
if [ "$check" != --check ]; then
  if [ -f po/kor-dudurad.pot ] && same_texts "$pot" po/kor-dudurad.pot; then
    pot=po/kor-dudurad.pot
  else
    cp "$pot" po/kor-dudurad.pot
    pot=po/kor-dudurad.pot
  fi
fi
for lang in "${langs[@]}"; do
  if [ "$check" = --check ]; then
    msgcmp --use-untranslated "po/$lang.po" "$pot" || status=1
    stats=$(LC_ALL=C msgfmt --check --statistics -o /dev/null "po/$lang.po" 2>&1)
    echo "$lang: $stats"
    case $stats in *untranslated* | *fuzzy*) echo "po/$lang.po is not complete" >&2; status=1 ;; esac
  else
    # msgmerge rewrites a catalog only when it changes.
    msgmerge --quiet --update --backup=none --no-wrap "po/$lang.po" "$pot"
  fi
done
exit $status
