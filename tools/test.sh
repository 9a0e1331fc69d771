#!/usr/bin/env bash
# Installs what is missing, builds the test build (AddressSanitizer and UndefinedBehaviorSanitizer)
# and the race build (ThreadSanitizer), starts a sound server and a display when none is
# reachable, runs every test through CTest and stops what it started.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh --test

jobs=$(nproc)
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug "-DTELVANE_SANITIZE=address;undefined"
cmake --build build/test -j "$jobs"
# The race build makes only what its tests need: the engine's suites and the controls driven
# from worker threads, not the player or the whole-application tests.
cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTELVANE_SANITIZE=thread \
  -DTELVANE_BUILD_UI=ON
cmake --build build/tsan -j "$jobs" --target race_tests

source tools/test-services.sh
start_services
trap stop_services EXIT

status=0
ctest --test-dir build/test --output-on-failure -j "$jobs" || status=1
# The race build runs the tests that exercise the engine's threads and the controls' workers.
ctest --test-dir build/tsan --output-on-failure -L threads -j "$jobs" || status=1
exit $status
