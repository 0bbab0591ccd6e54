#!/usr/bin/env bash
# Fuzzes the level loader, the level's reader and writer together (read, write, read again),
# the high-score loader, the settings file, the catalog reader, a shared set's import and the
# editor's list of recent files with libFuzzer (clang,
# ASan + UBSan), each for a bounded time, starting from the seed files under
# fuzz/corpus/<target>/ and what earlier runs added in build-fuzz/corpus/<target>/.
#
#   scripts/fuzz.sh [seconds per target]     (default: $KOR_FUZZ_SECONDS, else 30)
#
# The targets run side by side, one a core. A crash, a sanitizer report or a broken check
# fails the script; the input that caused
# it is kept under build-fuzz/artifacts/<target>/ and its path printed. Run it again with
#   build-fuzz/fuzz_<target> <path>
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=${1:-${KOR_FUZZ_SECONDS:-30}}
if ! [[ $seconds =~ ^[1-9][0-9]*$ ]]; then
  echo "fuzz.sh: seconds must be a positive whole number, not '$seconds'" >&2
  exit 2
fi
bash scripts/deps.sh

cmake -S fuzz -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build-fuzz -j"$(nproc)"

# The targets write their inputs as files: keep those in memory when we can.
scratch=$(mktemp -d /dev/shm/kor-fuzz.XXXXXX 2> /dev/null || mktemp -d)
trap 'rm -rf "$scratch"' EXIT

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
# Reports name the source lines when the symbolizer is there (Debian's llvm package).
if command -v llvm-symbolizer > /dev/null; then
  export ASAN_SYMBOLIZER_PATH=$(command -v llvm-symbolizer)
fi
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
unset LSAN_OPTIONS

# Longest input per target: room for more than 101 sections with their properties, for
# long words in a score file, past the settings file's bound, for a catalog's tables, and
# for a set archive of a few levels.
declare -A max_len=([level]=8192 [level_roundtrip]=8192 [scores]=1024 [settings]=8192 [catalog]=16384 [set_import]=16384
  [recent]=49152)

# Each target runs for the same time; as many run side by side as there are cores, so the
# stage takes the time of one run per core's share of the targets.
targets=(level level_roundtrip scores settings catalog set_import recent)
fuzz() {  # $1 target: its run, with its exit status in $scratch/$1.status
  local target=$1 corpus=$root/build-fuzz/corpus/$1 log=$root/build-fuzz/logs/$1.log status=0
  TMPDIR=$scratch "$root/build-fuzz/fuzz_$target" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len="${max_len[$target]}" \
    -dict="$root/fuzz/$target.dict" -artifact_prefix="${runs[$target]}/" -print_final_stats=1 \
    "$corpus" "$root/fuzz/corpus/$target" > "$log" 2>&1 || status=$?
  echo "$status" > "$scratch/$target.status"
}
declare -A runs
for target in "${targets[@]}"; do
  runs[$target]=$root/build-fuzz/artifacts/$target/$(date +%Y%m%d-%H%M%S)
  mkdir -p "$root/build-fuzz/corpus/$target" "${runs[$target]}" "$root/build-fuzz/logs"
done
cores=$(nproc)
echo "== fuzzing ${targets[*]} for ${seconds} s each, $cores at a time"
for target in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$cores" ]; do wait -n || true; done
  fuzz "$target" &
done
wait

failed=0
for target in "${targets[@]}"; do
  corpus=$root/build-fuzz/corpus/$target
  run=${runs[$target]}
  log=$root/build-fuzz/logs/$target.log
  status=$(cat "$scratch/$target.status" 2> /dev/null || echo "none")
  echo "== $target"
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added|peak_rss_mb)' "$log" |
    sed 's/^stat::/   /' || true
  echo "   corpus: $(find "$corpus" -type f | wc -l) files added by runs, log: $log"
  if [ "$status" != 0 ] || [ -n "$(ls -A "$run")" ]; then
    failed=1
    echo "!! $target failed (exit status $status). Its report:" >&2
    # From the first line of the sanitizer's, libFuzzer's or a check's report on.
    first=$(grep -n -m1 -E '==[0-9]+==ERROR|runtime error|broken rule|ERROR: libFuzzer' "$log" | cut -d: -f1 || true)
    tail -n +"${first:-1}" "$log" | grep -v -E '^#[0-9]+|^ +(Addressable|Partially|Heap|Freed|Stack|Global|Poisoned|Container|Array|Intra|ASan internal|Left alloca|Right alloca)' |
      head -n 60 >&2
    for f in "$run"/*; do
      [ -e "$f" ] && echo "!! reproducer: $f   (run: build-fuzz/fuzz_$target $f)" >&2
    done
  else
    rmdir "$run"
  fi
done
[ "$failed" -eq 0 ] || exit 1
echo "== fuzzing found nothing"
