// End to end: the main window as a user meets it — its frame, every control of its table, the keys.
#include "driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

using namespace driver;

namespace {

enum Kind { Edit, Label, Group, Button };

struct Expected {
    int order;
    Kind kind;
    int container; // order of the group box that holds it; 0: the window
    RECT rect;     // left, top, right, bottom in the container's client coordinates
    bool visible;
    const wchar_t* text;
};

constexpr RECT R(int l, int t, int w, int h) { return {l, t, l + w, t + h}; }

// The main window's table as a user sees it.
const Expected kControls[] = {
    {1, Edit, 17, R(125, 11, 64, 16), true, L""},      {2, Edit, 17, R(125, 34, 64, 16), true, L""},
    {3, Edit, 17, R(125, 57, 64, 16), true, L""},      {4, Edit, 17, R(125, 81, 64, 16), true, L""},
    {5, Label, 17, R(115, 81, 5, 16), true, L"="},     {6, Label, 17, R(115, 57, 5, 16), true, L"="},
    {7, Label, 17, R(115, 34, 5, 16), true, L"="},     {8, Label, 17, R(115, 11, 5, 16), true, L"="},
    {9, Label, 17, R(53, 11, 60, 16), true, L""},      {10, Label, 17, R(8, 11, 43, 16), true, L"arcsin"},
    {11, Label, 17, R(8, 34, 43, 16), true, L"arccos"}, {12, Label, 17, R(53, 34, 60, 16), true, L""},
    {13, Label, 17, R(13, 57, 35, 16), true, L"arctg"}, {14, Label, 17, R(53, 57, 60, 16), true, L""},
    {15, Label, 17, R(8, 81, 43, 16), true, L"arcctg"}, {16, Label, 17, R(53, 81, 60, 16), true, L""},
    {17, Group, 68, R(201, 7, 196, 102), true, L""},
    {18, Label, 20, R(3, 12, 90, 16), true, L"反函数待求值："},
    {19, Edit, 20, R(97, 10, 50, 20), true, L""},
    {20, Group, 68, R(5, 102, 152, 35), true, L""},
    {21, Button, 68, R(282, 113, 57, 24), true, L"程序说明"},
    {22, Button, 68, R(161, 113, 119, 24), true, L"清除所有数据重计算"},
    {23, Button, 68, R(341, 113, 57, 24), true, L"退出程序"},
    {24, Edit, 69, R(341, 101, 20, 20), false, L""},
    {25, Label, 69, R(377, 68, 24, 20), true, L"弧度"},
    {26, Label, 69, R(270, 68, 7, 20), true, L"="},
    {27, Edit, 69, R(280, 68, 95, 20), true, L""},
    {28, Edit, 0, R(173, 68, 80, 20), true, L""},
    {29, Label, 0, R(258, 68, 11, 20), true, L"度"},
    {30, Label, 69, R(158, 68, 8, 20), true, L"="},
    {31, Edit, 69, R(5, 68, 35, 20), true, L""},
    {32, Label, 69, R(42, 68, 12, 20), true, L"度"},
    {33, Edit, 69, R(55, 68, 35, 20), true, L""},
    {34, Label, 69, R(93, 68, 12, 20), true, L"分"},
    {35, Edit, 69, R(106, 68, 35, 20), true, L""},
    {36, Label, 69, R(143, 68, 12, 20), true, L"秒"},
    {37, Edit, 69, R(341, 95, 20, 20), false, L""},
    {38, Edit, 68, R(103, 86, 64, 16), true, L""},
    {39, Label, 68, R(92, 86, 5, 16), true, L"="},
    {40, Label, 68, R(29, 86, 60, 16), true, L""},
    {41, Label, 68, R(5, 86, 23, 16), true, L"ctg"},
    {42, Edit, 68, R(103, 62, 64, 16), true, L""},
    {43, Label, 68, R(92, 62, 5, 16), true, L"="},
    {44, Label, 68, R(29, 62, 60, 16), true, L""},
    {45, Label, 68, R(10, 62, 15, 16), true, L"tg"},
    {46, Edit, 68, R(103, 39, 64, 16), true, L""},
    {47, Label, 68, R(92, 39, 5, 16), true, L"="},
    {48, Label, 68, R(29, 39, 60, 16), true, L""},
    {49, Label, 68, R(5, 39, 20, 16), true, L"cos"},
    {50, Edit, 68, R(103, 16, 64, 16), true, L""},
    {51, Label, 68, R(92, 16, 5, 16), true, L"="},
    {52, Label, 68, R(29, 16, 60, 16), true, L""},
    {53, Label, 68, R(5, 16, 20, 16), true, L"sin"},
    {54, Edit, 69, R(5, 41, 95, 20), true, L""},
    {55, Label, 69, R(104, 41, 24, 20), true, L"弧度"},
    {56, Label, 69, R(132, 41, 8, 20), true, L"="},
    {57, Edit, 69, R(143, 41, 50, 20), true, L""},
    {58, Label, 69, R(197, 41, 15, 20), true, L"度"},
    {59, Edit, 69, R(212, 41, 50, 20), true, L""},
    {60, Label, 69, R(266, 41, 12, 20), true, L"分"},
    {61, Edit, 69, R(280, 41, 50, 20), true, L""},
    {62, Label, 69, R(333, 41, 15, 20), true, L"秒"},
    {63, Label, 69, R(266, 15, 26, 20), true, L"弧度"},
    {64, Edit, 69, R(143, 15, 120, 20), true, L""},
    {65, Label, 69, R(132, 15, 5, 20), true, L"="},
    {66, Label, 69, R(108, 15, 24, 20), true, L"度"},
    {67, Edit, 69, R(5, 15, 95, 20), true, L""},
    {68, Group, 0, R(3, 98, 405, 142), true, L"对应弧度与角度的函数值"},
    {69, Group, 0, R(3, 1, 405, 95), true, L"弧度与角度转换"},
};

const wchar_t* ClassOf(Kind k) {
    switch (k) {
    case Edit:
        return L"Edit";
    case Label:
        return L"TrigoraLabel";
    case Group:
    case Button:
        return L"Button";
    }
    return L"";
}

class MainWindowTest : public ::testing::Test {
  protected:
    Trigora app;
    void SetUp() override { ASSERT_TRUE(app.Started()) << "Trigora's main window did not appear"; }
};

TEST_F(MainWindowTest, FrameIsCentredFixedAlwaysOnTopWithoutTaskbarButton) {
    HWND w = app.Main();
    RECT r{};
    GetWindowRect(w, &r);
    EXPECT_EQ(r.right - r.left, 416);
    EXPECT_EQ(r.bottom - r.top, 275);
    EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - 416) / 2);
    EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - 275) / 2);

    LONG style = GetWindowLongW(w, GWL_STYLE);
    LONG ex = GetWindowLongW(w, GWL_EXSTYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME) << "the user must not be able to resize it";
    EXPECT_TRUE(ex & WS_EX_TOPMOST);
    EXPECT_FALSE(ex & WS_EX_APPWINDOW);
    EXPECT_EQ(GetMenu(w), nullptr) << "the tray menu is hidden: no menu bar";

    // No taskbar button: owned by a hidden tool window of the program.
    HWND owner = GetWindow(w, GW_OWNER);
    ASSERT_NE(owner, nullptr);
    EXPECT_FALSE(IsWindowVisible(owner));
    EXPECT_TRUE(GetWindowLongW(owner, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    DWORD ownerPid = 0;
    GetWindowThreadProcessId(owner, &ownerPid);
    EXPECT_EQ(ownerPid, app.ProcessId());

}

// How closely the best-placed 16 x 16 rendering of `icon` matches the screen inside `area`
// (mean absolute difference per channel; 0 is a perfect match). The screen is read pixel by pixel:
// the icon is opaque, so the rendering needs no background.
double BestIconMatch(HICON icon, const RECT& area) {
    int w = area.right - area.left;
    int h = area.bottom - area.top;
    std::vector<COLORREF> shown(static_cast<size_t>(w * h));
    HDC screen = GetDC(nullptr);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            shown[static_cast<size_t>(y * w + x)] = GetPixel(screen, area.left + x, area.top + y);
        }
    }
    HDC mem = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = 16;
    bi.bmiHeader.biHeight = -16;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, dib);
    DrawIconEx(mem, 0, 0, icon, 16, 16, 0, nullptr, DI_NORMAL);
    GdiFlush();
    const auto* px = static_cast<const std::uint8_t*>(bits); // B, G, R, x
    double best = 1e9;
    for (int oy = 0; oy + 16 <= h; ++oy) {
        for (int ox = 0; ox + 16 <= w; ++ox) {
            double sum = 0;
            for (int i = 0; i < 256; ++i) {
                COLORREF c = shown[static_cast<size_t>((oy + i / 16) * w + ox + i % 16)];
                const std::uint8_t* d = px + i * 4;
                sum += std::abs(d[2] - GetRValue(c)) + std::abs(d[1] - GetGValue(c)) + std::abs(d[0] - GetBValue(c));
            }
            best = std::min(best, sum / (256 * 3));
        }
    }
    SelectObject(mem, old);
    DeleteObject(dib);
    DeleteDC(mem);
    return best;
}

