#!/usr/bin/env bash
# Installs what is missing, builds the test build (AddressSanitizer and UndefinedBehaviorSanitizer),
# the race build (ThreadSanitizer) and the plain release build, starts a sound server and a display
# when none is reachable, runs every test through CTest and stops what it started.
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
# The plain build, in a folder of its own (tools/run.sh owns build/release): FFmpeg, TurboJPEG and
# the other libraries are not instrumented, so their writes past one of our buffers go unseen by
# the sanitizers, while the plain allocator's own checks catch them.
cmake -S . -B build/plain -G Ninja -DCMAKE_BUILD_TYPE=Release -DTELVANE_BUILD_TESTS=ON
cmake --build build/plain -j "$jobs"

source tools/test-services.sh
start_services
trap stop_services EXIT

status=0
ctest --test-dir build/test --output-on-failure -j "$jobs" || status=1
# The race build runs the tests that exercise the engine's threads and the controls' workers.
ctest --test-dir build/tsan --output-on-failure -L threads -j "$jobs" || status=1
# Every test again on the plain build, with glibc's malloc checking (since glibc 2.34 it lives in
# libc_malloc_debug, which must be preloaded for MALLOC_CHECK_ to act) and fresh and freed memory
# filled with a pattern, so that a read of either shows.
malloc_debug=$(ldconfig -p | sed -n 's/.*libc_malloc_debug\.so\.0 .*=> //p' | head -n 1)
LD_PRELOAD="$malloc_debug" MALLOC_CHECK_=3 MALLOC_PERTURB_=165 \
  ctest --test-dir build/plain --output-on-failure -j "$jobs" || status=1
exit $status
