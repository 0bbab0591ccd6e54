#!/usr/bin/env bash
# Builds the game and runs it. The game reads data/, graphics/ and sounds/ from its
# working directory, which is the build tree.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build -j"$(nproc)"
cd build
exec ./KOR_Dudurad "$@"
