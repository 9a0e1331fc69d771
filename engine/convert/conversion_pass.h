#pragma once
// One pass over a recording that writes its MP4: the pictures from the first key picture on, as
// they are; AAC sound copied without its ADTS headers; G.711 sound encoded to AAC. With a stretch,
// the pass starts at the key picture at or before its start, which becomes the MP4's time 0, and
// ends with the last picture at or before its end.

#include <atomic>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "engine/convert/audio_timeline.h"
#include "engine/convert/av_handles.h"
#include "engine/convert/g711_aac_encoder.h"
#include "engine/convert/mp4_muxer.h"
#include "engine/convert/record_converter.h"
#include "engine/convert/record_packet_source.h"
#include "engine/convert/record_probe.h"

class ConversionPass {
public:
    ConversionPass(const RecordStreams& streams, const std::atomic<bool>* cancel,
                   const CRecordConverter::ProgressFn& progress);

    // Writes the MP4 to mp4Path, which exists and is overwritten.
    ConvertStatus Run(const std::string& recording, const std::string& mp4Path,
                      const std::optional<ConvertStretch>& stretch, std::string* detail);
    int Pictures() const { return m_nPictures; }

private:
    // Reads up to the first key picture, keeping what comes before it; false when there is none.
    bool ReadAheadToFirstPicture();
    av_handles::PacketPtr NextPacket();
    void SetUpMetadata(const std::string& recording);
    // False once the stretch is over; a packet before the stretch's first picture is dropped.
    bool WithinStretch(AVPacket* packet, bool* keep) const;
    double Fraction(const AVPacket* packet) const;
    bool SetUpStreams(std::string* detail);
    bool SetUpSound(std::string* detail);
    bool Cancelled() const { return m_cancel && m_cancel->load(); }
    bool Take(const AVPacket* packet, std::string* detail);
    bool TakePicture(const AVPacket* packet, std::string* detail);
    bool TakeAac(const AVPacket* packet, std::string* detail);
    bool TakeG711(const AVPacket* packet, std::string* detail);
    bool Finish(std::string* detail);
    void Report(double fraction);

    const RecordStreams& m_streams;
    const std::atomic<bool>* m_cancel;
    const CRecordConverter::ProgressFn& m_progress;
    Mp4Muxer m_muxer;
    RecordPacketSource m_source;
    std::deque<av_handles::PacketPtr> m_ahead;
    std::optional<ConvertStretch> m_stretch;
    int64_t m_nFirstPictureMs = 0;  // on the recording's packet clock
    int64_t m_nOriginMs = 0;        // subtracted from every time: the MP4's 0
    std::unique_ptr<G711AacEncoder> m_encoder;
    av_handles::BsfPtr m_adtsFilter;
    AudioTimeline m_aacTimeline;
    int m_nVideoStream = -1;
    int m_nAudioStream = -1;
    bool m_bKeySeen = false;
    int m_nPictures = 0;
    double m_reported = -1.0;
};
