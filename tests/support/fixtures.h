#pragma once
// Test fixtures made at test time, so that no binary sample is ever committed:
//   TempDir           a private folder, removed with everything in it when the fixture ends;
//   MakeClip          a short clip of ffmpeg's testsrc2 picture and a sine tone, in the size,
//                     length, rate, codecs and container the test asks for;
//   MakeRecording     a recording made from any input by telvane-record-writer;
//   EncodeRecording   a recording written byte by byte from a list of frames, for the reader's
//                     edge cases (wrong sizes, odd kinds, cut-off ends).
// The helpers report failure by an empty path or false and print what the tool said.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/record/record_format.h"

namespace fixtures {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

struct ClipOptions {
    int width = 160;
    int height = 120;
    int framesPerSecond = 25;
    double seconds = 2.0;
    int keyFrameInterval = 25;             // frames between key frames
    std::string videoEncoder = "libx264";  // an ffmpeg encoder name
    std::string audioEncoder = "aac";      // an ffmpeg encoder name; empty = no audio stream
    int sampleRate = 8000;                 // samples per second of the tone
    int channels = 1;
    std::string container = "mp4";         // file extension; ffmpeg picks the format from it
};

// Makes <dir>/<name>.<container>; returns its path, or empty when ffmpeg failed.
std::string MakeClip(const TempDir& dir, const std::string& name, const ClipOptions& options = {});

struct RecordingOptions {
    std::string video = "h264";  // h264 | hevc
    std::string audio = "mulaw";  // mulaw | alaw | aac | none
    uint64_t startMs = 1'700'000'000'000;  // wall-clock ms stamped on the first frame
    int keyFrameInterval = 25;   // frames between key frames when the writer re-encodes
    bool reencode = false;       // re-encode even when the input has the wanted codec
    std::vector<std::string> writerArguments;  // more of the writer's options, as given
};

std::string RecordWriterPath();

// Runs the writer on input, making <dir>/<name>; returns its path, or empty on failure.
std::string MakeRecording(const TempDir& dir, const std::string& input, const std::string& name,
                          const RecordingOptions& options = {});

struct RawFrame {
    uint8_t kind = record_format::kKindVideoKey;
    uint64_t timeMs = 0;
    std::vector<uint8_t> payload;
    std::optional<uint32_t> declaredSize;  // a payload size field that lies; default: the real size
};

// A header for a video-only H.264 recording of 160x120.
record_format::FileHeader VideoOnlyHeader();
// The bytes of a recording with that header and those frames, in order.
std::vector<uint8_t> EncodeRecording(const record_format::FileHeader& header, const std::vector<RawFrame>& frames);

// The frames of a recording's bytes, up to the first one cut short; the header into *header.
// EncodeRecording(header, frames) gives the same bytes back, so a test can edit a real recording
// (drop frames, change kinds or the header's picture size) and write it again.
std::vector<RawFrame> DecodeRecording(const std::vector<uint8_t>& bytes, record_format::FileHeader* header);

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadBytes(const std::string& path);

// Runs a program without a shell; its output goes to logPath when given. Returns its exit status,
// or -1 when it could not be started or was killed.
int RunProgram(const std::vector<std::string>& argv, const std::string& logPath = "");

}  // namespace fixtures
