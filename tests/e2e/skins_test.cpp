// End to end: the skin settings window from the tray menu, the skin and look it puts on, the
// thirteen saved values and what the next start makes of them; the engine library's files.
#include "driver.h"

#include <commctrl.h>
#include <tlhelp32.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

using namespace driver;

namespace {

constexpr UINT kTrayMessage = WM_APP + 0x301;
constexpr UINT kTrayId = 100;
constexpr wchar_t kKey[] = L"Software\\Microsoft\\Vornel\\Trigora";
constexpr int kVista = 25;

// Orders (1 first) of the settings window's controls in its table.
enum Order {
    kList = 3,
    kSD = 6,
    kBHD = 8,
    kLD = 10,
    kCDTM = 13,
    kAeroGroup = 14,
    kShadowBox = 15,
    kAero1 = 17, // AERO_1 … AERO_7 at 17, 19, … 29
    kStatusBar = 30,
};

const wchar_t* const kValueNames[13] = {L"SkinID",   L"SDID",  L"BHDID", L"LDID",  L"CDTMID",
                                        L"Aero特效", L"Aero1", L"Aero2", L"Aero3", L"Aero4",
                                        L"Aero5",    L"Aero6", L"Aero7"};

std::vector<char> ReadAll(const std::wstring& path) {
    std::vector<char> bytes;
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
        return bytes;
    }
    bytes.resize(GetFileSize(f, nullptr));
    DWORD got = 0;
    if (!bytes.empty()) {
        ReadFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    }
    bytes.resize(got);
    CloseHandle(f);
    return bytes;
}

std::vector<char> StoredSkin(int index) {
    wchar_t leaf[16];
    swprintf(leaf, 16, L"\\%02d.she", index);
    return ReadAll(FromUtf8(TRIGORA_SKIN_DIR) + leaf);
}

bool ReadDword(const wchar_t* name, DWORD* value) {
    DWORD type = 0, size = sizeof(*value);
    return RegGetValueW(HKEY_CURRENT_USER, kKey, name, RRF_RT_ANY, &type, value, &size) == ERROR_SUCCESS &&
           type == REG_DWORD && size == 4;
}

// Hue of a colour in degrees, and how far apart two hues are.
double Hue(COLORREF c) {
    double r = GetRValue(c) / 255.0, g = GetGValue(c) / 255.0, b = GetBValue(c) / 255.0;
    double mx = std::max({r, g, b}), mn = std::min({r, g, b});
    if (mx - mn < 1e-9) {
        return 0;
    }
    double h = mx == r ? (g - b) / (mx - mn) : mx == g ? 2 + (b - r) / (mx - mn) : 4 + (r - g) / (mx - mn);
    return std::fmod(h * 60 + 360, 360);
}
double HueDistance(double a, double b) {
    double d = std::fabs(a - b);
    return std::min(d, 360 - d);
}

std::string Describe(COLORREF c) {
    char text[32];
    std::snprintf(text, sizeof text, "rgb(%d,%d,%d)", GetRValue(c), GetGValue(c), GetBValue(c));
    return text;
}

// A point of the caption bar that no text or button covers.
POINT CaptionPoint(HWND w) {
    RECT r{};
    GetWindowRect(w, &r);
    return {r.left + (r.right - r.left) * 3 / 5, r.top + 10};
}

// A real click on the settings window's shadow check box, as a user turns it; the notice it
// brings up, or nullptr when none shows.
HWND ClickShadowBox(DWORD pid, HWND settings) {
    RECT b{};
    GetWindowRect(ControlByOrder(settings, kShadowBox), &b);
    if (!ClickAt({b.left + 8, (b.top + b.bottom) / 2})) {
        ADD_FAILURE() << "the pointer could not reach the shadow box";
        return nullptr;
    }
    return MessageBoxOf(pid, L"温馨提示");
}

// The texts of a dialog's children, joined: what the box says.
std::wstring BoxText(HWND box) {
    std::wstring all;
    for (HWND c = GetWindow(box, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
        all += Text(c) + L"\n";
    }
    return all;
}

void DismissBox(HWND box) {
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    WaitUntil([&] { return !IsWindow(box); });
}

// Renders a caption bar the way Wine draws it without a skin, in both activation states.
struct PlainCaption {
    COLORREF active = CLR_INVALID, inactive = CLR_INVALID;
};
PlainCaption PlainCaptionLike(HWND model) {
    RECT r{};
    GetWindowRect(model, &r);
    HWND w = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_WINDOWEDGE, L"STATIC", L"",
                             WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0, r.right - r.left,
                             r.bottom - r.top, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ShowWindow(w, SW_SHOWNOACTIVATE);
    PlainCaption plain;
    for (bool active : {true, false}) {
        SendMessageW(w, WM_NCACTIVATE, active ? TRUE : FALSE, 0);
        UpdateWindow(w);
        Sleep(300);
        (active ? plain.active : plain.inactive) = ScreenPixel(CaptionPoint(w));
    }
    DestroyWindow(w);
    return plain;
}

// A screenshot into the test's work folder (kept with TRIGORA_KEEP_WORK=1), to look at.
void Shot(const wchar_t* name) {
    wchar_t work[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"TRIGORA_TEST_WORK", work, MAX_PATH) > 0) {
        SaveScreenshot(std::wstring(work) + L"/" + name + L".png");
    }
}

