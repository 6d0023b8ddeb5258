#!/usr/bin/env bash
# Installs what is missing, builds the game and starts it on the bundled data.
# Arguments are passed on to the game (a starting amount of 100 to 300000 yen).
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DOZN_TESTS=OFF -DOZN_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)" --target ozn ozn_music
exec ./build/ozn "$@"
