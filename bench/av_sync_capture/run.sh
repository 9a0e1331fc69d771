#!/usr/bin/env bash
# Picture/sound sync of the real player window as a viewer would see and hear it, measured outside
# the program's own clocks: one ffmpeg process grabs a small region of the display and the sound
# sink's monitor on one clock (the wall clock) while the player shows a clip whose picture turns
# white for two frames at each whole second and beeps (1 kHz, 50 ms) at the same instants. The
# rig's own offset is measured first by flashing the root window and beeping through a 10 ms
# stream at the same moments, and taken off. Printed per clip, in ms, sound minus picture
# (positive: the sound is heard after the picture is seen): the median, the 5th and 95th
# percentile, and the 95th percentile and maximum of the offset's size; beside them the grabs
# made a second, the sink's latency and the offset the engine itself reports for the same clip
# played headless. Each clip is measured with mpv too (`mpv --no-config --vo=x11`, installed here
# when missing), in the same run and on the same rig. Figures, not judged.
#
#   bash bench/av_sync_capture/run.sh
#   TELVANE_BENCH_SYNC_BUILD=build/release TELVANE_BENCH_CACHE=/var/tmp/telvane bash bench/av_sync_capture/run.sh
#   TELVANE_BENCH_SYNC_KEEP=DIR ...   keeps the captures in DIR; `analyse.py series DIR/FILE RIG_MS`
#                                     then lists each flash's offset
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
here=$root/bench/av_sync_capture

build=${TELVANE_BENCH_SYNC_BUILD:-build/release}
cache=${TELVANE_BENCH_CACHE:-${TMPDIR:-/tmp}/telvane-bench-av-sync}
seconds=30
# Grabs a second: the flash's onset is known to within one grab interval.
grab_rate=${TELVANE_BENCH_GRAB_RATE:-200}
grab_size=48
calibration_flashes=15

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTELVANE_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target Quillon telvane_data telvane-record-writer telvane-play >/dev/null
bin="$root/$build/bin"
mkdir -p "$cache"

source bench/common.sh  # make_once, ensure_mpv, wait_for_window
ensure_mpv

# flash_clip RATE: picture white on frames 0 and 1 of each second, a beep in the first 50 ms of
# each second of sound at RATE; counted in frames and samples, so the two start together exactly.
picture_input=(-f lavfi -i "color=c=black:s=1280x720:r=25:d=$seconds,format=yuv420p,drawbox=x=0:y=0:w=iw:h=ih:color=white:t=fill:enable='lt(mod(n\,25)\,2)'")
sound_input() {
  local rate=$1
  echo "aevalsrc='if(lt(mod(n\,$rate)\,$rate/20)\,0.5*sin(2*PI*1000*t)\,0)':s=$rate:d=$seconds"
}
mp4="$cache/flash_beep_h264_aac_720p_${seconds}s.mp4"
mulaw_source="$cache/flash_beep_h264_mulaw_720p_${seconds}s.mkv"
recording="$cache/flash_beep_h264_mulaw_720p_${seconds}s.rec"
make_once "$mp4" ffmpeg -nostdin -y -v error "${picture_input[@]}" -f lavfi -i "$(sound_input 48000)" \
  -c:v libx264 -preset veryfast -bf 0 -g 25 -pix_fmt yuv420p -c:a aac -b:a 128k -ac 2 \
  -f mp4 "$mp4.part"
make_once "$mulaw_source" ffmpeg -nostdin -y -v error "${picture_input[@]}" -f lavfi -i "$(sound_input 8000)" \
  -c:v libx264 -preset veryfast -bf 0 -g 25 -pix_fmt yuv420p -c:a pcm_mulaw -ar 8000 -ac 1 \
  -f matroska "$mulaw_source.part"
make_once "$recording" "$bin/telvane-record-writer" --video h264 --audio mulaw "$mulaw_source" \
  "$recording.part"

