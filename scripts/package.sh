#!/usr/bin/env bash
# Builds the Debian package build/ozn_<version>_<arch>.deb (run ./test.sh or
# ./play.sh once first, or let this script install what is missing).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target ozn ozn_music ozn_package_files
cd build
cpack -G DEB
