#include "engine/convert/record_converter.h"

#include <algorithm>
#include <cctype>

#include "engine/convert/conversion_pass.h"
#include "engine/convert/pending_output.h"
#include "engine/convert/record_probe.h"

extern "C" {
#include <libavutil/log.h>
}

namespace {

std::string Lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
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

std::string Mp4PathFor(const std::string& recording, const std::string& folder) {
    const size_t slash = recording.rfind('/');
    const std::string name = slash == std::string::npos ? recording : recording.substr(slash + 1);
    std::string target = folder.empty() ? recording.substr(0, slash == std::string::npos ? 0 : slash + 1) : folder;
    if (!target.empty() && target.back() != '/') target += '/';
    size_t dot = name.rfind('.');
    if (dot == 0 || dot == std::string::npos) dot = name.size();
    const std::string stem = name.substr(0, dot);
    // Recordings often carry a container's extension; the MP4 must not take the recording's name.
    const bool sameName = Lowered(name.substr(dot)) == ".mp4";
    return target + stem + (sameName ? "-converted" : "") + ".mp4";
}

ConvertResult CRecordConverter::Convert(const std::string& recording, const std::string& folder,
                                        const ProgressFn& progress) const {
    ConvertResult result;
    RecordStreams streams;
    result.status = ProbeRecording(recording, m_cancel, &streams, &result.detail);
    if (result.status != ConvertStatus::kOk) return result;

    PendingOutput output;
    if (!output.Create(Mp4PathFor(recording, folder), &result.detail)) {
        result.status = ConvertStatus::kCannotWrite;
        return result;
    }
    ConversionPass pass(streams, m_cancel, progress);
    result.status = pass.Run(recording, output.TemporaryPath(), &result.detail);
    if (result.status == ConvertStatus::kOk && !output.Commit(&result.outputPath, &result.detail)) {
        result.status = ConvertStatus::kCannotWrite;
    }
    if (result.status == ConvertStatus::kOk) result.pictures = pass.Pictures();
    return result;
}