bool Near(COLORREF a, COLORREF b, int tolerance = 6) {
    return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance &&
           std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

class Skins : public ::testing::Test {
  protected:
    void SetUp() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
        DeleteFileW(SystemFile(L"skinh.she").c_str());
        // The program alone in a folder of its own, as it is shipped: no engine library beside it.
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        // A folder per test: an instance a previous test ended may hold its copy for a while.
        static int run = 0;
        folder_ = std::wstring(temp) + L"trigora-e2e-skins-" + std::to_wstring(++run);
        CreateDirectoryW(folder_.c_str(), nullptr);
        exe_ = folder_ + L"\\Trigora.exe";
        ASSERT_TRUE(CopyFileW(TrigoraExe().c_str(), exe_.c_str(), FALSE)) << "error " << GetLastError();
    }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kKey); }

    std::unique_ptr<Trigora> Start(bool waitForMain = true) {
        auto app = std::make_unique<Trigora>(StartOptions{exe_, L"", waitForMain});
        return app;
    }

    // The tray menu's "皮肤", chosen with the keys; the settings window it opens.
    static HWND OpenSettings(Trigora& app) {
        PostMessageW(app.Main(), kTrayMessage, kTrayId, WM_RBUTTONUP);
        if (OpenPopupMenu() == nullptr) {
            ADD_FAILURE() << "no tray menu";
            return nullptr;
        }
        PressKeys(L"Down Down Return"); // 显示主窗口, (separator), 皮肤
        HWND found = nullptr;
        WaitUntil([&] {
            for (HWND h : TopLevelWindows(app.ProcessId())) {
                if (h != app.Main() && IsWindowVisible(h) && ClassName(h) == L"TrigoraWindow" &&
                    Text(h).empty()) {
                    found = h;
                    return true;
                }
            }
            return false;
        });
        app.Settle();
        // The main window stays on top and sits in the middle of this one: a user moves it aside.
        SetWindowPos(app.Main(), nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        app.Settle();
        Sleep(300);
        return found;
    }

    // A pick from the list as a user makes it: the list dropped, the item scrolled into view and
    // clicked.
    static void Pick(Trigora& app, HWND settings, int index) {
        HWND list = ControlByOrder(settings, kList);
        SetForegroundWindow(settings);
        SendMessageW(list, CB_SHOWDROPDOWN, TRUE, 0);
        HWND dropped = DroppedListOf(app.ProcessId());
        ASSERT_NE(dropped, nullptr) << "the list did not drop down";
        SendMessageW(dropped, LB_SETTOPINDEX, static_cast<WPARAM>(index), 0);
        int top = static_cast<int>(SendMessageW(dropped, LB_GETTOPINDEX, 0, 0));
        int height = static_cast<int>(SendMessageW(dropped, LB_GETITEMHEIGHT, 0, 0));
        RECT r{};
        GetClientRect(dropped, &r);
        POINT item{r.left + 30, r.top + (index - top) * height + height / 2};
        ClientToScreen(dropped, &item);
        ASSERT_TRUE(ClickAt(item));
        app.Settle();
        Sleep(300);
    }

    // "保存设置退出" from the pop-up menu of a right click on the window's own face.
    static void SaveFromPopup(HWND settings) {
        RECT r{};
        GetClientRect(settings, &r);
        POINT face{344, 200}; // between the left column of group boxes and 分组框_设置Aero
        ClientToScreen(settings, &face);
        ASSERT_TRUE(ClickAt(face, true));
        HWND menu = OpenPopupMenu();
        ASSERT_NE(menu, nullptr) << "no pop-up menu after a right click on the window";
        Shot(L"test-menu");
        RECT m{};
        GetWindowRect(menu, &m);
        EXPECT_LE(std::abs(m.left - face.x), 4) << "beside the pointer";
        EXPECT_LE(std::abs(m.top - face.y), 4);
        PressKeys(L"Up Return"); // from nothing selected, Up takes the last item
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(settings); })) << "the window closes after saving";
    }

    std::wstring folder_;
    std::wstring exe_;
};

struct Expected {
    int order;
    const wchar_t* cls;
    int container; // order of its group box; 0: the window
    RECT rect;     // left, top, right, bottom in the container's client area
    const wchar_t* text;
};
constexpr RECT R(int l, int t, int w, int h) {
    return {l, t, l + w, t + h};
}

