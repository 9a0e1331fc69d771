#include "tools/record_writer/record_sink.h"

RecordSink::~RecordSink() { Abandon(); }

bool RecordSink::Open(const std::string& path, const record_format::FileHeader& header, SinkMode mode) {
    Abandon();
    m_path = path;
    m_mode = mode;
    m_writtenPath = mode == SinkMode::Growing ? path : path + ".partial";
    m_file = std::fopen(m_writtenPath.c_str(), "wb");
    if (!m_file) return false;
    uint8_t bytes[record_format::kFileHeaderSize];
    record_format::EncodeFileHeader(header, bytes);
    if (std::fwrite(bytes, 1, sizeof bytes, m_file) != sizeof bytes || !FlushIfGrowing()) {
        Abandon();
        return false;
    }
    return true;
}

bool RecordSink::WriteFrame(uint8_t kind, uint64_t timeMs, const uint8_t* payload, uint32_t size) {
    if (!m_file) return false;
    uint8_t bytes[record_format::kFrameHeaderSize];
    record_format::EncodeFrameHeader({kind, size, timeMs}, bytes);
    if (std::fwrite(bytes, 1, sizeof bytes, m_file) != sizeof bytes ||
        (size && std::fwrite(payload, 1, size, m_file) != size) || !FlushIfGrowing()) {
        return false;
    }
    ++m_frames;
    return true;
}

bool RecordSink::Finish() {
    if (!m_file) return false;
    bool written = std::fclose(m_file) == 0;
    m_file = nullptr;
    if (m_writtenPath != m_path) written = written && std::rename(m_writtenPath.c_str(), m_path.c_str()) == 0;
    if (!written) std::remove(m_writtenPath.c_str());
    return written;
}

void RecordSink::Abandon() {
    if (!m_file) return;
    std::fclose(m_file);
    m_file = nullptr;
    std::remove(m_writtenPath.c_str());
}

bool RecordSink::FlushIfGrowing() { return m_mode != SinkMode::Growing || std::fflush(m_file) == 0; }