source tools/test-services.sh
start_services
trap stop_services EXIT
sink=$(pactl info | sed -n 's/^Default Sink: //p')
[ -n "$sink" ] || { echo "the sound server has no default sink"; exit 1; }
work=$SERVICE_DIR

# start_capture X Y OUTPUT: grabs the region at X,Y and the sink's monitor into OUTPUT until
# stop_capture. Both inputs stamp with the wall clock and -copyts keeps those stamps, so the
# streams stay on one clock (without it each input would be moved to start at zero).
capture_pid=""
start_capture() {
  local x=$1 y=$2 output=$3
  ffmpeg -nostdin -v error -y \
    -thread_queue_size 4096 -f x11grab -framerate "$grab_rate" -video_size "${grab_size}x${grab_size}" \
    -draw_mouse 0 -i "$DISPLAY+$x,$y" \
    -thread_queue_size 4096 -f pulse -sample_rate 48000 -channels 1 -fragment_size 960 \
    -i "$sink.monitor" \
    -map 0:v -map 1:a -c copy -copyts -f nut "$output" 2>"$output.log" &
  capture_pid=$!
  # The inputs need a moment to open before anything worth seeing happens.
  sleep 1.5
  kill -0 "$capture_pid" 2>/dev/null || { echo "the capture did not start:"; cat "$output.log"; exit 1; }
}

# ffmpeg ends on SIGTERM after writing what it has.
stop_capture() {
  kill -TERM "$capture_pid" 2>/dev/null || true
  wait "$capture_pid" 2>/dev/null || true
  capture_pid=""
}

# calibrate RESULT: writes "<rig ms> <found> <flashes> <min> <max> <grabs/s> <sink latency>".
calibrate() {
  local result=$1 output="$work/calibration.nut" flashes="$work/flashes.txt"
  start_capture 200 200 "$output"
  python3 "$here/flash_beep.py" "$calibration_flashes" 1.0 >"$flashes" &
  local flasher=$!
  sleep 3
  local latency
  latency=$(sink_latency)
  wait "$flasher"
  sleep 0.5
  stop_capture
  echo "$(python3 "$here/analyse.py" calibrate "$output" "$flashes") $latency" >"$result"
}

# The sink's own latency now, in ms: the monitor is fed as the sink renders, so a sink that
# renders further ahead for one stream than for another moves what the capture hears.
sink_latency() {
  pactl list sinks | awk -v sink="$sink" '
    $1 == "Name:" { mine = ($2 == sink) }
    mine && $1 == "Latency:" { printf "%.1f", $2 / 1000; exit }'
}

player_pid=""
close_player() {
  [ -n "$player_pid" ] || return 0
  kill "$player_pid" 2>/dev/null || true
  wait "$player_pid" 2>/dev/null || true
  player_pid=""
}

# measure LABEL FILE RIG_MS: plays FILE in a 1280x720 window and captures the middle of its
# video pane for the clip's length.
measure() {
  local label=$1 file=$2 rig_ms=$3 output="$work/player.nut" window=""
  (cd "$bin" && TELVANE_WINDOW_RECT=0,0,1280,720 QT_QPA_PLATFORM=xcb exec ./Quillon "$file" \
     >"$work/player.log" 2>&1) &
  player_pid=$!
  window=$(wait_for_window '^Telvane$') || true
  [ -n "$window" ] || { echo "no player window for $label"; cat "$work/player.log"; return 1; }
  local X Y WIDTH HEIGHT
  eval "$(xdotool getwindowgeometry --shell "$window")"
  # The video pane fills the window but for the caption and status bar above, the control bar
  # below and the playlist column on the right: a point left of the middle lies in its picture.
  start_capture $(( X + WIDTH * 2 / 5 - grab_size / 2 )) $(( Y + HEIGHT / 2 - grab_size / 2 )) "$output"
  sleep $(( seconds / 2 ))
  local latency
  latency=$(sink_latency)
  sleep $(( seconds - seconds / 2 ))
  stop_capture
  close_player
  [ -z "${TELVANE_BENCH_SYNC_KEEP:-}" ] || cp "$output" "$TELVANE_BENCH_SYNC_KEEP/$(basename "$file").nut"
  printf "%s %9s %13s\n" "$(python3 "$here/analyse.py" measure "$output" "$rig_ms" "$label")" \
    "$latency" "$(engine_offsets "$file")"
}

