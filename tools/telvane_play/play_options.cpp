#include "tools/telvane_play/play_options.h"

#include <algorithm>
#include <charconv>
#include <optional>

namespace {

// Leaves the reason in `error`; always false, so that a refusal is one return statement.
bool Refuse(std::string* error, const std::string& reason) {
    *error = reason;
    return false;
}

constexpr int kMaxWindowSide = 8192;  // pixels; beyond any screen the player is shown on
constexpr int kMaxSpeedCode = 4;

std::optional<int64_t> ParseInteger(const std::string& text) {
    int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, problem] = std::from_chars(text.data(), end, value);
    if (text.empty() || problem != std::errc() || stop != end) return std::nullopt;
    return value;
}

std::optional<int> ParseSpeedCode(const std::string& text) {
    const std::optional<int64_t> code = ParseInteger(text);
    if (!code || *code < 0 || *code > kMaxSpeedCode) return std::nullopt;
    return static_cast<int>(*code);
}

// "pause", "play", "step", "stop", "speed=N", "seek=MS" or "snapshot=PATH".
bool ParseActionBody(const std::string& body, PlayAction* action, std::string* error) {
    static const struct {
        const char* name;
        PlayActionKind kind;
    } kBare[] = {{"pause", PlayActionKind::Pause},
                 {"play", PlayActionKind::Play},
                 {"step", PlayActionKind::Step},
                 {"stop", PlayActionKind::Stop}};
    for (const auto& bare : kBare) {
        if (body == bare.name) {
            action->kind = bare.kind;
            return true;
        }
    }
    const size_t equals = body.find('=');
    const std::string name = body.substr(0, equals);
    const std::string argument = equals == std::string::npos ? "" : body.substr(equals + 1);
    if (name == "speed") {
        const std::optional<int> code = ParseSpeedCode(argument);
        if (!code) return Refuse(error, "speed wants a code from 0 to 4: " + body);
        action->kind = PlayActionKind::Speed;
        action->value = *code;
        return true;
    }
    if (name == "seek") {
        // Negative targets are let through: the session is expected to refuse them.
        const std::optional<int64_t> target = ParseInteger(argument);
        if (!target) return Refuse(error, "seek wants a time in ms: " + body);
        action->kind = PlayActionKind::Seek;
        action->value = *target;
        return true;
    }
    if (name == "snapshot") {
        if (argument.empty()) return Refuse(error, "snapshot wants a file path: " + body);
        action->kind = PlayActionKind::Snapshot;
        action->path = argument;
        return true;
    }
    return Refuse(error, "unknown action: " + body);
}

bool ParseAction(const std::string& text, PlayAction* action, std::string* error) {
    const size_t colon = text.find(':');
    if (colon == std::string::npos) return Refuse(error, "--at wants MS:ACTION, got " + text);
    const std::optional<int64_t> atMs = ParseInteger(text.substr(0, colon));
    if (!atMs || *atMs < 0) return Refuse(error, "--at wants a time in ms before the colon: " + text);
    action->atMs = *atMs;
    action->text = text.substr(colon + 1);
    return ParseActionBody(action->text, action, error);
}

bool ParseWindowSize(const std::string& text, PlayOptions* options) {
    const size_t cross = text.find('x');
    if (cross == std::string::npos) return false;
    const std::optional<int64_t> width = ParseInteger(text.substr(0, cross));
    const std::optional<int64_t> height = ParseInteger(text.substr(cross + 1));
    if (!width || !height || *width < 1 || *height < 1 || *width > kMaxWindowSide ||
        *height > kMaxWindowSide) {
        return false;
    }
    options->windowWidth = static_cast<int>(*width);
    options->windowHeight = static_cast<int>(*height);
    return true;
}

// Handles an option that takes a value; false with a message when the value is bad.
bool ParseValuedOption(const std::string& option, const std::string& value, PlayOptions* options,
                       std::string* error) {
    if (option == "--at") {
        PlayAction action;
        if (!ParseAction(value, &action, error)) return false;
        options->actions.push_back(action);
        return true;
    }
    if (option == "--speed") {
        const std::optional<int> code = ParseSpeedCode(value);
        if (!code) return Refuse(error, "--speed wants a code from 0 to 4");
        options->speedCode = *code;
        options->speedGiven = true;
        return true;
    }
    if (option == "--for") {
        const std::optional<int64_t> forMs = ParseInteger(value);
        if (!forMs || *forMs < 0) return Refuse(error, "--for wants a time in ms");
        options->forMs = *forMs;
        return true;
    }
    if (option == "--window") {
        if (!ParseWindowSize(value, options)) return Refuse(error, "--window wants WIDTHxHEIGHT");
        return true;
    }
    return Refuse(error, "unknown option: " + option);
}

bool TakesValue(const std::string& option) {
    return option == "--at" || option == "--speed" || option == "--for" || option == "--window";
}

}  // namespace

bool ParsePlayOptions(const std::vector<std::string>& args, PlayOptions* options, std::string* error) {
    *options = PlayOptions{};
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            options->help = true;
            return true;
        }
        if (arg == "--open-only") {
            options->openOnly = true;
        } else if (arg == "--activity") {
            options->activity = true;
        } else if (arg == "--minimised") {
            options->minimised = true;
        } else if (TakesValue(arg)) {
            if (i + 1 == args.size()) return Refuse(error, arg + " wants a value");
            if (!ParseValuedOption(arg, args[++i], options, error)) return false;
        } else if (arg.starts_with("--")) {
            return Refuse(error, "unknown option: " + arg);
        } else if (options->file.empty()) {
            options->file = arg;
        } else {
            return Refuse(error, "one file at a time: " + arg);
        }
    }
    if (options->file.empty()) return Refuse(error, "no file given");
    std::stable_sort(options->actions.begin(), options->actions.end(),
                     [](const PlayAction& a, const PlayAction& b) { return a.atMs < b.atMs; });
    return true;
}

const char* PlayUsage() {
    return "usage: telvane-play [options] FILE\n"
           "Plays FILE headless (pictures to an off-screen window, sound to the sound server)\n"
           "until its end, then prints what happened.\n"
           "  --for MS            stop MS ms after Play instead of at the end of the file\n"
           "  --speed CODE        speed right after Play: 0 normal, 1 x0.25, 2 x0.5, 3 x2, 4 x4\n"
           "  --at MS:ACTION      at MS ms after Play: pause, play, step, stop, speed=CODE,\n"
           "                      seek=MS or snapshot=PATH (repeatable)\n"
           "  --window WxH        size of the off-screen video window (default 640x360)\n"
           "  --open-only         open the file, report how long that took, and close it\n"
           "  --minimised         play with the video window minimised (no picture is shown)\n"
           "  --activity          do not play: list the stretches with movement (from the frame\n"
           "                      sizes, nothing decoded), the gaps and the damaged stretches\n"
           "example: telvane-play --at 2000:pause --at 3000:play --at 4000:snapshot=/tmp/x.jpg clip.mp4\n";
}
