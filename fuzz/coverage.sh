#!/usr/bin/env bash
# Line coverage of what the fuzz corpora reach: builds the targets with clang's source-based
# coverage (no sanitizers), runs each over its corpus once and prints llvm-cov's report for the
# code that target parses with.
#   bash fuzz/coverage.sh [FUZZ_BUILD_DIR] [COVERAGE_BUILD_DIR]
# FUZZ_BUILD_DIR (default build/fuzz) holds the corpora that fuzz/run.sh grew.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
fuzz=${1:-$root/build/fuzz}
build=${2:-$root/build/fuzz-coverage}
flags="-fprofile-instr-generate -fcoverage-mapping"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DTELVANE_FUZZ=ON -DTELVANE_BUILD_TESTS=OFF \
  "-DCMAKE_C_FLAGS=$flags" "-DCMAKE_CXX_FLAGS=$flags" >/dev/null
cmake --build "$build" -j 2 --target record_reader_fuzzer language_file_fuzzer container_open_fuzzer >/dev/null

declare -A sources=(
  [record_reader]="$root/engine/record"
  [language_file]="$root/shell/language_store.cpp"
  [container_open]="$root/engine/player_core.cpp $root/engine/record"
)
for target in record_reader language_file container_open; do
  corpus="$fuzz/corpus/$target"
  [ -d "$corpus" ] || { echo "no corpus for $target in $fuzz" >&2; continue; }
  rm -f "$build/$target".*.profraw "$build/$target.profdata"
  PULSE_SERVER=unix:/nonexistent/telvane-fuzz LLVM_PROFILE_FILE="$build/$target.%p.profraw" \
    "$build/bin/${target}_fuzzer" -runs=0 "$corpus" "$fuzz/seeds/$target" >/dev/null 2>&1 || true
  llvm-profdata merge -sparse "$build/$target".*.profraw -o "$build/$target.profdata"
  echo "== $target"
  # shellcheck disable=SC2086
  llvm-cov report "$build/bin/${target}_fuzzer" -instr-profile="$build/$target.profdata" ${sources[$target]} |
    awk 'NR == 1 || /TOTAL|\.cpp/' | sed "s|$root/||"
done
