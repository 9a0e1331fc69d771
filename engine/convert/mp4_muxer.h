#pragma once
// Writes the streams of one MP4 file. Each stream takes its packets in a time base of its own
// (ms for pictures, samples for sound); a packet is held until the next one of its stream
// arrives, so every packet, the last included, gets its real duration; when the times go back (a
// recorder's clock set back), the stream carries on from where it was, as the MP4 needs rising times.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/convert/av_handles.h"

extern "C" {
#include <libavformat/avformat.h>
}

class Mp4Muxer {
public:
    Mp4Muxer() = default;
    // Closes the file without finishing it; removing it is the caller's business.
    ~Mp4Muxer();
    Mp4Muxer(const Mp4Muxer&) = delete;
    Mp4Muxer& operator=(const Mp4Muxer&) = delete;

    bool Open(const std::string& path, std::string* detail);

    // Each returns the stream's index, or -1.
    int AddVideo(int codecId, int width, int height, const std::vector<uint8_t>& extradata);
    int AddAudioCopy(int sampleRate, int channels, int frameSamples, const std::vector<uint8_t>& config);
    int AddAudioEncoded(const AVCodecContext* encoder);

    // A tag of the file ("title", "comment", "creation_time"); before Start.
    void SetMetadata(const char* key, const std::string& value);
    bool Start(std::string* detail);
    // Takes a new reference to the packet; pts and dts in the stream's input time base.
    bool Write(int stream, const AVPacket* packet, std::string* detail);
    // Writes the held packets and the index; the file is complete when this succeeds.
    bool Finish(std::string* detail);

private:
    struct Track {
        AVStream* stream = nullptr;
        AVRational input{1, 1000};
        av_handles::PacketPtr held;
        int64_t lastDuration = 0;  // input time base
        int64_t shift = 0;         // added to every time, for the times that went back
    };

    AVStream* NewStream(AVMediaType type, int codecId, AVRational input, AVRational timeBase);
    bool Send(Track& track, std::string* detail);
    void CloseFile();

    AVFormatContext* m_context = nullptr;
    std::vector<Track> m_tracks;
    bool m_bStarted = false;
};
