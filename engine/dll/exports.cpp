// The five exports of Pelk.dll: the skin file beside the library, then the engine behind it.
#include <windows.h>

#include <ntsecapi.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine.h"
#include "skin_reader.h"
#include "trace.h"

namespace {

// A skin file is small; anything far bigger than the largest possible one is refused unread.
constexpr DWORD kMaxFileBytes = 16u << 20;

std::wstring SkinPathBesideModule() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(pelk::EngineModule(), path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) {
            return {};
        }
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    auto slash = path.find_last_of(L"\\/");
    path.resize(slash == std::wstring::npos ? 0 : slash + 1);
    return path + L"skinh.she";
}

bool ReadWholeFile(const std::wstring& path, std::vector<std::uint8_t>* bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool ok = false;
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file, &size) && size.QuadPart <= kMaxFileBytes) {
        bytes->resize(static_cast<std::size_t>(size.QuadPart));
        DWORD got = 0;
        ok = bytes->empty() ||
             (ReadFile(file, bytes->data(), static_cast<DWORD>(bytes->size()), &got, nullptr) &&
              got == bytes->size());
    }
    CloseHandle(file);
    return ok;
}

// Why a skin file was not taken, for whoever watches the debug output (a debugger, DebugView, the
// fault tests): the user is told nothing and the windows keep their look.
void SayRefused(const std::string& why) {
    OutputDebugStringA(("Pelk: skinh.she refused: " + why + "\n").c_str());
}

int Clamp(int v, int lo, int hi) {
    return std::min(std::max(v, lo), hi);
}

} // namespace

extern "C" void* __stack_chk_guard; // the stack protector's canary, in its runtime library

namespace {

// The canary, drawn from the system's random source before the library's runtime starts. The
// runtime leaves a canary that is already set alone; its own way to one opens a cryptographic
// provider, which Wine loads and sets up at every start. Nothing that checks the canary runs yet.
__attribute__((no_stack_protector)) void NTAPI SeedStackGuard(PVOID, DWORD reason, PVOID) {
    if (reason == DLL_PROCESS_ATTACH && __stack_chk_guard == nullptr) {
        RtlGenRandom(&__stack_chk_guard, sizeof __stack_chk_guard);
    }
}

// Between the runtime's own callbacks (.CRT$XLA ... .CRT$XLZ, in name order), which the loader
// calls before the library's entry point.
__attribute__((section(".CRT$XLY"), used)) PIMAGE_TLS_CALLBACK gSeedStackGuard = SeedStackGuard;

} // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        pelk::SetEngineModule(module);
        DisableThreadLibraryCalls(module);
    } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        // Unloaded while the program goes on (its exit clean-up frees the library before the
        // last windows are gone): hand every window back to its own procedure.
        try {
            pelk::Detach();
        } catch (...) {
        }
    }
    return TRUE;
}

int __stdcall SkinH_Attach() {
    try {
        std::vector<std::uint8_t> bytes;
        if (!ReadWholeFile(SkinPathBesideModule(), &bytes)) {
            SayRefused("cannot be read");
            return 0;
        }
        pelk::TraceMark("engine: skin file read");
        auto expanded = trigora::skin::ExpandSkinFile(bytes);
        if (!expanded.error.empty()) {
            SayRefused(expanded.error);
            return 0;
        }
        pelk::TraceMark("engine: skin expanded (LZMA)");
        auto result = trigora::skin::ParseSkin(expanded.content);
        pelk::TraceMark("engine: skin parsed");
        if (!result.skin) {
            SayRefused(result.error); // the windows keep the look they have
            return 0;
        }
        pelk::AttachSkin(std::move(*result.skin));
        return 1;
    } catch (...) {
        return 0;
    }
}

int __stdcall SkinH_AdjustHSV(int hue, int saturation, int brightness) {
    try {
        pelk::AdjustHsv(Clamp(hue, -180, 180), Clamp(saturation, -100, 100), Clamp(brightness, -100, 100));
        return 1;
    } catch (...) {
        return 0;
    }
}

int __stdcall SkinH_SetMenuAlpha(int alpha) {
    pelk::SetMenuAlpha(Clamp(alpha, 0, 255));
    return 1;
}

int __stdcall SkinH_SetAero(int on) {
    try {
        pelk::SetAero(on != 0);
        return 1;
    } catch (...) {
        return 0;
    }
}

int __stdcall SkinH_AdjustAero(int alpha, int brightness, int sharpness, int size, int r, int g, int b) {
    try {
        pelk::AdjustAero({Clamp(alpha, 0, 255), Clamp(brightness, 0, 255), Clamp(sharpness, 0, 12),
                          Clamp(size, 0, 18), Clamp(r, 0, 255), Clamp(g, 0, 255), Clamp(b, 0, 255)});
        return 1;
    } catch (...) {
        return 0;
    }
}

} // extern "C"