TEST_F(Skins, TheSettingsWindowIsBuiltAsItsTableSays) {
    auto app = Start();
    ASSERT_TRUE(app->Started());
    HWND w = OpenSettings(*app);
    ASSERT_NE(w, nullptr) << "皮肤 opened no window";

    RECT outer{};
    GetWindowRect(w, &outer);
    EXPECT_EQ(outer.right - outer.left, 695);
    EXPECT_EQ(outer.bottom - outer.top, 373);
    EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - 695) / 2);
    EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - 373) / 2);
    LONG style = GetWindowLongW(w, GWL_STYLE), ex = GetWindowLongW(w, GWL_EXSTYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
    EXPECT_TRUE(ex & WS_EX_APPWINDOW) << "a taskbar button";
    EXPECT_EQ(GetWindow(w, GW_OWNER), app->Main()) << "owned by the main window";
    EXPECT_EQ(GetMenu(w), nullptr) << "测试 is a pop-up menu only";

    const Expected controls[] = {
        {1, L"Button", 0, R(11, 11, 328, 76), L""},
        {2, L"TrigoraLabel", 1, R(15, 28, 80, 24), L"软件界面选择"},
        {4, L"Button", 0, R(11, 101, 328, 136), L"色调,饱和度,亮度"},
        {5, L"TrigoraLabel", 4, R(24, 32, 32, 16), L"色调:"},
        {6, L"msctls_trackbar32", 4, R(80, 24, 232, 32), L""},
        {7, L"TrigoraLabel", 4, R(24, 64, 40, 24), L"饱和度:"},
        {8, L"msctls_trackbar32", 4, R(80, 60, 232, 32), L""},
        {9, L"TrigoraLabel", 4, R(24, 100, 56, 24), L"亮度:"},
        {10, L"msctls_trackbar32", 4, R(80, 96, 232, 32), L""},
        {11, L"Button", 0, R(11, 255, 328, 56), L"菜单"},
        {12, L"TrigoraLabel", 11, R(25, 20, 48, 24), L"透明度:"},
        {13, L"msctls_trackbar32", 11, R(79, 20, 233, 24), L""},
        {14, L"Button", 0, R(350, 11, 328, 300), L""},
        {15, L"Button", 0, R(378, 7, 128, 24), L"设置Aero特效"},
        {16, L"TrigoraLabel", 14, R(17, 27, 60, 24), L"透明度:"},
        {18, L"TrigoraLabel", 14, R(17, 65, 60, 24), L"阴影亮度:"},
        {20, L"TrigoraLabel", 14, R(17, 103, 60, 24), L"阴影锐度:"},
        {22, L"TrigoraLabel", 14, R(17, 141, 60, 24), L"阴影大小:"},
        {24, L"TrigoraLabel", 14, R(17, 179, 60, 24), L"红色分量:"},
        {26, L"TrigoraLabel", 14, R(17, 217, 60, 24), L"绿色分量:"},
        {28, L"TrigoraLabel", 14, R(17, 257, 60, 24), L"蓝色分量:"},
    };
    for (const Expected& e : controls) {
        SCOPED_TRACE(e.order);
        HWND c = ControlByOrder(w, e.order);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(ClassName(c), e.cls);
        HWND container = e.container == 0 ? w : ControlByOrder(w, e.container);
        EXPECT_EQ(GetParent(c), container);
        RECT r = RectIn(c, container);
        EXPECT_EQ(r.left, e.rect.left);
        EXPECT_EQ(r.top, e.rect.top);
        EXPECT_EQ(r.right, e.rect.right);
        EXPECT_EQ(r.bottom, e.rect.bottom);
        EXPECT_EQ(Text(c), e.text);
        EXPECT_TRUE(IsWindowVisible(c) && IsWindowEnabled(c));
    }

    // Sliders: range, position, page and line size, ticks.
    struct SliderCase {
        int order, maximum, position;
        bool ticks;
    };
    const SliderCase sliders[] = {
        {kSD, 360, 180, false}, {kBHD, 200, 100, false}, {kLD, 200, 100, false}, {kCDTM, 255, 255, false},
        {17, 255, 0, true},     {19, 255, 0, true},      {21, 12, 0, true},      {23, 18, 0, true},
        {25, 255, 0, true},     {27, 255, 0, true},      {29, 255, 0, true},
    };
    for (const SliderCase& s : sliders) {
        SCOPED_TRACE(s.order);
        HWND c = ControlByOrder(w, s.order);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(SendMessageW(c, TBM_GETRANGEMIN, 0, 0), 0);
        EXPECT_EQ(SendMessageW(c, TBM_GETRANGEMAX, 0, 0), s.maximum);
        EXPECT_EQ(SendMessageW(c, TBM_GETPOS, 0, 0), s.position);
        EXPECT_EQ(SendMessageW(c, TBM_GETPAGESIZE, 0, 0), 5);
        EXPECT_EQ(SendMessageW(c, TBM_GETLINESIZE, 0, 0), 1);
        LONG st = GetWindowLongW(c, GWL_STYLE);
        EXPECT_FALSE(st & TBS_VERT);
        if (s.ticks) {
            EXPECT_TRUE(st & TBS_AUTOTICKS);
            EXPECT_FALSE(st & (TBS_TOP | TBS_BOTH | TBS_NOTICKS)) << "ticks below";
            EXPECT_EQ(SendMessageW(c, TBM_GETNUMTICS, 0, 0), s.maximum + 1) << "a tick at every unit";
        } else {
            EXPECT_TRUE(st & TBS_NOTICKS);
        }
    }

    // The list: the 30 names in catalogue order, the saved (default) skin picked.
    HWND list = ControlByOrder(w, kList);
    ASSERT_EQ(SendMessageW(list, CB_GETCOUNT, 0, 0), 30);
    const struct {
        int index;
        const wchar_t* name;
    } names[] = {{0, L"MSN"},    {2, L"QQ2009_宽_底边"}, {17, L"银白"},
                 {25, L"Vista"}, {28, L"Homestead"},     {29, L"不使用皮肤"}};
    for (const auto& n : names) {
        wchar_t item[64] = {};
        SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(n.index), reinterpret_cast<LPARAM>(item));
        EXPECT_STREQ(item, n.name) << n.index;
    }
    EXPECT_EQ(SendMessageW(list, CB_GETCURSEL, 0, 0), 0);
    EXPECT_FALSE(GetWindowLongW(list, GWL_STYLE) & CBS_SORT);

    // The check box lies across the group box's top edge, and on top of it where they overlap.
    HWND box = ControlByOrder(w, kShadowBox);
    RECT b{};
    GetWindowRect(box, &b);
    RECT g{};
    GetWindowRect(ControlByOrder(w, kAeroGroup), &g);
    EXPECT_LT(b.top, g.top);
    EXPECT_GT(b.bottom, g.top);
    POINT overlap{b.left + 8, g.top + 4};
    EXPECT_EQ(ChildWindowFromPointEx(
                  w,
                  [&] {
                      POINT p = overlap;
                      ScreenToClient(w, &p);
                      return p;
                  }(),
                  CWP_SKIPINVISIBLE),
              box);
    EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_UNCHECKED);

    HWND status = ControlByOrder(w, kStatusBar);
    EXPECT_EQ(ClassName(status), L"msctls_statusbar32");
    EXPECT_EQ(Text(status), L"皮肤设置>参数调整");
    EXPECT_FALSE(GetWindowLongW(status, GWL_STYLE) & SBARS_SIZEGRIP);
    RECT client{}, sr{};
    GetClientRect(w, &client);
    sr = RectIn(status, w);
    EXPECT_EQ(sr.bottom, client.bottom) << "docked at the bottom";

    // A second 皮肤 brings the open window forward and builds no other.
    HWND again = OpenSettings(*app);
    EXPECT_EQ(again, w);

    // Esc closes it.
    SetForegroundWindow(w);
    PostMessageW(ControlByOrder(w, kSD), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(w); }));
}

