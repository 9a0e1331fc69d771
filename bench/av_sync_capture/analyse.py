#!/usr/bin/env python3
"""Finds the flashes and beeps in a capture and prints how far apart they were.

The capture is a NUT file written by one ffmpeg process with the screen region as stream 0 (raw
video) and the sink's monitor as stream 1 (16-bit mono PCM), both stamped with the wall clock.

    analyse.py calibrate CAPTURE FLASHES   prints the rig's own offset in ms: FLASHES holds the
                                           flash helper's lines "<wall time> <beep delay>"
    analyse.py measure CAPTURE RIG_MS LABEL
                                           prints the sound-minus-picture figures of a playback,
                                           the rig's offset taken off
    analyse.py series CAPTURE RIG_MS       prints each flash's seconds from the first one and its
                                           offset, to tell a drift from a steady offset
"""
import array
import statistics
import subprocess
import sys

# Flashes and beeps come once a second; anything closer than this belongs to the same event.
EVENT_GAP = 0.4


def probe_packets(capture, stream):
    """(pts seconds, size) of each packet of one stream, in file order."""
    out = subprocess.run(
        ["ffprobe", "-v", "error", "-select_streams", str(stream), "-show_entries",
         "packet=pts_time,size", "-of", "csv=p=0", capture],
        check=True, capture_output=True, text=True).stdout
    packets = []
    for line in out.split():
        pts, size = line.split(",")[:2]
        if pts != "N/A":
            packets.append((float(pts), int(size)))
    return packets


def stream_bytes(capture, stream, muxer):
    return subprocess.run(
        ["ffmpeg", "-nostdin", "-v", "error", "-i", capture, "-map", f"0:{stream}", "-c", "copy",
         "-f", muxer, "-"], check=True, capture_output=True).stdout


def frame_geometry(capture):
    out = subprocess.run(
        ["ffprobe", "-v", "error", "-select_streams", "0", "-show_entries",
         "stream=width,height,sample_rate", "-of", "csv=p=0", capture],
        check=True, capture_output=True, text=True).stdout.strip()
    width, height = out.split(",")[:2]
    return int(width), int(height)


def audio_rate(capture):
    out = subprocess.run(
        ["ffprobe", "-v", "error", "-select_streams", "1", "-show_entries", "stream=sample_rate",
         "-of", "csv=p=0", capture], check=True, capture_output=True, text=True).stdout
    return int(out.strip())


def brightness_series(capture):
    """(capture time, mean green level) of each grabbed frame; the grab is 4 bytes a pixel."""
    packets = probe_packets(capture, 0)
    data = stream_bytes(capture, 0, "rawvideo")
    width, height = frame_geometry(capture)
    size = width * height * 4
    series = []
    for index, (pts, _) in enumerate(packets):
        frame = data[index * size:(index + 1) * size]
        if len(frame) < size:
            break
        series.append((pts, sum(frame[1::4]) / (width * height)))
    return series


def rising_edges(series, threshold):
    """Times where the value first reaches the threshold after EVENT_GAP below it."""
    onsets, last_high = [], None
    for time, value in series:
        if value < threshold:
            continue
        if last_high is None or time - last_high > EVENT_GAP:
            onsets.append(time)
        last_high = time
    return onsets


def grabs_per_second(series):
    if len(series) < 2:
        return 0.0
    return (len(series) - 1) / (series[-1][0] - series[0][0])


def flash_onsets(capture, series=None):
    series = brightness_series(capture) if series is None else series
    if not series:
        return []
    levels = [value for _, value in series]
    low, high = min(levels), max(levels)
    if high - low < 64:
        return []
    return rising_edges(series, (low + high) / 2)


def load_samples(capture):
    samples = array.array("h", stream_bytes(capture, 1, "s16le"))
    if sys.byteorder != "little":
        samples.byteswap()
    return samples


def sample_series(capture, samples):
    """(time, |sample|) of every sample, each packet placed at its own time stamp, so a gap the
    capture dropped does not shift what follows it."""
    rate, offset = audio_rate(capture), 0
    for pts, size in probe_packets(capture, 1):
        for i in range(min(size // 2, len(samples) - offset)):
            yield pts + i / rate, abs(samples[offset + i])
        offset += size // 2


def beep_onsets(capture):
    samples = load_samples(capture)
    loudest = max((abs(value) for value in samples), default=0)
    if loudest < 300:
        return []
    return rising_edges(sample_series(capture, samples), loudest / 4)


def pair(flashes, beeps):
    """(flash, beep) of each flash with a beep within EVENT_GAP of it."""
    pairs = []
    for flash in flashes:
        nearest = min(beeps, key=lambda beep: abs(beep - flash), default=None)
        if nearest is not None and abs(nearest - flash) < EVENT_GAP:
            pairs.append((flash, nearest))
    return pairs


def percentile(values, fraction):
    ordered = sorted(values)
    rank = max(0, min(len(ordered) - 1, int(fraction * len(ordered) + 0.999999) - 1))
    return ordered[rank]


def calibrate(capture, flashes_file):
    stimuli = []
    with open(flashes_file) as lines:
        for line in lines:
            wall, delay = line.split()
            stimuli.append((float(wall), float(delay)))
    offsets, series = [], brightness_series(capture)
    for flash, beep in pair(flash_onsets(capture, series), beep_onsets(capture)):
        wall, delay = min(stimuli, key=lambda stimulus: abs(stimulus[0] - flash))
        if abs(wall - flash) < EVENT_GAP:
            offsets.append((beep - flash - delay) * 1000)
    if len(offsets) < len(stimuli) // 2:
        sys.exit(f"calibration found {len(offsets)} of {len(stimuli)} flashes with their beeps")
    print(f"{statistics.median(offsets):.2f} {len(offsets)} {len(stimuli)} "
          f"{min(offsets):.2f} {max(offsets):.2f} {grabs_per_second(series):.0f}")


def measure(capture, rig_ms, label):
    series = brightness_series(capture)
    flashes, beeps = flash_onsets(capture, series), beep_onsets(capture)
    offsets = [(beep - flash) * 1000 - rig_ms for flash, beep in pair(flashes, beeps)]
    if not offsets:
        print(f"{label:<24} no flash found with its beep ({len(flashes)} flashes, "
              f"{len(beeps)} beeps)", end="")
        return
    magnitudes = [abs(offset) for offset in offsets]
    print(f"{label:<24} {len(offsets):>3}/{len(flashes):<3} {statistics.median(offsets):>8.1f} "
          f"{percentile(offsets, 0.05):>7.1f} {percentile(offsets, 0.95):>7.1f} "
          f"{percentile(magnitudes, 0.95):>7.1f} {max(magnitudes):>7.1f} "
          f"{grabs_per_second(series):>8.0f}", end="")


def series(capture, rig_ms):
    pairs = pair(flash_onsets(capture), beep_onsets(capture))
    for flash, beep in pairs:
        print(f"{flash - pairs[0][0]:7.2f} {(beep - flash) * 1000 - rig_ms:7.1f}")


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "calibrate":
        calibrate(sys.argv[2], sys.argv[3])
    elif len(sys.argv) == 5 and sys.argv[1] == "measure":
        measure(sys.argv[2], float(sys.argv[3]), sys.argv[4])
    elif len(sys.argv) == 4 and sys.argv[1] == "series":
        series(sys.argv[2], float(sys.argv[3]))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
