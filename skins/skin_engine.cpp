// The engine binding: lazy, one function at a time, through the shell's list of loaded libraries;
// and the engine's files at start-up.
#include "skins/skin_engine.h"

#include "resources/resource_ids.h"
#include "shell/app.h"
#include "shell/handles.h"
#include "shell/startup_trace.h"
#include "shell/text.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace trigora::skins {

namespace {

// A function of a library, bound at its first call and then called straight through its address.
struct DeclaredFunction {
    const wchar_t* library;
    const char* name;
    FARPROC address = nullptr;
};

// The full path of the engine copy start-up placed or found identical to the embedded one; empty
// when there is none. The library is loaded from there and nowhere else: by its bare name the
// search order would take a Pelk.dll lying beside the program or in the working directory first,
// and a program started from a downloads folder would run whatever library was put there.
std::wstring gEnginePath;

// In the order they are declared.
DeclaredFunction gAdjustHsv{kEngineLibrary, "SkinH_AdjustHSV"};
DeclaredFunction gSetMenuAlpha{kEngineLibrary, "SkinH_SetMenuAlpha"};
DeclaredFunction gSetAero{kEngineLibrary, "SkinH_SetAero"};
DeclaredFunction gAdjustAero{kEngineLibrary, "SkinH_AdjustAero"};
DeclaredFunction gAttach{kEngineLibrary, "SkinH_Attach"};

FARPROC Bound(DeclaredFunction& f) {
    if (f.address != nullptr) {
        return f.address;
    }
    bool first = LoadedLibraries().empty();
    HMODULE module = gEnginePath.empty() ? nullptr : LoadLibraryW(gEnginePath.c_str());
    if (module == nullptr) {
        FatalError("无法载入动态链接库 " + Gbk(f.library) + "，函数 " + f.name + " 不能调用");
    }
    if (first) {
        startup::Mark("engine library loaded");
    }
    // The shell unloads it at exit; each binding holds its own reference.
    LoadedLibraries().emplace_back(module);
    FARPROC address = GetProcAddress(module, f.name);
    if (address == nullptr) {
        FatalError("动态链接库 " + Gbk(f.library) + " 中找不到函数 " + f.name);
    }
    f.address = address;
    return address;
}

template <typename Function, typename... Args> int Call(DeclaredFunction& f, Args... args) {
    auto function = reinterpret_cast<Function>(reinterpret_cast<void*>(Bound(f)));
    return function(args...);
}

std::wstring Joined(const std::wstring& folder, const wchar_t* leaf) {
    if (folder.empty()) {
        return leaf;
    }
    return folder.back() == L'\\' ? folder + leaf : folder + L"\\" + leaf;
}

std::wstring SystemFolder() {
    wchar_t path[MAX_PATH] = {};
    UINT n = GetSystemDirectoryW(path, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::wstring(path, n) : std::wstring();
}

std::wstring PerUserFolder() {
    wchar_t path[MAX_PATH] = {};
    DWORD n = GetEnvironmentVariableW(L"LOCALAPPDATA", path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
        return {};
    }
    return Joined(std::wstring(path, n), L"Trigora");
}

// The path is kept as UTF-8: a user's folder may hold characters that GBK cannot write.
std::string Utf8(const std::wstring& wide) {
    if (wide.empty()) {
        return {};
    }
    int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr,
                        nullptr);
    return out;
}

std::wstring FromUtf8(const std::string& text) {
    if (text.empty()) {
        return {};
    }
    int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

} // namespace

int SkinH_AdjustHSV(int hue, int saturation, int brightness) {
    return Call<int(__stdcall*)(int, int, int)>(gAdjustHsv, hue, saturation, brightness);
}

int SkinH_SetMenuAlpha(int alpha) {
    return Call<int(__stdcall*)(int)>(gSetMenuAlpha, alpha);
}

int SkinH_SetAero(int on) {
    return Call<int(__stdcall*)(int)>(gSetAero, on);
}

int SkinH_AdjustAero(int transparency, int brightness, int sharpness, int size, int red, int green,
                     int blue) {
    return Call<int(__stdcall*)(int, int, int, int, int, int, int)>(gAdjustAero, transparency, brightness,
                                                                    sharpness, size, red, green, blue);
}

int SkinH_Attach() {
    return Call<int(__stdcall*)()>(gAttach);
}

bool HoldsExactly(const std::wstring& path, std::span<const char> bytes) {
    OwnedFile file(CreateFileW(path.c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return false;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart != static_cast<LONGLONG>(bytes.size())) {
        return false;
    }
    std::vector<char> held(bytes.size());
    DWORD got = 0;
    if (!held.empty() &&
        (!ReadFile(file.Get(), held.data(), static_cast<DWORD>(held.size()), &got, nullptr) ||
         got != held.size())) {
        return false;
    }
    return std::equal(held.begin(), held.end(), bytes.begin(), bytes.end());
}

bool WriteWholeFile(const std::wstring& path, std::span<const char> bytes) {
    OwnedFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0 /* exclusive */, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return false;
    }
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD wrote = 0;
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        if (!WriteFile(file.Get(), bytes.data() + done, chunk, &wrote, nullptr) || wrote == 0) {
            return false;
        }
        done += wrote;
    }
    return file.Close();
}

std::wstring PlaceEngineLibrary(std::span<const char> library, const EngineFolders& folders) {
    for (const std::wstring* folder : {&folders.system, &folders.perUser}) {
        if (folder->empty()) {
            continue;
        }
        std::wstring path = Joined(*folder, kEngineLibrary);
        if (HoldsExactly(path, library)) {
            return *folder;
        }
        if (folder == &folders.perUser) {
            CreateDirectoryW(folder->c_str(), nullptr);
        }
        if (WriteWholeFile(path, library)) {
            return *folder;
        }
    }
    return {};
}

void PrepareEngineFiles() {
    EngineFolders folders{SystemFolder(), PerUserFolder()};
    std::wstring folder = PlaceEngineLibrary(StoredBlock(IDR_ENGINE), folders);
    gEnginePath = folder.empty() ? std::wstring() : Joined(folder, kEngineLibrary);
    if (folder.empty()) {
        folder = folders.system; // nothing could be written: the first engine call will say so
    }
    // The engine looks for the current skin file beside itself.
    SetCurrentSkinFilePath(Joined(folder, kCurrentSkinFile));
}

std::wstring CurrentSkinFilePath() {
    return FromUtf8(GlobalValue());
}

void SetCurrentSkinFilePath(const std::wstring& path) {
    GlobalValue() = Utf8(path);
}

} // namespace trigora::skins