TEST_F(Skins, PickingASkinPutsItOnAtOnceAndALockedSkinFileFailsQuietly) {
    auto app = Start();
    ASSERT_TRUE(app->Started());
    COLORREF before = ScreenPixel(CaptionPoint(app->Main()));
    EXPECT_EQ(ReadAll(SystemFile(L"skinh.she")), StoredSkin(0)) << "the default skin, MSN, is on";
    HWND w = OpenSettings(*app);
    ASSERT_NE(w, nullptr);

    Pick(*app, w, kVista);
    EXPECT_EQ(ReadAll(SystemFile(L"skinh.she")), StoredSkin(kVista));
    app->Settle();
    Sleep(500);
    COLORREF after = ScreenPixel(CaptionPoint(app->Main()));
    EXPECT_NE(before, after) << "caption " << Describe(before) << " stayed " << Describe(after);
    EXPECT_EQ(MessageBoxOf(app->ProcessId(), L"温馨提示", 300), nullptr) << "a skin put on says nothing";

    // Another handle holds the current skin file: the pick fails silently, the skin stays.
    HANDLE held =
        CreateFileW(SystemFile(L"skinh.she").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Pick(*app, w, 0);
    app->Settle();
    EXPECT_EQ(MessageBoxOf(app->ProcessId(), L"温馨提示", 300), nullptr);
    EXPECT_EQ(app->WaitForExit(200), static_cast<DWORD>(STILL_ACTIVE));
    CloseHandle(held);
    EXPECT_EQ(ReadAll(SystemFile(L"skinh.she")), StoredSkin(kVista));
    EXPECT_TRUE(Near(ScreenPixel(CaptionPoint(app->Main())), after, 2));
}

// What puts a skin in force is a confirmed pick: an item clicked in the dropped list, or Enter.
// Arrow keys on the closed list browse, Esc and the focus leaving cancel, and the field then shows
// the skin in force again.
TEST_F(Skins, OnlyAConfirmedPickPutsASkinOn) {
    auto app = Start();
    ASSERT_TRUE(app->Started());
    HWND w = OpenSettings(*app);
    ASSERT_NE(w, nullptr);
    HWND list = ControlByOrder(w, kList);
    HWND field = GetWindow(list, GW_CHILD);
    ASSERT_EQ(ClassName(field), L"Edit");
    auto inForce = [&](int index) { return ReadAll(SystemFile(L"skinh.she")) == StoredSkin(index); };
    auto shown = [&] { return static_cast<int>(SendMessageW(list, CB_GETCURSEL, 0, 0)); };
    auto focusField = [&] {
        SetForegroundWindow(w);
        RECT r{};
        GetWindowRect(field, &r);
        ClickAt({(r.left + r.right) / 2, (r.top + r.bottom) / 2});
        app->Settle();
    };
    auto droppedList = [&] {
        HWND dropped = DroppedListOf(app->ProcessId());
        return dropped;
    };
    ASSERT_TRUE(inForce(0));

    // Closed list: Down browses, the focus leaving takes the field back to the skin in force.
    focusField();
    PressKeys(L"Down");
    app->Settle();
    EXPECT_EQ(shown(), 1) << "Down shows the next skin";
    EXPECT_TRUE(inForce(0)) << "a browse is no pick";
    PressKeys(L"Tab");
    app->Settle();
    Sleep(200);
    EXPECT_TRUE(inForce(0));
    EXPECT_EQ(shown(), 0) << "the field shows the skin in force again";

    // Closed list: Down, then Enter confirms.
    focusField();
    PressKeys(L"Down Return");
    app->Settle();
    EXPECT_TRUE(inForce(1)) << "Enter confirms the skin shown";
    EXPECT_TRUE(IsWindow(w));

    // Open list: Down moves the highlight, Esc cancels.
    focusField();
    PressKeys(L"F4");
    ASSERT_NE(droppedList(), nullptr) << "F4 dropped no list";
    PressKeys(L"Down Down");
    EXPECT_TRUE(inForce(1)) << "moving in the open list is no pick";
    PressKeys(L"Escape");
    app->Settle();
    Sleep(200);
    EXPECT_TRUE(IsWindow(w)) << "Esc closes the list, not the window";
    EXPECT_TRUE(inForce(1));
    EXPECT_EQ(shown(), 1);

    // Open list: Down and Enter pick.
    PressKeys(L"F4");
    ASSERT_NE(droppedList(), nullptr);
    PressKeys(L"Down Return");
    app->Settle();
    EXPECT_TRUE(inForce(2));
    EXPECT_EQ(shown(), 2);

    // A name that begins another: dropped, the list highlights the skin in force, and Enter
    // keeps it.
    Pick(*app, w, 21); // QQ2009, which QQ2009_宽_底边 (2) and QQ2009_窄_底边 (3) begin with
    ASSERT_TRUE(inForce(21));
    focusField();
    PressKeys(L"F4");
    HWND dropped = droppedList();
    ASSERT_NE(dropped, nullptr);
    app->Settle();
    Sleep(200);
    EXPECT_EQ(SendMessageW(dropped, LB_GETCURSEL, 0, 0), 21);
    PressKeys(L"Return");
    app->Settle();
    EXPECT_TRUE(inForce(21));
    EXPECT_EQ(shown(), 21);
}

TEST_F(Skins, SlidersTheShadowAndSaveAreOnAgainAtTheNextStart) {
    COLORREF shifted = CLR_INVALID;
    COLORREF vista = CLR_INVALID;
    DWORD saved[13] = {};
    {
        auto app = Start();
        ASSERT_TRUE(app->Started());
        HWND main = app->Main();
        HWND w = OpenSettings(*app);
        ASSERT_NE(w, nullptr);
        Pick(*app, w, kVista);
        app->Settle();
        Sleep(500);
        vista = ScreenPixel(CaptionPoint(main));

        // Drag SD's thumb from the middle (180) to the left end and let go below the slider.
        HWND sd = ControlByOrder(w, kSD);
        RECT r{};
        GetWindowRect(sd, &r);
        POINT thumb{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        ASSERT_TRUE(DragThrough(
            {thumb, {thumb.x - 40, thumb.y}, {r.left + 2, thumb.y}, {r.left + 2, r.bottom + 25}}));
        app->Settle();
        Sleep(500);
        int hue = static_cast<int>(SendMessageW(sd, TBM_GETPOS, 0, 0));
        EXPECT_EQ(hue, 0) << "the thumb followed the drag to the left end";
        shifted = ScreenPixel(CaptionPoint(main));
        Shot(L"settings-vista-hue");
        EXPECT_GT(HueDistance(Hue(shifted), Hue(vista)), 60)
            << "caption " << Describe(vista) << " became " << Describe(shifted);

        // The shadow: the box says so, and the desktop just outside the main window darkens.
        POINT outside{};
        {
            RECT m{};
            GetWindowRect(main, &m);
            outside = {m.left + 40, m.bottom + 3};
        }
        COLORREF plainDesk = ScreenPixel(outside);
        HWND box = ControlByOrder(w, kShadowBox);
        HWND notice = ClickShadowBox(app->ProcessId(), w);
        ASSERT_NE(notice, nullptr);
        Shot(L"shadow-notice");
        EXPECT_NE(BoxText(notice).find(L"系统已经成功设置窗体阴影！"), std::wstring::npos)
            << Utf8(BoxText(notice));
        DismissBox(notice);
        app->Settle();
        Sleep(800);
        COLORREF shadowed = ScreenPixel(outside);
        Shot(L"settings-vista-hue-shadow");
        EXPECT_LT(GetRValue(shadowed) + GetGValue(shadowed) + GetBValue(shadowed),
                  GetRValue(plainDesk) + GetGValue(plainDesk) + GetBValue(plainDesk) - 30)
            << Describe(plainDesk) << " under the shadow: " << Describe(shadowed);
        EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_CHECKED);

        // What the controls show, then saved.
        int shown[13] = {static_cast<int>(SendMessageW(ControlByOrder(w, kList), CB_GETCURSEL, 0, 0))};
        const int sliderOrders[] = {kSD, kBHD, kLD, kCDTM};
        for (int i = 0; i < 4; ++i) {
            shown[1 + i] =
                static_cast<int>(SendMessageW(ControlByOrder(w, sliderOrders[i]), TBM_GETPOS, 0, 0));
        }
        shown[5] = SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
        for (int i = 0; i < 7; ++i) {
            shown[6 + i] =
                static_cast<int>(SendMessageW(ControlByOrder(w, kAero1 + 2 * i), TBM_GETPOS, 0, 0));
        }
        SaveFromPopup(w);
        for (int i = 0; i < 13; ++i) {
            ASSERT_TRUE(ReadDword(kValueNames[i], &saved[i])) << Utf8(kValueNames[i]);
            EXPECT_EQ(static_cast<int>(saved[i]), shown[i]) << Utf8(kValueNames[i]);
        }
        EXPECT_EQ(saved[0], static_cast<DWORD>(kVista));
        EXPECT_EQ(saved[5], 1u);
    }
    // The next start: the same skin, hue and shadow before anything is touched.
    DeleteFileW(SystemFile(L"skinh.she").c_str());
    auto again = Start();
    ASSERT_TRUE(again->Started());
    EXPECT_EQ(ReadAll(SystemFile(L"skinh.she")), StoredSkin(kVista));
    Sleep(500);
    COLORREF now = ScreenPixel(CaptionPoint(again->Main()));
    // The main window is active now and was not then: the skin draws the two states apart, but
    // the hue shift holds for both.
    EXPECT_LT(HueDistance(Hue(now), Hue(shifted)), 25)
        << Describe(now) << " after the start, " << Describe(shifted) << " before";
    EXPECT_GT(HueDistance(Hue(now), Hue(vista)), 60)
        << Describe(now) << ", Vista unshifted " << Describe(vista);
    bool shadowWindow = false;
    for (HWND h : TopLevelWindows(again->ProcessId())) {
        shadowWindow = shadowWindow || (ClassName(h) == L"PelkShadow" && IsWindowVisible(h));
    }
    EXPECT_TRUE(shadowWindow) << "the saved shadow is on";
    HWND w = OpenSettings(*again);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(SendMessageW(ControlByOrder(w, kList), CB_GETCURSEL, 0, 0), kVista)
        << "the window shows what is on";
    EXPECT_EQ(SendMessageW(ControlByOrder(w, kSD), TBM_GETPOS, 0, 0), static_cast<LRESULT>(saved[1]));
    EXPECT_EQ(SendMessageW(ControlByOrder(w, kShadowBox), BM_GETCHECK, 0, 0), BST_CHECKED);
}

// What the program's shadows did to the screen, against the same screen with them hidden. Over a
// shadow's ring each channel may only move towards the shadow's colour, black with the default
// settings, and by at most the 60 % the strongest setting blends (for every ring stacked there);
// a pixel no window of the program covers is the desktop and must not change at all. A ring stuck
// black over a light face, or a stale copy of a window that has gone, breaks one or the other.
// The X screen itself, as the user sees it (Wine's own copy of the screen follows Wine's idea of
// the stacking order, which the X screen need not share), through a PPM file in the test's work
// folder; empty when it cannot be read.
ScreenCopy XScreen(const std::wstring& name) {
    ScreenCopy copy;
    wchar_t work[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"TRIGORA_TEST_WORK", work, MAX_PATH) == 0) {
        return copy;
    }
    std::wstring unixPath = std::wstring(work) + L"/" + name + L".ppm";
    if (!SaveScreenshot(unixPath)) {
        return copy;
    }
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    // ImageMagick writes 8 or 16 bits a channel (big-endian), as its build prefers.
    const std::string header8 = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    const std::string header16 = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n65535\n";
    const size_t pixels = static_cast<size_t>(w) * h;
    std::vector<char> bytes;
    size_t channel = 0, start = 0;
    WaitUntil([&] {
        bytes = ReadAll(L"Z:" + unixPath);
        auto starts = [&](const std::string& header) {
            return bytes.size() >= header.size() && std::string(bytes.data(), header.size()) == header;
        };
        channel = starts(header8) ? 1 : starts(header16) ? 2 : 0;
        start = channel == 1 ? header8.size() : header16.size();
        return channel != 0 && bytes.size() >= start + pixels * 3 * channel;
    });
    if (channel == 0 || bytes.size() < start + pixels * 3 * channel) {
        return copy;
    }
    copy.area = {0, 0, w, h};
    copy.pixels.resize(pixels);
    const auto* px = reinterpret_cast<const unsigned char*>(bytes.data() + start);
    for (size_t i = 0; i < pixels; ++i) {
        const unsigned char* p = px + 3 * channel * i; // the high byte first
        copy.pixels[i] = RGB(p[0], p[channel], p[2 * channel]);
    }
    return copy;
}

