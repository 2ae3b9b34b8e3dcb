// End to end: the program under faults of its files, its registry key and its input. For each: what
// it shows, that it keeps running where it should, and that the thirteen saved settings survive.
// (The single faults with their own effects — the engine in the user's folder, a locked file at a
// skin pick, the fatal box — are in skins_test.cpp; here they meet saved settings and each other.)
#include "driver.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <random>

using namespace driver;

namespace {

constexpr wchar_t kKey[] = L"Software\\Microsoft\\Vornel\\Trigora";
const wchar_t* const kValueNames[13] = {L"SkinID",   L"SDID",  L"BHDID", L"LDID",  L"CDTMID",
                                        L"Aero特效", L"Aero1", L"Aero2", L"Aero3", L"Aero4",
                                        L"Aero5",    L"Aero6", L"Aero7"};
// A saved look that is not the defaults anywhere: Vista, shifted colours, the shadow on.
constexpr DWORD kSaved[13] = {25, 200, 120, 90, 200, 1, 100, 150, 6, 9, 20, 40, 60};
constexpr int kVista = 25;

constexpr UINT kOpenSkinSettings = 0x8003; // tray menu entry 3, "皮肤"
constexpr UINT kSaveAndClose = 0x8006;     // 测试 menu entry 6, "保存设置退出"
constexpr int kSkinList = 3;               // 组合框1 of the settings window

// The main window's boxes by table order.
constexpr int kDegrees = 67, kRadiansOut = 64;
constexpr int kInputs[] = {67, 54, 31, 33, 35, 19}; // 编辑框1, 5, 16, 17, 18, 22
constexpr int kResults[] = {64, 57, 59, 61, 28, 27, 50, 46, 42, 38, 1, 2, 3, 4};

std::vector<char> StoredSkin(int index) {
    wchar_t leaf[16];
    swprintf(leaf, 16, L"\\%02d.she", index);
    const std::wstring path = FromUtf8(TRIGORA_SKIN_DIR) + leaf;
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    std::vector<char> bytes;
    if (f != INVALID_HANDLE_VALUE) {
        bytes.resize(GetFileSize(f, nullptr));
        DWORD got = 0;
        if (bytes.empty() || !ReadFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr)) {
            bytes.clear();
        }
        CloseHandle(f);
    }
    return bytes;
}

bool WriteFileBytes(const std::wstring& path, const std::vector<char>& bytes) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const bool ok =
        bytes.empty() || WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(f);
    return ok && written == bytes.size();
}

void SaveSettings() {
    RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
    for (int i = 0; i < 13; ++i) {
        RegSetKeyValueW(HKEY_CURRENT_USER, kKey, kValueNames[i], REG_DWORD, &kSaved[i], sizeof(DWORD));
    }
}

void ExpectSettingsKept(const char* after) {
    for (int i = 0; i < 13; ++i) {
        DWORD value = 0, type = 0, size = sizeof value;
        const LSTATUS r =
            RegGetValueW(HKEY_CURRENT_USER, kKey, kValueNames[i], RRF_RT_ANY, &type, &value, &size);
        EXPECT_TRUE(r == ERROR_SUCCESS && type == REG_DWORD && value == kSaved[i])
            << Utf8(kValueNames[i]) << " after " << after << ": " << value << " (error " << r << ")";
    }
}

// A result box holds nothing, one of the two messages, or a number as FormatNumber writes it.
bool WellFormedResult(const std::wstring& t) {
    if (t.empty() || t == L"无穷数...！" || t == L"超出定义") {
        return true;
    }
    if (t.size() > 20) {
        return false;
    }
    size_t i = t[0] == L'-' ? 1 : 0;
    size_t digits = 0;
    bool point = false;
    for (; i < t.size() && (iswdigit(t[i]) || (t[i] == L'.' && !point)); ++i) {
        point = point || t[i] == L'.';
        digits += t[i] != L'.';
    }
    if (digits == 0) {
        return false;
    }
    if (i == t.size()) {
        return true;
    }
    return t.size() - i == 5 && t[i] == L'e' && (t[i + 1] == L'+' || t[i + 1] == L'-') &&
           iswdigit(t[i + 2]) && iswdigit(t[i + 3]) && iswdigit(t[i + 4]);
}

