#!/usr/bin/env bash
# Plays damaged copies of good recordings and clips with telvane-play and checks that each one
# ends or is refused within a time bound, without a sanitizer report. The good files are made
# here by ffmpeg and the recording writer; telvane-damage damages them with a fixed seed.
#   bash tests/corpus/run.sh [--full] [--build DIR] [--seed N] [--jobs N] [--bound SECONDS] [--keep DIR]
# 40 damaged copies of each good file are made; without --full a sample of every twelfth is played.
# --build defaults to build/test, the sanitizer build of tools/test.sh; --keep collects the files
# that failed (default: a temporary folder, named on failure).
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$root/build/test
seed=20151105
per_source=40
sample_every=12
jobs=2
bound=40
keep=
while [ $# -gt 0 ]; do
  case $1 in
    --full) sample_every=1 ;;
    --build) build=$2; shift ;;
    --seed) seed=$2; shift ;;
    --jobs) jobs=$2; shift ;;
    --bound) bound=$2; shift ;;
    --keep) keep=$2; shift ;;
    *) echo "unknown argument: $1" >&2; exit 2 ;;
  esac
  shift
done
for tool in telvane-play telvane-record-writer telvane-damage; do
  [ -x "$build/bin/$tool" ] || { echo "no $tool in $build/bin: build it first" >&2; exit 2; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/good" "$work/damaged" "$work/logs"

clip() {  # name video-codec audio-codec extension [more ffmpeg options]
  local name=$1 vcodec=$2 acodec=$3 ext=$4
  shift 4
  ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=size=160x120:rate=10:duration=2" \
    -f lavfi -i "sine=frequency=440:sample_rate=8000:duration=2" \
    -c:v "$vcodec" -g 5 -pix_fmt yuv420p -c:a "$acodec" "$@" "$work/good/$name.$ext"
}
record() {  # name writer options...
  local name=$1
  shift
  # x265 keeps a block to the end of the writer's process: the encoder's, not ours.
  ASAN_OPTIONS=detect_leaks=0 "$build/bin/telvane-record-writer" --gop 5 --start-ms 1700000000000 \
    "$@" "$work/good/source.mp4" "$work/good/$name.rec" >/dev/null 2>&1
}
clip source libx264 aac mp4 -bf 0 || exit 2
clip mkv libx264 pcm_s16le mkv || exit 2
clip avi mjpeg pcm_mulaw avi || exit 2
clip ts libx264 mp2 ts || exit 2
record h264-mulaw --audio mulaw || exit 2
record h264-aac --audio aac || exit 2
record hevc-alaw --video hevc --audio alaw || exit 2
record h264-silent --audio none || exit 2
for good in "$work"/good/*; do
  "$build/bin/telvane-damage" "$good" "$work/damaged" "$seed" "$per_source" || exit 2
done

play_one() {
  local file=$1 log name
  name=$(basename "$file")
  log="$work/logs/$name.log"
  # No sound server: the session plays silently, the same on every machine.
  PULSE_SERVER=unix:/nonexistent/telvane-corpus \
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    timeout -k 5 "$bound" "$build/bin/telvane-play" --window 160x120 \
    --at 300:pause --at 500:step --at 700:step --at 900:play --at 1100:seek=1500 \
    --at 1300:snapshot="$work/logs/$name.jpg" --at 1500:speed=3 --at 1800:seek=0 --at 2000:speed=0 \
    "$file" >"$log" 2>&1
  local status=$?
  # 0: played to its end; 1: refused. Anything else is a time-out, a crash or a give-up.
  if [ $status -gt 1 ] || grep -qE 'Sanitizer|runtime error:' "$log"; then
    echo "FAIL $name (status $status)"
    return 1
  fi
  echo "ok   $name (status $status)"
}
export -f play_one
export work build bound

files=$(find "$work/damaged" -type f | sort | awk -v every="$sample_every" 'NR % every == 1 || every == 1')
total=$(echo "$files" | wc -l)
echo "playing $total damaged files (seed $seed, bound ${bound}s, $jobs at a time)"
echo "$files" | xargs -P "$jobs" -I{} bash -c 'play_one "$1"' _ {} >"$work/results" 2>&1
cat "$work/results"
failures=$(grep -c '^FAIL' "$work/results")
echo "$failures of $total failed"
if [ "$failures" -gt 0 ]; then
  keep=${keep:-$(mktemp -d /tmp/telvane-corpus-failures.XXXXXX)}
  mkdir -p "$keep"
  grep '^FAIL' "$work/results" | awk '{print $2}' | while read -r name; do
    cp "$work/damaged/$name" "$work/logs/$name.log" "$keep/"
  done
  echo "failed files and their logs kept in $keep"
  exit 1
fi
