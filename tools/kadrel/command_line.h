#pragma once
// Kadrel's command line. Two forms:
//   Kadrel [LANGUAGE-ID] [RECORDING... [--from MS --to MS]]
//                                 the window; the player starts it with the id of its language, in
//                                 decimal, and the file it plays with the stretch marked in it
//   Kadrel --to-mp4 RECORDING... [--from MS --to MS] [--out DIR]
//                                 no window: converts each recording (just that stretch of it, in
//                                 ms from its start), one line each, exit status 0 when every one
//                                 converted
// It is read before any Qt object exists, so the command-line form needs no display.

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "engine/convert/record_converter.h"

struct KadrelArguments {
    enum class Mode { kWindow, kConvert, kHelp, kWrong };
    Mode mode = Mode::kWindow;
    std::vector<std::string> recordings;
    std::string outputFolder;            // empty: next to each recording
    std::optional<uint32_t> languageId;  // the window's language, when given
    std::optional<ConvertStretch> stretch;  // when --from and --to were given
    std::string error;                   // why the command line is wrong
};

KadrelArguments ParseKadrelArguments(const std::vector<std::string>& arguments);

const char* KadrelUsage();

// Exit statuses of the command-line form.
constexpr int kExitConverted = 0;
constexpr int kExitSomeFailed = 1;
constexpr int kExitUsage = 2;

// Converts every recording of a kConvert command line, one after the other, writing a line per
// recording to out (and, when interactive, a percentage that updates in place). An output folder
// that does not exist yet is made.
int RunCommandLineConversions(const KadrelArguments& arguments, std::ostream& out, bool interactive);
