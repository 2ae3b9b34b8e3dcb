// The engine's start-up stamps, handed to the program's trace through the environment.
#include "trace.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace pelk {

namespace {

// Only start-up is traced: a skin switch much later adds nothing.
constexpr int kMaxStamps = 24;

} // namespace

void TraceMark(const char* step) {
    static const bool traced = GetEnvironmentVariableW(L"TRIGORA_STARTUP_TRACE", nullptr, 0) > 0;
    static int count = 0;
    if (!traced || count >= kMaxStamps) {
        return;
    }
    ++count;
    try {
        static std::string stamps;
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        char line[128];
        std::snprintf(line, sizeof line, "%s\t%lld\n", step, now.QuadPart);
        stamps += line;
        SetEnvironmentVariableA("TRIGORA_STARTUP_TRACE_ENGINE", stamps.c_str());
    } catch (...) {
        // No memory for a line of text: the stamp is lost, nothing else.
    }
}

} // namespace pelk
