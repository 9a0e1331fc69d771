#pragma once
// Command line of the recording writer.

#include <cstdint>
#include <string>

enum class VideoTarget { H264, Hevc };
enum class AudioTarget { Mulaw, Alaw, Aac, None };

struct WriterOptions {
    std::string input;
    std::string output;
    VideoTarget video = VideoTarget::H264;
    AudioTarget audio = AudioTarget::Mulaw;
    uint64_t startMs = 0;  // wall-clock ms (since 1970) stamped on the first frame
    bool startGiven = false;
    int gopFrames = 25;         // key frame interval when re-encoding, in frames
    int aacSampleRate = 16000;  // samples per second of AAC audio; G.711 is always 8000
    int aacChannels = 2;        // AAC only; the header's codec implies 2 whatever is written
    int g711FrameMs = 20;       // G.711 only: ms of sound per frame
    bool reencode = false;      // re-encode video even when the input has the wanted codec
    bool realTime = false;      // write each frame when due, into OUTPUT itself, as a recorder does
};

// Fills options from argv; on a usage error returns false with a message in error.
bool ParseWriterOptions(int argc, char** argv, WriterOptions* options, std::string* error);
const char* WriterUsage();
