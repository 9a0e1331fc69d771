# Sourced by the playback benchmarks, from the repository's root: the media they play are made once
# and kept in a cache folder that the benchmarks share.

# make_once TARGET COMMAND...: runs COMMAND, which writes TARGET.part, unless TARGET is cached; the
# result is kept only when COMMAND succeeded, so an interrupted run never leaves a broken file.
make_once() {
  local target=$1; shift
  [ -s "$target" ] && return
  echo "making $target ..." >&2
  "$@"
  mv "$target.part" "$target"
}

# make_full_hd_media BIN CACHE START_MS: makes a 60-second 1920x1080 25 fps H.264 + AAC file, the
# same pictures as HEVC + G.711 mu-law, and that as a recording whose clock starts at START_MS
# (written by BIN/telvane-record-writer); sets h264, hevc_source and recording to their paths.
make_full_hd_media() {
  local bin=$1 cache=$2 start_ms=$3
  h264="$cache/h264_aac_1080p_60s.mp4"
  hevc_source="$cache/hevc_mulaw_1080p_60s_3M.mkv"
  recording="$cache/hevc_mulaw_1080p_60s_3M.rec"
  local picture_input=(-f lavfi -i testsrc2=size=1920x1080:rate=25:duration=60)
  make_once "$h264" ffmpeg -nostdin -y -v error "${picture_input[@]}" \
    -f lavfi -i sine=frequency=440:sample_rate=48000:duration=60 \
    -c:v libx264 -preset veryfast -bf 0 -g 50 -pix_fmt yuv420p -c:a aac -b:a 128k -ac 2 \
    -f mp4 "$h264.part"
  make_once "$hevc_source" ffmpeg -nostdin -y -v error "${picture_input[@]}" \
    -f lavfi -i sine=frequency=440:sample_rate=8000:duration=60 \
    -c:v libx265 -preset ultrafast -x265-params log-level=error -b:v 3M -bf 0 -g 25 -pix_fmt yuv420p \
    -c:a pcm_mulaw -ar 8000 -ac 1 -f matroska "$hevc_source.part"
  make_once "$recording" "$bin/telvane-record-writer" --video hevc --audio mulaw --start-ms "$start_ms" \
    "$hevc_source" "$recording.part"
}

# video_packets FILE: how many packets the first video stream of FILE holds.
video_packets() {
  ffprobe -v error -select_streams v:0 -count_packets -show_entries stream=nb_read_packets \
    -of csv=p=0 "$1"
}

# ensure_mpv: the benchmarks that measure beside mpv install it from the distribution when it is
# missing (as root, or through sudo).
ensure_mpv() {
  command -v mpv >/dev/null 2>&1 && return
  echo "installing mpv ..." >&2
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq >/dev/null
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq mpv >/dev/null
}

# wait_for_window TITLE_PATTERN: prints the id of the first visible window whose title matches,
# within 20 s; prints nothing and fails when none shows.
wait_for_window() {
  local window=""
  for _ in $(seq 1 100); do
    window=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && { echo "$window"; return 0; }
    sleep 0.2
  done
  return 1
}
