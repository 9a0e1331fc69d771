#!/usr/bin/env bash
# Figures of the real player window, printed and not judged: the release build's Quillon in a
# 1280x720 window under a display plays a 60-second 1920x1080 25 fps H.264 + AAC file and a 1080p
# HEVC + G.711 mu-law recording to their end, started with the file as its argument and closed
# through its close button. For each: wall time, CPU seconds of the whole process per second of the
# file (start-up and the moments after the end included), peak memory, and pictures shown of the
# pictures in the file, and what the window was given and painted; beside it the same for mpv
# (`mpv --no-config --vo=x11`, a 1280x720 window, installed here when missing) in the same run,
# the ratio of the two CPU figures, and ffmpeg decoding the file alone, as fast as it can.
# The media are shared with bench/playback.
#
#   bash bench/window_playback/run.sh
#   TELVANE_BENCH_UI_BUILD=build-ui TELVANE_BENCH_CACHE=/var/tmp/telvane bash bench/window_playback/run.sh
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
source bench/common.sh

build=${TELVANE_BENCH_UI_BUILD:-build/bench-ui}
cache=${TELVANE_BENCH_CACHE:-${TMPDIR:-/tmp}/telvane-bench-playback}
start_ms=1700010000000
# After the file's end: time for the end to be noticed before the window is closed.
tail_seconds=3

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTELVANE_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target Quillon telvane_data telvane-record-writer >/dev/null
bin="$root/$build/bin"
mkdir -p "$cache"

make_full_hd_media "$bin" "$cache" "$start_ms"
ensure_mpv

source tools/test-services.sh
SERVICE_DIR=$(mktemp -d /tmp/telvane-bench-window.XXXXXX)
start_sound_server
start_display
trap stop_services EXIT

duration_seconds() {
  ffprobe -v error -show_entries format=duration -of csv=p=0 "$1" | cut -d. -f1
}

row_format="%-28s %-8s %8s %9s %10s %18s\n"
printf "$row_format" "file" "program" "wall s" "cpu s/s" "peak MiB" "pictures shown"

# print_row LABEL PROGRAM TIMES PICTURES SECONDS: TIMES is "wall user system peak_kib" from GNU
# time; the CPU time is divided by the file's SECONDS.
print_row() {
  local label=$1 program=$2 pictures=$4 seconds=$5 wall user system peak
  read -r wall user system peak <<<"$3"
  printf "$row_format" "$label" "$program" "$wall" \
    "$(awk -v u="$user" -v s="$system" -v d="$seconds" 'BEGIN { printf "%.3f", (u + s) / d }')" \
    "$(( peak / 1024 ))" "$pictures"
}

# window_row LABEL FILE FRAMES SECONDS: plays FILE in the window to its end and closes the window.
window_row() {
  local label=$1 file=$2 frames=$3 seconds=$4 times="$SERVICE_DIR/player.time" log="$SERVICE_DIR/player.log"
  (cd "$bin" && TELVANE_WINDOW_RECT=0,0,1280,720 TELVANE_COUNT_PICTURES=1 QT_QPA_PLATFORM=xcb \
     /usr/bin/time -f "%e %U %S %M" -o "$times" ./Quillon "$file" >"$log" 2>&1) &
  local runner=$! window=""
  window=$(wait_for_window '^Telvane$') || true
  [ -n "$window" ] || { echo "no player window for $label"; cat "$log"; return 1; }
  sleep $(( seconds + tail_seconds ))
  eval "$(xdotool getwindowgeometry --shell "$window")"
  # The close button sits at the caption's right end.
  xdotool mousemove $(( X + WIDTH - 20 )) $(( Y + 17 )) sleep 0.2 click 1
  wait "$runner" || true
  print_row "$label" "Quillon" "$(cat "$times")" \
    "$(sed -n 's/^pictures_shown: //p' "$log") / $frames" "$seconds"
  quillon_cpu=$(cpu_per_second "$(cat "$times")" "$seconds")
  echo "  window: presented $(sed -n 's/^pictures_presented: //p' "$log")," \
    "painted $(sed -n 's/^pictures_painted: //p' "$log")," \
    "replaced before their paint $(sed -n 's/^pictures_replaced_unpainted: //p' "$log")," \
    "present to paint $(sed -n 's/^present_to_paint_ms: //p' "$log") ms"
}

# cpu_per_second TIMES SECONDS: user + system of GNU time's "wall user system peak" per second.
cpu_per_second() {
  local wall user system peak
  read -r wall user system peak <<<"$1"
  awk -v u="$user" -v s="$system" -v d="$2" 'BEGIN { printf "%.3f", (u + s) / d }'
}

# mpv_row LABEL FILE FRAMES SECONDS: mpv plays FILE in a 1280x720 window to its end and quits;
# prints its row and the ratio of Quillon's CPU per second to mpv's.
mpv_row() {
  local label=$1 file=$2 frames=$3 seconds=$4 times="$SERVICE_DIR/mpv.time" log="$SERVICE_DIR/mpv.log"
  /usr/bin/time -f "%e %U %S %M" -o "$times" mpv --no-config --vo=x11 --ao=pulse --geometry=1280x720+0+0 \
    --no-terminal "$file" >"$log" 2>&1 || true
  print_row "$label" "mpv" "$(cat "$times")" "n/a / $frames" "$seconds"
  local mpv_cpu
  mpv_cpu=$(cpu_per_second "$(cat "$times")" "$seconds")
  echo "  Quillon / mpv CPU: $(awk -v q="$quillon_cpu" -v m="$mpv_cpu" 'BEGIN { printf "%.2f", (m > 0 ? q / m : 0) }')"
}

# Decodes FILE with ffmpeg alone, as fast as it goes; prints the row.
ffmpeg_row() {
  local label=$1 file=$2 frames=$3 times="$SERVICE_DIR/ffmpeg.time"
  /usr/bin/time -f "%e %U %S %M" -o "$times" ffmpeg -nostdin -v error -i "$file" -f null -
  print_row "$label" "ffmpeg" "$(cat "$times")" "$frames decoded" "$(duration_seconds "$file")"
}

h264_frames=$(video_packets "$h264")
hevc_frames=$(video_packets "$hevc_source")
quillon_cpu=0
window_row "H.264+AAC mp4 1080p 60 s" "$h264" "$h264_frames" "$(duration_seconds "$h264")"
mpv_row "H.264+AAC mp4 1080p 60 s" "$h264" "$h264_frames" "$(duration_seconds "$h264")"
ffmpeg_row "H.264+AAC mp4 1080p 60 s" "$h264" "$h264_frames"
window_row "HEVC+mulaw rec 1080p 60 s" "$recording" "$hevc_frames" "$(duration_seconds "$hevc_source")"
# mpv does not read the recording format: it plays the clip the recording was made from.
mpv_row "HEVC+mulaw mkv 1080p 60 s" "$hevc_source" "$hevc_frames" "$(duration_seconds "$hevc_source")"
ffmpeg_row "HEVC+mulaw mkv 1080p 60 s" "$hevc_source" "$hevc_frames"
echo "(Quillon's wall time runs from its start to its close, ${tail_seconds} s after the file's end;" \
  "mpv's from its start to its own exit at the end)"
