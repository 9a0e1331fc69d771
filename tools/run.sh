#!/usr/bin/env bash
# Installs what is missing, builds the release build and starts the player from its own folder.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTELVANE_BUILD_TESTS=OFF
cmake --build build/release
cd build/release/bin
exec ./Quillon "$@"
