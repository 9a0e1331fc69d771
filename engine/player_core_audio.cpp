// The audio thread: decodes audio packets, brings the samples to 16-bit interleaved PCM, advances
// the audio clock, waits the audio delay and writes to the sound output.

#include <algorithm>
#include <new>

#include "engine/audio/sound_out.h"
#include "engine/packet_disposal.h"
#include "engine/packet_queue.h"
#include "engine/player_core.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

namespace {

constexpr uint32_t kPacketWaitMs = 100;
constexpr uint32_t kReaderDonePauseMs = 20;
constexpr uint32_t kStarvedPauseMs = 10;
constexpr int kS16Bytes = 2;

// The layout the samples are in; a stream that reports none is taken as the usual layout for
// its channel count (mono for one channel).
void LayoutOf(const AVFrame* frame, AVChannelLayout* layout) {
    if (frame->ch_layout.order != AV_CHANNEL_ORDER_UNSPEC && av_channel_layout_copy(layout, &frame->ch_layout) == 0) {
        return;
    }
    av_channel_layout_default(layout, frame->ch_layout.nb_channels);
}

}  // namespace

void CPlayerCore::AudioThread() {
    if (!m_pSoundOut) return;
    m_audioScratch.assign(kAudioScratchBytes, 0);
    AVFrame* frame = av_frame_alloc();
    while (frame && m_bRunning) {
        if (m_hReaderDone.Wait(0)) {
            platform::Sleep(kReaderDonePauseMs);
            continue;
        }
        AVPacket* packet = nullptr;
        if (!m_pAudioQueue->Get(&packet, kPacketWaitMs)) {
            m_bAudioStarved = 1;
            if (m_bReadEof && m_bVideoStarved && !m_bSeekRequest) {
                NotifyEndOfFile();
                break;
            }
            platform::Sleep(kStarvedPauseMs);
            continue;
        }
        m_bAudioStarved = 0;
        m_hRoomEvent.Set();
        m_hAudioRoomEvent.Set();
        // A packet taken just before a seek flushed the queue belongs to the old place.
        const bool keepRunning = SerialOf(packet) == m_nSeekSerial ? DecodeAudioPacket(packet, frame) : true;
        DisposePacket(packet, m_nInputKind);
        if (!keepRunning) break;
    }
    av_frame_free(&frame);
    std::vector<uint8_t>().swap(m_audioScratch);
}

// Every frame the packet yields goes through the rules; false when the thread must end.
bool CPlayerCore::DecodeAudioPacket(AVPacket* packet, AVFrame* frame) {
    const int serial = SerialOf(packet);
    if (serial != m_nAudioDecoderSerial) {
        avcodec_flush_buffers(m_pAudioCodecCtx);  // the first packet after a seek
        m_nAudioDecoderSerial = serial;
    }
    if (avcodec_send_packet(m_pAudioCodecCtx, packet) < 0) return true;  // undecodable: skipped
    while (avcodec_receive_frame(m_pAudioCodecCtx, frame) == 0) {
        const bool keepRunning = HandleAudioFrame(frame, packet->dts, serial);
        av_frame_unref(frame);
        if (!keepRunning) return false;
    }
    return true;
}

// packetDts: decode time stamp of the packet the frame came from (ms for a recording); serial:
// the seek serial of that packet.
bool CPlayerCore::HandleAudioFrame(AVFrame* frame, int64_t packetDts, int serial) {
    int64_t frameTs = packetDts;  // stream units
    if (m_nInputKind != INPUT_RECORDING) {
        frameTs = frame->pkt_dts != AV_NOPTS_VALUE ? frame->pkt_dts : frame->best_effort_timestamp;
    }
    if (AudioLandsBeforeTarget(frame, frameTs)) return true;
    {
        // Counted at the output's rate, which the sync thread divides by.
        platform::CsGuard guard(m_csAudioFrame);
        if (m_nAudioFrameSamples == 0) m_nAudioFrameSamples = SamplesAtOutputRate(frame);
    }
    const uint8_t* pcm = m_audioScratch.data();
    int byteCount = 0;
    if (IsInOutputFormat(frame)) {
        // Only the samples: the plane's line size may include padding.
        pcm = frame->data[0];
        byteCount = frame->nb_samples * frame->ch_layout.nb_channels * kS16Bytes;
    } else {
        ConvertToS16(frame, &byteCount);  // silence of the frame's length when it fails
    }
    int64_t frameMs = 0;
    {
        platform::CsGuard guard(m_csPosition);
        if (frameTs != AV_NOPTS_VALUE) m_nPosition = static_cast<int32_t>(AudioClockMs(frameTs));
        frameMs = static_cast<uint32_t>(m_nPosition);
    }
    const uint32_t audioDelayMs = m_nAudioDelay;
    // A stop does not wait for the delay to run out.
    if (audioDelayMs != 0) m_hStopEvent.Wait(audioDelayMs);
    if (!PassGate(m_hRunEvent)) return false;
    if (serial != m_nSeekSerial) return true;  // a seek came meanwhile: this sound is from before it
    if (!m_bStepMode && !m_bFast && !m_bSlow) WritePcm(pcm, byteCount, frameMs);
    return true;
}