// Wine does not answer WM_GETICON across processes, so the icon is looked for where a user sees
// it: the caption bar's left end shows the program's dial, not the system's default icon.
TEST_F(MainWindowTest, CaptionShowsTheProgramsIcon) {
    HWND w = app.Main();
    SetForegroundWindow(w);
    app.Settle();
    Sleep(200);
    HMODULE exe = LoadLibraryExW(TrigoraExe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(exe, nullptr);
    auto ours = static_cast<HICON>(LoadImageW(exe, MAKEINTRESOURCEW(1), IMAGE_ICON, 32, 32, 0));
    ASSERT_NE(ours, nullptr);
    RECT r{};
    GetWindowRect(w, &r);
    RECT captionStart{r.left, r.top, r.left + 32, r.top + 30};
    double matchOurs = BestIconMatch(ours, captionStart);
    double matchDefault = BestIconMatch(LoadIconW(nullptr, IDI_APPLICATION), captionStart);
    EXPECT_LT(matchOurs, 12.0);
    EXPECT_LT(matchOurs, matchDefault);
    DestroyIcon(ours);
    FreeLibrary(exe);
}

TEST_F(MainWindowTest, EveryControlOfTheTableIsInPlace) {
    HWND w = app.Main();
    for (const Expected& e : kControls) {
        SCOPED_TRACE("order " + std::to_string(e.order));
        HWND c = ControlByOrder(w, e.order);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(ClassName(c), ClassOf(e.kind));
        HWND container = e.container == 0 ? w : ControlByOrder(w, e.container);
        EXPECT_EQ(GetParent(c), container);
        RECT r = RectIn(c, container);
        EXPECT_EQ(r.left, e.rect.left);
        EXPECT_EQ(r.top, e.rect.top);
        EXPECT_EQ(r.right - r.left, e.rect.right - e.rect.left);
        EXPECT_EQ(r.bottom - r.top, e.rect.bottom - e.rect.top);
        EXPECT_EQ(IsWindowVisible(c) != 0, e.visible);
        EXPECT_EQ(Text(c), std::wstring(e.text));
        LONG style = GetWindowLongW(c, GWL_STYLE);
        if (e.kind == Group) {
            EXPECT_EQ(style & BS_TYPEMASK, BS_GROUPBOX);
        }
        if (e.kind == Button) {
            EXPECT_EQ(style & BS_TYPEMASK, BS_PUSHBUTTON);
        }
        if (e.kind == Edit) {
            EXPECT_TRUE(style & WS_TABSTOP);
            EXPECT_FALSE(style & ES_READONLY) << "every box of the main window is editable";
        }
    }
}

TEST_F(MainWindowTest, InputAndResultBoxesLookAsDeclared) {
    HWND w = app.Main();
    struct Look {
        int order;
        bool centred;
        LONG exEdge; // WS_EX_CLIENTEDGE sunken, WS_EX_STATICEDGE shallow sunken; 0 with WS_BORDER
    };
    const Look looks[] = {{67, false, WS_EX_CLIENTEDGE}, {64, true, WS_EX_STATICEDGE}, {54, false, WS_EX_CLIENTEDGE},
                          {57, true, WS_EX_STATICEDGE},  {28, true, WS_EX_STATICEDGE}, {19, false, 0},
                          {1, true, WS_EX_STATICEDGE}};
    for (const Look& l : looks) {
        SCOPED_TRACE("order " + std::to_string(l.order));
        HWND c = ControlByOrder(w, l.order);
        ASSERT_NE(c, nullptr);
        LONG style = GetWindowLongW(c, GWL_STYLE);
        LONG ex = GetWindowLongW(c, GWL_EXSTYLE);
        EXPECT_EQ((style & ES_CENTER) != 0, l.centred);
        RECT outer{};
        RECT client{};
        GetWindowRect(c, &outer);
        GetClientRect(c, &client);
        int frame = (outer.right - outer.left) - client.right;
        if (l.exEdge != 0) {
            EXPECT_TRUE(ex & l.exEdge);
            EXPECT_EQ(frame, l.exEdge == WS_EX_CLIENTEDGE ? 4 : 2);
        } else {
            // The edit control takes WS_BORDER off its style and draws a one-pixel frame itself.
            EXPECT_FALSE(ex & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE));
            SetForegroundWindow(w);
            app.Settle();
            HDC screen = GetDC(nullptr);
            COLORREF edge = GetPixel(screen, outer.left, (outer.top + outer.bottom) / 2);
            COLORREF inside = GetPixel(screen, outer.left + 3, (outer.top + outer.bottom) / 2);
            ReleaseDC(nullptr, screen);
            COLORREF face = GetSysColor(COLOR_BTNFACE);
            EXPECT_LT(GetRValue(edge) + GetGValue(edge) + GetBValue(edge),
                      GetRValue(face) + GetGValue(face) + GetBValue(face) - 60)
                << "thin single-line border";
            EXPECT_EQ(inside, RGB(255, 255, 255));
        }
        EXPECT_FALSE(style & ES_MULTILINE);
    }
}

