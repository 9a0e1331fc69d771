#!/usr/bin/env bash
# Makes a file of every kind the player takes (recordings of each codec pair, MP4 with and without
# B-frames, MKV, AVI, a transport stream) and soaks the engine on them with telvane-soak.
#   bash tools/soak/run.sh [CYCLES] [BUILD_DIR]
# CYCLES defaults to 1000, BUILD_DIR to build/test (any build with telvane-soak and the writer).
set -euo pipefail
cycles=${1:-1000}
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${2:-$root/build/test}
for tool in telvane-soak telvane-record-writer; do
  [ -x "$build/bin/$tool" ] || { echo "no $tool in $build/bin: build it first" >&2; exit 2; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

clip() {  # name video-codec audio-codec extension [more ffmpeg options]
  local name=$1 vcodec=$2 acodec=$3 ext=$4
  shift 4
  ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=size=320x240:rate=25:duration=4" \
    -f lavfi -i "sine=frequency=440:sample_rate=16000:duration=4" \
    -c:v "$vcodec" -g 25 -pix_fmt yuv420p -c:a "$acodec" "$@" "$work/$name.$ext"
}
record() {  # name writer options...
  local name=$1
  shift
  ASAN_OPTIONS=detect_leaks=0 "$build/bin/telvane-record-writer" --gop 25 "$@" \
    "$work/mp4.mp4" "$work/$name.rec" >/dev/null 2>&1
}
clip mp4 libx264 aac mp4 -bf 0
clip mp4-bframes libx264 aac mp4 -bf 2
clip mkv libx264 pcm_s16le mkv
clip avi mjpeg pcm_mulaw avi
clip ts libx264 mp2 ts
record h264-mulaw --audio mulaw
record h264-aac --audio aac
record hevc-alaw --video hevc --audio alaw
record h264-silent --audio none

# No sound server: every session plays silently, so the figures do not depend on one.
PULSE_SERVER=${PULSE_SERVER:-unix:/nonexistent/telvane-soak} \
  "$build/bin/telvane-soak" --cycles "$cycles" "$work"/*.*
