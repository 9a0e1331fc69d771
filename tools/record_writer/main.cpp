// telvane-record-writer: writes a recording file from any input FFmpeg reads. Video becomes H.264
// or HEVC Annex B (key frames kind 1, others kind 2), audio G.711 or AAC with ADTS (kind 0), and
// every frame is stamped with wall-clock milliseconds counted from the chosen start time. In real
// time the file grows under its own name, frame by frame, at the pace the stamps give.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "engine/record/record_format.h"
#include "tools/record_writer/audio_track.h"
#include "tools/record_writer/record_sink.h"
#include "tools/record_writer/video_track.h"
#include "tools/record_writer/writer_options.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace {

struct InputCloser {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
using InputPtr = std::unique_ptr<AVFormatContext, InputCloser>;

uint64_t NowMs() {
    using namespace std::chrono;
    return uint64_t(duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

// Holds each frame back until its time after the first frame has passed on a steady clock, so that
// the recording grows as fast as a recorder would write it. A frame stamped before the first one
// (sound ahead of the pictures) is due at once.
class RealTimePacer {
public:
    void WaitUntilDue(uint64_t stampMs) {
        if (!m_started) {
            m_started = true;
            m_firstStampMs = stampMs;
            m_start = std::chrono::steady_clock::now();
            return;
        }
        if (stampMs <= m_firstStampMs) return;
        std::this_thread::sleep_until(m_start + std::chrono::milliseconds(stampMs - m_firstStampMs));
    }

private:
    bool m_started = false;
    uint64_t m_firstStampMs = 0;
    std::chrono::steady_clock::time_point m_start;
};

int Fail(const std::string& message) {
    std::fprintf(stderr, "telvane-record-writer: %s\n", message.c_str());
    return 1;
}

InputPtr OpenInput(const std::string& path, std::string* error) {
    AVFormatContext* context = nullptr;
    if (avformat_open_input(&context, path.c_str(), nullptr, nullptr) < 0) {
        *error = "cannot open " + path;
        return nullptr;
    }
    InputPtr input(context);
    if (avformat_find_stream_info(context, nullptr) < 0) {
        *error = "cannot read the streams of " + path;
        return nullptr;
    }
    return input;
}

record_format::FileHeader MakeHeader(const WriterOptions& options, const VideoTrack& video, const AudioTrack* audio) {
    record_format::FileHeader header;
    header.videoCodec = options.video == VideoTarget::Hevc ? record_format::kVideoHevc : record_format::kVideoH264;
    header.width = uint32_t(video.Width());
    header.height = uint32_t(video.Height());
    if (audio) {
        header.streamFlags = record_format::kAudioPresentFlag;
        header.audioCodec = audio->HeaderCodec();
        header.sampleRate = uint32_t(audio->SampleRate());
    }
    return header;
}

int Run(const WriterOptions& options) {
    std::string error;
    InputPtr input = OpenInput(options.input, &error);
    if (!input) return Fail(error);
    int videoIndex = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (videoIndex < 0) return Fail("no video stream in " + options.input);
    int audioIndex = options.audio == AudioTarget::None
                         ? -1
                         : av_find_best_stream(input.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);

    VideoTrack video;
    if (!video.Open(input->streams[videoIndex], options.video, options.gopFrames, options.reencode, &error))
        return Fail(error);
    std::unique_ptr<AudioTrack> audio;
    if (audioIndex >= 0) {
        audio = std::make_unique<AudioTrack>();
        if (!audio->Open(input->streams[audioIndex], options, &error)) return Fail(error);
    }

    RecordSink sink;
    const SinkMode mode = options.realTime ? SinkMode::Growing : SinkMode::WholeFile;
    if (!sink.Open(options.output, MakeHeader(options, video, audio.get()), mode))
        return Fail("cannot write " + options.output);

    // Times count from the input's start; no picture is stamped before the chosen start time.
    // Sound may be: an AAC encoder's priming frame plays before the first sample it was given, and
    // stamping it at the start would put every later sound one frame late.
    const int64_t inputStartMs =
        input->start_time == AV_NOPTS_VALUE ? 0 : av_rescale_q(input->start_time, AV_TIME_BASE_Q, AVRational{1, 1000});
    const uint64_t startMs = options.startGiven ? options.startMs : NowMs();
    RealTimePacer pacer;
    FrameSink store = [&](const EncodedFrame& frame) {
        int64_t sinceStartMs = frame.inputMs - inputStartMs;
        if (frame.kind != record_format::kKindAudio && sinceStartMs < 0) sinceStartMs = 0;
        const int64_t stampMs = std::max<int64_t>(0, int64_t(startMs) + sinceStartMs);
        if (options.realTime) pacer.WaitUntilDue(uint64_t(stampMs));
        return sink.WriteFrame(frame.kind, uint64_t(stampMs), frame.data, uint32_t(frame.size));
    };

    AVPacket* packet = av_packet_alloc();
    bool ok = packet != nullptr;
    while (ok && av_read_frame(input.get(), packet) >= 0) {
        if (packet->stream_index == videoIndex) ok = video.Push(packet, store);
        else if (audio && packet->stream_index == audioIndex) ok = audio->Push(packet, store);
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    ok = ok && video.Finish(store) && (!audio || audio->Finish(store));
    if (!ok || !sink.Finish()) return Fail("cannot write " + options.output);
    std::fprintf(stderr, "%s: %llu frames, video %s%s, audio %s\n", options.output.c_str(),
                 static_cast<unsigned long long>(sink.FramesWritten()),
                 options.video == VideoTarget::Hevc ? "HEVC" : "H.264", video.IsCopying() ? " (copied)" : "",
                 audio ? (options.audio == AudioTarget::Aac ? "AAC" : options.audio == AudioTarget::Alaw ? "A-law" : "mu-law")
                       : "none");
    return 0;
}

}  // namespace

#if defined(__SANITIZE_ADDRESS__)
// libx265 keeps one block of its own until the process ends; that is the library's, not ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libx265.so\n"; }
#endif

int main(int argc, char** argv) {
    WriterOptions options;
    std::string error;
    if (!ParseWriterOptions(argc, argv, &options, &error)) {
        std::fprintf(stderr, "telvane-record-writer: %s\n%s", error.c_str(), WriterUsage());
        return 2;
    }
    av_log_set_level(AV_LOG_ERROR);
    return Run(options);
}
