#include "engine/convert/record_probe.h"

#include <cstring>

#include "engine/convert/av_handles.h"
#include "engine/convert/record_packet_source.h"

extern "C" {
#include <libavutil/mem.h>
}

using namespace av_handles;

namespace {

// Recorders write a key picture every 1 to 10 s; this many frames cover well over that.
constexpr int kProbeFrameLimit = 6000;
// Damaged AAC frames tried before the sound is given up as unreadable.
constexpr int kAacAttemptLimit = 25;

BsfPtr OpenFilter(const char* name, AVMediaType type, int codecId) {
    const AVBitStreamFilter* filter = av_bsf_get_by_name(name);
    AVBSFContext* raw = nullptr;
    if (!filter || av_bsf_alloc(filter, &raw) < 0) return nullptr;
    BsfPtr bsf(raw);
    bsf->par_in->codec_type = type;
    bsf->par_in->codec_id = AVCodecID(codecId);
    if (av_bsf_init(bsf.get()) < 0) return nullptr;
    return bsf;
}

// The extradata a filter found in a packet: side data of the packet, or the filter's output
// parameters, depending on the filter.
std::vector<uint8_t> FilteredExtradata(AVBSFContext* bsf, const AVPacket* packet) {
    PacketPtr in = NewPacket(), out = NewPacket();
    if (!in || !out || av_packet_ref(in.get(), packet) < 0) return {};
    if (av_bsf_send_packet(bsf, in.get()) < 0 || av_bsf_receive_packet(bsf, out.get()) < 0) return {};
    size_t size = 0;
    const uint8_t* data = av_packet_get_side_data(out.get(), AV_PKT_DATA_NEW_EXTRADATA, &size);
    if (data && size > 0) return std::vector<uint8_t>(data, data + size);
    const AVCodecParameters* par = bsf->par_out;
    if (par->extradata && par->extradata_size > 0) return std::vector<uint8_t>(par->extradata, par->extradata + par->extradata_size);
    return {};
}

std::vector<uint8_t> ExtradataOf(const char* filterName, AVMediaType type, int codecId, const AVPacket* packet) {
    BsfPtr bsf = OpenFilter(filterName, type, codecId);
    return bsf ? FilteredExtradata(bsf.get(), packet) : std::vector<uint8_t>();
}

CodecContextPtr OpenDecoder(int codecId, const std::vector<uint8_t>& extradata) {
    const AVCodec* codec = avcodec_find_decoder(AVCodecID(codecId));
    if (!codec) return nullptr;
    CodecContextPtr context(avcodec_alloc_context3(codec));
    if (!context) return nullptr;
    if (!extradata.empty()) {
        context->extradata = static_cast<uint8_t*>(av_mallocz(extradata.size() + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!context->extradata) return nullptr;
        std::memcpy(context->extradata, extradata.data(), extradata.size());
        context->extradata_size = int(extradata.size());
    }
    context->thread_count = 1;
    if (avcodec_open2(context.get(), codec, nullptr) < 0) return nullptr;
    return context;
}

// Decodes one packet on its own: the decoder is drained, so a decoder that holds pictures back
// still gives this one.
FramePtr DecodeAlone(int codecId, const std::vector<uint8_t>& extradata, const AVPacket* packet) {
    CodecContextPtr decoder = OpenDecoder(codecId, extradata);
    FramePtr frame = NewFrame();
    if (!decoder || !frame || avcodec_send_packet(decoder.get(), packet) < 0) return nullptr;
    avcodec_send_packet(decoder.get(), nullptr);
    if (avcodec_receive_frame(decoder.get(), frame.get()) < 0) return nullptr;
    return frame;
}

class StreamProbe {
public:
    explicit StreamProbe(RecordStreams* streams) : m_streams(streams) {}

    void Take(const AVPacket* packet) {
        if (packet->stream_index == 0) TakePicture(packet);
        else if (m_streams->audioCodec == AV_CODEC_ID_AAC) TakeAac(packet);
    }

    bool PicturesKnown() const { return m_bPictureSized; }
    bool SoundKnown() const { return m_streams->audioCodec != AV_CODEC_ID_AAC || m_streams->aacFrameSamples > 0; }
    bool Done() const { return PicturesKnown() && SoundKnown(); }
    int AacFramesTried() const { return m_nAacAttempts; }

private:
    void TakePicture(const AVPacket* packet) {
        if (m_bPictureSized || !(packet->flags & AV_PKT_FLAG_KEY)) return;
        std::vector<uint8_t> extradata = ExtradataOf("extract_extradata", AVMEDIA_TYPE_VIDEO, m_streams->videoCodec, packet);
        if (extradata.empty()) return;
        if (m_streams->videoExtradata.empty()) m_streams->videoExtradata = extradata;
        FramePtr picture = DecodeAlone(m_streams->videoCodec, extradata, packet);
        if (!picture || picture->width <= 0 || picture->height <= 0) return;
        m_streams->videoExtradata = extradata;
        m_streams->width = picture->width;
        m_streams->height = picture->height;
        m_bPictureSized = true;
    }

    void TakeAac(const AVPacket* packet) {
        if (SoundKnown() || m_nAacAttempts >= kAacAttemptLimit) return;
        ++m_nAacAttempts;
        std::vector<uint8_t> config = ExtradataOf("aac_adtstoasc", AVMEDIA_TYPE_AUDIO, AV_CODEC_ID_AAC, packet);
        FramePtr sound = config.empty() ? nullptr : DecodeAlone(AV_CODEC_ID_AAC, {}, packet);
        if (!sound || sound->nb_samples <= 0 || sound->sample_rate <= 0 || sound->ch_layout.nb_channels <= 0) return;
        m_streams->aacExtradata = config;
        m_streams->sampleRate = sound->sample_rate;
        m_streams->channels = sound->ch_layout.nb_channels;
        m_streams->aacFrameSamples = sound->nb_samples;
    }

    RecordStreams* m_streams;
    bool m_bPictureSized = false;
    int m_nAacAttempts = 0;
};

void DescribeFromHeader(const CRecordFile& file, RecordStreams* streams) {
    *streams = RecordStreams();
    streams->videoCodec = file.GetVideoCodec();
    streams->width = file.GetWidth();
    streams->height = file.GetHeight();
    streams->audioCodec = file.GetAudioCodec();
    streams->sampleRate = file.GetSampleRate();
    streams->channels = file.GetChannels();
}

}  // namespace

ConvertStatus ProbeRecording(const std::string& path, const std::atomic<bool>* cancel, RecordStreams* streams,
                             std::string* detail) {
    RecordPacketSource source;
    ConvertStatus opened = source.Open(path);
    if (opened != ConvertStatus::kOk) return opened;
    DescribeFromHeader(source.File(), streams);
    StreamProbe probe(streams);
    for (int i = 0; i < kProbeFrameLimit && !probe.Done(); ++i) {
        if (cancel && cancel->load()) return ConvertStatus::kCancelled;
        PacketPtr packet = source.Next();
        if (!packet) break;
        probe.Take(packet.get());
    }
    // Parameter sets whose picture would not decode: the header's size is the best left.
    bool sized = probe.PicturesKnown() || (!streams->videoExtradata.empty() && streams->width > 0 && streams->height > 0);
    if (!sized) {
        *detail = "no key picture with its parameter sets";
        return ConvertStatus::kNoPictures;
    }
    if (!probe.SoundKnown()) {
        if (probe.AacFramesTried() > 0) {
            *detail = "the AAC frames cannot be decoded";
            return ConvertStatus::kBadSound;
        }
        streams->audioCodec = 0;  // sound announced by the header but never written
    }
    return ConvertStatus::kOk;
}