struct ShadowFault {
    int shadows = 0; // shown
    int count = 0;
    std::string first;
};
ShadowFault ShadowFaults(DWORD pid, const wchar_t* shot) {
    struct Layer {
        RECT rect{};
        RECT hole{}; // the shadow's own window: the ring leaves it out
        bool shadow = false;
    };
    std::vector<Layer> layers; // top first
    std::vector<HWND> shadows;
    for (HWND h : TopLevelWindows(pid)) {
        if (!IsWindowVisible(h)) {
            continue;
        }
        Layer l;
        GetWindowRect(h, &l.rect);
        if (ClassName(h) == L"PelkShadow") {
            l.shadow = true;
            GetWindowRect(GetWindow(h, GW_OWNER), &l.hole);
            shadows.push_back(h);
        }
        layers.push_back(l);
    }
    ShadowFault fault;
    fault.shadows = static_cast<int>(shadows.size());
    ScreenCopy shown = XScreen(shot);
    for (HWND h : shadows) {
        ShowWindow(h, SW_HIDE);
    }
    Sleep(800); // what the shadows covered repaints
    ScreenCopy beneath = XScreen(std::wstring(shot) + L"-beneath");
    for (HWND h : shadows) {
        ShowWindow(h, SW_SHOWNA);
    }
    if (shown.pixels.empty() || beneath.pixels.empty()) {
        fault.count = -1;
        fault.first = "the screen could not be read";
        return fault;
    }
    const RECT screen = shown.area;
    for (int y = screen.top; y < screen.bottom; ++y) {
        for (int x = screen.left; x < screen.right; ++x) {
            POINT pt{x, y};
            int rings = 0; // shadows over the pixel, down to the first window of the program
            bool window = false;
            for (const Layer& l : layers) {
                if (PtInRect(&l.rect, pt) && !(l.shadow && PtInRect(&l.hole, pt))) {
                    if (!l.shadow) {
                        window = true;
                        break;
                    }
                    ++rings;
                }
            }
            if (window && rings == 0) {
                continue; // the program's own drawing: not the shadows' business
            }
            double keep = std::pow(0.4, rings); // what the strongest shadows leave of the colour beneath
            COLORREF s = shown.At(x, y), b = beneath.At(x, y);
            bool ok = true;
            for (int shift : {0, 8, 16}) {
                int sc = (s >> shift) & 0xff, bc = (b >> shift) & 0xff;
                ok = ok && (rings == 0 ? std::abs(sc - bc) <= 4 : sc <= bc + 4 && sc + 4 >= bc * keep);
            }
            if (!ok && fault.count++ == 0) {
                fault.first = std::to_string(x) + "," + std::to_string(y) + " under " +
                              std::to_string(rings) + " shadows: " + Describe(s) + ", beneath " + Describe(b);
            }
        }
    }
    return fault;
}