TEST_F(MainWindowTest, CaretStartsInTheFirstDegreesBox) {
    GUITHREADINFO gui{};
    gui.cbSize = sizeof(gui);
    ASSERT_TRUE(GetGUIThreadInfo(GetWindowThreadProcessId(app.Main(), nullptr), &gui));
    EXPECT_EQ(gui.hwndFocus, ControlByOrder(app.Main(), 67));
}

TEST_F(MainWindowTest, TabVisitsTheFocusableControlsButNeverTheHiddenBoxes) {
    HWND w = app.Main();
    DWORD thread = GetWindowThreadProcessId(w, nullptr);
    std::vector<int> visited;
    for (int i = 0; i < 45; ++i) {
        GUITHREADINFO gui{};
        gui.cbSize = sizeof(gui);
        GetGUIThreadInfo(thread, &gui);
        visited.push_back(GetDlgCtrlID(gui.hwndFocus) - 1000 + 1);
        PostMessageW(gui.hwndFocus, WM_KEYDOWN, VK_TAB, 1);
        PostMessageW(gui.hwndFocus, WM_KEYUP, VK_TAB, 0xC0000001);
        // A sent message overtakes posted ones, so settling alone may look before the key was
        // handled: wait for the focus to move on.
        HWND before = gui.hwndFocus;
        WaitUntil(
            [&] {
                GetGUIThreadInfo(thread, &gui);
                return gui.hwndFocus != before;
            },
            2000);
        app.Settle();
    }
    for (int order : visited) {
        EXPECT_NE(order, 24) << "编辑框21 is hidden";
        EXPECT_NE(order, 37) << "编辑框15 is hidden";
    }
    // Every edit box and push button the user sees is reached.
    for (int order : {1, 19, 21, 22, 23, 27, 28, 31, 54, 57, 64, 67}) {
        EXPECT_NE(std::find(visited.begin(), visited.end(), order), visited.end()) << "order " << order;
    }
}

