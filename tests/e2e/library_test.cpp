// End to end: the engine library is loaded only from the copy start-up placed, never from a
// Pelk.dll someone laid beside the program or into the folder it was started from.
#include "driver.h"

#include <tlhelp32.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace driver;

namespace {

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Full paths of every module loaded in the process.
std::vector<std::wstring> ModulePaths(DWORD pid) {
    std::vector<std::wstring> paths;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return paths;
    }
    MODULEENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Module32FirstW(snapshot, &entry); more; more = Module32NextW(snapshot, &entry)) {
        paths.emplace_back(entry.szExePath);
    }
    CloseHandle(snapshot);
    return paths;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return lstrcmpiW(a.c_str(), b.c_str()) == 0;
}

// A working engine of other bytes: the built library with a tail that changes nothing it does,
// so a program that loaded it would run on as if nothing were wrong.
bool PlantLibrary(const std::wstring& path) {
    if (!CopyFileW((BuildFolder() + L"\\Pelk.dll").c_str(), path.c_str(), FALSE)) {
        return false;
    }
    HANDLE f = CreateFileW(path.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
        return false;
    }
    const char tail[512] = "planted";
    DWORD wrote = 0;
    bool ok = WriteFile(f, tail, sizeof tail, &wrote, nullptr) && wrote == sizeof tail;
    CloseHandle(f);
    return ok;
}

class PlantedLibrary : public ::testing::Test {
  protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        static int run = 0;
        std::wstring base = std::wstring(temp) + L"trigora-e2e-library-" + std::to_wstring(++run);
        program_ = base + L"-program";
        started_ = base + L"-started-from";
        CreateDirectoryW(program_.c_str(), nullptr);
        CreateDirectoryW(started_.c_str(), nullptr);
        exe_ = program_ + L"\\Trigora.exe";
        ASSERT_TRUE(CopyFileW(TrigoraExe().c_str(), exe_.c_str(), FALSE)) << "error " << GetLastError();
        planted_ = {program_ + L"\\Pelk.dll", started_ + L"\\Pelk.dll"};
        for (const std::wstring& p : planted_) {
            ASSERT_TRUE(PlantLibrary(p)) << Utf8(p);
        }
    }

    void ExpectNothingPlantedLoaded(DWORD pid) {
        for (const std::wstring& module : ModulePaths(pid)) {
            for (const std::wstring& p : planted_) {
                EXPECT_FALSE(SamePath(module, p)) << "loaded " << Utf8(module);
            }
        }
        EXPECT_FALSE(Exists(program_ + L"\\skinh.she")) << "the current skin file lies beside the engine";
        EXPECT_FALSE(Exists(started_ + L"\\skinh.she"));
    }

    bool Loaded(DWORD pid, const std::wstring& path) {
        for (const std::wstring& module : ModulePaths(pid)) {
            if (SamePath(module, path)) {
                return true;
            }
        }
        return false;
    }

    std::wstring program_, started_, exe_;
    std::vector<std::wstring> planted_;
};

TEST_F(PlantedLibrary, TheSystemFoldersCopyIsLoaded) {
    Trigora app(StartOptions{exe_, started_, true});
    ASSERT_TRUE(app.Started());
    EXPECT_TRUE(Loaded(app.ProcessId(), SystemFile(L"Pelk.dll")));
    ExpectNothingPlantedLoaded(app.ProcessId());
    EXPECT_TRUE(Exists(SystemFile(L"skinh.she")));
}

TEST_F(PlantedLibrary, WithTheSystemFolderClosedThePerUserCopyIsLoaded) {
    DeleteFileW(SystemFile(L"Pelk.dll").c_str());
    ASSERT_TRUE(CreateDirectoryW(SystemFile(L"Pelk.dll").c_str(), nullptr));
    {
        Trigora app(StartOptions{exe_, started_, true});
        ASSERT_TRUE(app.Started());
        EXPECT_TRUE(Loaded(app.ProcessId(), PerUserFolder() + L"\\Pelk.dll"));
        ExpectNothingPlantedLoaded(app.ProcessId());
        EXPECT_TRUE(Exists(PerUserFolder() + L"\\skinh.she"));
    }
    RemoveDirectoryW(SystemFile(L"Pelk.dll").c_str());
}

// Before, a library that could be written nowhere left the bare-name search to find one: the
// planted copy beside the program. Now the program ends through its fatal error instead.
TEST_F(PlantedLibrary, WhenNoCopyCanBePlacedThePlantedOneIsStillNotLoaded) {
    CreateDirectoryW(PerUserFolder().c_str(), nullptr);
    const std::wstring blocked[] = {SystemFile(L"Pelk.dll"), PerUserFolder() + L"\\Pelk.dll"};
    for (const std::wstring& path : blocked) {
        DeleteFileW(path.c_str());
        ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr)) << Utf8(path);
    }
    {
        Trigora app(StartOptions{exe_, started_, false});
        HWND box = MessageBoxOf(app.ProcessId(), 20000);
        ASSERT_NE(box, nullptr) << "no error box";
        ExpectNothingPlantedLoaded(app.ProcessId());
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        EXPECT_EQ(app.WaitForExit(), static_cast<DWORD>(-1));
    }
    for (const std::wstring& path : blocked) {
        RemoveDirectoryW(path.c_str());
    }
}

} // namespace