class Faults : public ::testing::Test {
  protected:
    void SetUp() override {
        SaveSettings();
        DeleteFileW(SystemFile(L"skinh.she").c_str());
        // The program alone in a folder, as shipped: no engine library beside it.
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        const std::wstring folder = std::wstring(temp) + L"trigora-e2e-faults";
        CreateDirectoryW(folder.c_str(), nullptr);
        exe_ = folder + L"\\Trigora.exe";
        ASSERT_TRUE(CopyFileW(TrigoraExe().c_str(), exe_.c_str(), FALSE));
    }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kKey); }

  public:
    std::unique_ptr<Trigora> Start(bool waitForMain = true) {
        return std::make_unique<Trigora>(StartOptions{exe_, L"", waitForMain});
    }

  protected:
    // The program answers as it should: 30 degrees typed give the radians.
    static void ExpectComputing(Trigora& app, const char* when) {
        HWND degrees = ControlByOrder(app.Main(), kDegrees);
        ClearByKeys(degrees);
        Type(degrees, L"30");
        app.Settle();
        EXPECT_EQ(Text(ControlByOrder(app.Main(), kRadiansOut)), L"0.5235987755833") << when;
    }

    // Opens the skin settings window, checks that it shows the saved skin, saves and closes it.
    static void SaveThroughTheWindow(Trigora& app, const char* when) {
        PostMessageW(app.Main(), WM_COMMAND, kOpenSkinSettings, 0);
        HWND settings = nullptr;
        WaitUntil([&] {
            for (HWND h : TopLevelWindows(app.ProcessId())) {
                if (h != app.Main() && IsWindowVisible(h) && ClassName(h) == L"TrigoraWindow" &&
                    ControlByOrder(h, kSkinList) != nullptr) {
                    settings = h;
                    return true;
                }
            }
            return false;
        });
        ASSERT_NE(settings, nullptr) << when << ": no settings window";
        app.Settle();
        EXPECT_EQ(SendMessageW(ControlByOrder(settings, kSkinList), CB_GETCURSEL, 0, 0), kVista)
            << when << ": the saved skin is the one shown";
        PostMessageW(settings, WM_COMMAND, kSaveAndClose, 0);
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(settings); })) << when << ": the window closes";
        EXPECT_EQ(MessageBoxOf(app.ProcessId(), 300), nullptr) << when << ": saving says nothing";
    }

    std::wstring exe_;
};

struct FileFault {
    const char* name;
    // Puts the fault in place; returns what undoes it (handles closed, folders removed).
    std::function<std::function<void()>(Faults&)> arrange;
    // What the engine says of the file it met at the start; nullptr: it takes the file.
    const char* refusal = nullptr;
};

constexpr const char* kDamaged = "Pelk: skinh.she refused: skin file: ";
constexpr const char* kUnreadable = "Pelk: skinh.she refused: cannot be read";

// A point of the main window's face that no control covers, right of 标签3 in 分组框1: the system's
// face colour when nothing is skinned, the skin's face otherwise.
COLORREF MainFace(HWND main) {
    POINT p{353, 26};
    ClientToScreen(main, &p);
    return ScreenPixel(p);
}

HANDLE Hold(const std::wstring& path, DWORD share) {
    return CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
}

// Damaged versions of the saved skin's file, each held so that the program cannot write over it
// while the engine can still read it: the engine meets exactly these bytes at the start.
std::vector<char> Damaged(int how) {
    std::vector<char> vista = StoredSkin(kVista);
    switch (how) {
    case 0: // empty
        return {};
    case 1: // the header alone
        vista.resize(15);
        return vista;
    case 2: // cut in half
        vista.resize(vista.size() / 2);
        return vista;
    case 3: // one byte of the stream changed
        vista[200] = static_cast<char>(vista[200] ^ 0x40);
        return vista;
    case 4: // the header announcing more than any skin expands to
        vista[9] = 0x7f;
        return vista;
    default: { // 64 KiB of noise behind a right header
        std::mt19937 rng(7);
        vista.resize(65536);
        for (size_t i = 15; i < vista.size(); ++i) {
            vista[i] = static_cast<char>(rng());
        }
        return vista;
    }
    }
}

std::function<std::function<void()>(Faults&)> DamagedAndHeld(int how) {
    return [how](Faults&) -> std::function<void()> {
        const std::wstring path = SystemFile(L"skinh.she");
        EXPECT_TRUE(WriteFileBytes(path, Damaged(how)));
        HANDLE held = Hold(path, FILE_SHARE_READ);
        EXPECT_NE(held, INVALID_HANDLE_VALUE);
        return [held, path, how] {
            CloseHandle(held);
            HANDLE f = Hold(path, FILE_SHARE_READ);
            std::vector<char> now(GetFileSize(f, nullptr));
            DWORD got = 0;
            if (!now.empty()) {
                ReadFile(f, now.data(), static_cast<DWORD>(now.size()), &got, nullptr);
            }
            CloseHandle(f);
            EXPECT_EQ(now, Damaged(how)) << "the damaged file was written over: the fault was not in place";
        };
    };
}

