# CPU load beside a test that must hold on a busy machine (sourced).
#   kor_busy_loops N   starts N busy loops, their ids added to the array "others" for the
#                      caller's clean-up. With KOR_BUSY_LOOPS set it starts that many
#                      instead: scripts/test.sh sets 0, as its own stages keep every core
#                      busy beside these tests, and loops there would only take cores from them.
# shellcheck shell=bash
kor_busy_loops() {
  local i n=${KOR_BUSY_LOOPS:-$1}
  for ((i = 0; i < n; i++)); do
    (while :; do :; done) &
    others+=($!)
  done
}