// With the shadow on, windows of the program opening, closing and crossing each other's shadows.
TEST_F(Skins, TheShadowShowsWhatLiesBeneathAsWindowsComeAndGo) {
    auto app = Start();
    ASSERT_TRUE(app->Started());
    HWND w = OpenSettings(*app); // the main window at the top left, its shadow across this one
    ASSERT_NE(w, nullptr);
    auto expectClean = [&](const wchar_t* shot, int shadows) {
        app->Settle();
        Sleep(800);
        ShadowFault f = ShadowFaults(app->ProcessId(), shot);
        EXPECT_EQ(f.shadows, shadows) << Utf8(shot);
        EXPECT_EQ(f.count, 0) << Utf8(shot) << ": first at " << f.first;
    };

    // The shadow turned on: its notice opens over the settings window.
    HWND notice = ClickShadowBox(app->ProcessId(), w);
    ASSERT_NE(notice, nullptr);
    expectClean(L"shadow-notice-open", 3);
    DismissBox(notice);
    expectClean(L"shadow-notice-closed", 2);

    // The settings window closes where it lay under the main window's shadow.
    PostMessageW(w, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(w); }));
    expectClean(L"shadow-settings-closed", 1);

    // The settings window again, moved down so that the notices, which open in the middle of the
    // screen, lie across its top edge; the shadow turned off and on again.
    w = OpenSettings(*app);
    ASSERT_NE(w, nullptr);
    RECT s{};
    GetWindowRect(w, &s);
    SetWindowPos(w, nullptr, s.left, GetSystemMetrics(SM_CYSCREEN) / 2 - 20, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    expectClean(L"shadow-settings-lowered", 2);
    const struct {
        const wchar_t* says;
        int open, closed; // shadows shown with the notice open and after it
    } turns[] = {{L"系统已经成功取消窗体阴影！", 0, 0}, {L"系统已经成功设置窗体阴影！", 3, 2}};
    for (const auto& turn : turns) {
        const wchar_t* says = turn.says;
        notice = ClickShadowBox(app->ProcessId(), w);
        ASSERT_NE(notice, nullptr);
        EXPECT_NE(BoxText(notice).find(says), std::wstring::npos) << Utf8(BoxText(notice));
        RECT n{};
        GetWindowRect(notice, &n);
        GetWindowRect(w, &s);
        EXPECT_TRUE(n.top < s.top && n.bottom > s.top) << "the notice lies across the top edge";
        expectClean(turn.open != 0 ? L"shadow-on-notice-across-top" : L"shadow-off-notice-across-top",
                    turn.open);
        DismissBox(notice);
        expectClean(turn.open != 0 ? L"shadow-on-notice-closed" : L"shadow-off-notice-closed", turn.closed);
    }
}

