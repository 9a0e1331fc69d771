#pragma once
// A container file (mp4, mkv, avi) copied into an MP4: its main picture stream and the sound that
// goes with it, when the MP4 can hold that sound, packet by packet without re-encoding. With a
// stretch, the copy starts at the key picture at or before its start, which becomes the MP4's
// time 0, and ends with the last picture at or before its end.

#include <atomic>
#include <deque>
#include <optional>
#include <string>

#include "engine/convert/av_handles.h"
#include "engine/convert/record_converter.h"

struct AVFormatContext;

class ContainerPass {
public:
    ContainerPass(const std::atomic<bool>* cancel, const CRecordConverter::ProgressFn& progress);
    ~ContainerPass();
    ContainerPass(const ContainerPass&) = delete;
    ContainerPass& operator=(const ContainerPass&) = delete;

    // kOk, kNotRecording (no file the libraries read), kCannotRead or kNoPictures.
    ConvertStatus Open(const std::string& path, std::string* detail);
    // Writes the MP4 to mp4Path, which exists and is overwritten.
    ConvertStatus Run(const std::string& mp4Path, const std::optional<ConvertStretch>& stretch, std::string* detail);
    int Pictures() const { return m_nPictures; }

private:
    bool Cancelled() const { return m_cancel && m_cancel->load(); }
    bool SeekToStretch();
    bool ReadAheadToFirstPicture();
    av_handles::PacketPtr NextPacket();
    bool OpenOutput(const std::string& mp4Path, std::string* detail);
    int AddOutputStream(int inputIndex);
    void SetUpMetadata();
    // False once the stretch is over; *keep false for a packet from before its first picture.
    bool Place(AVPacket* packet, bool* keep) const;
    bool Write(AVPacket* packet, std::string* detail);
    void Report(const AVPacket* packet);
    int64_t PositionMs(const AVPacket* packet) const;

    const std::atomic<bool>* m_cancel;
    const CRecordConverter::ProgressFn& m_progress;
    std::string m_strPath;
    AVFormatContext* m_pInput = nullptr;
    AVFormatContext* m_pOutput = nullptr;
    int m_nVideo = -1;
    int m_nAudio = -1;
    int m_outputOf[2] = {-1, -1};  // output index of the video and of the audio stream
    std::optional<ConvertStretch> m_stretch;
    std::deque<av_handles::PacketPtr> m_ahead;
    int64_t m_nStartMs = 0;         // the file's start time: position 0
    int64_t m_nFirstPictureMs = 0;  // position of the first picture copied
    int64_t m_nDurationMs = 0;
    int m_nPictures = 0;
    double m_reported = -1.0;
};
