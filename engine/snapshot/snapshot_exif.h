#pragma once
// What a snapshot says about itself, so it can be handed on as evidence: the time its picture was
// recorded by the recorder's clock (EXIF DateTimeOriginal with SubSecTimeOriginal, and
// OffsetTimeOriginal when the zone is known) and where it comes from (ImageDescription names the
// source file and the position in it). Any thread; no state.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/recorded_clock.h"

struct SnapshotEvidence {
    RecordedClock clock;        // none: the snapshot carries no recorded time
    int64_t positionMs = 0;     // the picture's place in the file, ms from its start
    std::string sourceFile;     // the played file's path
};

// "camera.rec at 00:01:05.250 (/full/path/camera.rec)".
std::string DescribeSnapshotSource(const SnapshotEvidence& evidence);

// A whole JPEG APP1 segment (marker, length, "Exif" header and the TIFF structure) built with
// libexif; empty when it cannot be made. The date and time are in the computer's zone, with
// that zone's offset.
std::vector<uint8_t> MakeSnapshotExifSegment(const SnapshotEvidence& evidence);