bool HasModule(DWORD pid, const wchar_t* name) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return false;
    }
    MODULEENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    bool found = false;
    for (BOOL more = Module32FirstW(snapshot, &entry); more && !found;
         more = Module32NextW(snapshot, &entry)) {
        found = lstrcmpiW(entry.szModule, name) == 0;
    }
    CloseHandle(snapshot);
    return found;
}

// The moment the main window first shows, the saved skin file is in place and the engine loaded.
TEST_F(Skins, TheSavedSkinIsOnBeforeTheMainWindowFirstShows) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    DWORD id = kVista;
    RegSetValueExW(key, L"SkinID", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&id), sizeof id);
    RegCloseKey(key);
    auto app = Start(false);
    ASSERT_TRUE(WaitUntil(
        [&] {
            for (HWND h : TopLevelWindows(app->ProcessId())) {
                if (ClassName(h) == L"TrigoraWindow" && IsWindowVisible(h)) {
                    return true;
                }
            }
            Sleep(0);
            return false;
        },
        30000));
    EXPECT_TRUE(HasModule(app->ProcessId(), L"Pelk.dll"));
    EXPECT_EQ(ReadAll(SystemFile(L"skinh.she")), StoredSkin(kVista));
}

TEST_F(Skins, NoSkinSavedMeansNoSkinFromTheNextStartOn) {
    COLORREF skinned = CLR_INVALID;
    {
        auto app = Start();
        ASSERT_TRUE(app->Started());
        HWND w = OpenSettings(*app);
        ASSERT_NE(w, nullptr);
        skinned = ScreenPixel(CaptionPoint(app->Main())); // inactive, as it is while the window is open
        std::vector<char> before = ReadAll(SystemFile(L"skinh.she"));
        Pick(*app, w, 29);
        HWND notice = MessageBoxOf(app->ProcessId(), L"温馨提示");
        ASSERT_NE(notice, nullptr);
        EXPECT_NE(BoxText(notice).find(L"您没有选择皮肤，下次登录系统生效。"), std::wstring::npos)
            << Utf8(BoxText(notice));
        DismissBox(notice);
        EXPECT_EQ(ReadAll(SystemFile(L"skinh.she")), before) << "不使用皮肤 writes nothing";
        EXPECT_TRUE(Near(ScreenPixel(CaptionPoint(app->Main())), skinned, 2))
            << "the old skin stays until the next start";
        // The choice is in force although the old skin shows: the window opened again shows it.
        PostMessageW(w, WM_CLOSE, 0, 0);
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(w); }));
        w = OpenSettings(*app);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(SendMessageW(ControlByOrder(w, kList), CB_GETCURSEL, 0, 0), 29);
        EXPECT_EQ(Text(ControlByOrder(w, kList)), L"不使用皮肤");
        SaveFromPopup(w);
        DWORD id = 0;
        ASSERT_TRUE(ReadDword(L"SkinID", &id));
        EXPECT_EQ(id, 29u);
    }
    auto again = Start();
    ASSERT_TRUE(again->Started());
    Sleep(500);
    COLORREF now = ScreenPixel(CaptionPoint(again->Main()));
    PlainCaption plain = PlainCaptionLike(again->Main());
    EXPECT_TRUE(Near(now, plain.active) || Near(now, plain.inactive))
        << Describe(now) << ", plain caption " << Describe(plain.active) << " / " << Describe(plain.inactive)
        << ", skinned " << Describe(skinned);
}

TEST_F(Skins, TheLibraryWrittenAtStartIsTheEmbeddedOneAndASecondInstanceStartsToo) {
    DeleteFileW(SystemFile(L"Pelk.dll").c_str());
    auto first = Start();
    ASSERT_TRUE(first->Started());
    std::vector<char> built = ReadAll(BuildFolder() + L"\\Pelk.dll");
    ASSERT_FALSE(built.empty());
    EXPECT_EQ(ReadAll(SystemFile(L"Pelk.dll")), built);
    // The first instance has the library loaded; the second finds the identical copy and goes on.
    auto second = Start();
    EXPECT_TRUE(second->Started());
    EXPECT_EQ(second->WaitForExit(500), static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_EQ(MessageBoxOf(second->ProcessId(), L"Trigora1.0", 300), nullptr) << "no error box";
    EXPECT_EQ(first->WaitForExit(0), static_cast<DWORD>(STILL_ACTIVE));
}

TEST_F(Skins, WrongTypesEverywhereInTheRegistryStopNothing) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    for (const wchar_t* name : kValueNames) {
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(L"25"), 6);
    }
    RegCloseKey(key);
    auto app = Start();
    ASSERT_TRUE(app->Started());
    EXPECT_EQ(ReadAll(SystemFile(L"skinh.she")), StoredSkin(0))
        << "the default skin, as if nothing were saved";
    HWND w = OpenSettings(*app);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(SendMessageW(ControlByOrder(w, kSD), TBM_GETPOS, 0, 0), 180);
}

