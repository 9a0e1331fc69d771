#include "engine/convert/record_packet_source.h"

#include <algorithm>
#include <sys/stat.h>

#include "engine/record/record_format.h"

using av_handles::PacketPtr;

ConvertStatus RecordPacketSource::Open(const std::string& path) {
    if (!IsRecordFile(path.c_str())) return ConvertStatus::kNotRecording;
    // Shared: converting a recording that is playing at the same time is an ordinary request.
    if (!m_file.Open(path.c_str(), PosixReadFile::Sharing::Shared)) return ConvertStatus::kCannotRead;
    struct stat info {};
    m_nFileBytes = ::stat(path.c_str(), &info) == 0 ? uint64_t(info.st_size) : 0;
    m_nConsumedBytes = record_format::kFileHeaderSize;
    return ConvertStatus::kOk;
}

PacketPtr RecordPacketSource::Next() {
    PacketPtr packet(m_file.ReadFrame());
    if (packet) m_nConsumedBytes += record_format::kFrameHeaderSize + uint64_t(packet->size);
    return packet;
}

bool RecordPacketSource::SeekToKeyFrameAtOrBefore(int64_t videoMs) {
    return m_file.SeekToKeyFrameAtOrBefore(videoMs);
}

double RecordPacketSource::Fraction() const {
    if (m_nFileBytes == 0) return 0.0;
    return std::min(1.0, double(m_nConsumedBytes) / double(m_nFileBytes));
}
