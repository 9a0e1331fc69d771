#!/usr/bin/env bash
# Playback figures, printed and not judged: a 60-second 1920x1080 25 fps H.264 + AAC file and a
# 1080p HEVC + G.711 µ-law recording, each played by telvane-play (release build) at normal and at
# four times speed; short files of the kinds found in the field, likewise; then how long a seek
# takes to show the picture at its target; then, on a one-hour recording, the time OpenFile takes
# from a cold and from a warm page cache and the first picture after it, beside the reader's whole
# walk to a complete seek index. The media are made once and kept in the cache folder. Sound goes
# to the running sound server, or to a private one with a null sink when none is reachable.
#
#   bash bench/playback/run.sh                  # everything
#   bash bench/playback/run.sh long-recording   # the one-hour recording only
#   TELVANE_BENCH_BUILD=build-rel TELVANE_BENCH_CACHE=/var/tmp/telvane bash bench/playback/run.sh
set -euo pipefail
cd "$(dirname "$0")/../.."
source bench/common.sh

part=${1:-all}
case "$part" in
  all | long-recording) ;;
  *) echo "usage: $0 [long-recording]" >&2; exit 2 ;;
esac

build=${TELVANE_BENCH_BUILD:-build/bench}
cache=${TELVANE_BENCH_CACHE:-${TMPDIR:-/tmp}/telvane-bench-playback}
# 01:00 UTC, so that the one-hour recording does not run over midnight.
start_ms=1700010000000

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTELVANE_BUILD_TESTS=OFF \
  -DTELVANE_BUILD_UI=OFF >/dev/null
cmake --build "$build" --target telvane-play telvane-record-writer telvane-long-recording \
  telvane-bench-record-read >/dev/null
bin="$build/bin"
mkdir -p "$cache"

make_full_hd_media "$bin" "$cache" "$start_ms"
long_recording="$cache/hevc_mulaw_1080p_1h_3M.rec"
make_once "$long_recording" "$bin/telvane-long-recording" "$recording" "$long_recording.part" 60

if ! pactl info >/dev/null 2>&1; then
  source tools/test-services.sh
  SERVICE_DIR=$(mktemp -d /tmp/telvane-bench-services.XXXXXX)
  start_sound_server
  trap stop_services EXIT
fi

# value KEY REPORT: the value of "KEY: value" in a telvane-play report.
value() { sed -n "s/^$1: //p" <<<"$2"; }

# Decoder messages go to a log beside the media, so that the table stays readable.
row_format="%-26s %6s %8s %9s %16s %11s %12s %14s %9s\n"

play_row() {
  local label=$1 file=$2 speed_code=$3 speed_label=$4 frames=$5 report
  local log="$cache/play-$(basename "$file")-$speed_label.log"
  report=$("$bin/telvane-play" --speed "$speed_code" "$file" 2>"$log")
  printf "$row_format" "$label" "$speed_label" "$(value wall_seconds "$report")" \
    "$(value cpu_per_second "$report")" "$(value pictures_presented "$report") / $frames" \
    "$(value av_offset_median_ms "$report")" "$(value av_offset_p95_abs_ms "$report")" \
    "$(value first_picture_ms "$report")" "$(value peak_rss_mib "$report")"
  [ "$(value ended_by "$report")" = end_of_file ] || echo "  (ended by $(value ended_by "$report"))"
  [ -s "$log" ] && echo "  ($(wc -l <"$log") lines of decoder messages in $log)"
  return 0
}

