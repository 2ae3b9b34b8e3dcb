// End to end: under every skin, and with the hue shifted on two of them, every word and number of
// the main window and the settings window stands out from what lies under it, as it is on the
// screen: the contrast ratio between a text's pixels and its background, by the WCAG formula.
#include "driver.h"

#include <commctrl.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

using namespace driver;

namespace {

constexpr wchar_t kKey[] = L"Software\\Microsoft\\Vornel\\Trigora";
constexpr UINT kOpenSkinSettings = 0x8003; // tray menu entry 3, "皮肤"
constexpr int kDegrees = 67;               // 编辑框1
constexpr int kInverseValue = 19;          // 编辑框22
constexpr int kSkinList = 3;               // 组合框1 of the settings window
// 标签28, 27, 26, 25, 19, 16, 13 and 6 of the main window, by table order.
constexpr int kArgumentLabels[] = {9, 12, 14, 16, 40, 44, 48, 52};

const wchar_t* const kSkinNames[29] = {
    L"MSN",     L"QQ2008",     L"QQ2009_宽_底边", L"QQ2009_窄_底边", L"QQ影音",   L"炫绿",   L"积木",
    L"Adamant", L"Aero",       L"Aero粉红",       L"华硕Asus",       L"黑框银底", L"中国红", L"Compact",
    L"Darkroyale", L"Elegance", L"Enjoy",         L"银白",           L"Insomnia", L"Office2007",
    L"苹果Pixos", L"QQ2009",   L"QQ游戏",         L"Royale",         L"Storm",    L"Vista",  L"Xenes",
    L"Xmp",     L"Homestead"};

double Linear(int channel) {
    double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}
double Luminance(COLORREF c) {
    return 0.2126 * Linear(GetRValue(c)) + 0.7152 * Linear(GetGValue(c)) + 0.0722 * Linear(GetBValue(c));
}
double Ratio(COLORREF a, COLORREF b) {
    double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

std::string Describe(COLORREF c) {
    char text[32];
    std::snprintf(text, sizeof text, "rgb(%d,%d,%d)", GetRValue(c), GetGValue(c), GetBValue(c));
    return text;
}

// What a text looks like in its box: the background is the colour most of the box shows, the text
// the pixel that stands out from it most (the core of a stroke, not its smoothed edge).
struct Measured {
    COLORREF text = CLR_INVALID, back = CLR_INVALID;
    double ratio = 1;
};
Measured Measure(const ScreenCopy& shot, RECT r) {
    Measured m;
    std::unordered_map<COLORREF, int> counts;
    for (int y = r.top; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right; ++x) {
            ++counts[shot.At(x, y)];
        }
    }
    int most = 0;
    for (auto [colour, n] : counts) {
        if (n > most) {
            most = n;
            m.back = colour;
        }
    }
    for (auto [colour, n] : counts) {
        double ratio = Ratio(colour, m.back);
        if (ratio > m.ratio) {
            m.ratio = ratio;
            m.text = colour;
        }
    }
    return m;
}

struct Area {
    std::wstring what;
    RECT screen;
    double minimum;
};

BOOL CALLBACK Collect(HWND h, LPARAM lp) {
    reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
    return TRUE;
}

RECT ClientOnScreen(HWND h) {
    RECT r{};
    GetClientRect(h, &r);
    MapWindowPoints(h, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

RECT Inset(RECT r, int left, int top, int right, int bottom) {
    return {r.left + left, r.top + top, r.right - right, r.bottom - bottom};
}

// Every visible text of a window: labels, edit boxes (the combo box's field too), check boxes and
// the status bar; the "=" signs need 3 : 1, everything else 4.5 : 1.
std::vector<Area> TextAreas(HWND window, bool isMain) {
    std::vector<Area> areas;
    std::vector<HWND> all;
    EnumChildWindows(window, &Collect, reinterpret_cast<LPARAM>(&all));
    for (HWND h : all) {
        if (!IsWindowVisible(h)) {
            continue;
        }
        const std::wstring cls = ClassName(h), text = Text(h);
        const std::wstring what = cls + L" \"" + text + L"\" #" + std::to_wstring(GetDlgCtrlID(h));
        RECT r = ClientOnScreen(h);
        LONG style = GetWindowLongW(h, GWL_STYLE);
        if (cls == L"TrigoraLabel" && !text.empty()) {
            // The argument labels' raised edge is drawn inside them, in the system's colours.
            const int order = GetDlgCtrlID(h) - 1000 + 1;
            const bool edged = isMain && std::find(std::begin(kArgumentLabels), std::end(kArgumentLabels),
                                                           order) != std::end(kArgumentLabels);
            areas.push_back({what, edged ? Inset(r, 2, 2, 2, 2) : r, text == L"=" ? 3.0 : 4.5});
        } else if (cls == L"Edit" && !text.empty()) {
            areas.push_back({what, r, 4.5});
        } else if (cls == L"Button" && (style & BS_TYPEMASK) == BS_AUTOCHECKBOX) {
            areas.push_back({what, Inset(r, 17, 0, 0, 0), 4.5}); // the text, not the box
        } else if (cls == L"msctls_statusbar32") {
            areas.push_back({what + L" " + Text(h), Inset(r, 0, 2, 0, 0), 4.5});
        }
    }
    return areas;
}

struct Look {
    int skin;
    int hue; // SDID: 180 is no shift
};

class Readable : public ::testing::Test {
  protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        const std::wstring folder = std::wstring(temp) + L"trigora-e2e-readable";
        CreateDirectoryW(folder.c_str(), nullptr);
        exe_ = folder + L"\\Trigora.exe";
        ASSERT_TRUE(CopyFileW(TrigoraExe().c_str(), exe_.c_str(), FALSE));
    }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kKey); }
    std::wstring exe_;
};

