#pragma once
// A recording behind the session's input interface: its frames come from the recording reader,
// stamped in ms from the first frame; pictures are stream 0, sound stream 1.

#include "engine/media_input.h"
#include "engine/record/record_file.h"

class CRecordingInput final : public CMediaInput {
public:
    CRecordingInput();
    ~CRecordingInput() override;

    bool Open(const char* path, std::string* error) override;
    const InputStream& Video() const override { return m_video; }
    const InputStream& Audio() const override { return m_audio; }
    void DropAudio() override { m_audio.index = -1; }
    int64_t DurationMs() const override { return static_cast<int64_t>(m_file.GetDuration()); }
    int64_t OriginMs() const override { return 0; }  // the reader rebases its stamps
    ReadResult Read(AVPacket** packet) override;
    bool SeekToKeyFrameFor(int64_t targetMs) override;
    int64_t AudioMsFor(int64_t videoMs) const override { return m_file.VideoToAudioMs(videoMs); }
    bool StampsFramesByPackets() const override { return true; }
    RecordedClock Clock() const override;
    ActivityTimeline Activity() const override { return m_file.GetActivity(); }

private:
    CRecordFile m_file;
    AVCodecParameters* m_videoParameters = nullptr;
    AVCodecParameters* m_audioParameters = nullptr;
    InputStream m_video;
    InputStream m_audio;
    uint64_t m_nEndMetAtMs = 0;  // when the reader met the end of the data it now waits at; 0 none
};
