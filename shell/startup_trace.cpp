// Start-up stamps: plain arrays filled while starting, written once, and only when asked for.
#include "shell/startup_trace.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace trigora::startup {

namespace {

// Plain data only: the first stamp is taken by the loader's callback, before any constructor of
// the program has run.
struct Stamp {
    const char* name;
    long long ticks;
};
struct Sum {
    const char* name;
    long long ticks;
    int calls;
};
constexpr int kMaxStamps = 48;
constexpr int kMaxSums = 24;
Stamp gStamps[kMaxStamps];
int gStampCount = 0;
Sum gSums[kMaxSums];
int gSumCount = 0;
int gState = 0; // 0 not yet known, 1 traced and starting, 2 traced and idle, 3 not traced
wchar_t gPath[MAX_PATH];

constexpr wchar_t kVariable[] = L"TRIGORA_STARTUP_TRACE";

long long Now() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart;
}

int State() {
    if (gState == 0) {
        DWORD n = GetEnvironmentVariableW(kVariable, gPath, MAX_PATH);
        gState = n > 0 && n < MAX_PATH ? 1 : 3;
    }
    return gState;
}

void Write() {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::string out;
    char line[160];
    std::snprintf(line, sizeof line, "frequency\t%lld\n", frequency.QuadPart);
    out += line;
    for (int i = 0; i < gStampCount; ++i) {
        std::snprintf(line, sizeof line, "mark\t%s\t%lld\n", gStamps[i].name, gStamps[i].ticks);
        out += line;
    }
    // The engine's stamps, which it leaves in the environment (it exports nothing for them).
    if (DWORD n = GetEnvironmentVariableA("TRIGORA_STARTUP_TRACE_ENGINE", nullptr, 0); n > 0) {
        std::string engine(n, '\0');
        engine.resize(GetEnvironmentVariableA("TRIGORA_STARTUP_TRACE_ENGINE", engine.data(), n));
        for (size_t at = 0; at < engine.size();) {
            size_t end = engine.find('\n', at);
            if (end == std::string::npos) {
                end = engine.size();
            }
            out += "mark\t" + engine.substr(at, end - at) + "\n";
            at = end + 1;
        }
    }
    for (int i = 0; i < gSumCount; ++i) {
        std::snprintf(line, sizeof line, "part\t%s\t%lld\t%d\n", gSums[i].name, gSums[i].ticks, gSums[i].calls);
        out += line;
    }
    // Written under another name and then renamed, so that a reader never sees half of it.
    std::wstring partial = std::wstring(gPath) + L".part";
    HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD wrote = 0;
    bool ok = WriteFile(file, out.data(), static_cast<DWORD>(out.size()), &wrote, nullptr) && wrote == out.size();
    ok = CloseHandle(file) && ok;
    if (ok) {
        MoveFileExW(partial.c_str(), gPath, MOVEFILE_REPLACE_EXISTING);
    }
}

void CALLBACK WriteLater(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    try {
        Write();
    } catch (...) {
        // Out of memory for a few lines of text: the trace is simply not written.
    }
}

} // namespace

bool Traced() {
    return State() != 3;
}

bool Starting() {
    return State() == 1;
}

void Mark(const char* step) {
    if (State() == 1 && gStampCount < kMaxStamps) {
        gStamps[gStampCount++] = {step, Now()};
    }
}

Part::Part(const char* name) : name_(name) {
    if (gState == 1) {
        start_ = Now();
    }
}

Part::~Part() {
    if (gState != 1 || start_ == 0) {
        return;
    }
    long long spent = Now() - start_;
    for (int i = 0; i < gSumCount; ++i) {
        if (std::strcmp(gSums[i].name, name_) == 0) {
            gSums[i].ticks += spent;
            ++gSums[i].calls;
            return;
        }
    }
    if (gSumCount < kMaxSums) {
        gSums[gSumCount++] = {name_, spent, 1};
    }
}

void FirstIdle() {
    if (State() != 1) {
        return;
    }
    Mark("first idle");
    gState = 2;
    SetTimer(nullptr, 0, 300, WriteLater);
}

} // namespace trigora::startup
