#pragma once
// A container file (MP4, Matroska, transport and program streams, bare elementary streams) behind
// the session's input interface, through libavformat. It plays the main picture stream and the
// sound that goes with it.

#include <memory>

#include "engine/activity_scan.h"
#include "engine/media_input.h"

struct AVFormatContext;

class CContainerInput final : public CMediaInput {
public:
    // `running` ends the look-ahead of a seek when the session stops.
    explicit CContainerInput(const std::atomic<int>& running) : m_running(running) {}
    ~CContainerInput() override;

    bool Open(const char* path, std::string* error) override;
    const InputStream& Video() const override { return m_video; }
    const InputStream& Audio() const override { return m_audio; }
    void DropAudio() override { m_audio.index = -1; }
    int64_t DurationMs() const override { return m_nDurationMs; }
    int64_t OriginMs() const override { return m_nOriginMs; }
    ReadResult Read(AVPacket** packet) override;
    bool SeekToKeyFrameFor(int64_t targetMs) override;
    RecordedClock Clock() const override;
    ActivityTimeline Activity() const override { return m_activityScan.Timeline(); }

private:
    InputStream DescribeStream(int index) const;
    bool SeekNear(int64_t targetMs);
    bool SeekToStart();
    bool KeyFrameComesBy(int64_t limitMs);
    int64_t VideoClockMs(int64_t stamp) const;

    const std::atomic<int>& m_running;
    AVFormatContext* m_pFormatCtx = nullptr;
    InputStream m_video;
    InputStream m_audio;
    int64_t m_nDurationMs = 0;
    // Transport streams and cuts of longer captures start far from 0.
    int64_t m_nOriginMs = 0;
    // A pass of its own over the file's packets, started by Open, ended with the input.
    CContainerActivityScan m_activityScan;
};

// The picture stream a viewer means: the one marked default, and among those the largest picture;
// cover art (a one-picture "video" stream) never. -1 when there is none.
int ChooseMainPictureStream(const AVFormatContext* context);
