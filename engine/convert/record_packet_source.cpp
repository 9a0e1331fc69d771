#include "engine/convert/record_packet_source.h"

#include <algorithm>
#include <sys/stat.h>

#include "engine/packet_disposal.h"
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

// The reader's payload is an av_malloc block with zeroed padding behind it, which is what a packet
// buffer is, so it is handed over instead of copied.
PacketPtr RecordPacketSource::Next() {
    AVPacket* raw = m_file.ReadFrame();
    if (!raw) return nullptr;
    m_nConsumedBytes += record_format::kFrameHeaderSize + uint64_t(raw->size);
    PacketPtr packet = av_handles::NewPacket();
    if (!packet || av_packet_from_data(packet.get(), raw->data, raw->size) < 0) {
        DisposePacket(raw, INPUT_RECORDING);
        return nullptr;
    }
    packet->pts = raw->pts;
    packet->dts = raw->dts;
    packet->flags = raw->flags;
    packet->stream_index = raw->stream_index;
    raw->data = nullptr;
    raw->size = 0;
    av_packet_free(&raw);
    return packet;
}

double RecordPacketSource::Fraction() const {
    if (m_nFileBytes == 0) return 0.0;
    return std::min(1.0, double(m_nConsumedBytes) / double(m_nFileBytes));
}
