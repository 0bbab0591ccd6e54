#!/usr/bin/env bash
# Builds the game, installs it into build/prefix and starts it with its launcher, which runs
# it in ~/.local/share/kor-dudurad (or $XDG_DATA_HOME/kor-dudurad): the high scores kept
# there survive rebuilds and `rm -rf build`.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build -j"$(nproc)"
# A fresh installation each time, so that levels removed from data/ do not linger in it.
rm -rf build/prefix
cmake --install build --prefix build/prefix > /dev/null
exec build/prefix/bin/kor-dudurad "$@"
