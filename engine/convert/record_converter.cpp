#include "engine/convert/record_converter.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "engine/convert/container_pass.h"
#include "engine/convert/conversion_pass.h"
#include "engine/convert/pending_output.h"
#include "engine/convert/record_probe.h"
#include "engine/record/record_file.h"

extern "C" {
#include <libavutil/log.h>
}

namespace {

std::string Lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

// "1-02-03" for 1 h 2 min 3 s: no colons, which some file systems refuse.
std::string OffsetForName(int64_t ms) {
    const int64_t seconds = ms / 1000;
    char text[32];
    std::snprintf(text, sizeof text, "%lld-%02lld-%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    return text;
}

// Runs write into a hidden file beside wanted, which takes its name only once write succeeded.
ConvertResult WriteOutput(const std::string& wanted,
                          const std::function<ConvertStatus(const std::string& path, std::string* detail)>& write) {
    ConvertResult result;
    PendingOutput output;
    if (!output.Create(wanted, &result.detail)) {
        result.status = ConvertStatus::kCannotWrite;
        return result;
    }
    result.status = write(output.TemporaryPath(), &result.detail);
    if (result.status == ConvertStatus::kOk && !output.Commit(&result.outputPath, &result.detail)) {
        result.status = ConvertStatus::kCannotWrite;
    }
    return result;
}

}  // namespace

void QuietConverterLibraries() { av_log_set_level(AV_LOG_FATAL); }

const char* ConvertStatusText(ConvertStatus status) {
    switch (status) {
        case ConvertStatus::kOk: return "converted";
        case ConvertStatus::kCancelled: return "cancelled";
        case ConvertStatus::kNotRecording: return "not a recording";
        case ConvertStatus::kCannotRead: return "the recording cannot be opened";
        case ConvertStatus::kNoPictures: return "the recording holds no picture to start with";
        case ConvertStatus::kBadSound: return "the sound of the recording cannot be read";
        case ConvertStatus::kCannotWrite: return "the MP4 file cannot be written";
        case ConvertStatus::kFailed: return "the conversion failed";
    }
    return "the conversion failed";
}

std::string Mp4PathFor(const std::string& recording, const std::string& folder,
                       const std::optional<ConvertStretch>& stretch) {
    const size_t slash = recording.rfind('/');
    const std::string name = slash == std::string::npos ? recording : recording.substr(slash + 1);
    std::string target = folder.empty() ? recording.substr(0, slash == std::string::npos ? 0 : slash + 1) : folder;
    if (!target.empty() && target.back() != '/') target += '/';
    size_t dot = name.rfind('.');
    if (dot == 0 || dot == std::string::npos) dot = name.size();
    const std::string stem = name.substr(0, dot);
    // Recordings often carry a container's extension; the MP4 must not take the recording's name.
    const bool sameName = Lowered(name.substr(dot)) == ".mp4";
    std::string path = target + stem;
    if (stretch) {
        path += '_';
        path += OffsetForName(stretch->fromMs);
        path += '_';
        path += OffsetForName(stretch->toMs);
    } else if (sameName) {
        path += "-converted";
    }
    return path + ".mp4";
}

std::string Mp4CreationTime(const RecordedClock& clock, int64_t positionMs) {
    if (clock.kind != ClockKind::DateTime) return {};
    return FormatClockIso8601(clock, positionMs, ClockZone::Utc);
}

ConvertResult CRecordConverter::Convert(const std::string& recording, const std::string& folder,
                                        const ProgressFn& progress, const std::optional<ConvertStretch>& stretch) const {
    if (stretch && !stretch->IsValid()) {
        ConvertResult result;
        result.detail = "the stretch ends before it starts";
        return result;
    }
    const std::string wanted = Mp4PathFor(recording, folder, stretch);
    if (IsRecordFile(recording.c_str())) return ConvertRecording(recording, wanted, progress, stretch);
    return ConvertContainer(recording, wanted, progress, stretch);
}

ConvertResult CRecordConverter::ConvertRecording(const std::string& recording, const std::string& mp4Path,
                                                 const ProgressFn& progress,
                                                 const std::optional<ConvertStretch>& stretch) const {
    RecordStreams streams;
    ConvertResult probed;
    probed.status = ProbeRecording(recording, m_cancel, &streams, &probed.detail);
    if (probed.status != ConvertStatus::kOk) return probed;
    ConversionPass pass(streams, m_cancel, progress);
    ConvertResult result = WriteOutput(mp4Path, [&](const std::string& path, std::string* detail) {
        return pass.Run(recording, path, stretch, detail);
    });
    if (result.status == ConvertStatus::kOk) result.pictures = pass.Pictures();
    return result;
}

ConvertResult CRecordConverter::ConvertContainer(const std::string& file, const std::string& mp4Path,
                                                 const ProgressFn& progress,
                                                 const std::optional<ConvertStretch>& stretch) const {
    ContainerPass pass(m_cancel, progress);
    // Opened before the output is made, so a file that is no video leaves nothing behind.
    ConvertResult result;
    result.status = pass.Open(file, &result.detail);
    if (result.status != ConvertStatus::kOk) return result;
    result = WriteOutput(mp4Path, [&](const std::string& path, std::string* detail) {
        return pass.Run(path, stretch, detail);
    });
    if (result.status == ConvertStatus::kOk) result.pictures = pass.Pictures();
    return result;
}
