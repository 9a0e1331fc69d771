#pragma once
// Container files for the engine's tests, made at test time with the ffmpeg command: the usual
// containers (mp4, mkv, avi), the stream layouts the reader must cope with (no audio, two audio
// streams, a subtitle stream beside the video and audio) and pictures that are not planar 8-bit
// 4:2:0 (full-range MJPEG as cameras send it, 4:2:2 H.264, 10-bit HEVC).
// Every file shows ffmpeg's testsrc2 picture with a sine tone; a second audio stream has another
// pitch. Failures give an empty path and print what ffmpeg said.

#include <string>
#include <vector>

#include "tests/support/fixtures.h"

namespace fixtures {

enum class ContainerKind {
    Mp4H264Aac,         // mp4: H.264 + AAC stereo
    MkvH264Aac,         // mkv: H.264 + AAC stereo
    AviH264Mp3,         // avi: H.264 + MP3 stereo
    Mp4NoAudio,         // mp4: H.264 only
    MkvTwoAudio,        // mkv: H.264 + two AAC streams (440 Hz, then 880 Hz)
    MkvSubtitle,        // mkv: H.264 + AAC + a SubRip subtitle stream
    AviMjpegMulaw,      // avi: full-range yuvj420p MJPEG + G.711 µ-law mono 8000 Hz, camera style
    MkvH264Yuv422,      // mkv: H.264 High 4:2:2 + AAC
    MkvHevc10Bit,       // mkv: HEVC Main 10 (yuv420p10le) + AAC
};

// What a file of that kind holds, for tests that check what the engine made of it.
struct ContainerRecipe {
    ContainerKind kind;
    const char* name;         // file name stem, also fit for a test's name
    const char* extension;
    const char* videoCodec;   // decoder name as FFmpeg reports it: h264, hevc, mjpeg
    const char* pixelFormat;  // as FFmpeg names it: yuv420p, yuvj420p, yuv422p, yuv420p10le
    int audioStreams;         // 0, 1 or 2
    const char* audioCodec;   // decoder name; empty when there is no audio
    int sampleRate;           // samples per second of the audio
    int channels;
    bool subtitle;
};

struct ContainerShape {
    int width = 320;
    int height = 240;
    int framesPerSecond = 25;
    double seconds = 2.0;
    int keyFrameInterval = 25;  // frames between key frames
    int bFrames = 0;            // H.264 and HEVC: most B-frames in a row (pictures out of order)
};

const ContainerRecipe& RecipeOf(ContainerKind kind);
// Every kind, in declaration order, for tests that run over all of them.
const std::vector<ContainerRecipe>& AllContainerRecipes();

// Makes <dir>/<name>.<extension>; returns its path, or empty when ffmpeg failed.
std::string MakeContainerFile(const TempDir& dir, ContainerKind kind,
                              const ContainerShape& shape = {});

}  // namespace fixtures
