#!/usr/bin/env bash
# Fails when README.md or HACKING.md cites (in `backticks`) a file, a test or a name that the
# tree does not have, so that the map a newcomer follows stays true.
#   bash scripts/check-docs.sh
#   bash scripts/check-docs.sh --tools KOR_SIM KOR_LEVELCHECK   (the test Docs.ToolJson)
# With the built tools it checks instead that the README's JSON examples are what the tools
# print: the same keys in the same order at the same indentation, the same kinds of value
# (an example may shorten a list to its first entry).
# Cited:   a path (src/Game/PlayGame.cpp, Game/Game.hpp, PhysicsInternal.hpp) must exist,
#          at the root or under include/, src/*/, tools/ or tools/include/;
#          a test (Suite.Case, Suite.*) must be a GoogleTest case or a CTest name;
#          a name (Ns::Name, Name(), an identifier with a capital inside) must be a word
#          of the code.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" = --tools ]; then
  sim=$(realpath -- "$2") levelcheck=$(realpath -- "$3") root=$PWD
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
  # A JSON value's shape: objects with their keys in order, a list as its first entry,
  # every other value as its type.
  shape='def shape: if type == "object" then with_entries(.value |= shape)
    elif type == "array" then (if length > 0 then [.[0] | shape] else [] end) else type end; shape'
  bad=0
  # $1 the README's section, $2 the file of the tool's output: the section's first json block
  # against it.
  compare() {
    awk -v head="$1" '$0 == head { s = 1; next } s && /^#/ { exit } s && /^```json/ { p = 1; next } p && /^```/ { exit } p' \
      README.md > "$scratch/example.json"
    if ! jq -e . "$scratch/example.json" > /dev/null 2>&1; then
      echo "check-docs.sh: README.md, $1: the JSON example is not JSON" >&2
      bad=1
      return
    fi
    if ! diff <(jq -c "$shape" "$scratch/example.json") <(jq -c "$shape" "$2") > "$scratch/diff"; then
      echo "check-docs.sh: README.md, $1: the JSON example's keys or values differ from the tool's output:" >&2
      cat "$scratch/diff" >&2
      bad=1
    fi
    # Each key at the indentation the tool gives it.
    local line
    while IFS= read -r line; do
      grep -qxF -- "$line" <(grep -oE '^ *"[^"]*":' "$2") ||
        { echo "check-docs.sh: README.md, $1: the tool prints no line starting '$line'" >&2; bad=1; }
    done < <(grep -oE '^ *"[^"]*":' "$scratch/example.json")
  }
  # The commands the README names above its examples.
  (cd "$scratch" && "$sim" "$root/data/level-01.txt" --speed 250 --angle 0.075 --png shot.png --json) > "$scratch/sim.json" ||
    { echo "check-docs.sh: kor-sim failed" >&2; exit 1; }
  compare '### Trying a level with kor-sim' "$scratch/sim.json"
  (cd "$scratch" && "$levelcheck" "$root/data/level-02.txt" --json --quiet --map map.png --paths paths.png) > "$scratch/levelcheck.json" ||
    { echo "check-docs.sh: kor-levelcheck failed" >&2; exit 1; }
  compare '### Proving levels winnable with kor-levelcheck' "$scratch/levelcheck.json"
  exit $bad
fi

code_dirs=(src include tools tests bench fuzz cmake scripts packaging debian po CMakeLists.txt)
words=$(mktemp)
tests=$(mktemp)
trap 'rm -f "$words" "$tests"' EXIT
# Every identifier of the code, once.
grep -rhoE --include='*.cpp' --include='*.hpp' --include='*.h' --include='*.c' --include='*.in' \
  --include='*.txt' --include='*.cmake' --include='*.sh' --include='*.desktop' --include='*.6' --include=rules --include=control \
  '[A-Za-z_][A-Za-z0-9_]*' "${code_dirs[@]}" | sort -u > "$words"
# Every test: GoogleTest cases and the names of the command tests.
{
  grep -rhoE '^(TEST|TEST_F|TEST_P)\( *[A-Za-z0-9_]+, *[A-Za-z0-9_]+' tests |
    sed -E 's/^[A-Z_]+\( *([A-Za-z0-9_]+), *([A-Za-z0-9_]+)/\1.\2/'
  grep -rhoE 'kor_add_(command|xserver)_test\([A-Za-z0-9_.]+' tests bench CMakeLists.txt | sed -E 's/.*\(//'
} | sort -u > "$tests"

bad=0
say() { echo "check-docs.sh: $1 cites \`$2\`, $3" >&2; bad=1; }
has_word() { grep -qxF -- "$1" "$words"; }

for doc in README.md HACKING.md; do
  while IFS= read -r token; do
    case $token in
      *' '* | '' | -* | *'<'* | *NN* | build* | *'*'*'/'* | *'...'*) continue ;;
    esac
    if [[ $token =~ ^([A-Z][A-Za-z0-9]*)\.([A-Z][A-Za-z0-9_]*|\*)$ ]]; then
      suite=${BASH_REMATCH[1]} case_=${BASH_REMATCH[2]}
      if [[ $case_ == '*' ]]; then
        grep -q "^$suite\." "$tests" || say "$doc" "$token" "but no test of that suite exists"
      else
        grep -qxF "$token" "$tests" || say "$doc" "$token" "but no such test exists"
      fi
    elif [[ $token =~ ^[A-Za-z0-9_.-]*/[A-Za-z0-9_./-]*$ || $token =~ ^[A-Za-z0-9_-]+\.(cpp|hpp|c|h|sh|md|cmake|in|txt)$ ]]; then
      path=$token
      [[ $path == */* ]] || path=$(find src tools include tests scripts cmake -name "$path" -print -quit 2>/dev/null || true)
      found=0
      for base in . include src/* tools tools/include; do
        if [[ -n $path && -e $base/$path ]]; then
          found=1
          break
        fi
      done
      # Folders the build makes, and the places a player's files go, are not in the tree.
      case $token in graphics/* | sounds/* | data/* | build-* | debian/* | bin/* | lib/* | share/* | /* | ~/*) found=1 ;; esac
      [[ $found -eq 1 ]] || say "$doc" "$token" "but there is no such file"
    elif [[ $token =~ ^([A-Za-z_][A-Za-z0-9_]*::)*([A-Za-z_][A-Za-z0-9_]*)(\(.*\))?$ ]]; then
      name=${BASH_REMATCH[2]}
      # Names with a capital inside (or a namespace, or a call) are names of the code.
      if [[ $token == *::* || $token == *'('* || $name =~ ^[A-Za-z][a-z0-9]*[A-Z_] ]]; then
        [[ $token == std::* ]] && continue
        has_word "$name" || say "$doc" "$token" "but the code has no $name"
      fi
    fi
  done < <(grep -oE '`[^`]+`' "$doc" | tr -d '`' | sort -u)
done
exit $bad