const FileFault kFileFaults[] = {
    {"the current skin file held open, unshared, by another process",
     [](Faults&) -> std::function<void()> {
         const std::wstring path = SystemFile(L"skinh.she");
         EXPECT_TRUE(WriteFileBytes(path, StoredSkin(0)));
         HANDLE held = Hold(path, 0);
         EXPECT_NE(held, INVALID_HANDLE_VALUE);
         return [held] { CloseHandle(held); };
     },
     kUnreadable},
    {"an empty current skin file that cannot be written", DamagedAndHeld(0), kDamaged},
    {"a current skin file of its header alone", DamagedAndHeld(1), kDamaged},
    {"a current skin file cut in half", DamagedAndHeld(2), kDamaged},
    {"a current skin file with one byte changed", DamagedAndHeld(3), kDamaged},
    {"a current skin file announcing a huge content", DamagedAndHeld(4), kDamaged},
    {"a current skin file of noise behind its header", DamagedAndHeld(5), kDamaged},
    {"the system folder closed to the library (a folder by its name)",
     [](Faults&) -> std::function<void()> {
         const std::wstring blocked = SystemFile(L"Pelk.dll");
         DeleteFileW(blocked.c_str());
         EXPECT_TRUE(CreateDirectoryW(blocked.c_str(), nullptr));
         return [blocked] {
             RemoveDirectoryW(blocked.c_str());
             DeleteFileW((PerUserFolder() + L"\\Pelk.dll").c_str());
             DeleteFileW((PerUserFolder() + L"\\skinh.she").c_str());
         };
     }},
    {"a first instance running, with the library loaded and the skin file attached",
     [](Faults& f) -> std::function<void()> {
         auto first = std::make_shared<std::unique_ptr<Trigora>>(f.Start());
         EXPECT_TRUE((*first)->Started());
         return [first] {
             EXPECT_EQ((*first)->WaitForExit(0), static_cast<DWORD>(STILL_ACTIVE))
                 << "the first instance ran on";
             PostMessageW((*first)->Main(), WM_CLOSE, 0, 0);
             EXPECT_EQ((*first)->WaitForExit(), 0u);
         };
     }},
};

TEST_F(Faults, UnderEachFileFaultTheProgramRunsSavesAndEndsAndTheSavedSettingsSurvive) {
    for (const FileFault& fault : kFileFaults) {
        SCOPED_TRACE(fault.name);
        SaveSettings();
        std::function<void()> undo = fault.arrange(*this);
        {
            DebugOutput engine;
            ASSERT_TRUE(engine.Listening());
            auto app = Start();
            ASSERT_TRUE(app->Started()) << "the main window did not show";
            EXPECT_EQ(MessageBoxOf(app->ProcessId(), 500), nullptr) << "no message at start";
            // The bytes reached SkinH_Attach, which refused them by itself: nothing is skinned.
            std::string said;
            for (const std::string& line : engine.Of(app->ProcessId())) {
                said += line;
            }
            if (fault.refusal != nullptr) {
                EXPECT_NE(said.find(fault.refusal), std::string::npos) << "the engine said: " << said;
                EXPECT_EQ(MainFace(app->Main()), GetSysColor(COLOR_BTNFACE)) << "the windows stay unskinned";
            } else {
                EXPECT_EQ(said.find("refused"), std::string::npos) << "the engine said: " << said;
                EXPECT_NE(MainFace(app->Main()), GetSysColor(COLOR_BTNFACE)) << "the saved skin is on";
            }
            ExpectComputing(*app, fault.name);
            SaveThroughTheWindow(*app, fault.name);
            EXPECT_EQ(app->WaitForExit(0), static_cast<DWORD>(STILL_ACTIVE));
            PostMessageW(app->Main(), WM_CLOSE, 0, 0);
            EXPECT_EQ(app->WaitForExit(), 0u) << "closing the main window ends it normally";
        }
        undo();
        ExpectSettingsKept(fault.name);
        DeleteFileW(SystemFile(L"skinh.she").c_str());
    }
}

