#!/usr/bin/env bash
# Refreshes the translation template po/kor-dudurad.pot from every Tr("...") in the sources and
# merges it into each catalog of po/LINGUAS (new texts come in untranslated, changed ones fuzzy).
#
#   po/update.sh           refresh the template and the catalogs
#   po/update.sh --check   change nothing; fail when a catalog misses a text of the sources or
#                          has an untranslated or fuzzy one (the build's test)
set -euo pipefail
cd "$(dirname "$0")/.."
check=${1:-}
mapfile -t files < <(grep -rlE '(^|[^A-Za-z0-9_])(Tr|TrLater|Label)\(' src include tools --include='*.cpp' --include='*.hpp' | LC_ALL=C sort)
mapfile -t langs < <(grep -E '^[a-z]' po/LINGUAS)
pot=po/kor-dudurad.pot
if [ "$check" = --check ]; then
  tmp=$(mktemp -d)
  trap 'rm -rf "$tmp"' EXIT
  pot=$tmp/kor-dudurad.pot
fi
xgettext --keyword= --keyword=Tr --keyword=TrLater --keyword=Label:2 --language=C++ --from-code=UTF-8 --package-name=kor-dudurad \
  --add-comments=TRANSLATORS: --sort-by-file --no-wrap --no-location -o "$pot" "${files[@]}"
status=0
for lang in "${langs[@]}"; do
  if [ "$check" = --check ]; then
    msgcmp --use-untranslated "po/$lang.po" "$pot" || status=1
    stats=$(LC_ALL=C msgfmt --check --statistics -o /dev/null "po/$lang.po" 2>&1)
    echo "$lang: $stats"
    case $stats in *untranslated* | *fuzzy*) echo "po/$lang.po is not complete" >&2; status=1 ;; esac
  else
    msgmerge --quiet --update --backup=none --no-wrap "po/$lang.po" "$pot"
  fi
done
exit $status
