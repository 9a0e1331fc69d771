#pragma once
// The frames of a recording as reference-counted FFmpeg packets, which bitstream filters, decoders
// and the muxer can hold and free by the usual rules, with a count of the bytes consumed.

#include <cstdint>
#include <string>

#include "engine/convert/av_handles.h"
#include "engine/convert/record_converter.h"
#include "engine/record/record_file.h"

class RecordPacketSource {
public:
    // kOk, kNotRecording or kCannotRead.
    ConvertStatus Open(const std::string& path);

    // The next frame (pts and dts in ms from the recording's first frame; stream 0 pictures,
    // 1 sound), or null at the end of the data.
    av_handles::PacketPtr Next();

    // Makes the next frame the key picture at or before videoMs (ms as the packets count them);
    // false when the recording has no key picture.
    bool SeekToKeyFrameAtOrBefore(int64_t videoMs);

    // Share of the file's bytes read so far, from 0 to 1.
    double Fraction() const;

    const CRecordFile& File() const { return m_file; }

private:
    CRecordFile m_file;
    uint64_t m_nFileBytes = 0;
    uint64_t m_nConsumedBytes = 0;
};
