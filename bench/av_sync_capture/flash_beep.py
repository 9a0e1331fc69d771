#!/usr/bin/env python3
"""Flashes the root window white and beeps through the sound server at the same moments.

The capture rig's own offset between picture and sound is measured with it: the flash is on the
screen once the X server has answered, and the beep is heard the stream's latency after it is
written. For each flash one line goes to standard output:

    <wall-clock seconds of the flash> <seconds from the flash to the moment the beep is heard>

so the analysis can find each flash in the capture and subtract what this helper itself could not
make simultaneous.

    flash_beep.py COUNT [INTERVAL_SECONDS]
"""
import ctypes
import ctypes.util
import math
import struct
import sys
import time

RATE = 48000
CHUNK_SECONDS = 0.005
BEEP_SECONDS = 0.05
FLASH_SECONDS = 0.08
PA_STREAM_PLAYBACK = 1
PA_SAMPLE_S16LE = 3


class SampleSpec(ctypes.Structure):
    _fields_ = [("format", ctypes.c_int), ("rate", ctypes.c_uint32), ("channels", ctypes.c_uint8)]


class BufferAttr(ctypes.Structure):
    _fields_ = [(name, ctypes.c_uint32)
                for name in ("maxlength", "tlength", "prebuf", "minreq", "fragsize")]


def load(name):
    path = ctypes.util.find_library(name)
    if not path:
        sys.exit(f"lib{name} not found")
    return ctypes.CDLL(path)


class RootWindow:
    def __init__(self):
        self.x11 = load("X11")
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x11.XDefaultRootWindow.restype = ctypes.c_ulong
        self.x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.x11.XSetWindowBackground.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong]
        self.x11.XClearWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        self.x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        self.x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.display = self.x11.XOpenDisplay(None)
        if not self.display:
            sys.exit("cannot open the display")
        self.root = self.x11.XDefaultRootWindow(self.display)

    def paint(self, pixel):
        self.x11.XSetWindowBackground(self.display, self.root, pixel)
        self.x11.XClearWindow(self.display, self.root)
        self.x11.XSync(self.display, 0)

    def close(self):
        self.paint(0)
        self.x11.XCloseDisplay(self.display)


class LowLatencyStream:
    def __init__(self):
        self.pulse = load("pulse-simple")
        self.pulse.pa_simple_new.restype = ctypes.c_void_p
        self.pulse.pa_simple_new.argtypes = [
            ctypes.c_char_p, ctypes.c_char_p, ctypes.c_int, ctypes.c_char_p, ctypes.c_char_p,
            ctypes.POINTER(SampleSpec), ctypes.c_void_p, ctypes.POINTER(BufferAttr),
            ctypes.POINTER(ctypes.c_int)]
        self.pulse.pa_simple_write.argtypes = [
            ctypes.c_void_p, ctypes.c_char_p, ctypes.c_size_t, ctypes.POINTER(ctypes.c_int)]
        self.pulse.pa_simple_get_latency.restype = ctypes.c_uint64
        self.pulse.pa_simple_get_latency.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_int)]
        self.pulse.pa_simple_free.argtypes = [ctypes.c_void_p]
        sample_format = SampleSpec(PA_SAMPLE_S16LE, RATE, 1)
        ten_ms = RATE * 2 // 100
        attr = BufferAttr(0xFFFFFFFF, ten_ms, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF)
        error = ctypes.c_int(0)
        self.stream = self.pulse.pa_simple_new(
            None, b"av-sync-calibration", PA_STREAM_PLAYBACK, None, b"flash beep",
            ctypes.byref(sample_format), None, ctypes.byref(attr), ctypes.byref(error))
        if not self.stream:
            sys.exit(f"cannot open a sound stream (error {error.value})")

    def write(self, data):
        error = ctypes.c_int(0)
        if self.pulse.pa_simple_write(self.stream, data, len(data), ctypes.byref(error)) < 0:
            sys.exit(f"sound write failed (error {error.value})")

    def latency_seconds(self):
        error = ctypes.c_int(0)
        return self.pulse.pa_simple_get_latency(self.stream, ctypes.byref(error)) / 1e6

    def close(self):
        self.pulse.pa_simple_free(self.stream)


def pcm(samples):
    return struct.pack(f"<{len(samples)}h", *samples)


def beep():
    count = int(RATE * BEEP_SECONDS)
    return pcm([int(16000 * math.sin(2 * math.pi * 1000 * i / RATE)) for i in range(count)])


def main():
    count = int(sys.argv[1]) if len(sys.argv) > 1 else 12
    interval = float(sys.argv[2]) if len(sys.argv) > 2 else 1.0
    window, stream = RootWindow(), LowLatencyStream()
    silence = pcm([0] * int(RATE * CHUNK_SECONDS))
    tone = beep()
    window.paint(0)
    chunks_per_flash = round(interval / CHUNK_SECONDS)
    chunks_lit = round(FLASH_SECONDS / CHUNK_SECONDS)
    # The stream never runs dry: a stream that restarts after an underrun is heard later than its
    # reported latency says, and only the flashes' moments are meant to vary.
    for _ in range(chunks_per_flash):
        stream.write(silence)
    for _ in range(count):
        window.paint(0xFFFFFF)
        flashed_wall, flashed = time.time(), time.monotonic()
        heard = time.monotonic() + stream.latency_seconds()
        stream.write(tone)
        print(f"{flashed_wall:.6f} {heard - flashed:.6f}", flush=True)
        for chunk in range(chunks_per_flash - round(BEEP_SECONDS / CHUNK_SECONDS)):
            if chunk == chunks_lit - round(BEEP_SECONDS / CHUNK_SECONDS):
                window.paint(0)
            stream.write(silence)
    window.close()
    stream.close()


if __name__ == "__main__":
    main()
