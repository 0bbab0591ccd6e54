#!/usr/bin/env bash
# Builds the game and its tools (no tests) in build-play, installs them into
# build-play/prefix and starts the game with its launcher, which runs it in
# ~/.local/share/kor-dudurad (or $XDG_DATA_HOME/kor-dudurad): the high scores kept there
# survive rebuilds and `rm -rf build-play`. Options are passed to the game.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh play
dir=build-play
first=
[ -f "$dir/CMakeCache.txt" ] || first=yes
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF > /dev/null
start=$(date +%s)
cmake --build "$dir" -j"$(nproc)"
[ -z "$first" ] || echo "The first build took $(($(date +%s) - start)) s; later runs build only what changed."
# A fresh installation each time, so that levels removed from data/ do not linger in it.
rm -rf "$dir/prefix"
cmake --install "$dir" --prefix "$dir/prefix" > /dev/null
exec "$dir/prefix/bin/kor-dudurad" "$@"
