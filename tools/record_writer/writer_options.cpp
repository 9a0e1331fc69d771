#include "tools/record_writer/writer_options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

bool ParseUnsigned(const char* text, uint64_t max, uint64_t* value) {
    if (!text || !*text || *text == '-') return false;
    errno = 0;
    char* end = nullptr;
    unsigned long long parsed = std::strtoull(text, &end, 10);
    if (errno != 0 || *end != '\0' || parsed > max) return false;
    *value = parsed;
    return true;
}

bool ParseVideo(const std::string& name, VideoTarget* video) {
    if (name == "h264") *video = VideoTarget::H264;
    else if (name == "hevc") *video = VideoTarget::Hevc;
    else return false;
    return true;
}

bool ParseAudio(const std::string& name, AudioTarget* audio) {
    if (name == "mulaw") *audio = AudioTarget::Mulaw;
    else if (name == "alaw") *audio = AudioTarget::Alaw;
    else if (name == "aac") *audio = AudioTarget::Aac;
    else if (name == "none") *audio = AudioTarget::None;
    else return false;
    return true;
}

}  // namespace

const char* WriterUsage() {
    return "usage: telvane-record-writer [options] INPUT OUTPUT\n"
           "Writes the video (and audio) of INPUT, any file FFmpeg reads, as a recording file.\n"
           "  --video h264|hevc            video codec of the recording (default h264)\n"
           "  --audio mulaw|alaw|aac|none  audio codec (default mulaw; none when INPUT has no audio)\n"
           "  --start-ms MS                wall-clock milliseconds since 1970 of the first frame\n"
           "                               (default: now)\n"
           "  --gop FRAMES                 key frame interval when re-encoding (default 25)\n"
           "  --aac-rate HZ                sample rate of AAC audio (default 16000)\n"
           "  --aac-channels 1|2           channels of AAC audio (default 2; cameras often write 1)\n"
           "  --g711-frame-ms MS           ms of G.711 sound per frame, 5 to 100 (default 20)\n"
           "  --reencode                   re-encode video even when INPUT already has the codec\n"
           "  --realtime                   write in real time: each frame once its time after the\n"
           "                               first has passed, straight into OUTPUT and flushed, so\n"
           "                               OUTPUT grows as a recorder's file does while it records\n";
}

bool ParseWriterOptions(int argc, char** argv, WriterOptions* options, std::string* error) {
    std::string positional[2];
    int positionals = 0;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        // The value of an option that takes one; null when the command line ends early.
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        uint64_t number = 0;
        bool ok = true;
        if (arg == "--video") {
            const char* name = value();
            ok = name && ParseVideo(name, &options->video);
        } else if (arg == "--audio") {
            const char* name = value();
            ok = name && ParseAudio(name, &options->audio);
        } else if (arg == "--start-ms") {
            ok = ParseUnsigned(value(), UINT64_MAX / 2, &number);
            options->startMs = number;
            options->startGiven = true;
        } else if (arg == "--gop") {
            ok = ParseUnsigned(value(), 10000, &number) && number > 0;
            options->gopFrames = int(number);
        } else if (arg == "--aac-rate") {
            ok = ParseUnsigned(value(), 96000, &number) && number >= 7350;
            options->aacSampleRate = int(number);
        } else if (arg == "--aac-channels") {
            ok = ParseUnsigned(value(), 2, &number) && number >= 1;
            options->aacChannels = int(number);
        } else if (arg == "--g711-frame-ms") {
            ok = ParseUnsigned(value(), 100, &number) && number >= 5;
            options->g711FrameMs = int(number);
        } else if (arg == "--reencode") {
            options->reencode = true;
        } else if (arg == "--realtime") {
            options->realTime = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            ok = false;
        } else if (positionals < 2) {
            positional[positionals++] = arg;
        } else {
            ok = false;
        }
        if (!ok) {
            *error = "bad or incomplete argument: " + arg;
            return false;
        }
    }
    if (positionals != 2) {
        *error = "expected INPUT and OUTPUT";
        return false;
    }
    options->input = positional[0];
    options->output = positional[1];
    return true;
}
