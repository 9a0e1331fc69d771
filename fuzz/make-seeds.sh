#!/usr/bin/env bash
# Makes the seed corpora of the fuzz targets from our writer's and ffmpeg's output, so that no
# binary is committed: small clips in several containers and codecs, recordings of each codec
# pair, and the shipped language files with a few saved-choice texts.
#   bash fuzz/make-seeds.sh BUILD_DIR OUT_DIR
# Makes OUT_DIR/record_reader, OUT_DIR/container_open and OUT_DIR/language_file.
set -euo pipefail
build=$1
out=$2
root=$(cd "$(dirname "$0")/.." && pwd)
writer="$build/bin/telvane-record-writer"
# x265 keeps a block to the end of the process; that is the encoder's, not ours.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
[ -x "$writer" ] || { echo "no writer at $writer" >&2; exit 1; }
mkdir -p "$out/record_reader" "$out/container_open" "$out/language_file"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

clip() {  # name size seconds video-codec audio-codec extension [more ffmpeg options]
  local name=$1 size=$2 seconds=$3 vcodec=$4 acodec=$5 ext=$6
  shift 6
  local audio=(-f lavfi -i "sine=frequency=440:sample_rate=8000:duration=$seconds")
  local acodecs=(-c:a "$acodec")
  if [ "$acodec" = none ]; then audio=(); acodecs=(-an); fi
  ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=size=$size:rate=10:duration=$seconds" \
    "${audio[@]}" -c:v "$vcodec" -g 5 -pix_fmt yuv420p "${acodecs[@]}" "$@" "$work/$name.$ext"
}

# Containers: small and short, since every input is probed whole.
clip mp4_h264_aac 64x48 1 libx264 aac mp4 -bf 0
clip mp4_bframes 64x48 1 libx264 aac mp4 -bf 2
clip mkv_h264_pcm 64x48 1 libx264 pcm_s16le mkv
clip avi_mjpeg_mulaw 64x48 1 mjpeg pcm_mulaw avi
clip ts_h264_mp2 64x48 1 libx264 mp2 ts
clip mkv_hevc_opus 64x48 1 libx265 libopus mkv -x265-params log-level=none
clip mp4_video_only 32x32 1 libx264 none mp4
for f in "$work"/*.*; do cp "$f" "$out/container_open/$(basename "$f")"; done

# Recordings: every codec pair the writer makes, from one short clip.
clip source 64x48 2 libx264 aac mp4 -bf 0
for video in h264 hevc; do
  for audio in mulaw alaw aac none; do
    "$writer" --video "$video" --audio "$audio" --gop 5 --start-ms 1700000000000 \
      "$work/source.mp4" "$out/record_reader/${video}_${audio}.rec" >/dev/null 2>&1
  done
done
# One that crosses midnight, and one of a single key frame.
"$writer" --start-ms 1699919999000 "$work/source.mp4" "$out/record_reader/midnight.rec" >/dev/null 2>&1
"$writer" --reencode --gop 1000 "$work/source.mp4" "$out/record_reader/one_key.rec" >/dev/null 2>&1
# The session's opening also takes recordings.
cp "$out/record_reader/h264_mulaw.rec" "$out/record_reader/hevc_aac.rec" "$out/container_open/"

# Language seeds: a byte giving the length of the saved choice, the choice, then the file.
choice=0
for lang in "$root"/data/langconfig/0*.ini; do
  id=$(basename "$lang" .ini)
  for text in "$id" "" "0x${id#0}"; do
    { printf "\\x$(printf %02x ${#text})%s" "$text"; cat "$lang"; } >"$out/language_file/${id}_$choice"
    choice=$((choice + 1))
  done
done
