// End to end: the tray icon and its menu. Real X input (xdotool) clicks the icon and works the
// menu; where a test needs an exact tray event it posts the window's tray message itself.
#include "driver.h"

#include <gtest/gtest.h>

#include <shellapi.h>

using namespace driver;

namespace {

constexpr UINT kTrayMessage = WM_APP + 0x301;
constexpr UINT kTrayId = 100;

bool IconRegistered(HWND owner) {
    NOTIFYICONDATAW data{};
    data.cbSize = NOTIFYICONDATAW_V1_SIZE;
    data.hWnd = owner;
    data.uID = kTrayId;
    data.uFlags = 0; // change nothing: succeeds only while the icon is there
    return Shell_NotifyIconW(NIM_MODIFY, &data) != 0;
}

// The icon sits at the right end of the tray; it is the only one there.
POINT TrayIconPoint() {
    RECT r{};
    GetWindowRect(FindWindowW(L"Shell_TrayWnd", nullptr), &r);
    return {r.right - 12, (r.top + r.bottom) / 2};
}

// Rows of the menu window that are drawn as a line across it: the separators.
int SeparatorLines(HWND menu) {
    RECT r{};
    GetWindowRect(menu, &r);
    HDC screen = GetDC(nullptr);
    COLORREF background = GetPixel(screen, r.left + 4, r.top + 3);
    int lines = 0;
    bool inLine = false;
    // Only the menu's left half: the icon's own tip may show beside the pointer, at the menu's
    // right end, and cut a separator there.
    const int right = r.left + (r.right - r.left) / 2;
    for (int y = r.top + 2; y < r.bottom - 2; ++y) {
        int same = 0;
        COLORREF first = GetPixel(screen, r.left + 6, y);
        int width = right - r.left - 6;
        for (int x = r.left + 6; x < right; x += 2) {
            if (GetPixel(screen, x, y) == first) {
                ++same;
            }
        }
        bool line = first != background && same * 2 >= width - 2;
        if (line && !inLine) {
            ++lines;
        }
        inLine = line;
    }
    ReleaseDC(nullptr, screen);
    return lines;
}

class TrayTest : public ::testing::Test {
  protected:
    Trigora app;
    void SetUp() override { ASSERT_TRUE(app.Started()); }
};

TEST_F(TrayTest, TheIconIsThereAfterStartAndTheTaskbarGetsItBackWhenItRestarts) {
    ASSERT_TRUE(WaitUntil([&] { return IconRegistered(app.Main()); }));
    // A restarted taskbar knows no icons; it announces itself and the program adds its icon again.
    NOTIFYICONDATAW data{};
    data.cbSize = NOTIFYICONDATAW_V1_SIZE;
    data.hWnd = app.Main();
    data.uID = kTrayId;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &data));
    ASSERT_FALSE(IconRegistered(app.Main()));
    SendMessageW(app.Main(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(IconRegistered(app.Main()));
}

TEST_F(TrayTest, ARealRightClickOnTheIconPopsUpTheMenuWithItsItemsInOrder) {
    ASSERT_TRUE(ClickAt(TrayIconPoint(), true));
    HWND menu = OpenPopupMenu();
    ASSERT_NE(menu, nullptr) << "no pop-up menu after a right click on the tray icon";
    // On a loaded machine the menu may show before all its rows are drawn.
    if (!WaitUntil([&] { return SeparatorLines(menu) == 2; }, 3000)) {
        wchar_t work[MAX_PATH] = {};
        if (GetEnvironmentVariableW(L"TRIGORA_TEST_WORK", work, MAX_PATH) > 0) {
            SaveScreenshot(std::wstring(work) + L"/tray-menu.png");
        }
    }
    EXPECT_EQ(SeparatorLines(menu), 2) << "显示主窗口, a separator, 皮肤, a separator, 退出";
    RECT r{};
    GetWindowRect(menu, &r);
    POINT pointer = TrayIconPoint();
    EXPECT_LE(r.right, pointer.x) << "the menu lies left of the pointer";
    // Three items can be chosen, the third ends the program: Down skips the separators.
    ASSERT_TRUE(PressKeys(L"Down Down Down Return"));
    EXPECT_EQ(app.WaitForExit(), 0u) << "退出 ends the program with code 0";
}

TEST_F(TrayTest, ClickingOutsideTheMenuClosesItWithoutACommandEveryTime) {
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        PostMessageW(app.Main(), kTrayMessage, kTrayId, WM_RBUTTONUP);
        ASSERT_NE(OpenPopupMenu(), nullptr);
        ASSERT_TRUE(ClickAt({100, 100}));
        EXPECT_TRUE(WaitUntil([] { return OpenPopupMenu(0) == nullptr; }));
        EXPECT_TRUE(IsWindowVisible(app.Main()));
        EXPECT_EQ(app.WaitForExit(200), static_cast<DWORD>(STILL_ACTIVE));
    }
}

TEST_F(TrayTest, MinimisingHidesTheWindowAndShowMainWindowBringsItBackRestoredAndActive) {
    HWND w = app.Main();
    SendMessageW(w, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(w); })) << "minimised into the tray";
    ASSERT_TRUE(ClickAt(TrayIconPoint(), true));
    HWND menu = OpenPopupMenu();
    ASSERT_NE(menu, nullptr);
    RECT r{};
    GetWindowRect(menu, &r);
    ASSERT_TRUE(ClickAt({r.left + 30, r.top + 10})); // the first item: 显示主窗口
    EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(w) && !IsIconic(w); }));
    EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == w; }))
        << "foreground: " << Utf8(ClassName(GetForegroundWindow())) << " " << Utf8(Text(GetForegroundWindow()));
}

TEST_F(TrayTest, ARealDoubleClickOnTheIconShowsTheHiddenWindow) {
    HWND w = app.Main();
    SendMessageW(w, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(w); }));
    ASSERT_TRUE(ClickAt(TrayIconPoint(), false, 2));
    EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(w) && !IsIconic(w); }));
}

TEST_F(TrayTest, OtherMouseActionsOnTheIconDeliverNothing) {
    for (UINT action : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONUP, WM_LBUTTONUP}) {
        PostMessageW(app.Main(), kTrayMessage, kTrayId, action);
    }
    app.Settle();
    Sleep(300);
    EXPECT_EQ(OpenPopupMenu(0), nullptr) << "only a right release or the context request pops up the menu";
    EXPECT_TRUE(IsWindowVisible(app.Main()));
}

TEST_F(TrayTest, ClosingTheMainWindowRemovesTheIcon) {
    HWND w = app.Main();
    ASSERT_TRUE(IconRegistered(w));
    PostMessageW(w, WM_CLOSE, 0, 0);
    EXPECT_EQ(app.WaitForExit(), 0u);
    EXPECT_FALSE(IconRegistered(w));
}

} // namespace