// After a seek: true for a frame whose sound is over before the target, which is not written.
bool CPlayerCore::AudioLandsBeforeTarget(const AVFrame* frame, int64_t frameTs) {
    if (!m_bAudioLanding || frameTs == AV_NOPTS_VALUE) return false;
    const int64_t frameLengthMs = frame->sample_rate > 0 ? int64_t{frame->nb_samples} * 1000 / frame->sample_rate : 0;
    if (AudioClockMs(frameTs) + frameLengthMs <= m_nLandAudioMs) return true;
    m_bAudioLanding = 0;
    return false;
}

// Grows the audio thread's scratch buffer to hold byteCount bytes; false when memory runs out.
bool CPlayerCore::ScratchHolds(int byteCount) {
    if (m_audioScratch.size() >= static_cast<size_t>(byteCount)) return true;
    try {
        m_audioScratch.resize(static_cast<size_t>(byteCount));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

// The output was opened once with the header's channel count and rate; frames in another
// layout (mono AAC under a header that implies stereo), another rate (HE-AAC, a header that
// lies) or another sample format are converted to it.
bool CPlayerCore::IsInOutputFormat(const AVFrame* frame) const {
    return frame->format == AV_SAMPLE_FMT_S16 && frame->ch_layout.nb_channels == m_waveFormat.nChannels &&
           frame->sample_rate == static_cast<int>(m_waveFormat.nSamplesPerSec);
}

int CPlayerCore::SamplesAtOutputRate(const AVFrame* frame) const {
    if (frame->sample_rate <= 0) return frame->nb_samples;
    return static_cast<int>(av_rescale(frame->nb_samples, m_waveFormat.nSamplesPerSec, frame->sample_rate));
}

// Sets up m_pSwrCtx for frames like this one, unless it already is; 0 or a negative code.
int CPlayerCore::PrepareConverter(const AVFrame* frame) {
    const int channels = frame->ch_layout.nb_channels;
    // A stream that changes its layout, format or rate mid-way gets a converter set up for the new
    // frames; the old one would read planes these frames do not have.
    const bool sameInput = channels == m_nSwrChannels && frame->format == m_nSwrFormat &&
                           frame->sample_rate == m_nSwrRate;
    if (m_pSwrCtx && sameInput) return 0;
    swr_free(&m_pSwrCtx);
    m_nSwrChannels = channels;
    m_nSwrFormat = frame->format;
    m_nSwrRate = frame->sample_rate;
    AVChannelLayout inputLayout{};
    AVChannelLayout outputLayout{};
    LayoutOf(frame, &inputLayout);
    av_channel_layout_default(&outputLayout, m_waveFormat.nChannels);
    const int setResult = swr_alloc_set_opts2(&m_pSwrCtx, &outputLayout, AV_SAMPLE_FMT_S16,
                                              static_cast<int>(m_waveFormat.nSamplesPerSec), &inputLayout,
                                              static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0,
                                              nullptr);
    av_channel_layout_uninit(&inputLayout);
    av_channel_layout_uninit(&outputLayout);
    if (setResult < 0) return setResult;
    return swr_init(m_pSwrCtx);
}

// Converts the frame into the scratch buffer, growing it for frames that would not fit. Returns
// 0 with *byteCount the converted bytes; otherwise a negative code with *byteCount bytes of
// silence, the frame's length in the output's format, ready in the buffer.
int CPlayerCore::ConvertToS16(AVFrame* frame, int* byteCount) {
    *byteCount = 0;
    const int outputChannels = m_waveFormat.nChannels;
    if (frame->nb_samples <= 0 || frame->sample_rate <= 0 || frame->ch_layout.nb_channels <= 0 || outputChannels <= 0)
        return -1;
    const int silence =
        av_samples_get_buffer_size(nullptr, outputChannels, SamplesAtOutputRate(frame), AV_SAMPLE_FMT_S16, 1);
    const int prepared = PrepareConverter(frame);
    // Room for what the converter still holds from earlier frames as well.
    const int capacitySamples = prepared == 0 ? swr_get_out_samples(m_pSwrCtx, frame->nb_samples) : 0;
    const int capacity = capacitySamples > 0 ? av_samples_get_buffer_size(nullptr, outputChannels, capacitySamples,
                                                                          AV_SAMPLE_FMT_S16, 1)
                                             : 0;
    if (silence <= 0 || !ScratchHolds(std::max(silence, capacity))) return -1;  // out of memory: skipped
    std::fill_n(m_audioScratch.begin(), silence, uint8_t{0});
    *byteCount = silence;
    if (prepared < 0) return prepared;
    if (capacitySamples <= 0) return -1;
    uint8_t* output = m_audioScratch.data();
    const int converted = swr_convert(m_pSwrCtx, &output, capacitySamples,
                                      const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
    if (converted < 0) return converted;
    *byteCount = converted * outputChannels * kS16Bytes;
    return 0;
}

// Writes in pieces the sound output's blocks can hold, each a whole number of sample frames.
void CPlayerCore::WritePcm(const uint8_t* pcm, int byteCount, int64_t streamMs) {
    const int blockAlign = std::max<int>(1, m_waveFormat.nBlockAlign);
    const int pieceLimit = kMaxWriteBytes - kMaxWriteBytes % blockAlign;
    const int64_t bytesPerSecond = std::max<int64_t>(1, m_waveFormat.nAvgBytesPerSec);
    for (int offset = 0; offset < byteCount;) {
        const int piece = std::min(pieceLimit, byteCount - offset);
        if (m_pSoundOut->Write(pcm + offset, piece) >= 0) {
            m_heardClock.OnBlockWritten(streamMs + offset * int64_t{1000} / bytesPerSecond, piece);
        }
        offset += piece;
    }
}
