#!/usr/bin/env bash
# What one more playback session costs, printed and not judged: sessions on a 30-second 1280x720
# 25 fps H.264 + G.711 µ-law recording (made once and kept in the cache folder) are opened, left
# idle, played together and stopped. Sound goes to the running sound server, or to a private one
# with a null sink when none is reachable.
#
#   bash bench/sessions/run.sh            # four sessions, five seconds of playing
#   bash bench/sessions/run.sh 16 10      # sixteen sessions, ten seconds
set -euo pipefail
cd "$(dirname "$0")/../.."
source bench/common.sh

sessions=${1:-4}
play_seconds=${2:-5}
build=${TELVANE_BENCH_BUILD:-build/bench}
cache=${TELVANE_BENCH_CACHE:-${TMPDIR:-/tmp}/telvane-bench-playback}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTELVANE_BUILD_TESTS=OFF \
  -DTELVANE_BUILD_UI=OFF >/dev/null
cmake --build "$build" --target telvane-bench-sessions telvane-record-writer >/dev/null
bin="$build/bin"
mkdir -p "$cache"

source_720p="$cache/h264_mulaw_720p_30s.mkv"
recording="$cache/h264_mulaw_720p_30s.rec"
make_once "$source_720p" ffmpeg -nostdin -y -v error \
  -f lavfi -i testsrc2=size=1280x720:rate=25:duration=30 \
  -f lavfi -i sine=frequency=440:sample_rate=8000:duration=30 \
  -c:v libx264 -preset veryfast -bf 0 -g 25 -pix_fmt yuv420p -c:a pcm_mulaw -ar 8000 -ac 1 \
  -f matroska "$source_720p.part"
make_once "$recording" "$bin/telvane-record-writer" --video h264 --audio mulaw "$source_720p" "$recording.part"

if ! pactl info >/dev/null 2>&1; then
  source tools/test-services.sh
  start_services
  trap stop_services EXIT
fi
"$bin/telvane-bench-sessions" "$recording" "$sessions" "$play_seconds"
