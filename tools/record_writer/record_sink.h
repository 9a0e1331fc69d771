#pragma once
// Writes a recording file: the file header, then one frame header and payload per frame. The file
// is written under a temporary name and renamed into place by Finish, so a failed run never
// leaves a partial recording behind.

#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/record/record_format.h"

class RecordSink {
public:
    RecordSink() = default;
    ~RecordSink();  // abandons an unfinished file
    RecordSink(const RecordSink&) = delete;
    RecordSink& operator=(const RecordSink&) = delete;

    bool Open(const std::string& path, const record_format::FileHeader& header);
    bool WriteFrame(uint8_t kind, uint64_t timeMs, const uint8_t* payload, uint32_t size);
    bool Finish();
    uint64_t FramesWritten() const { return m_frames; }

private:
    void Abandon();

    std::FILE* m_file = nullptr;
    std::string m_path;
    std::string m_temporaryPath;
    uint64_t m_frames = 0;
};