# The table: the 60-second 1080p files, then the kinds of file found in the field.
playback_rows() {
  printf "$row_format" "file" "speed" "wall s" "cpu s/s" "pictures shown" "A/V median" \
    "A/V p95 |x|" "first picture" "peak MiB"
  printf "$row_format" "" "" "" "" "" "ms" "ms" "ms" ""

  h264_frames=$(video_packets "$h264")
  hevc_frames=$(video_packets "$hevc_source")
  play_row "H.264+AAC mp4 1080p 60 s" "$h264" 0 1x "$h264_frames"
  play_row "H.264+AAC mp4 1080p 60 s" "$h264" 4 4x "$h264_frames"
  play_row "HEVC+mulaw rec 1080p 60 s" "$recording" 0 1x "$hevc_frames"
  play_row "HEVC+mulaw rec 1080p 60 s" "$recording" 4 4x "$hevc_frames"
  echo "(no sound is written at 4x, so there is no A/V offset to measure there)"

  # The kinds of file cameras, recorders and exports give, 12 s of 640x360 at 25 pictures a second:
  # G.711 recordings in 20 and 40 ms frames, AAC recordings in mono (under a header that implies
  # stereo) and stereo, an MP4 with B-frames and a transport stream whose stamps start an hour in.
  # Aims: A/V p95 within 40 ms at 1x; the file's duration / 4 at 4x.
  field="$cache/field"
  field_tone=(-f lavfi -i sine=frequency=440:sample_rate=48000:duration=12)
  field_picture=(-f lavfi -i testsrc2=size=640x360:rate=25:duration=12)
  field_h264=(-c:v libx264 -preset veryfast -g 50 -pix_fmt yuv420p -c:a aac -ac 2)
  make_once "$field-source.mp4" ffmpeg -nostdin -y -v error "${field_picture[@]}" "${field_tone[@]}" \
    "${field_h264[@]}" -bf 0 -f mp4 "$field-source.mp4.part"
  make_once "$field-bframes.mp4" ffmpeg -nostdin -y -v error "${field_picture[@]}" "${field_tone[@]}" \
    "${field_h264[@]}" -bf 3 -f mp4 "$field-bframes.mp4.part"
  make_once "$field-offset.ts" ffmpeg -nostdin -y -v error "${field_picture[@]}" "${field_tone[@]}" \
    "${field_h264[@]}" -bf 0 -output_ts_offset 3600 -f mpegts "$field-offset.ts.part"
  field_recording() {
    local target="$field-$1.rec"; shift
    make_once "$target" "$bin/telvane-record-writer" "$@" --start-ms "$start_ms" "$field-source.mp4" \
      "$target.part" >/dev/null
  }
  field_recording g711-20ms --audio mulaw
  field_recording g711-40ms --audio mulaw --g711-frame-ms 40
  field_recording aac-mono --audio aac --aac-channels 1
  field_recording aac-stereo --audio aac
  for kind in g711-20ms.rec g711-40ms.rec aac-mono.rec aac-stereo.rec bframes.mp4 offset.ts; do
    play_row "$kind 12 s" "$field-$kind" 0 1x 300
    play_row "$kind 12 s" "$field-$kind" 4 4x 300
  done
}

# Seeks that land near the end of a two-second group of pictures, the most a seek has to decode
# and discard (49 pictures), and one into the middle of a group; aim: the picture at the target
# within 300 ms of SeekTo.
seek_rows() {
  seeks=(--at 2000:seek=5960 --at 5000:seek=41960 --at 8000:seek=3000 --at 11000:seek=57960 --for 14000)
  for run in 1 2 3; do
    report=$("$bin/telvane-play" "${seeks[@]}" "$h264" 2>/dev/null)
    echo "Seek in the 1080p H.264 file (2 s groups), ms from SeekTo to the picture at the target, run $run:" \
      "$(value seek_to_picture_ms "$report")"
  done
}

# drop_page_cache: empties the page cache, so the next read comes from the disk; needs root.
drop_page_cache() { sync && { echo 3 >/proc/sys/vm/drop_caches; } 2>/dev/null; }

# The one-hour recording: OpenFile (with Attach, as telvane-play times it) from a cold page cache
# and from a warm one, and the first picture after it, each from a run of two seconds' play;
# beside them the reader's whole walk over the file's frame headers, from the start of Open until
# its seek index is complete, as telvane-bench-record-read times it.
long_recording_rows() {
  local size_mib=$(( $(stat -c %s "$long_recording") / 1048576 ))
  local log="$cache/play-$(basename "$long_recording").log" report run state
  : >"$log"
  echo "One-hour recording ($size_mib MiB); first picture: ms from Play, which telvane-play calls" \
    "as soon as OpenFile has returned"
  for state in cold warm; do
    [ "$state" = warm ] && cat "$long_recording" >/dev/null
    for run in 1 2 3; do
      if [ "$state" = cold ] && ! drop_page_cache; then
        echo "  cold: not measured (needs root)"
        break
      fi
      report=$("$bin/telvane-play" --for 2000 "$long_recording" 2>>"$log")
      printf "  %-4s run %d: OpenFile %6s ms, first picture %6s ms after Play\n" "$state" "$run" \
        "$(value open_ms "$report")" "$(value first_picture_ms "$report")"
    done
  done
  echo "Whole walk to a complete seek index (telvane-bench-record-read)"
  for state in cold warm; do
    for run in 1 2; do
      local cold_flag=()
      if [ "$state" = cold ]; then
        drop_page_cache || { echo "  cold: not measured (needs root)"; break; }
        cold_flag=(--cold)
      fi
      "$bin/telvane-bench-record-read" "${cold_flag[@]}" "$long_recording" |
        sed -n "s/^\(Open\( to full index\)\? .*\)/  $state run $run: \1/p"
    done
  done
}

if [ "$part" = all ]; then
  playback_rows
  seek_rows
  echo
fi
long_recording_rows
