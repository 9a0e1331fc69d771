#pragma once
// The engine's diagnostics: what a debugger would show. They go to standard error only when the
// environment variable TELVANE_DEBUG_OUTPUT is set, so a normal run prints nothing.

void OutputDebugText(const char* text);
void OutputDebugFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