// Wine's trackbar does not turn with the wheel, so only the keyboard is tried here.
TEST_F(Skins, TheKeyboardMovesASliderWithoutApplyingIt) {
    auto app = Start();
    ASSERT_TRUE(app->Started());
    HWND w = OpenSettings(*app);
    ASSERT_NE(w, nullptr);
    COLORREF before = ScreenPixel(CaptionPoint(app->Main()));
    HWND sd = ControlByOrder(w, kSD);
    RECT r{};
    GetWindowRect(sd, &r);
    // A click on the thumb in the middle gives the slider the focus and applies the hue it holds.
    ASSERT_TRUE(ClickAt({(r.left + r.right) / 2, (r.top + r.bottom) / 2}));
    ASSERT_EQ(SendMessageW(sd, TBM_GETPOS, 0, 0), 180);
    SendMessageW(sd, WM_KEYDOWN, VK_END, 0); // to 360: a hue shift of 180 degrees, were it applied
    SendMessageW(sd, WM_KEYUP, VK_END, 0);
    ASSERT_EQ(SendMessageW(sd, TBM_GETPOS, 0, 0), 360);
    app->Settle();
    Sleep(500);
    COLORREF after = ScreenPixel(CaptionPoint(app->Main()));
    EXPECT_TRUE(Near(after, before, 2)) << Describe(before) << " became " << Describe(after);
}

// A system folder closed to the program: the engine goes to the user's own folder, is loaded from
// there, and the current skin file lies beside it.
TEST_F(Skins, AClosedSystemFolderPutsTheEngineInTheUsersFolder) {
    wchar_t local[MAX_PATH] = {};
    ASSERT_GT(GetEnvironmentVariableW(L"LOCALAPPDATA", local, MAX_PATH), 0u);
    std::wstring perUser = std::wstring(local) + L"\\Trigora";
    DeleteFileW((perUser + L"\\Pelk.dll").c_str());
    DeleteFileW((perUser + L"\\skinh.she").c_str());
    DeleteFileW(SystemFile(L"Pelk.dll").c_str());
    ASSERT_TRUE(CreateDirectoryW(SystemFile(L"Pelk.dll").c_str(), nullptr));
    {
        auto app = Start();
        ASSERT_TRUE(app->Started());
        EXPECT_EQ(MessageBoxOf(app->ProcessId(), L"Trigora1.0", 300), nullptr) << "no error box";
        EXPECT_EQ(ReadAll(perUser + L"\\Pelk.dll"), ReadAll(BuildFolder() + L"\\Pelk.dll"));
        EXPECT_EQ(ReadAll(perUser + L"\\skinh.she"), StoredSkin(0));
        EXPECT_TRUE(ReadAll(SystemFile(L"skinh.she")).empty())
            << "nothing beside a library that is not there";
        HWND w = OpenSettings(*app);
        ASSERT_NE(w, nullptr);
        Pick(*app, w, kVista);
        EXPECT_EQ(ReadAll(perUser + L"\\skinh.she"), StoredSkin(kVista));
    }
    RemoveDirectoryW(SystemFile(L"Pelk.dll").c_str());
}

// A key the program may read but not write: saving fails without a word, and the window closes.
TEST_F(Skins, AReadOnlyKeyStopsNothing) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    DWORD hue = 90;
    RegSetValueExW(key, L"SDID", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&hue), sizeof hue);
    ASSERT_TRUE(CloseKeyToWriting(key));
    RegCloseKey(key);

    auto app = Start();
    ASSERT_TRUE(app->Started());
    HWND w = OpenSettings(*app);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(SendMessageW(ControlByOrder(w, kSD), TBM_GETPOS, 0, 0), 90) << "read as usual";
    SaveFromPopup(w);
    EXPECT_EQ(MessageBoxOf(app->ProcessId(), L"温馨提示", 300), nullptr);
    EXPECT_EQ(app->WaitForExit(300), static_cast<DWORD>(STILL_ACTIVE));
    DWORD id = 0;
    EXPECT_FALSE(ReadDword(L"SkinID", &id)) << "nothing was written";
}

// With the library nowhere to be found, the first engine call ends the program through the error box.
TEST_F(Skins, AMissingEngineLibraryIsFatalAtTheFirstCall) {
    wchar_t local[MAX_PATH] = {};
    ASSERT_GT(GetEnvironmentVariableW(L"LOCALAPPDATA", local, MAX_PATH), 0u);
    std::wstring perUser = std::wstring(local) + L"\\Trigora";
    CreateDirectoryW(perUser.c_str(), nullptr);
    // Folders by the library's name stand where it would be written, so it can be written nowhere.
    const std::wstring blocked[] = {SystemFile(L"Pelk.dll"), perUser + L"\\Pelk.dll"};
    for (const std::wstring& path : blocked) {
        DeleteFileW(path.c_str());
        ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr)) << Utf8(path);
    }
    auto app = Start(false);
    HWND box = nullptr;
    WaitUntil(
        [&] {
            for (HWND h : TopLevelWindows(app->ProcessId())) {
                if (IsWindowVisible(h) && ClassName(h) == L"#32770") {
                    box = h;
                    return true;
                }
            }
            return false;
        },
        20000);
    ASSERT_NE(box, nullptr) << "no error box";
    Shot(L"fatal-box");
    std::wstring text = BoxText(box);
    EXPECT_NE(text.find(L"Pelk.dll"), std::wstring::npos) << Utf8(text);
    EXPECT_NE(text.find(L"SkinH_Attach"), std::wstring::npos) << "the first call at start-up: " << Utf8(text);
    for (HWND h : TopLevelWindows(app->ProcessId())) {
        EXPECT_FALSE(IsWindowVisible(h) && ClassName(h) == L"TrigoraWindow") << "no window before the error";
    }
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(app->WaitForExit(), static_cast<DWORD>(-1));
    for (const std::wstring& path : blocked) {
        RemoveDirectoryW(path.c_str());
    }
}

} // namespace
