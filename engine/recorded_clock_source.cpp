#include "engine/recorded_clock_source.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/parseutils.h>
}

#include "engine/record/record_file.h"

namespace {

// "2025-12-10T10:00:05.000000Z" as ms since 1970; false when absent or unreadable.
bool CreationTimeMs(const AVDictionary* metadata, int64_t* epochMs) {
    const AVDictionaryEntry* entry = av_dict_get(metadata, "creation_time", nullptr, 0);
    int64_t epochUs = 0;
    if (!entry || !entry->value || av_parse_time(&epochUs, entry->value, 0) < 0) return false;
    *epochMs = epochUs / 1000;
    return true;
}

// Some tools write a zero date when they know none.
bool IsPlausibleDate(int64_t epochMs) { return epochMs >= kEarliestDateStampMs && epochMs < kLatestDateStampMs; }

}  // namespace

RecordedClock RecordingClock(const CRecordFile& file) {
    uint64_t stampMs = 0;
    if (!file.GetOriginStamp(&stampMs)) return {};
    return ClockFromRecorderStamp(stampMs);
}

RecordedClock ContainerClock(const AVFormatContext* context, int videoStream) {
    if (!context) return {};
    int64_t epochMs = 0;
    bool found = CreationTimeMs(context->metadata, &epochMs) && IsPlausibleDate(epochMs);
    if (!found && videoStream >= 0 && unsigned(videoStream) < context->nb_streams) {
        found = CreationTimeMs(context->streams[videoStream]->metadata, &epochMs) && IsPlausibleDate(epochMs);
    }
    if (!found) return {};
    return {ClockKind::DateTime, epochMs};
}

RecordedClock ReadRecordedClock(const char* path) {
    if (!path) return {};
    if (IsRecordFile(path)) {
        CRecordFile file;
        if (!file.Open(path, PosixReadFile::Sharing::Shared)) return {};
        const RecordedClock clock = RecordingClock(file);
        file.Close();
        return clock;
    }
    AVFormatContext* context = nullptr;
    if (avformat_open_input(&context, path, nullptr, nullptr) < 0) return {};
    RecordedClock clock;
    if (avformat_find_stream_info(context, nullptr) >= 0) {
        clock = ContainerClock(context, av_find_best_stream(context, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0));
    }
    avformat_close_input(&context);
    return clock;
}
