#include "engine/debug_output.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace {

bool DebugOutputWanted() {
    static const bool wanted = std::getenv("TELVANE_DEBUG_OUTPUT") != nullptr;
    return wanted;
}

}  // namespace

void OutputDebugText(const char* text) {
    if (DebugOutputWanted()) std::fputs(text, stderr);
}

void OutputDebugFormat(const char* format, ...) {
    if (!DebugOutputWanted()) return;
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stderr, format, arguments);
    va_end(arguments);
}
