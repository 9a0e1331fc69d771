#!/usr/bin/env bash
# Builds the fuzz targets and runs each for SECONDS, one after the other, on seed corpora made by
# make-seeds.sh. Exits non-zero when any target found a crash, a leak or a time-out; the input
# that did it is left as BUILD_DIR/artifacts/<target>/crash-* (or leak-*, timeout-*, oom-*).
#   bash fuzz/run.sh SECONDS [BUILD_DIR] [TARGET...]
# BUILD_DIR defaults to build/fuzz; the corpora grow in BUILD_DIR/corpus/<target> across runs.
# Reproduce one input:  BUILD_DIR/bin/<target> BUILD_DIR/artifacts/<target>/crash-...
set -uo pipefail
seconds=${1:?usage: run.sh SECONDS [BUILD_DIR] [TARGET...]}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${2:-$root/build/fuzz}
shift $(( $# > 2 ? 2 : $# ))
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(record_reader language_file container_open)

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DTELVANE_FUZZ=ON \
  -DTELVANE_BUILD_TESTS=OFF "-DTELVANE_SANITIZE=address;undefined" >/dev/null || exit 2
cmake --build "$build" -j 2 --target telvane-record-writer \
  "${targets[@]/%/_fuzzer}" || exit 2
if [ ! -d "$build/seeds" ]; then
  bash "$root/fuzz/make-seeds.sh" "$build" "$build/seeds.new" && mv "$build/seeds.new" "$build/seeds" || exit 2
fi

declare -A dictionary=([record_reader]=record.dict [language_file]=language.dict [container_open]=container.dict)
# A session's stop waits 600 ms for its workers to settle, so the opening target spends its time
# asleep: several processes on the one corpus keep the processor busy.
declare -A extra=([container_open]=-fork=4)
failed=0
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  artifacts="$build/artifacts/$target/"
  mkdir -p "$corpus" "$artifacts"
  log="$build/$target.log"
  echo "== $target for ${seconds}s (log $log)"
  # A session stop waits for its workers to settle, so a single input may take a few seconds;
  # 25 s is far beyond any that is healthy.
  ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} \
    "$build/bin/${target}_fuzzer" "$corpus" "$build/seeds/$target" \
    -dict="$root/fuzz/${dictionary[$target]}" -max_total_time="$seconds" -timeout=25 \
    -rss_limit_mb=2560 -max_len=262144 -print_final_stats=1 -artifact_prefix="$artifacts" ${extra[$target]:-} \
    >"$log" 2>&1
  status=$?
  grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units|stat::average_exec_per_sec|stat::peak_rss_mb)' "$log" || tail -n 2 "$log"
  if [ $status -ne 0 ]; then
    echo "!! $target failed (status $status); reproducer:" $(ls "$artifacts")
    grep -m3 -E 'ERROR|SUMMARY' "$log"
    failed=1
  fi
done
exit $failed
