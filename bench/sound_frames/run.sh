#!/usr/bin/env bash
# Speed of playback with short sound frames, printed and not judged: 12-second 320x240 25 fps
# H.264 files whose sound comes in 2 ms PCM packets (MKV), 10 ms Opus frames (MKV) and 10 ms
# G.711 mu-law frames (a recording) are played headless to their end by telvane-play. For each:
# the file's length, the wall time from Play to the end notice, their ratio (1.000 is real time),
# the last position, and picture time minus heard sound time (median, 95th percentile).
#
#   bash bench/sound_frames/run.sh
set -euo pipefail
cd "$(dirname "$0")/../.."
source bench/common.sh

build=${TELVANE_BENCH_BUILD:-build/bench}
cache=${TELVANE_BENCH_CACHE:-${TMPDIR:-/tmp}/telvane-bench-playback}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTELVANE_BUILD_TESTS=OFF \
  -DTELVANE_BUILD_UI=OFF >/dev/null
cmake --build "$build" --target telvane-play telvane-record-writer >/dev/null
bin="$build/bin"
mkdir -p "$cache"

picture=(-f lavfi -i testsrc2=size=320x240:rate=25:duration=12)
h264=(-c:v libx264 -preset veryfast -g 25 -pix_fmt yuv420p)
tone() { echo "-f lavfi -i sine=frequency=440:sample_rate=$1:duration=12"; }

pcm="$cache/pcm_2ms_packets_12s.mkv"
opus="$cache/opus_10ms_12s.mkv"
g711_source="$cache/pcm_8k_12s.mkv"
g711="$cache/mulaw_10ms_12s.rec"
# shellcheck disable=SC2046
make_once "$pcm" ffmpeg -nostdin -y -v error "${picture[@]}" $(tone 48000) "${h264[@]}" \
  -af asetnsamples=n=96 -c:a pcm_s16le -f matroska "$pcm.part"
# shellcheck disable=SC2046
make_once "$opus" ffmpeg -nostdin -y -v error "${picture[@]}" $(tone 48000) "${h264[@]}" \
  -c:a libopus -frame_duration 10 -f matroska "$opus.part"
# shellcheck disable=SC2046
make_once "$g711_source" ffmpeg -nostdin -y -v error "${picture[@]}" $(tone 8000) "${h264[@]}" \
  -c:a pcm_s16le -f matroska "$g711_source.part"
make_once "$g711" "$bin/telvane-record-writer" --audio mulaw --g711-frame-ms 10 "$g711_source" "$g711.part"

if ! pactl info >/dev/null 2>&1; then
  source tools/test-services.sh
  SERVICE_DIR=$(mktemp -d /tmp/telvane-bench-sound.XXXXXX)
  start_sound_server
  trap stop_services EXIT
fi

row_format="%-26s %12s %8s %8s %12s %14s %12s\n"
printf "$row_format" "file" "duration ms" "wall s" "speed" "position ms" "median a/v ms" "p95 a/v ms"
for file in "$pcm" "$opus" "$g711"; do
  report=$("$bin/telvane-play" "$file" 2>/dev/null)
  value() { sed -n "s/^$1: //p" <<<"$report"; }
  duration=$(value duration_ms)
  wall=$(value wall_seconds)
  printf "$row_format" "$(basename "$file")" "$duration" "$wall" \
    "$(awk -v d="$duration" -v w="$wall" 'BEGIN { printf "%.3f", d / 1000 / w }')" \
    "$(value final_position_ms)" "$(value av_offset_median_ms)" "$(value av_offset_p95_abs_ms)"
done