# measure_mpv LABEL FILE RIG_MS: the same for mpv in a 1280x720 window, whose middle is picture.
measure_mpv() {
  local label=$1 file=$2 rig_ms=$3 output="$work/mpv.nut" window=""
  mpv --no-config --vo=x11 --ao=pulse --geometry=1280x720+0+0 --title=telvane-bench-mpv \
    --no-terminal "$file" >"$work/mpv.log" 2>&1 &
  player_pid=$!
  window=$(wait_for_window '^telvane-bench-mpv$') || true
  [ -n "$window" ] || { echo "no mpv window for $label"; cat "$work/mpv.log"; return 1; }
  local X Y WIDTH HEIGHT
  eval "$(xdotool getwindowgeometry --shell "$window")"
  start_capture $(( X + WIDTH / 2 - grab_size / 2 )) $(( Y + HEIGHT / 2 - grab_size / 2 )) "$output"
  sleep $(( seconds / 2 ))
  local latency
  latency=$(sink_latency)
  sleep $(( seconds - seconds / 2 ))
  stop_capture
  close_player
  printf "%s %9s %13s\n" "$(python3 "$here/analyse.py" measure "$output" "$rig_ms" "$label")" "$latency" "n/a"
}

# The same clip played headless, with the offset the engine itself sees between the picture's time
# and the heard sound's (same sign): "median/|p95|". What the window adds to it is the time a
# picture takes from the engine to the screen.
engine_offsets() {
  local report median p95
  report=$("$bin/telvane-play" "$1" 2>/dev/null) || { echo "n/a"; return; }
  median=$(sed -n 's/^av_offset_median_ms: //p' <<<"$report")
  p95=$(sed -n 's/^av_offset_p95_abs_ms: //p' <<<"$report")
  echo "${median:-n/a}/${p95:-n/a}"
}

cleanup() {
  stop_capture
  close_player
  stop_services
}
trap cleanup EXIT

[ -z "${TELVANE_BENCH_SYNC_KEEP:-}" ] || mkdir -p "$TELVANE_BENCH_SYNC_KEEP"
calibrate "$work/rig.txt"
read -r rig_ms rig_found rig_flashes rig_min rig_max rig_grabs rig_latency <"$work/rig.txt"
echo "rig offset (sound - picture of a simultaneous flash and beep): ${rig_ms} ms" \
  "(${rig_found} of ${rig_flashes} flashes, ${rig_min} to ${rig_max} ms;" \
  "${rig_grabs} grabs/s; sink latency ${rig_latency} ms)"
printf "%-24s %7s %8s %7s %7s %7s %7s %8s %9s %13s\n" \
  "clip" "pairs" "median" "p5" "p95" "|p95|" "|max|" "grabs/s" "sink lat" "engine's own"
measure "H.264+AAC mp4 720p" "$mp4" "$rig_ms"
measure_mpv "mpv: H.264+AAC mp4 720p" "$mp4" "$rig_ms"
measure "H.264+mulaw rec 720p" "$recording" "$rig_ms"
# mpv does not read the recording format: it plays the clip the recording was made from.
measure_mpv "mpv: H.264+mulaw mkv 720p" "$mulaw_source" "$rig_ms"
echo "(pairs: flashes seen with their beep, of $seconds;" \
  "ms, sound minus picture, the rig's offset taken off; positive: sound after picture;" \
  "sink latency in ms, read halfway; engine's own: telvane-play's median/|p95| of the same clip)"
