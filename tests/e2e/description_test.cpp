// End to end: the description window opened from the main window, its text, keys and instances.
#include "driver.h"

#include <gtest/gtest.h>

using namespace driver;

namespace {

constexpr int kOpenDescription = 21; // 按钮2 "程序说明"

// The stored description text, decoded from GBK as the window must show it.
std::wstring StoredDescription() {
    HMODULE exe = LoadLibraryExW(TrigoraExe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC found = FindResourceW(exe, MAKEINTRESOURCEW(2), MAKEINTRESOURCEW(10));
    std::wstring text;
    if (found != nullptr) {
        const char* bytes = static_cast<const char*>(LockResource(LoadResource(exe, found)));
        int size = static_cast<int>(SizeofResource(exe, found));
        int n = MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, bytes, size, nullptr, 0);
        text.resize(static_cast<size_t>(n));
        MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, bytes, size, text.data(), n);
    }
    FreeLibrary(exe);
    return text;
}

int CountWindows(DWORD pid, const std::wstring& caption) {
    int n = 0;
    for (HWND h : TopLevelWindows(pid)) {
        if (IsWindow(h) && Text(h) == caption) {
            ++n;
        }
    }
    return n;
}

class DescriptionTest : public ::testing::Test {
  protected:
    Trigora app;
    HWND description = nullptr;
    void SetUp() override {
        ASSERT_TRUE(app.Started());
        PostMessageW(ControlByOrder(app.Main(), kOpenDescription), BM_CLICK, 0, 0);
        description = FindTopLevel(app.ProcessId(), L"程序说明");
        ASSERT_NE(description, nullptr) << "程序说明 did not open the description window";
        app.Settle();
    }
};

TEST_F(DescriptionTest, ItOpensCentredFixedWithATaskbarButtonOwnedByTheMainWindow) {
    RECT r{};
    GetWindowRect(description, &r);
    EXPECT_EQ(r.right - r.left, 380);
    EXPECT_EQ(r.bottom - r.top, 250);
    EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - 380) / 2);
    EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - 250) / 2);
    LONG style = GetWindowLongW(description, GWL_STYLE);
    LONG ex = GetWindowLongW(description, GWL_EXSTYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
    EXPECT_TRUE(ex & WS_EX_APPWINDOW) << "a taskbar button";
    EXPECT_EQ(GetWindow(description, GW_OWNER), app.Main()) << "never hidden behind the always-on-top main window";
    bool aboveMain = false;
    for (HWND h = GetWindow(description, GW_HWNDNEXT); h != nullptr; h = GetWindow(h, GW_HWNDNEXT)) {
        aboveMain = aboveMain || h == app.Main();
    }
    EXPECT_TRUE(aboveMain);
}

TEST_F(DescriptionTest, TheTextIsTheStoredOneReadOnlyWrappedAndShownFromItsFirstLine) {
    HWND edit = ControlByOrder(description, 1);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(ClassName(edit), L"Edit");
    LONG style = GetWindowLongW(edit, GWL_STYLE);
    EXPECT_TRUE(style & ES_MULTILINE);
    EXPECT_TRUE(style & ES_READONLY);
    EXPECT_TRUE(style & WS_VSCROLL);
    EXPECT_FALSE(style & WS_HSCROLL) << "no horizontal bar: lines wrap";
    EXPECT_FALSE(style & ES_AUTOHSCROLL);
    RECT r = RectIn(edit, description);
    EXPECT_EQ(r.left, 1);
    EXPECT_EQ(r.top, 1);
    EXPECT_EQ(r.right - r.left, 376);
    EXPECT_EQ(r.bottom - r.top, 216);

    std::wstring stored = StoredDescription();
    ASSERT_FALSE(stored.empty());
    EXPECT_EQ(Text(edit), stored);
    EXPECT_NE(stored.find(L"< 弧   度   制   由   来 >"), std::wstring::npos);

    DWORD start = 1, end = 1;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 0u) << "nothing selected";
    EXPECT_EQ(SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    EXPECT_GT(SendMessageW(edit, EM_GETLINECOUNT, 0, 0), 11) << "long paragraphs wrap onto more lines";

    // Typing changes nothing.
    Type(edit, L"x");
    app.Settle();
    EXPECT_EQ(Text(edit), stored);
}

TEST_F(DescriptionTest, TheTextIsVioletOnWhite) {
    HWND edit = ControlByOrder(description, 1);
    SetForegroundWindow(description);
    app.Settle();
    Sleep(200);
    RECT r{};
    GetWindowRect(edit, &r);
    HDC screen = GetDC(nullptr);
    int violet = 0, white = 0, other = 0;
    for (int y = r.top + 4; y < r.top + 80; y += 1) {
        for (int x = r.left + 4; x < r.right - 24; x += 2) {
            COLORREF c = GetPixel(screen, x, y);
            // Smoothed text blends violet into white: blue stays full, red and green fall.
            if (c == RGB(255, 255, 255)) {
                ++white;
            } else if (GetBValue(c) > 200 && GetGValue(c) < 120 && GetRValue(c) > 100) {
                ++violet;
            } else if (GetBValue(c) < 225 || GetGValue(c) > GetRValue(c) + 20) {
                ++other;
            }
        }
    }
    ReleaseDC(nullptr, screen);
    EXPECT_GT(white, violet * 3);
    EXPECT_GT(violet, 100) << "the text's pixels are violet";
    EXPECT_LT(other, violet) << "few pixels of another colour";
}

TEST_F(DescriptionTest, EscClosesItAndTheMainWindowStays) {
    PostMessageW(ControlByOrder(description, 1), WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(description); }));
    EXPECT_TRUE(IsWindowVisible(app.Main()));
    EXPECT_EQ(app.WaitForExit(200), static_cast<DWORD>(STILL_ACTIVE));
}

TEST_F(DescriptionTest, ASecondClickBringsTheOpenWindowBackAndBuildsNoOther) {
    PostMessageW(ControlByOrder(app.Main(), kOpenDescription), BM_CLICK, 0, 0);
    app.Settle();
    EXPECT_EQ(CountWindows(app.ProcessId(), L"程序说明"), 1);
    EXPECT_EQ(FindTopLevel(app.ProcessId(), L"程序说明"), description);

    // Minimised (its system menu can), then asked for again: restored.
    SendMessageW(description, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(WaitUntil([&] { return IsIconic(description) != 0; }));
    PostMessageW(ControlByOrder(app.Main(), kOpenDescription), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsIconic(description); }));
    EXPECT_EQ(CountWindows(app.ProcessId(), L"程序说明"), 1);
}

} // namespace
