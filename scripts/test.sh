#!/usr/bin/env bash
# Builds and runs every test: a normal build, then the same suite under
# AddressSanitizer + UndefinedBehaviorSanitizer, then the thread tests under ThreadSanitizer,
# then the loaders and readers under libFuzzer (KOR_FUZZ_SECONDS each, default 15 here).
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
# Line tables are all the debug information the tests need: -g would cost a sixth of the
# normal build's compile time for local variables nobody looks at here.
echo "== configure"
configure build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOR_WERROR=ON \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG"
# The sanitizer builds share precompiled standard headers between their targets (KOR_PCH):
# without optimisation, reading those is half of a file's compile time.
sanitizer_build=(-DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DCMAKE_C_FLAGS_DEBUG=-g1 -DKOR_PCH=ON
  -DKOR_BENCHMARKS=OFF -DKOR_WERROR=ON)
configure build-asan -DKOR_SANITIZE=ON "${sanitizer_build[@]}"
configure build-tsan -DKOR_TSAN=ON "${sanitizer_build[@]}"
cmake -S fuzz -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null

echo "== normal build"
cmake --build build -j"$jobs"
took

# From here three things run side by side, so that a test that waits (an intro's frames, a
# compositor, a window manager) leaves its core to a compiler:
# - the X-server tests in the background (a session of their own, so that a failed stage
#   ends them with the script), their report at the end: the normal build's, then, once it
#   is built, the AddressSanitizer build's (after the others, as they take the same displays);
# - the sanitizer and fuzz builds, one after the other at the lowest priority, in the
#   background, each stage below waiting for its own;
# - the tests, in the foreground (the thread tests in the background beside the
#   AddressSanitizer tests): one test a core in each ctest; the whole-program scripts run
#   their own cases side by side, and the longest tests start first (COST,
#   cmake/KorTesting.cmake).
# The tests that bring busy loops of their own to hold on a loaded machine get none here:
# the stages beside them keep both cores busy already (tests/support/load.sh).
export KOR_BUSY_LOOPS=0
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
blog=build/sanitizer-builds.log
built=$(mktemp -d)
xlog=build/xserver-tests.log
setsid bash -c '
  (cd build && ctest --output-on-failure -j"$1" -L xserver) || exit
  until [ -e "$2/build-asan" ]; do
    [ -e "$2/build-asan.failed" ] && exit 1
    sleep 1
  done
  echo "== the AddressSanitizer build'"'"'s X-server tests"
  cd build-asan && exec ctest --output-on-failure -j"$1" -L xserver -LE nosan' - "$jobs" "$built" > "$xlog" 2>&1 &
xtests=$!
setsid nice -n 19 bash -c '
  set -e
  build() { if cmake --build "$2" -j"$3" "${@:4}"; then touch "$1/$2"; else touch "$1/$2.failed"; exit 1; fi; }
  build "$1" build-asan "$2"
  if cmake --build build-tsan --target help | grep thread_tests > /dev/null; then
    build "$1" build-tsan "$2" --target thread_tests
  else
    touch "$1/build-tsan"
  fi
  build "$1" build-fuzz "$2"' - "$built" "$jobs" > "$blog" 2>&1 &
builds=$!
# The thread tests, beside the AddressSanitizer tests once their build is there: both wait
# for windows and clocks much of the time, so side by side they keep the cores busy.
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
tlog=build/thread-tests.log
setsid bash -c '
  until [ -e "$1/build-tsan" ]; do
    [ -e "$1/build-tsan.failed" ] || ! kill -0 "$3" 2> /dev/null && exit 1
    sleep 1
  done
  cd build-tsan
  [ -n "$(ctest -N -L thread | grep "Test *#")" ] || exit 0
  exec ctest --output-on-failure -j"$2" -L thread' - "$built" "$jobs" "$builds" > "$tlog" 2>&1 &
tsan=$!
trap 'kill -TERM -- -"$xtests" -"$builds" -"$tsan" 2> /dev/null || true; rm -rf "$built"' EXIT
# Waits until the background has built $1; a failed build's log is printed.
wait_build() {
  until [ -e "$built/$1" ] || [ -e "$built/$1.failed" ]; do
    if ! kill -0 "$builds" 2> /dev/null && ! [ -e "$built/$1" ]; then break; fi
    sleep 1
  done
  if ! [ -e "$built/$1" ]; then
    cat "$blog"
    echo "== the $1 build failed (above)"
    exit 1
  fi
}

echo "== normal tests (the X-server tests in the background, into $xlog; the sanitizer builds into $blog)"
(cd build && ctest --output-on-failure -j"$jobs" -LE xserver)
took

echo "== AddressSanitizer + UndefinedBehaviorSanitizer tests"
wait_build build-asan
# Tests labelled nosan (long searches, whole-program runs) run in the normal build only;
# its X-server tests run in the background, after the normal build's.
(cd build-asan && ctest --output-on-failure -j"$jobs" -LE 'nosan|xserver')
took

echo "== ThreadSanitizer tests (run beside the above, into $tlog)"
wait_build build-tsan
tstatus=0
wait "$tsan" || tstatus=$?
cat "$tlog"
took
[ "$tstatus" -eq 0 ] || { echo "== the thread tests failed (above)"; exit "$tstatus"; }
echo "== libFuzzer on the loaders and readers"
wait_build build-fuzz
nice -n 19 bash scripts/fuzz.sh "${KOR_FUZZ_SECONDS:-15}"
took
echo "== the X-server tests"
xstatus=0
wait "$xtests" || xstatus=$?
cat "$xlog"
took
[ "$xstatus" -eq 0 ] || { echo "== the X-server tests failed (above)"; exit "$xstatus"; }
echo "== all tests passed in $SECONDS s"