TEST_F(MainWindowTest, TheWindowsOwnRowThreeBoxesLieAboveTheGroupFrame) {
    HWND w = app.Main();
    HWND frame = ControlByOrder(w, 69);
    for (int order : {28, 29}) {
        bool above = false;
        for (HWND h = GetWindow(ControlByOrder(w, order), GW_HWNDNEXT); h != nullptr; h = GetWindow(h, GW_HWNDNEXT)) {
            above = above || h == frame;
        }
        EXPECT_TRUE(above) << "order " << order;
    }
}

TEST_F(MainWindowTest, EscIsIgnoredAndTheCloseBoxEndsTheProgramWithCodeZero) {
    HWND w = app.Main();
    SetForegroundWindow(w);
    HWND edit = ControlByOrder(w, 67);
    PostMessageW(edit, WM_KEYDOWN, VK_ESCAPE, 1);
    PostMessageW(edit, WM_KEYUP, VK_ESCAPE, 0xC0000001);
    app.Settle();
    Sleep(300);
    EXPECT_TRUE(IsWindowVisible(w)) << "Esc must not close the main window";

    POINT close{};
    ASSERT_TRUE(FindHitPoint(w, HTCLOSE, close));
    ASSERT_TRUE(ClickAt(close));
    EXPECT_EQ(app.WaitForExit(), 0u);
}

TEST_F(MainWindowTest, TheExitButtonEndsTheProgramWithCodeZero) {
    HWND exitButton = ControlByOrder(app.Main(), 23);
    ASSERT_NE(exitButton, nullptr);
    PostMessageW(exitButton, BM_CLICK, 0, 0);
    EXPECT_EQ(app.WaitForExit(), 0u);
}

TEST(StartUp, TheWorkingDirectoryIsTheProgramFolderWhereverItStarts) {
    // The process keeps its current directory with a trailing backslash; a program in a drive
    // root must get the root itself, not "C:" (which would leave the directory where it was).
    ASSERT_TRUE(CopyFileW(TrigoraExe().c_str(), L"C:\\Trigora.exe", FALSE)) << GetLastError();
    struct Case {
        std::wstring exe;
        std::wstring expected;
    };
    const Case cases[] = {
        {L"", BuildFolder() + L"\\"},
        {L"C:\\Trigora.exe", L"C:\\"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf8(c.expected));
        Trigora app(StartOptions{c.exe, L"C:\\windows", true});
        ASSERT_TRUE(app.Started());
        std::wstring dir = app.CurrentDirectory();
        EXPECT_EQ(_wcsicmp(dir.c_str(), c.expected.c_str()), 0) << Utf8(dir);
    }
    DeleteFileW(L"C:\\Trigora.exe");
}

} // namespace
