#include "engine/convert/mp4_muxer.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/mem.h>
}

using namespace av_handles;

namespace {

// Finer than a millisecond, so players that round to the track's units keep every picture's time.
constexpr AVRational kVideoTimeBase{1, 90000};

bool SetExtradata(AVCodecParameters* parameters, const std::vector<uint8_t>& bytes) {
    if (bytes.empty()) return true;
    parameters->extradata = static_cast<uint8_t*>(av_mallocz(bytes.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!parameters->extradata) return false;
    std::memcpy(parameters->extradata, bytes.data(), bytes.size());
    parameters->extradata_size = int(bytes.size());
    return true;
}

}  // namespace

Mp4Muxer::~Mp4Muxer() { CloseFile(); }

void Mp4Muxer::CloseFile() {
    m_tracks.clear();
    if (!m_context) return;
    if (m_context->pb) avio_closep(&m_context->pb);
    avformat_free_context(m_context);
    m_context = nullptr;
}

bool Mp4Muxer::Open(const std::string& path, std::string* detail) {
    int error = avformat_alloc_output_context2(&m_context, nullptr, "mp4", path.c_str());
    if (error >= 0) error = avio_open(&m_context->pb, path.c_str(), AVIO_FLAG_WRITE);
    if (error < 0) *detail = ErrorText(error);
    return error >= 0;
}

AVStream* Mp4Muxer::NewStream(AVMediaType type, int codecId, AVRational input, AVRational timeBase) {
    AVStream* stream = avformat_new_stream(m_context, nullptr);
    if (!stream) return nullptr;
    stream->codecpar->codec_type = type;
    stream->codecpar->codec_id = AVCodecID(codecId);
    stream->time_base = timeBase;
    Track track;
    track.stream = stream;
    track.input = input;
    m_tracks.push_back(std::move(track));
    return stream;
}

int Mp4Muxer::AddVideo(int codecId, int width, int height, const std::vector<uint8_t>& extradata) {
    AVStream* stream = NewStream(AVMEDIA_TYPE_VIDEO, codecId, AVRational{1, 1000}, kVideoTimeBase);
    if (!stream || !SetExtradata(stream->codecpar, extradata)) return -1;
    stream->codecpar->width = width;
    stream->codecpar->height = height;
    return stream->index;
}

int Mp4Muxer::AddAudioCopy(int sampleRate, int channels, int frameSamples, const std::vector<uint8_t>& config) {
    AVStream* stream = NewStream(AVMEDIA_TYPE_AUDIO, AV_CODEC_ID_AAC, AVRational{1, sampleRate}, AVRational{1, sampleRate});
    if (!stream || !SetExtradata(stream->codecpar, config)) return -1;
    stream->codecpar->sample_rate = sampleRate;
    stream->codecpar->frame_size = frameSamples;
    av_channel_layout_default(&stream->codecpar->ch_layout, channels);
    return stream->index;
}

int Mp4Muxer::AddAudioEncoded(const AVCodecContext* encoder) {
    AVStream* stream = NewStream(AVMEDIA_TYPE_AUDIO, AV_CODEC_ID_AAC, encoder->time_base, encoder->time_base);
    if (!stream || avcodec_parameters_from_context(stream->codecpar, encoder) < 0) return -1;
    return stream->index;
}

void Mp4Muxer::SetMetadata(const char* key, const std::string& value) {
    if (m_context && !m_bStarted) av_dict_set(&m_context->metadata, key, value.c_str(), 0);
}

bool Mp4Muxer::Start(std::string* detail) {
    int error = avformat_write_header(m_context, nullptr);
    if (error < 0) {
        *detail = ErrorText(error);
        return false;
    }
    m_bStarted = true;
    return true;
}

bool Mp4Muxer::Write(int stream, const AVPacket* packet, std::string* detail) {
    if (!m_bStarted || stream < 0 || size_t(stream) >= m_tracks.size()) return false;
    Track& track = m_tracks[size_t(stream)];
    PacketPtr next = NewPacket();
    if (!next || av_packet_ref(next.get(), packet) < 0) {
        *detail = "out of memory";
        return false;
    }
    if (next->dts == AV_NOPTS_VALUE) next->dts = next->pts;
    next->pts += track.shift;
    next->dts += track.shift;
    if (track.held) {
        if (next->dts <= track.held->dts) {
            // Times that go back (the recorder's clock was set back) carry on from where they
            // were, one packet later, and so does everything after them.
            const int64_t step = std::max<int64_t>(track.lastDuration, 1);
            const int64_t shift = track.held->dts + step - next->dts;
            track.shift += shift;
            next->dts += shift;
            next->pts += shift;
        }
        if (track.held->duration <= 0) track.held->duration = next->dts - track.held->dts;
        if (!Send(track, detail)) return false;
    }
    track.held = std::move(next);
    return true;
}

bool Mp4Muxer::Send(Track& track, std::string* detail) {
    track.lastDuration = track.held->duration;
    av_packet_rescale_ts(track.held.get(), track.input, track.stream->time_base);
    track.held->stream_index = track.stream->index;
    int error = av_interleaved_write_frame(m_context, track.held.get());
    track.held.reset();
    if (error < 0) *detail = ErrorText(error);
    return error >= 0;
}

bool Mp4Muxer::Finish(std::string* detail) {
    if (!m_bStarted) return false;
    for (Track& track : m_tracks) {
        if (!track.held) continue;
        // The last packet lasts as long as the one before it.
        if (track.held->duration <= 0) track.held->duration = track.lastDuration;
        if (!Send(track, detail)) return false;
    }
    int error = av_interleaved_write_frame(m_context, nullptr);
    if (error >= 0) error = av_write_trailer(m_context);
    if (error >= 0) error = avio_closep(&m_context->pb);
    if (error < 0) *detail = ErrorText(error);
    return error >= 0;
}
