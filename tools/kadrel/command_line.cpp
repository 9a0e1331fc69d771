#include "tools/kadrel/command_line.h"

#include <filesystem>
#include <ostream>
#include <system_error>

#include "engine/convert/record_converter.h"

namespace {

constexpr uint32_t kLargestLanguageId = 0xFFFF;

std::optional<uint32_t> ParseDecimalId(const std::string& text) {
    if (text.empty() || text.size() > 5) return std::nullopt;
    uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + uint32_t(c - '0');
    }
    if (value > kLargestLanguageId) return std::nullopt;
    return value;
}

std::optional<int64_t> ParseMs(const std::string& text) {
    if (text.empty() || text.size() > 15) return std::nullopt;
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

// The stretch options: "--from MS" and "--to MS" go together. True when arguments[*i] was one
// (and its value is consumed); a wrong one leaves its reason in parsed.error.
struct StretchOptions {
    std::optional<int64_t> fromMs, toMs;

    bool Take(const std::vector<std::string>& arguments, size_t* i, std::string* error) {
        const std::string& option = arguments[*i];
        if (option != "--from" && option != "--to") return false;
        std::optional<int64_t> value = *i + 1 < arguments.size() ? ParseMs(arguments[*i + 1]) : std::nullopt;
        if (!value) *error = option + " needs a time in ms";
        else (option == "--from" ? fromMs : toMs) = value;
        ++*i;
        return true;
    }

    void Finish(KadrelArguments* parsed) const {
        if (!fromMs && !toMs) return;
        if (!fromMs || !toMs) parsed->error = "--from and --to go together";
        else if (*toMs <= *fromMs) parsed->error = "--to must come after --from";
        else parsed->stretch = ConvertStretch{*fromMs, *toMs};
    }
};

KadrelArguments ParseConvert(const std::vector<std::string>& arguments) {
    KadrelArguments parsed;
    parsed.mode = KadrelArguments::Mode::kConvert;
    StretchOptions stretch;
    bool optionsEnded = false;
    for (size_t i = 2; i < arguments.size() && parsed.error.empty(); ++i) {
        const std::string& argument = arguments[i];
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && stretch.Take(arguments, &i, &parsed.error)) {
            continue;
        } else if (!optionsEnded && argument == "--out") {
            if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
                parsed.error = "--out needs a folder";
                break;
            }
            parsed.outputFolder = arguments[++i];
        } else if (!optionsEnded && argument.size() > 1 && argument[0] == '-') {
            parsed.error = "unknown option " + argument;
            break;
        } else {
            parsed.recordings.push_back(argument);
        }
    }
    if (parsed.error.empty()) stretch.Finish(&parsed);
    if (parsed.error.empty() && parsed.recordings.empty()) parsed.error = "no recording given";
    if (!parsed.error.empty()) parsed.mode = KadrelArguments::Mode::kWrong;
    return parsed;
}

std::string NameOf(const std::string& path) { return std::filesystem::path(path).filename().string(); }

std::string Counter(size_t index, size_t count) {
    std::string counter = "[";
    counter += std::to_string(index + 1);
    counter += '/';
    counter += std::to_string(count);
    counter += "] ";
    return counter;
}

bool MakeFolder(const std::string& folder, std::ostream& out) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!error) return true;
    out << "the folder " << folder << " cannot be made: " << error.message() << "\n";
    return false;
}

}  // namespace

const char* KadrelUsage() {
    return "usage: Kadrel --to-mp4 RECORDING... [--from MS --to MS] [--out DIR]\n"
           "       Kadrel [LANGUAGE-ID] [RECORDING... [--from MS --to MS]]\n"
           "Converts recordings (and mp4, mkv or avi files) to MP4 files: the pictures are copied,\n"
           "the sound becomes AAC.\n"
           "  --to-mp4      convert without a window; exit status 0 when every recording converted,\n"
           "                1 when one or more failed, 2 for a wrong command line\n"
           "  --from MS --to MS\n"
           "                just that stretch, in ms from the start: from the key picture at or\n"
           "                before MS to the last picture at or before the end\n"
           "  --out DIR     write the MP4 files into DIR (made when missing) instead of next to\n"
           "                each recording\n"
           "  LANGUAGE-ID   the window's language, a decimal language identifier (1031 German,\n"
           "                1033 English, 2052 Chinese)\n";
}

KadrelArguments ParseKadrelArguments(const std::vector<std::string>& arguments) {
    KadrelArguments parsed;
    if (arguments.size() > 1 && (arguments[1] == "--help" || arguments[1] == "-h")) {
        parsed.mode = KadrelArguments::Mode::kHelp;
        return parsed;
    }
    if (arguments.size() > 1 && arguments[1] == "--to-mp4") return ParseConvert(arguments);
    StretchOptions stretch;
    for (size_t i = 1; i < arguments.size() && parsed.error.empty(); ++i) {
        std::optional<uint32_t> id = i == 1 ? ParseDecimalId(arguments[i]) : std::nullopt;
        if (id) parsed.languageId = id;
        else if (!stretch.Take(arguments, &i, &parsed.error)) parsed.recordings.push_back(arguments[i]);
    }
    if (parsed.error.empty()) stretch.Finish(&parsed);
    if (!parsed.error.empty()) parsed.mode = KadrelArguments::Mode::kWrong;
    return parsed;
}

int RunCommandLineConversions(const KadrelArguments& arguments, std::ostream& out, bool interactive) {
    if (!arguments.outputFolder.empty() && !MakeFolder(arguments.outputFolder, out)) return kExitSomeFailed;
    const size_t count = arguments.recordings.size();
    size_t failed = 0;
    for (size_t i = 0; i < count; ++i) {
        const std::string& recording = arguments.recordings[i];
        const std::string prefix = Counter(i, count) + NameOf(recording);
        if (!interactive) out << prefix << ": converting\n" << std::flush;
        auto progress = [&](double fraction) {
            if (interactive) out << "\r" << prefix << " " << int(fraction * 100) << "%" << std::flush;
        };
        ConvertResult result = CRecordConverter().Convert(recording, arguments.outputFolder, progress, arguments.stretch);
        if (interactive) out << "\r";
        if (result.status == ConvertStatus::kOk) {
            out << prefix << " -> " << result.outputPath << "\n";
            continue;
        }
        ++failed;
        out << prefix << ": " << ConvertStatusText(result.status);
        if (!result.detail.empty()) out << " (" << result.detail << ")";
        out << "\n";
    }
    out << (count - failed) << " of " << count << " converted\n" << std::flush;
    return failed == 0 ? kExitConverted : kExitSomeFailed;
}
