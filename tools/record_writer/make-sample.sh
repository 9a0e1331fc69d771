#!/usr/bin/env bash
# Makes a sample recording for trying the player: a minute of ffmpeg's testsrc2 picture (1280x720,
# 25 frames per second, a key frame every two seconds) with a 440 Hz tone, written by
# telvane-record-writer as H.264 with G.711 mu-law sound.
#   bash tools/record_writer/make-sample.sh [OUTPUT] [BUILD_DIR] [extra writer options...]
# OUTPUT defaults to sample.rec, BUILD_DIR to build/release; e.g. "--video hevc --audio aac".
set -euo pipefail
output=${1:-sample.rec}
build=${2:-build/release}
shift $(( $# > 2 ? 2 : $# ))
writer="$build/bin/telvane-record-writer"
[ -x "$writer" ] || { echo "no writer at $writer: build the tree first" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ffmpeg -nostdin -v error \
  -f lavfi -i "testsrc2=size=1280x720:rate=25:duration=60" \
  -f lavfi -i "sine=frequency=440:sample_rate=8000:duration=60" \
  -c:v libx264 -preset veryfast -g 50 -bf 0 -pix_fmt yuv420p -c:a aac -shortest "$work/sample.mp4"
"$writer" "$@" "$work/sample.mp4" "$output"
