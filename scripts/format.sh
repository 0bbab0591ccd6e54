#!/usr/bin/env bash
# Formats every C and C++ file of the project with clang-format and the root .clang-format.
#   bash scripts/format.sh           rewrite the files in place
#   bash scripts/format.sh --check   change nothing; list the files that are not formatted
#                                    and fail (exit 1) when there is any; then check that
#                                    README.md and HACKING.md cite only what exists
#                                    (scripts/check-docs.sh)
set -euo pipefail
cd "$(dirname "$0")/.."

check=0
case "${1:-}" in
  "") ;;
  --check) check=1 ;;
  *) echo "usage: bash scripts/format.sh [--check]" >&2; exit 2 ;;
esac

format=${CLANG_FORMAT:-clang-format}
if ! command -v "$format" > /dev/null; then
  echo "format.sh: $format not found (apt-get install clang-format)" >&2
  exit 2
fi

dirs=(src include tools tests bench fuzz)
files=()
if git rev-parse --is-inside-work-tree > /dev/null 2>&1; then
  # Tracked files and new ones not yet added, never what .gitignore leaves out (build trees).
  while IFS= read -r -d '' f; do
    [[ -f "$f" ]] && files+=("$f")
  done < <(git ls-files -z --cached --others --exclude-standard -- \
             "${dirs[@]/%//*.cpp}" "${dirs[@]/%//*.hpp}" "${dirs[@]/%//*.h}" "${dirs[@]/%//*.cc}" "${dirs[@]/%//*.c}")
else
  while IFS= read -r -d '' f; do
    files+=("$f")
  done < <(find "${dirs[@]}" -type f \( -name '*.cpp' -o -name '*.hpp' -o -name '*.h' -o -name '*.cc' -o -name '*.c' \) -print0)
fi
if [[ ${#files[@]} -eq 0 ]]; then
  echo "format.sh: no C or C++ files found" >&2
  exit 2
fi

if [[ $check -eq 0 ]]; then
  printf '%s\0' "${files[@]}" | xargs -0 "$format" -i --style=file
  echo "format.sh: formatted ${#files[@]} files"
  exit 0
fi

bad=()
for f in "${files[@]}"; do
  if ! "$format" --dry-run --Werror --style=file "$f" > /dev/null 2>&1; then
    bad+=("$f")
  fi
done
if [[ ${#bad[@]} -gt 0 ]]; then
  echo "format.sh: ${#bad[@]} of ${#files[@]} files are not formatted (bash scripts/format.sh fixes them):" >&2
  printf '  %s\n' "${bad[@]}" >&2
  bash scripts/check-docs.sh || true
  exit 1
fi
echo "format.sh: all ${#files[@]} files are formatted"
bash scripts/check-docs.sh
