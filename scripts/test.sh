#!/usr/bin/env bash
# Builds and runs every test: a normal build, then the same suite under
# AddressSanitizer + UndefinedBehaviorSanitizer, then the thread tests under ThreadSanitizer,
# then the level and high-score loaders under libFuzzer (KOR_FUZZ_SECONDS each, default 30).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

jobs=$(nproc)
configure() { cmake -S . -B "$1" "${@:2}" > /dev/null; }
# Each stage's time, so that a slow one shows (the whole should stay under 15 minutes on
# 2 cores; the Debian binary packages are built by scripts/package.sh, not here).
stage_start=$SECONDS
took() { echo "   ($(( SECONDS - stage_start )) s)"; stage_start=$SECONDS; }

echo "== format check"
bash scripts/format.sh --check

# Every build is configured first, so a mistake in one shows in seconds, not after the others.
echo "== configure"
configure build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOR_WERROR=ON
configure build-asan -DCMAKE_BUILD_TYPE=Debug -DKOR_SANITIZE=ON -DKOR_BENCHMARKS=OFF -DKOR_WERROR=ON
configure build-tsan -DCMAKE_BUILD_TYPE=Debug -DKOR_TSAN=ON -DKOR_BENCHMARKS=OFF -DKOR_WERROR=ON

echo "== normal build"
cmake --build build -j"$jobs"
took

# The tests on X servers and desktops mostly wait (an intro's frames, a compositor, a window
# manager): they run in the background from here on, beside the other stages, whose builds
# and fuzzers run at the lowest priority so that these tests get a core whenever they need
# one. Their report follows at the end. One test a core in each ctest; the whole-program
# scripts run their own cases side by side, and the longest tests start first (COST,
# cmake/KorTesting.cmake).
# A session of their own, so that a failed stage ends them with the script.
xlog=build/xserver-tests.log
setsid bash -c 'cd build && exec ctest --output-on-failure -j"$1" -L xserver' - "$jobs" > "$xlog" 2>&1 &
xtests=$!
trap 'kill -TERM -- -"$xtests" 2> /dev/null || true' EXIT
echo "== normal tests (the X-server tests in the background, into $xlog)"
(cd build && ctest --output-on-failure -j"$jobs" -LE xserver)
took

echo "== AddressSanitizer + UndefinedBehaviorSanitizer build"
nice -n 19 cmake --build build-asan -j"$jobs"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Tests labelled nosan (long searches, whole-program runs) run in the normal build only;
# its X-server tests run after the normal build's, as they take the same displays.
(cd build-asan && ctest --output-on-failure -j"$jobs" -LE 'nosan|xserver')
took

echo "== ThreadSanitizer build (thread tests)"
# grep reads all of the list: with -q it would stop early, and the broken pipe would
# fail the pipeline (pipefail) and skip this stage.
if cmake --build build-tsan --target help | grep thread_tests > /dev/null; then
  nice -n 19 cmake --build build-tsan -j"$jobs" --target thread_tests
  export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
  (cd build-tsan && ctest --output-on-failure -j"$jobs" -L thread)
fi
took
echo "== libFuzzer on the level and high-score loaders"
nice -n 19 bash scripts/fuzz.sh
took
echo "== the normal build's X-server tests"
xstatus=0
wait "$xtests" || xstatus=$?
cat "$xlog"
took
[ "$xstatus" -eq 0 ] || { echo "== the X-server tests failed (above)"; exit "$xstatus"; }
echo "== the AddressSanitizer build's X-server tests"
(cd build-asan && ctest --output-on-failure -j"$jobs" -L xserver -LE nosan)
took
echo "== all tests passed in $SECONDS s"
