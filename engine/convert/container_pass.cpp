#include "engine/convert/container_pass.h"

#include <algorithm>
#include <filesystem>
#include <limits>

#include "engine/recorded_clock_source.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/mathematics.h>
}

using namespace av_handles;

namespace {

constexpr AVRational kMilliseconds{1, 1000};
constexpr double kCopyProgressStep = 0.01;

bool Mp4Holds(AVCodecID codec) {
    const AVOutputFormat* mp4 = av_guess_format("mp4", nullptr, nullptr);
    return mp4 && avformat_query_codec(mp4, codec, FF_COMPLIANCE_NORMAL) == 1;
}

}  // namespace

ContainerPass::ContainerPass(const std::atomic<bool>* cancel, const CRecordConverter::ProgressFn& progress)
    : m_cancel(cancel), m_progress(progress) {}

ContainerPass::~ContainerPass() {
    if (m_pOutput) {
        if (m_pOutput->pb) avio_closep(&m_pOutput->pb);
        avformat_free_context(m_pOutput);
    }
    if (m_pInput) avformat_close_input(&m_pInput);
}

ConvertStatus ContainerPass::Open(const std::string& path, std::string* detail) {
    m_strPath = path;
    int error = avformat_open_input(&m_pInput, path.c_str(), nullptr, nullptr);
    if (error < 0) {
        *detail = ErrorText(error);
        return ConvertStatus::kNotRecording;
    }
    error = avformat_find_stream_info(m_pInput, nullptr);
    if (error < 0) {
        *detail = ErrorText(error);
        return ConvertStatus::kCannotRead;
    }
    m_nVideo = av_find_best_stream(m_pInput, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (m_nVideo < 0 || !Mp4Holds(m_pInput->streams[m_nVideo]->codecpar->codec_id)) return ConvertStatus::kNoPictures;
    m_nAudio = av_find_best_stream(m_pInput, AVMEDIA_TYPE_AUDIO, -1, m_nVideo, nullptr, 0);
    // Sound the MP4 cannot hold is left out rather than encoded: the clip is about its pictures.
    if (m_nAudio >= 0 && !Mp4Holds(m_pInput->streams[m_nAudio]->codecpar->codec_id)) m_nAudio = -1;
    const int64_t startUs = m_pInput->start_time;
    m_nStartMs = startUs != AV_NOPTS_VALUE ? av_rescale(startUs, 1000, AV_TIME_BASE) : 0;
    m_nDurationMs = m_pInput->duration > 0 ? av_rescale(m_pInput->duration, 1000, AV_TIME_BASE) : 0;
    return ConvertStatus::kOk;
}

ConvertStatus ContainerPass::Run(const std::string& mp4Path, const std::optional<ConvertStretch>& stretch,
                                 std::string* detail) {
    m_stretch = stretch;
    if (m_stretch && !SeekToStretch()) return ConvertStatus::kCannotRead;
    if (!ReadAheadToFirstPicture()) return Cancelled() ? ConvertStatus::kCancelled : ConvertStatus::kNoPictures;
    if (!OpenOutput(mp4Path, detail)) return ConvertStatus::kCannotWrite;
    SetUpMetadata();
    const int error = avformat_write_header(m_pOutput, nullptr);
    if (error < 0) {
        *detail = ErrorText(error);
        return ConvertStatus::kFailed;
    }
    for (;;) {
        if (Cancelled()) return ConvertStatus::kCancelled;
        PacketPtr packet = NextPacket();
        if (!packet) break;
        bool keep = true;
        if (!Place(packet.get(), &keep)) break;
        if (!keep) continue;
        Report(packet.get());
        if (!Write(packet.get(), detail)) return ConvertStatus::kFailed;
    }
    if (Cancelled()) return ConvertStatus::kCancelled;
    int finished = av_interleaved_write_frame(m_pOutput, nullptr);
    if (finished >= 0) finished = av_write_trailer(m_pOutput);
    if (finished >= 0) finished = avio_closep(&m_pOutput->pb);
    if (finished < 0) {
        *detail = ErrorText(finished);
        return ConvertStatus::kCannotWrite;
    }
    if (m_progress) m_progress(1.0);
    return ConvertStatus::kOk;
}

// Backward: the key picture at or before the start, so the first picture decodes.
bool ContainerPass::SeekToStretch() {
    const AVStream* video = m_pInput->streams[m_nVideo];
    const int64_t target = av_rescale_q(m_nStartMs + m_stretch->fromMs, kMilliseconds, video->time_base);
    return av_seek_frame(m_pInput, m_nVideo, target, AVSEEK_FLAG_BACKWARD) >= 0 ||
           av_seek_frame(m_pInput, -1, (m_nStartMs + m_stretch->fromMs) * 1000, AVSEEK_FLAG_BACKWARD) >= 0;
}

// Pictures before the first key picture cannot be decoded; the sound read on the way is kept and
// sorted out by Place.
bool ContainerPass::ReadAheadToFirstPicture() {
    while (!Cancelled()) {
        PacketPtr packet = NewPacket();
        if (!packet || av_read_frame(m_pInput, packet.get()) < 0) return false;
        if (packet->stream_index == m_nAudio) {
            m_ahead.push_back(std::move(packet));
            continue;
        }
        const bool keyPicture = packet->stream_index == m_nVideo && (packet->flags & AV_PKT_FLAG_KEY);
        if (!keyPicture || packet->pts == AV_NOPTS_VALUE) continue;
        m_nFirstPictureMs = PositionMs(packet.get());
        m_ahead.push_back(std::move(packet));
        return true;
    }
    return false;
}

PacketPtr ContainerPass::NextPacket() {
    if (!m_ahead.empty()) {
        PacketPtr packet = std::move(m_ahead.front());
        m_ahead.pop_front();
        return packet;
    }
    PacketPtr packet = NewPacket();
    if (!packet || av_read_frame(m_pInput, packet.get()) < 0) return nullptr;
    return packet;
}

bool ContainerPass::OpenOutput(const std::string& mp4Path, std::string* detail) {
    int error = avformat_alloc_output_context2(&m_pOutput, nullptr, "mp4", mp4Path.c_str());
    if (error >= 0 && (m_outputOf[0] = AddOutputStream(m_nVideo)) < 0) error = AVERROR(ENOMEM);
    if (error >= 0 && m_nAudio >= 0 && (m_outputOf[1] = AddOutputStream(m_nAudio)) < 0) error = AVERROR(ENOMEM);
    if (error >= 0) error = avio_open(&m_pOutput->pb, mp4Path.c_str(), AVIO_FLAG_WRITE);
    if (error < 0) *detail = ErrorText(error);
    return error >= 0;
}

int ContainerPass::AddOutputStream(int inputIndex) {
    const AVStream* input = m_pInput->streams[inputIndex];
    AVStream* output = avformat_new_stream(m_pOutput, nullptr);
    if (!output || avcodec_parameters_copy(output->codecpar, input->codecpar) < 0) return -1;
    // The container's own tag may mean nothing in an MP4: the muxer picks one for the codec.
    output->codecpar->codec_tag = 0;
    output->time_base = input->time_base;
    return output->index;
}

void ContainerPass::SetUpMetadata() {
    const std::string name = std::filesystem::path(m_strPath).filename().string();
    av_dict_set(&m_pOutput->metadata, "title", name.c_str(), 0);
    if (m_stretch) {
        const std::string comment = name + " from " + std::to_string(m_nFirstPictureMs) + " ms to " +
                                    std::to_string(m_stretch->toMs) + " ms";
        av_dict_set(&m_pOutput->metadata, "comment", comment.c_str(), 0);
    }
    const std::string created = Mp4CreationTime(ContainerClock(m_pInput, m_nVideo), m_nFirstPictureMs);
    if (!created.empty()) av_dict_set(&m_pOutput->metadata, "creation_time", created.c_str(), 0);
}

// The first picture copied becomes the MP4's time 0 when a stretch is cut, position 0 otherwise.
bool ContainerPass::Place(AVPacket* packet, bool* keep) const {
    const bool video = packet->stream_index == m_nVideo;
    if (!video && packet->stream_index != m_nAudio) {
        *keep = false;
        return true;
    }
    if (video && m_stretch && packet->pts != AV_NOPTS_VALUE && PositionMs(packet) > m_stretch->toMs) return false;
    const AVRational base = m_pInput->streams[packet->stream_index]->time_base;
    const int64_t originMs = m_nStartMs + (m_stretch ? m_nFirstPictureMs : 0);
    const int64_t origin = av_rescale_q(originMs, kMilliseconds, base);
    *keep = video || (packet->pts != AV_NOPTS_VALUE && packet->pts >= origin);
    if (packet->pts != AV_NOPTS_VALUE) packet->pts -= origin;
    if (packet->dts != AV_NOPTS_VALUE) packet->dts -= origin;
    return true;
}

bool ContainerPass::Write(AVPacket* packet, std::string* detail) {
    const bool video = packet->stream_index == m_nVideo;
    const int output = m_outputOf[video ? 0 : 1];
    av_packet_rescale_ts(packet, m_pInput->streams[packet->stream_index]->time_base,
                         m_pOutput->streams[output]->time_base);
    packet->stream_index = output;
    packet->pos = -1;
    const int error = av_interleaved_write_frame(m_pOutput, packet);
    if (error < 0) {
        *detail = ErrorText(error);
        return false;
    }
    if (video) ++m_nPictures;
    return true;
}

// After Place, times count from the MP4's 0.
void ContainerPass::Report(const AVPacket* packet) {
    if (!m_progress || packet->stream_index != m_nVideo || packet->pts == AV_NOPTS_VALUE) return;
    const int64_t atMs = av_rescale_q(packet->pts, m_pInput->streams[m_nVideo]->time_base, kMilliseconds);
    const int64_t lengthMs = m_stretch ? m_stretch->toMs - m_nFirstPictureMs : m_nDurationMs;
    if (lengthMs <= 0) return;
    const double fraction = std::clamp(double(atMs) / double(lengthMs), 0.0, 1.0);
    if (fraction - m_reported < kCopyProgressStep) return;
    m_reported = fraction;
    m_progress(fraction);
}

int64_t ContainerPass::PositionMs(const AVPacket* packet) const {
    const AVStream* stream = m_pInput->streams[packet->stream_index];
    return av_rescale_q(packet->pts, stream->time_base, kMilliseconds) - m_nStartMs;
}
