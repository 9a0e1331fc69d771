#pragma once
// Writes a recording file: the file header, then one frame header and payload per frame. A whole
// file is written under a temporary name and renamed into place by Finish, so a failed run never
// leaves a partial recording behind. A growing file is written under its own name with every
// frame flushed as it is stored, as a recorder's file grows while it records, so another process
// can read it meanwhile; a failed run removes it just the same.

#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/record/record_format.h"

enum class SinkMode { WholeFile, Growing };

class RecordSink {
public:
    RecordSink() = default;
    ~RecordSink();  // abandons an unfinished file
    RecordSink(const RecordSink&) = delete;
    RecordSink& operator=(const RecordSink&) = delete;

    bool Open(const std::string& path, const record_format::FileHeader& header, SinkMode mode = SinkMode::WholeFile);
    bool WriteFrame(uint8_t kind, uint64_t timeMs, const uint8_t* payload, uint32_t size);
    bool Finish();
    uint64_t FramesWritten() const { return m_frames; }

private:
    void Abandon();
    // In a growing file, hands what was written to the system, where readers see it.
    bool FlushIfGrowing();

    std::FILE* m_file = nullptr;
    std::string m_path;
    std::string m_writtenPath;  // the temporary name, or the path itself for a growing file
    SinkMode m_mode = SinkMode::WholeFile;
    uint64_t m_frames = 0;
};
