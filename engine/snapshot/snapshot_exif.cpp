#include "engine/snapshot/snapshot_exif.h"

#include <libexif/exif-data.h>
#include <libexif/exif-entry.h>
#include <libexif/exif-mem.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

struct ExifDataRelease {
    void operator()(ExifData* data) const { exif_data_unref(data); }
};

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string PositionText(int64_t positionMs) {
    const int64_t ms = positionMs < 0 ? 0 : positionMs;
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld.%03lld", static_cast<long long>(ms / 3'600'000),
                  static_cast<long long>(ms / 60'000 % 60), static_cast<long long>(ms / 1000 % 60),
                  static_cast<long long>(ms % 1000));
    return text;
}

// An ASCII entry holds its text and the closing zero.
bool AddAsciiEntry(ExifData* data, ExifIfd ifd, ExifTag tag, const std::string& text) {
    ExifMem* memory = exif_mem_new_default();
    if (!memory) return false;
    ExifEntry* entry = exif_entry_new_mem(memory);
    void* bytes = entry ? exif_mem_alloc(memory, text.size() + 1) : nullptr;
    if (!bytes) {
        if (entry) exif_entry_unref(entry);
        exif_mem_unref(memory);
        return false;
    }
    std::memcpy(bytes, text.c_str(), text.size() + 1);
    entry->data = static_cast<unsigned char*>(bytes);
    entry->size = static_cast<unsigned int>(text.size() + 1);
    entry->components = text.size() + 1;
    entry->format = EXIF_FORMAT_ASCII;
    entry->tag = tag;
    exif_content_add_entry(data->ifd[ifd], entry);
    exif_entry_unref(entry);
    exif_mem_unref(memory);
    return true;
}

// EXIF writes "YYYY:MM:DD HH:MM:SS"; a clock that knows no date leaves the date's digits blank,
// as the format provides for unknown parts.
std::string ExifDateTime(const ClockParts& parts) {
    char text[32];
    if (parts.hasDate) {
        std::snprintf(text, sizeof text, "%04d:%02d:%02d %02d:%02d:%02d", parts.year, parts.month, parts.day,
                      parts.hour, parts.minute, parts.second);
    } else {
        std::snprintf(text, sizeof text, "    :  :   %02d:%02d:%02d", parts.hour, parts.minute, parts.second);
    }
    return text;
}

// EXIF offsets are always "+HH:MM" or "-HH:MM", never "Z".
std::string ExifOffset(int offsetMinutes) {
    const std::string offset = FormatUtcOffset(offsetMinutes);
    return offset == "Z" ? "+00:00" : offset;
}

bool AddRecordedTime(ExifData* data, const SnapshotEvidence& evidence) {
    ClockParts parts;
    if (!ClockPartsAt(evidence.clock, evidence.positionMs, ClockZone::Local, &parts)) return true;
    char subSeconds[8];
    std::snprintf(subSeconds, sizeof subSeconds, "%03d", parts.millisecond);
    bool added = AddAsciiEntry(data, EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_ORIGINAL, ExifDateTime(parts)) &&
                 AddAsciiEntry(data, EXIF_IFD_EXIF, EXIF_TAG_SUB_SEC_TIME_ORIGINAL, subSeconds);
    if (added && parts.hasOffset) {
        added = AddAsciiEntry(data, EXIF_IFD_EXIF, EXIF_TAG_OFFSET_TIME_ORIGINAL, ExifOffset(parts.offsetMinutes));
    }
    return added;
}

}  // namespace

std::string DescribeSnapshotSource(const SnapshotEvidence& evidence) {
    return BaseName(evidence.sourceFile) + " at " + PositionText(evidence.positionMs) + " (" + evidence.sourceFile + ")";
}

std::vector<uint8_t> MakeSnapshotExifSegment(const SnapshotEvidence& evidence) {
    std::unique_ptr<ExifData, ExifDataRelease> data(exif_data_new());
    if (!data) return {};
    exif_data_set_byte_order(data.get(), EXIF_BYTE_ORDER_INTEL);
    if (!AddAsciiEntry(data.get(), EXIF_IFD_0, EXIF_TAG_IMAGE_DESCRIPTION, DescribeSnapshotSource(evidence)) ||
        !AddRecordedTime(data.get(), evidence)) {
        return {};
    }
    unsigned char* saved = nullptr;
    unsigned int savedBytes = 0;
    exif_data_save_data(data.get(), &saved, &savedBytes);
    // The segment length counts itself (2 bytes) and must fit in 16 bits.
    if (!saved || savedBytes == 0 || savedBytes + 2 > 0xFFFF) {
        std::free(saved);
        return {};
    }
    std::vector<uint8_t> segment{0xFF, 0xE1, uint8_t((savedBytes + 2) >> 8), uint8_t((savedBytes + 2) & 0xFF)};
    segment.insert(segment.end(), saved, saved + savedBytes);
    std::free(saved);
    return segment;
}
