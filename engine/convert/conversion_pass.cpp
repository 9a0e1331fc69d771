#include "engine/convert/conversion_pass.h"

#include <algorithm>
#include <filesystem>

#include "engine/recorded_clock_source.h"

extern "C" {
#include <libavutil/mathematics.h>
}

using namespace av_handles;

namespace {

// Progress is told in steps of this share of the file.
constexpr double kProgressStep = 0.01;
// How far (ms) the recorder's stamps of AAC frames may stray before a gap is taken as a dropout.
constexpr int kAacDropoutToleranceMs = 200;

BsfPtr OpenAdtsFilter() {
    const AVBitStreamFilter* filter = av_bsf_get_by_name("aac_adtstoasc");
    AVBSFContext* raw = nullptr;
    if (!filter || av_bsf_alloc(filter, &raw) < 0) return nullptr;
    BsfPtr bsf(raw);
    bsf->par_in->codec_type = AVMEDIA_TYPE_AUDIO;
    bsf->par_in->codec_id = AV_CODEC_ID_AAC;
    return av_bsf_init(bsf.get()) < 0 ? nullptr : std::move(bsf);
}

}  // namespace

ConversionPass::ConversionPass(const RecordStreams& streams, const std::atomic<bool>* cancel,
                               const CRecordConverter::ProgressFn& progress)
    : m_streams(streams),
      m_cancel(cancel),
      m_progress(progress),
      m_aacTimeline(int64_t(streams.sampleRate) * kAacDropoutToleranceMs / 1000) {}

ConvertStatus ConversionPass::Run(const std::string& recording, const std::string& mp4Path,
                                  const std::optional<ConvertStretch>& stretch, std::string* detail) {
    ConvertStatus opened = m_source.Open(recording);
    if (opened != ConvertStatus::kOk) return opened;
    m_stretch = stretch;
    if (m_stretch && !m_source.SeekToKeyFrameAtOrBefore(m_stretch->fromMs)) return ConvertStatus::kNoPictures;
    if (!ReadAheadToFirstPicture()) return Cancelled() ? ConvertStatus::kCancelled : ConvertStatus::kNoPictures;
    if (m_stretch) m_nOriginMs = m_nFirstPictureMs;
    if (!m_muxer.Open(mp4Path, detail)) return ConvertStatus::kCannotWrite;
    SetUpMetadata(recording);
    // With the picture stream set up, what failed was the sound.
    if (!SetUpStreams(detail)) return m_nVideoStream >= 0 ? ConvertStatus::kBadSound : ConvertStatus::kFailed;
    if (!m_muxer.Start(detail)) return ConvertStatus::kFailed;
    Report(0.0);
    for (;;) {
        if (Cancelled()) return ConvertStatus::kCancelled;
        PacketPtr packet = NextPacket();
        if (!packet) break;  // the end, or the start of a damaged tail
        bool keep = true;
        if (!WithinStretch(packet.get(), &keep)) break;
        if (!keep) continue;
        if (!Take(packet.get(), detail)) return ConvertStatus::kFailed;
        Report(Fraction(packet.get()));
    }
    if (Cancelled()) return ConvertStatus::kCancelled;
    if (!Finish(detail)) return ConvertStatus::kCannotWrite;
    Report(1.0);
    return ConvertStatus::kOk;
}

bool ConversionPass::ReadAheadToFirstPicture() {
    while (!Cancelled()) {
        PacketPtr packet = m_source.Next();
        if (!packet) return false;
        const bool keyPicture = packet->stream_index == 0 && (packet->flags & AV_PKT_FLAG_KEY);
        if (keyPicture) m_nFirstPictureMs = packet->pts;
        m_ahead.push_back(std::move(packet));
        if (keyPicture) return true;
    }
    return false;
}

PacketPtr ConversionPass::NextPacket() {
    if (m_ahead.empty()) return m_source.Next();
    PacketPtr packet = std::move(m_ahead.front());
    m_ahead.pop_front();
    return packet;
}

// The recording's positions count from its first frame, which the clock's start stands for.
void ConversionPass::SetUpMetadata(const std::string& recording) {
    const std::string name = std::filesystem::path(recording).filename().string();
    m_muxer.SetMetadata("title", name);
    if (m_stretch) {
        m_muxer.SetMetadata("comment", name + " from " + std::to_string(m_nFirstPictureMs) + " ms to " +
                                           std::to_string(m_stretch->toMs) + " ms");
    }
    const std::string created = Mp4CreationTime(RecordingClock(m_source.File()), m_nFirstPictureMs);
    if (!created.empty()) m_muxer.SetMetadata("creation_time", created);
}

