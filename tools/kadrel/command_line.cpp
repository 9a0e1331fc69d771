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

KadrelArguments ParseConvert(const std::vector<std::string>& arguments) {
    KadrelArguments parsed;
    parsed.mode = KadrelArguments::Mode::kConvert;
    bool optionsEnded = false;
    for (size_t i = 2; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
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
    return "usage: Kadrel --to-mp4 RECORDING... [--out DIR]\n"
           "       Kadrel [LANGUAGE-ID] [RECORDING...]\n"
           "Converts recordings to MP4 files: the pictures are copied, the sound becomes AAC.\n"
           "  --to-mp4      convert without a window; exit status 0 when every recording converted,\n"
           "                1 when one or more failed, 2 for a wrong command line\n"
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
    for (size_t i = 1; i < arguments.size(); ++i) {
        std::optional<uint32_t> id = i == 1 ? ParseDecimalId(arguments[i]) : std::nullopt;
        if (id) parsed.languageId = id;
        else parsed.recordings.push_back(arguments[i]);
    }
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
        ConvertResult result = CRecordConverter().Convert(recording, arguments.outputFolder, progress);
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