TEST_F(Readable, EveryTextOfTheMainAndSettingsWindowsStandsOutUnderEverySkin) {
    std::vector<Look> looks;
    for (int i = 0; i < 29; ++i) {
        looks.push_back({i, 180});
    }
    looks.push_back({26, 300}); // Xenes turned a third of the way round
    looks.push_back({14, 60});  // Darkroyale the other way
    const bool keep = GetEnvironmentVariableW(L"TRIGORA_KEEP_WORK", nullptr, 0) > 0;
    wchar_t work[MAX_PATH] = {};
    GetEnvironmentVariableW(L"TRIGORA_TEST_WORK", work, MAX_PATH);

    for (const Look& look : looks) {
        const std::string name = Utf8(kSkinNames[look.skin]) + (look.hue != 180 ? " hue " + std::to_string(look.hue) : "");
        SCOPED_TRACE(name);
        RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
        DWORD skin = static_cast<DWORD>(look.skin), hue = static_cast<DWORD>(look.hue);
        RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"SkinID", REG_DWORD, &skin, sizeof skin);
        RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"SDID", REG_DWORD, &hue, sizeof hue);

        Trigora app(StartOptions{exe_, L"", true});
        ASSERT_TRUE(app.Started());
        HWND main = app.Main();
        SetWindowPos(main, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        Type(ControlByOrder(main, kDegrees), L"30");
        Type(ControlByOrder(main, kInverseValue), L"0.5");
        PostMessageW(main, WM_COMMAND, kOpenSkinSettings, 0);
        HWND settings = nullptr;
        ASSERT_TRUE(WaitUntil([&] {
            for (HWND h : TopLevelWindows(app.ProcessId())) {
                if (h != main && IsWindowVisible(h) && ClassName(h) == L"TrigoraWindow" &&
                    ControlByOrder(h, kSkinList) != nullptr) {
                    settings = h;
                    return true;
                }
            }
            return false;
        }));
        // Side by side: the main window, always on top, would cover the middle of the other.
        SetWindowPos(settings, nullptr, 0, 300, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        app.Settle();
        Sleep(400); // the settings window took the focus: no caret blinks in the main window's boxes

        // The lowest ratio measured, of the "=" signs and of all other texts.
        double lowest[2] = {21, 21};
        std::string lowestWhat[2];
        auto check = [&](const ScreenCopy& shot, const Area& a) {
            Measured m = Measure(shot, a.screen);
            const int kind = a.minimum < 4.5 ? 0 : 1;
            if (m.ratio < lowest[kind]) {
                lowest[kind] = m.ratio;
                lowestWhat[kind] = Utf8(a.what);
            }
            EXPECT_GE(m.ratio, a.minimum) << Utf8(a.what) << ": " << Describe(m.text) << " on " << Describe(m.back);
        };
        for (HWND window : {main, settings}) {
            RECT wr{};
            GetWindowRect(window, &wr);
            ScreenCopy shot = CopyScreen(wr);
            std::vector<Area> areas = TextAreas(window, window == main);
            EXPECT_GE(areas.size(), window == main ? 40u : 15u) << "texts found";
            for (const Area& a : areas) {
                RECT in{};
                IntersectRect(&in, &a.screen, &wr);
                check(shot, {a.what, in, a.minimum});
            }
        }
        if (keep) {
            SaveScreenshot(std::wstring(work) + L"/readable-" + std::to_wstring(look.skin) + L"-" +
                           std::to_wstring(look.hue) + L".png");
        }

        // The drop-down list: its selected item and another.
        HWND list = ControlByOrder(settings, kSkinList);
        SendMessageW(list, CB_SHOWDROPDOWN, TRUE, 0);
        HWND dropped = DroppedListOf(app.ProcessId());
        ASSERT_NE(dropped, nullptr) << "the list did not drop down";
        app.Settle();
        Sleep(300);
        // The highlighted item: an editable list highlights the first name its field's text
        // begins (QQ2009 lights QQ2009_宽_底边), which is not always the skin in force.
        int selected = static_cast<int>(SendMessageW(dropped, LB_GETCURSEL, 0, 0));
        ASSERT_GE(selected, 0);
        RECT lr = ClientOnScreen(dropped);
        ScreenCopy shot = CopyScreen(lr);
        for (int item : {selected, selected == 0 ? 1 : selected - 1}) {
            RECT ir{};
            SendMessageW(dropped, LB_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&ir));
            MapWindowPoints(dropped, nullptr, reinterpret_cast<POINT*>(&ir), 2);
            RECT in{};
            if (IntersectRect(&in, &ir, &lr)) {
                check(shot, {std::wstring(item == selected ? L"selected " : L"") + L"list item " + kSkinNames[item],
                             in, 4.5});
            }
        }
        if (keep) {
            SaveScreenshot(std::wstring(work) + L"/readable-" + std::to_wstring(look.skin) + L"-" +
                           std::to_wstring(look.hue) + L"-list.png");
        }
        SendMessageW(list, CB_SHOWDROPDOWN, FALSE, 0);
        std::printf("%-22s lowest: \"=\" %5.2f, other texts %5.2f (%s)\n", name.c_str(), lowest[0], lowest[1],
                    lowestWhat[1].c_str());
        PostMessageW(main, WM_CLOSE, 0, 0);
        EXPECT_EQ(app.WaitForExit(), 0u);
    }
}

} // namespace