bool ConversionPass::WithinStretch(AVPacket* packet, bool* keep) const {
    if (!m_stretch) return true;
    if (packet->stream_index == 0 && packet->pts > m_stretch->toMs) return false;
    *keep = packet->pts >= m_nOriginMs;
    packet->pts -= m_nOriginMs;
    if (packet->dts != AV_NOPTS_VALUE) packet->dts -= m_nOriginMs;
    return true;
}

double ConversionPass::Fraction(const AVPacket* packet) const {
    if (!m_stretch) return m_source.Fraction();
    const int64_t length = m_stretch->toMs - m_nOriginMs;
    return length > 0 ? std::clamp(double(packet->pts) / double(length), 0.0, 1.0) : 0.0;
}

bool ConversionPass::SetUpStreams(std::string* detail) {
    m_nVideoStream = m_muxer.AddVideo(m_streams.videoCodec, m_streams.width, m_streams.height, m_streams.videoExtradata);
    if (m_nVideoStream < 0) {
        *detail = "the picture stream cannot be set up";
        return false;
    }
    return SetUpSound(detail);
}

bool ConversionPass::SetUpSound(std::string* detail) {
    switch (m_streams.audioCodec) {
        case 0: return true;
        case AV_CODEC_ID_AAC:
            m_adtsFilter = OpenAdtsFilter();
            m_nAudioStream = m_muxer.AddAudioCopy(m_streams.sampleRate, m_streams.channels, m_streams.aacFrameSamples,
                                                  m_streams.aacExtradata);
            break;
        default:
            m_encoder = std::make_unique<G711AacEncoder>();
            if (!m_encoder->Open(m_streams.audioCodec, m_streams.sampleRate, detail)) return false;
            m_nAudioStream = m_muxer.AddAudioEncoded(m_encoder->Encoder());
            break;
    }
    if (m_nAudioStream < 0 || (m_streams.audioCodec == AV_CODEC_ID_AAC && !m_adtsFilter)) {
        *detail = "the sound stream cannot be set up";
        return false;
    }
    return true;
}

bool ConversionPass::Take(const AVPacket* packet, std::string* detail) {
    if (packet->stream_index == 0) return TakePicture(packet, detail);
    if (m_adtsFilter) return TakeAac(packet, detail);
    if (m_encoder) return TakeG711(packet, detail);
    return true;
}

// Pictures before the first key picture cannot be decoded and are left out.
bool ConversionPass::TakePicture(const AVPacket* packet, std::string* detail) {
    if (!m_bKeySeen && !(packet->flags & AV_PKT_FLAG_KEY)) return true;
    m_bKeySeen = true;
    if (!m_muxer.Write(m_nVideoStream, packet, detail)) return false;
    ++m_nPictures;
    return true;
}

bool ConversionPass::TakeAac(const AVPacket* packet, std::string* detail) {
    PacketPtr in = NewPacket(), out = NewPacket();
    if (!in || !out || av_packet_ref(in.get(), packet) < 0) return false;
    const int64_t clockSamples = av_rescale(packet->pts, m_streams.sampleRate, 1000);
    if (av_bsf_send_packet(m_adtsFilter.get(), in.get()) < 0) return true;
    // A frame whose ADTS header is damaged comes out as an error and is left out.
    while (av_bsf_receive_packet(m_adtsFilter.get(), out.get()) >= 0) {
        out->pts = out->dts = m_aacTimeline.Place(clockSamples, m_streams.aacFrameSamples);
        out->duration = m_streams.aacFrameSamples;
        av_packet_free_side_data(out.get());  // the configuration is in the stream already
        bool written = m_muxer.Write(m_nAudioStream, out.get(), detail);
        av_packet_unref(out.get());
        if (!written) return false;
    }
    return true;
}

bool ConversionPass::TakeG711(const AVPacket* packet, std::string* detail) {
    bool written = m_encoder->Push(packet, [&](AVPacket* aac) { return m_muxer.Write(m_nAudioStream, aac, detail); });
    if (!written && detail->empty()) *detail = "the sound cannot be encoded";
    return written;
}

bool ConversionPass::Finish(std::string* detail) {
    if (m_encoder && !m_encoder->Finish([&](AVPacket* aac) { return m_muxer.Write(m_nAudioStream, aac, detail); })) {
        if (detail->empty()) *detail = "the sound cannot be encoded";
        return false;
    }
    return m_muxer.Finish(detail);
}

void ConversionPass::Report(double fraction) {
    if (!m_progress || (fraction < 1.0 && fraction - m_reported < kProgressStep)) return;
    m_reported = fraction;
    m_progress(fraction);
}
