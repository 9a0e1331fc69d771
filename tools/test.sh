#!/usr/bin/env bash
# Installs what is missing, builds the test build (AddressSanitizer and UndefinedBehaviorSanitizer),
# the race build (ThreadSanitizer) and the plain release build, starts a sound server and a display
# when none is reachable, runs every test through CTest and stops what it started.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh --test

# How long each stage took, printed last.
stage_times=()
stage_started=$SECONDS
end_stage() {
  stage_times+=("$(printf '%5d s  %s' $((SECONDS - stage_started)) "$1")")
  stage_started=$SECONDS
}
end_stage "installing what was missing"

jobs=$(nproc)
# Each build compiles a folder's sources sixteen at a time as one file: the toolkit's and the test
# framework's headers, most of what each source compiles, are then read once per group, which
# halves the time of a build from scratch.
unity=(-DCMAKE_UNITY_BUILD=ON -DCMAKE_UNITY_BUILD_BATCH_SIZE=16)
# The benchmarks are built by the plain build only: a sanitized figure measures nothing.
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug "-DTELVANE_SANITIZE=address;undefined" \
  -DTELVANE_BUILD_BENCH=OFF "${unity[@]}"
cmake --build build/test -j "$jobs"
end_stage "sanitized build"
# The race build makes only what its tests need: the engine's suites and the controls driven
# from worker threads, not the player or the whole-application tests.
cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTELVANE_SANITIZE=thread \
  -DTELVANE_BUILD_UI=ON -DTELVANE_BUILD_BENCH=OFF "${unity[@]}"
cmake --build build/tsan -j "$jobs" --target race_tests
end_stage "race build"
# The plain build, in a folder of its own (tools/run.sh owns build/release): FFmpeg, TurboJPEG and
# the other libraries are not instrumented, so their writes past one of our buffers go unseen by
# the sanitizers, while the plain allocator's own checks catch them.
cmake -S . -B build/plain -G Ninja -DCMAKE_BUILD_TYPE=Release -DTELVANE_BUILD_TESTS=ON "${unity[@]}"
cmake --build build/plain -j "$jobs"
end_stage "plain build"

source tools/test-services.sh
start_services
trap stop_services EXIT

# A test that fails is run once more on its own. One that then passes is intermittent: the run
# still passes, and the summary printed last names it with the output of its failure. One that
# fails again fails the run. The output is long and its end is what gets read, so the summary
# goes last.
failed_runs=()
intermittent_runs=()
run_suite() {
  local name=$1 dir=$2
  shift 2
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" "$@" && return 0
  local first="$dir/Testing/first-try"
  mkdir -p "$first"
  cp "$dir/Testing/Temporary/LastTestsFailed.log" "$dir/Testing/Temporary/LastTest.log" "$first/" || true
  echo "== running the failed tests of the $name run once more"
  if ctest --test-dir "$dir" --output-on-failure --rerun-failed "$@"; then
    intermittent_runs+=("$name:$first")
    return 0
  fi
  failed_runs+=("$name:$dir/Testing/Temporary")
  return 1
}
summarize() {
  local run line
  echo "== time of each stage:"
  for line in "${stage_times[@]}"; do echo "$line"; done
  for run in "${intermittent_runs[@]}"; do
    echo "== failed at first and passed when run again, in the ${run%%:*} run:"
    print_failures "${run#*:}"
  done
  for run in "${failed_runs[@]}"; do
    echo "== failed twice, in the ${run%%:*} run:"
    print_failures "${run#*:}"
  done
}
print_failures() {
  local logs=$1 line
  [[ -f $logs/LastTestsFailed.log ]] || return 0
  while IFS= read -r line; do
    echo "-- ${line#*:}, the end of its output:"
    print_test_output "$logs/LastTest.log" "${line#*:}" | tail -n 60
  done < "$logs/LastTestsFailed.log"
}
print_test_output() {
  awk -v name="$2" '
    $0 ~ /^[0-9]+\/[0-9]+ Test: / { inside = (substr($0, index($0, "Test: ") + 6) == name) }
    inside && /^<end of output>/ { inside = 0 }
    inside' "$1"
}

status=0
run_suite sanitized build/test || status=1
end_stage "sanitized tests"
# The race build runs the tests that exercise the engine's threads and the controls' workers.
run_suite race build/tsan -L threads || status=1
end_stage "race tests"
# Every test again on the plain build, with glibc's malloc checking (since glibc 2.34 it lives in
# libc_malloc_debug, which must be preloaded for MALLOC_CHECK_ to act) and fresh and freed memory
# filled with a pattern, so that a read of either shows.
# By its full path: a user's PATH often lacks /sbin.
malloc_debug=$(/sbin/ldconfig -p | sed -n 's/.*libc_malloc_debug\.so\.0 .*=> //p' | head -n 1)
LD_PRELOAD="$malloc_debug" MALLOC_CHECK_=3 MALLOC_PERTURB_=165 run_suite plain build/plain || status=1
end_stage "plain tests"
summarize
exit $status
