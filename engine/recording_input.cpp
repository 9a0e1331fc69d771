#include "engine/recording_input.h"

#include "engine/recorded_clock_source.h"

#include "platform/sync.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace {

// Decoders are told these packet time bases; the packets themselves carry ms.
constexpr AVRational kVideoPacketTimeBase{40, 1000};
constexpr AVRational kAudioPacketTimeBase{1, 8000};
// How long a recording that has not grown since it was opened is watched for a first write: longer
// than recorders leave between two, and short enough that the pictures already read are still
// playing when a file that is complete meets its end.
constexpr uint64_t kFirstGrowthWaitMs = 300;

}  // namespace

CRecordingInput::CRecordingInput() = default;

CRecordingInput::~CRecordingInput() {
    m_file.Close();
    avcodec_parameters_free(&m_videoParameters);
    avcodec_parameters_free(&m_audioParameters);
}

bool CRecordingInput::Open(const char* path, std::string* error) {
    // Shared: the recorder may still be writing it, and another window may be playing it.
    if (!m_file.Open(path, PosixReadFile::Sharing::Shared) || !m_file.IsOpen()) {
        *error = "the recording cannot be opened (unreadable, or in use by another program)";
        return false;
    }
    m_videoParameters = avcodec_parameters_alloc();
    if (!m_videoParameters) {
        *error = "out of memory";
        return false;
    }
    m_videoParameters->codec_type = AVMEDIA_TYPE_VIDEO;
    m_videoParameters->codec_id = static_cast<AVCodecID>(m_file.GetVideoCodec());
    m_video = InputStream{0, m_videoParameters, kVideoPacketTimeBase, kMillisecondTimeBase, m_file.GetWidth(),
                          m_file.GetHeight()};
    if (m_file.GetAudioCodec() == 0) return true;
    m_audioParameters = avcodec_parameters_alloc();
    if (!m_audioParameters) return true;  // the pictures play without their sound
    m_audioParameters->codec_type = AVMEDIA_TYPE_AUDIO;
    m_audioParameters->codec_id = static_cast<AVCodecID>(m_file.GetAudioCodec());
    m_audioParameters->sample_rate = m_file.GetSampleRate();
    av_channel_layout_default(&m_audioParameters->ch_layout, m_file.GetChannels());
    m_audio = InputStream{1, m_audioParameters, kAudioPacketTimeBase, kMillisecondTimeBase};
    return true;
}

// A recording the recorder is still writing: what it adds is read once it is there. Opened just
// after a write, it may not have grown yet when the reader, far quicker than the recorder, first
// meets its end: a file written to moments ago is given a recorder's write interval to grow. One
// written long ago ends at once.
ReadResult CRecordingInput::Read(AVPacket** packet) {
    *packet = m_file.ReadFrame();
    if (*packet) {
        m_nEndMetAtMs = 0;
        return ReadResult::kPacket;
    }
    if (!m_nEndMetAtMs) m_nEndMetAtMs = platform::TickMs64();
    const bool firstWriteDue = m_file.WrittenRecently() && platform::TickMs64() - m_nEndMetAtMs < kFirstGrowthWaitMs;
    return m_file.MayGrow() || firstWriteDue ? ReadResult::kLater : ReadResult::kEnd;
}

bool CRecordingInput::SeekToKeyFrameFor(int64_t targetMs) { return m_file.SeekToKeyFrameAtOrBefore(targetMs); }

RecordedClock CRecordingInput::Clock() const { return RecordingClock(m_file); }