// The library nowhere to be had is fatal (skins_test.cpp checks the box); what was saved stays.
TEST_F(Faults, TheFatalErrorOfAMissingLibraryLeavesTheSavedSettings) {
    CreateDirectoryW(PerUserFolder().c_str(), nullptr);
    const std::wstring blocked[] = {SystemFile(L"Pelk.dll"), PerUserFolder() + L"\\Pelk.dll"};
    for (const std::wstring& path : blocked) {
        DeleteFileW(path.c_str());
        ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr));
    }
    {
        auto app = Start(false);
        HWND box = MessageBoxOf(app->ProcessId(), 20000);
        ASSERT_NE(box, nullptr) << "no error box";
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        EXPECT_EQ(app->WaitForExit(), static_cast<DWORD>(-1));
    }
    for (const std::wstring& path : blocked) {
        RemoveDirectoryW(path.c_str());
    }
    ExpectSettingsKept("the fatal error");
}

// A key the program can read but not write: the save fails without a word, the values stay.
TEST_F(Faults, AKeyClosedToWritingKeepsEveryValue) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    ASSERT_TRUE(CloseKeyToWriting(key));
    RegCloseKey(key);
    HKEY probe = nullptr;
    ASSERT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_SET_VALUE, &probe), ERROR_SUCCESS)
        << "the key is still writable: the fault is not in place";

    auto app = Start();
    ASSERT_TRUE(app->Started());
    SaveThroughTheWindow(*app, "a read-only key");
    ExpectComputing(*app, "a read-only key");
    EXPECT_EQ(app->WaitForExit(0), static_cast<DWORD>(STILL_ACTIVE));
    ExpectSettingsKept("a save into a read-only key");
}

// 64 KiB put into every input box, by the clipboard as a user pastes and as a set text: the
// program runs on, every result box holds a number or a message, and it computes afterwards.
TEST_F(Faults, SixtyFourKibibytesInEveryInputBox) {
    auto app = Start();
    ASSERT_TRUE(app->Started());
    std::wstring digits(65536, L'0');
    for (size_t i = 0; i < digits.size(); ++i) {
        digits[i] = static_cast<wchar_t>(L'1' + i % 9);
    }
    std::wstring fraction = L"-0." + digits.substr(3);
    std::wstring mixed;
    const wchar_t pieces[] = L"1e9999９８.。-+ 角度αβ\t\x00e9z";
    for (size_t i = 0; mixed.size() < 65536; ++i) {
        mixed.push_back(pieces[i % (sizeof pieces / sizeof pieces[0] - 1)]);
    }
    const struct {
        const char* name;
        const std::wstring& text;
    } texts[] = {{"digits", digits}, {"a negative fraction", fraction}, {"a mixture", mixed}};

    for (const auto& t : texts) {
        for (const bool byClipboard : {true, false}) {
            if (!byClipboard && &t.text != &digits) {
                continue; // Wine's edit control takes 4 s to set 64 KiB: one text is set, all are pasted
            }
            for (int box : kInputs) {
                SCOPED_TRACE(std::string(t.name) + (byClipboard ? ", pasted" : ", set") + ", box " +
                             std::to_string(box));
                HWND edit = ControlByOrder(app->Main(), box);
                ClearByKeys(edit);
                if (byClipboard) {
                    // Wine hands the clipboard between processes through the X server; on a
                    // loaded machine a paste now and then finds it not yet there, so it is
                    // offered again, a few times at most.
                    for (int attempt = 0; attempt < 3 && Text(edit).size() <= 1000; ++attempt) {
                        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, (t.text.size() + 1) * sizeof(wchar_t));
                        ASSERT_NE(block, nullptr);
                        std::memcpy(GlobalLock(block), t.text.c_str(), (t.text.size() + 1) * sizeof(wchar_t));
                        GlobalUnlock(block);
                        ASSERT_TRUE(OpenClipboard(nullptr));
                        EmptyClipboard();
                        SetClipboardData(CF_UNICODETEXT, block);
                        CloseClipboard();
                        ClearByKeys(edit);
                        SendMessageW(edit, WM_PASTE, 0, 0);
                        app->Settle();
                    }
                } else {
                    SetText(edit, t.text);
                }
                app->Settle();
                ASSERT_EQ(app->WaitForExit(0), static_cast<DWORD>(STILL_ACTIVE)) << "the program ended";
                EXPECT_GT(Text(edit).size(), 1000u) << "the text did not arrive";
                for (int result : kResults) {
                    const std::wstring shown = Text(ControlByOrder(app->Main(), result));
                    EXPECT_TRUE(WellFormedResult(shown))
                        << "result box " << result << ": " << Utf8(shown.substr(0, 40));
                }
                ClearByKeys(edit);
            }
        }
    }
    ExpectComputing(*app, "after 64 KiB in every box");
    ExpectSettingsKept("64 KiB in every box");
}

} // namespace
