#!/usr/bin/env bash
# Installs what is missing, builds the release build and starts the player from its own folder.
# A file given as the argument is opened and played at once:  bash tools/run.sh FILE
set -euo pipefail
# The player starts in another folder: a file named relative to here is made absolute first.
arguments=()
for argument in "$@"; do
  if [[ "$argument" != /* && -e "$argument" ]]; then argument="$PWD/$argument"; fi
  arguments+=("$argument")
done
cd "$(dirname "$0")/.."
bash tools/deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTELVANE_BUILD_TESTS=OFF \
  -DCMAKE_UNITY_BUILD=ON -DCMAKE_UNITY_BUILD_BATCH_SIZE=16
cmake --build build/release
cd build/release/bin
exec ./Quillon "${arguments[@]}"
