#pragma once
// Where the recorder's clock of an opened file comes from: a recording's own frame stamps, or a
// container's creation time (of the file, else of its video stream).

#include "engine/recorded_clock.h"

struct AVFormatContext;
class CRecordFile;

// After a successful Open; no clock when the file had no frame then.
RecordedClock RecordingClock(const CRecordFile& file);
// After avformat_find_stream_info; the creation time stands for the file's start. No clock
// without one, or with one that cannot be read.
RecordedClock ContainerClock(const AVFormatContext* context, int videoStream);
// Either, by opening the file for a moment (shared, so a recording the player holds is read too).
RecordedClock ReadRecordedClock(const char* path);
