// End to end: typing into the calculator's boxes as a user does, character by character, and
// reading every result box and argument label. Expected texts were worked out independently
// (Python with 300-bit mpmath, the ten-decimal half turn, "%.13g" with three exponent digits).
#include "driver.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>

using namespace driver;

namespace {

// Controls by table order.
enum Box {
    kDegrees = 67, kRadiansOut = 64,                          // row 1
    kRadians = 54, kDmsDOut = 57, kDmsMOut = 59, kDmsSOut = 61, // row 2
    kDmsD = 31, kDmsM = 33, kDmsS = 35, kDegreesOut = 28, kRadians3Out = 27, // row 3
    kSinArg = 52, kSin = 50, kCosArg = 48, kCos = 46, kTgArg = 44, kTg = 42, kCtgArg = 40, kCtg = 38,
    kInverse = 19,
    kArcsinArg = 9, kArcsin = 1, kArccosArg = 12, kArccos = 2, kArctgArg = 14, kArctg = 3, kArcctgArg = 16, kArcctg = 4,
    kClearAll = 22,
};

const int kEveryBoxAndLabel[] = {kDegrees, kRadiansOut, kRadians, kDmsDOut, kDmsMOut, kDmsSOut, kDmsD, kDmsM,
                                 kDmsS, kDegreesOut, kRadians3Out, kSinArg, kSin, kCosArg, kCos, kTgArg, kTg,
                                 kCtgArg, kCtg, kInverse, kArcsinArg, kArcsin, kArccosArg, kArccos, kArctgArg,
                                 kArctg, kArcctgArg, kArcctg};

struct FunctionRows {
    const wchar_t* argument;
    const wchar_t* sin;
    const wchar_t* cos;
    const wchar_t* tg;
    const wchar_t* ctg;
};

class CalculatorTest : public ::testing::Test {
  protected:
    Trigora app;
    void SetUp() override { ASSERT_TRUE(app.Started()); }
    HWND At(int order) { return ControlByOrder(app.Main(), order); }
    std::wstring TextAt(int order) { return Text(At(order)); }
    void TypeInto(int order, const std::wstring& text) {
        HWND box = At(order);
        ClearByKeys(box);
        Type(box, text);
        app.Settle();
    }
    void ExpectFunctionRows(const FunctionRows& f) {
        EXPECT_EQ(TextAt(kSinArg), f.argument);
        EXPECT_EQ(TextAt(kCosArg), f.argument);
        EXPECT_EQ(TextAt(kTgArg), f.argument);
        EXPECT_EQ(TextAt(kCtgArg), f.argument);
        EXPECT_EQ(TextAt(kSin), f.sin);
        EXPECT_EQ(TextAt(kCos), f.cos);
        EXPECT_EQ(TextAt(kTg), f.tg);
        EXPECT_EQ(TextAt(kCtg), f.ctg);
    }
    std::map<int, std::wstring> Snapshot() {
        std::map<int, std::wstring> all;
        for (int order : kEveryBoxAndLabel) {
            all[order] = TextAt(order);
        }
        return all;
    }
};

// A screenshot into the test's work folder (kept with TRIGORA_KEEP_WORK=1), to look at.
void Shot(const wchar_t* name) {
    wchar_t work[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"TRIGORA_TEST_WORK", work, MAX_PATH) > 0) {
        SaveScreenshot(std::wstring(work) + L"/" + name + L".png");
    }
}

POINT CentreOnScreen(HWND control) {
    RECT r{};
    GetWindowRect(control, &r);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

HWND VisibleTooltip(DWORD processId) {
    for (HWND h : TopLevelWindows(processId)) {
        if (ClassName(h) == L"tooltips_class32" && IsWindowVisible(h)) {
            return h;
        }
    }
    return nullptr;
}

// The text of the tooltip that shows once the pointer rests on `control`; empty when none shows.
std::wstring TooltipOver(HWND control, DWORD processId, DWORD waitMs = 3000) {
    // From a point outside every control, so that the pointer comes to rest on this one afresh.
    RECT r{};
    GetWindowRect(GetAncestor(control, GA_ROOT), &r);
    MovePointer({r.left + 3, r.bottom + 40});
    Sleep(300);
    MovePointer(CentreOnScreen(control));
    HWND tip = nullptr;
    WaitUntil([&] { return (tip = VisibleTooltip(processId)) != nullptr; }, waitMs);
    return tip != nullptr ? Text(tip) : L"";
}

// How many rows of the box's client area carry ink in the last few columns that carry any:
// the right end of what the box shows.
int InkedRowsAtTheRightEnd(HWND box) {
    RECT client{};
    GetClientRect(box, &client);
    POINT origin{0, 0};
    ClientToScreen(box, &origin);
    COLORREF background = ScreenPixel({origin.x + 1, origin.y + 1});
    auto inked = [&](int x, int y) { return ScreenPixel({origin.x + x, origin.y + y}) != background; };
    int last = -1;
    for (int x = client.right - 2; x > 1 && last < 0; --x) {
        for (int y = 0; y < client.bottom; ++y) {
            if (inked(x, y)) {
                last = x;
                break;
            }
        }
    }
    std::set<int> rows;
    for (int x = last - 5; last >= 0 && x <= last; ++x) {
        for (int y = 0; y < client.bottom; ++y) {
            if (inked(x, y)) {
                rows.insert(y);
            }
        }
    }
    return static_cast<int>(rows.size());
}

std::wstring Clipboard() {
    std::wstring text;
    if (OpenClipboard(nullptr)) {
        if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
            if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
                text = chars;
                GlobalUnlock(data);
            }
        }
        CloseClipboard();
    }
    return text;
}

constexpr const wchar_t* kInfinite = L"无穷数...！";
constexpr const wchar_t* kUndefined = L"超出定义";

TEST_F(CalculatorTest, DegreesToRadiansAndTheFunctionValues) {
    struct Case {
        const wchar_t* typed;
        const wchar_t* radians;
        FunctionRows f;
    };
    const Case cases[] = {
        {L"30", L"0.5235987755833", {L"30°", L"0.499999999987", L"0.8660254037919", L"0.5773502691697", L"1.732050807629"}},
        {L"180", L"3.1415926535", {L"180°", L"8.979318433952e-011", L"-1", L"-8.979318433952e-011", kInfinite}},
        {L"90", L"1.57079632675", {L"90°", L"1", L"4.489659216976e-011", kInfinite, L"4.489659216976e-011"}},
        {L"0", L"0", {L"0°", L"0", L"1", L"0", kInfinite}},
        {L"-45.5", L"-0.7941248096347", {L"-45.5°", L"-0.7132504491383", L"0.700909264316", L"-1.017607392926", L"-0.9826972631603"}},
        {L"1e999", kInfinite, {kInfinite, kUndefined, kUndefined, kUndefined, kUndefined}},
        {L"abc", L"0", {L"0°", L"0", L"1", L"0", kInfinite}},
        {L"１２．５", L"0.2181661564931", {L"12.5°", L"0.216439613932", L"0.9762960071213", L"0.2216946626364", L"4.510708503795"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf8(c.typed));
        TypeInto(kDegrees, c.typed);
        EXPECT_EQ(TextAt(kRadiansOut), c.radians);
        ExpectFunctionRows(c.f);
    }
}

TEST_F(CalculatorTest, RadiansToDegreesMinutesSeconds) {
    struct Case {
        const wchar_t* typed;
        const wchar_t* d;
        const wchar_t* m;
        const wchar_t* s;
        FunctionRows f;
    };
    const Case cases[] = {
        {L"1", L"57", L"17", L"44.806252992", {L"57.29577951472°", L"0.8414709848079", L"0.5403023058681", L"1.557407724655", L"0.6420926159343"}},
        {L"3.1415926535", L"180", L"0", L"0", {L"180°", L"8.979318433952e-011", L"-1", L"-8.979318433952e-011", kInfinite}},
        {L"-0.5", L"-28", L"-38", L"-52.403126496", {L"-28.64788975736°", L"-0.4794255386042", L"0.8775825618904", L"-0.5463024898438", L"-1.830487721712"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf8(c.typed));
        TypeInto(kRadians, c.typed);
        EXPECT_EQ(TextAt(kDmsDOut), c.d);
        EXPECT_EQ(TextAt(kDmsMOut), c.m);
        EXPECT_EQ(TextAt(kDmsSOut), c.s);
        ExpectFunctionRows(c.f);
    }
}

TEST_F(CalculatorTest, DegreesMinutesSecondsToDegreesAndRadiansAndAnEmptiedRowClearsItsResults) {
    TypeInto(kDmsD, L"30");
    TypeInto(kDmsM, L"30");
    TypeInto(kDmsS, L"0");
    EXPECT_EQ(TextAt(kDegreesOut), L"30.5");
    EXPECT_EQ(TextAt(kRadians3Out), L"0.5323254218431");
    ExpectFunctionRows({L"30.5°", L"0.5075383629476", L"0.8616291604492", L"0.5890450164001", L"1.697663119385"});

    for (int box : {kDmsD, kDmsM, kDmsS}) {
        ClearByKeys(At(box));
    }
    app.Settle();
    EXPECT_EQ(TextAt(kDegreesOut), L"");
    EXPECT_EQ(TextAt(kRadians3Out), L"");
    ExpectFunctionRows({L"", L"", L"", L"", L""});
}

TEST_F(CalculatorTest, InverseFunctionsOfTheTypedValue) {
    struct Case {
        const wchar_t* typed;
        const wchar_t* arcsin;
        const wchar_t* arccos;
        const wchar_t* arctg;
        const wchar_t* arcctg;
    };
    const Case cases[] = {
        {L"2", kUndefined, kUndefined, L"1.107148717794", L"0.4636476089559"},
        {L"-1.5", kUndefined, kUndefined, L"-0.9827937232473", L"2.553590049997"},
        {L"0.5", L"0.5235987755983", L"1.047197551152", L"0.4636476090008", L"1.107148717749"},
        {L"-1", L"-1.57079632675", L"3.1415926535", L"-0.7853981633974", L"2.356194490147"},
        {L"0", L"0", L"1.57079632675", L"0", L"1.57079632675"},
        {L"０．５", L"0.5235987755983", L"1.047197551152", L"0.4636476090008", L"1.107148717749"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf8(c.typed));
        TypeInto(kInverse, c.typed);
        std::wstring argument = TextAt(kInverse) == L"０．５" ? L"0.5" : c.typed;
        for (int label : {kArcsinArg, kArccosArg, kArctgArg, kArcctgArg}) {
            EXPECT_EQ(TextAt(label), argument);
        }
        EXPECT_EQ(TextAt(kArcsin), c.arcsin);
        EXPECT_EQ(TextAt(kArccos), c.arccos);
        EXPECT_EQ(TextAt(kArctg), c.arctg);
        EXPECT_EQ(TextAt(kArcctg), c.arcctg);
    }
    ClearByKeys(At(kInverse));
    app.Settle();
    for (int box : {kArcsin, kArccos, kArctg, kArcctg, kArcsinArg, kArccosArg, kArctgArg, kArcctgArg}) {
        EXPECT_EQ(TextAt(box), L"") << "an emptied value shows no results";
    }
}

TEST_F(CalculatorTest, ClearAllLeavesEveryBoxAndLabelEmpty) {
    TypeInto(kDegrees, L"30");
    TypeInto(kRadians, L"1");
    TypeInto(kDmsD, L"10");
    TypeInto(kInverse, L"0.5");
    SetText(At(kDmsM), L"20"); // set from outside: the same as typed
    app.Settle();
    ASSERT_EQ(TextAt(kDegreesOut), L"10.33333333333");

    PostMessageW(At(kClearAll), BM_CLICK, 0, 0);
    app.Settle();
    for (auto& [order, text] : Snapshot()) {
        EXPECT_EQ(text, L"") << "order " << order;
    }
}

TEST_F(CalculatorTest, HugeValuesGiveFiniteResultsWhereTheTrueResultIsFinite) {
    TypeInto(kDegrees, L"1e308");
    EXPECT_EQ(TextAt(kRadiansOut), L"1.745329251944e+306");
    EXPECT_EQ(TextAt(kSinArg), L"1e+308°");
    TypeInto(kRadians, L"2e306");
    EXPECT_EQ(TextAt(kDmsDOut), kUndefined) << "whole degrees beyond 32 bits";
    EXPECT_EQ(TextAt(kSinArg), L"1.145915590294e+308°");
    TypeInto(kInverse, L"1e11");
    EXPECT_EQ(TextAt(kArcctg), L"1e-011") << "arcctg lies in (0, pi)";
    TypeInto(kInverse, L"3e10");
    EXPECT_EQ(TextAt(kArcctg), L"3.333333333333e-011");
}

TEST_F(CalculatorTest, AResultWiderThanItsBoxIsMarkedAndShownWholeUnderThePointer) {
    TypeInto(kDegrees, L"180");
    ASSERT_EQ(TextAt(kSin), L"8.979318433952e-011") << "the box keeps the whole value";
    // Not focused, the cut value ends in an ellipsis: its dots sit on a row or two, where a
    // digit, whole or cut, reaches over most of the box's height. A value that fits ends in a digit.
    MovePointer({5, 5});
    app.Settle();
    Sleep(300);
    int marked = InkedRowsAtTheRightEnd(At(kSin));
    EXPECT_GE(marked, 1) << "something is drawn";
    EXPECT_LE(marked, 3) << "the cut value ends in an ellipsis";
    EXPECT_GT(InkedRowsAtTheRightEnd(At(kRadiansOut)), 3) << "3.1415926535 fits and ends in its last digit";

    EXPECT_EQ(TooltipOver(At(kSin), app.ProcessId()), L"8.979318433952e-011");
    Shot(L"sin-180-cut-with-tooltip");
    EXPECT_EQ(TooltipOver(At(kCos), app.ProcessId(), 1500), L"") << "-1 fits: no tooltip";

    // An argument label cut as well.
    TypeInto(kDegrees, L"1e12");
    EXPECT_EQ(TextAt(kSinArg), L"1000000000000°");
    EXPECT_EQ(TooltipOver(At(kSinArg), app.ProcessId()), L"1000000000000°");

    // The inverse results add the same angle in degrees and in D°M′S″; the box keeps radians.
    TypeInto(kInverse, L"1e11");
    EXPECT_EQ(TooltipOver(At(kArcctg), app.ProcessId()), L"1e-011 弧度\r\n5.729577951472e-010°\r\n0°0′2.063e-006″");
    TypeInto(kInverse, L"0.5");
    EXPECT_EQ(TextAt(kArcsin), L"0.5235987755983");
    EXPECT_EQ(TooltipOver(At(kArcsin), app.ProcessId()), L"0.5235987755983 弧度\r\n30.00000000086°\r\n30°0′3.087e-006″");
    Shot(L"arcsin-tooltip");
}

TEST_F(CalculatorTest, FocusingAResultBoxSelectsItsWholeTextForCopying) {
    TypeInto(kDegrees, L"180");
    const std::wstring sin = TextAt(kSin);
    ASSERT_TRUE(ClickAt(CentreOnScreen(At(kSin))));
    app.Settle();
    DWORD selection = static_cast<DWORD>(SendMessageW(At(kSin), EM_GETSEL, 0, 0));
    EXPECT_EQ(LOWORD(selection), 0);
    EXPECT_EQ(HIWORD(selection), sin.size()) << "a click selects the whole value";
    ASSERT_TRUE(PressKeys(L"ctrl+c"));
    EXPECT_EQ(Clipboard(), L"8.979318433952e-011");

    // Tab backwards reaches the cos box, which the table puts just before.
    ASSERT_TRUE(PressKeys(L"shift+Tab"));
    app.Settle();
    selection = static_cast<DWORD>(SendMessageW(At(kCos), EM_GETSEL, 0, 0));
    EXPECT_EQ(LOWORD(selection), 0);
    EXPECT_EQ(HIWORD(selection), TextAt(kCos).size()) << "Tab selects the whole value";

    // The box's own context menu still copies, and a right click on a box without the focus
    // copies the whole value too.
    if (OpenClipboard(nullptr)) {
        EmptyClipboard();
        CloseClipboard();
    }
    ASSERT_TRUE(ClickAt(CentreOnScreen(At(kTg)), true));
    ASSERT_NE(OpenPopupMenu(), nullptr) << "the box's context menu";
    ASSERT_TRUE(PressKeys(L"c"));
    EXPECT_EQ(Clipboard(), L"-8.979318433952e-011");
}

TEST_F(CalculatorTest, TypingIntoAResultBoxComputesNothing) {
    TypeInto(kDegrees, L"30");
    auto before = Snapshot();
    TypeInto(kRadiansOut, L"7");
    auto after = Snapshot();
    EXPECT_EQ(after[kRadiansOut], L"7");
    after[kRadiansOut] = before[kRadiansOut];
    EXPECT_EQ(after, before);
}

// WCAG contrast ratio of two colours.
double Contrast(COLORREF a, COLORREF b) {
    auto luminance = [](COLORREF c) {
        auto channel = [](int v) {
            double x = v / 255.0;
            return x <= 0.03928 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(GetRValue(c)) + 0.7152 * channel(GetGValue(c)) + 0.0722 * channel(GetBValue(c));
    };
    double la = luminance(a) + 0.05;
    double lb = luminance(b) + 0.05;
    return la > lb ? la / lb : lb / la;
}

TEST(CutResults, TheTooltipIsReadableUnderDarkSkinsAndWithoutSkin) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Vornel\\Trigora", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    for (DWORD skin : {14u /* Darkroyale */, 18u /* Insomnia */, 29u /* no skin */}) {
        SCOPED_TRACE(skin);
        RegSetValueExW(key, L"SkinID", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&skin), sizeof skin);
        Trigora app;
        ASSERT_TRUE(app.Started());
        HWND degrees = ControlByOrder(app.Main(), kDegrees);
        ClearByKeys(degrees);
        Type(degrees, L"180");
        app.Settle();
        ASSERT_EQ(TooltipOver(ControlByOrder(app.Main(), kSin), app.ProcessId()), L"8.979318433952e-011");
        HWND tip = VisibleTooltip(app.ProcessId());
        ASSERT_NE(tip, nullptr);
        auto text = static_cast<COLORREF>(SendMessageW(tip, TTM_GETTIPTEXTCOLOR, 0, 0));
        auto back = static_cast<COLORREF>(SendMessageW(tip, TTM_GETTIPBKCOLOR, 0, 0));
        EXPECT_GE(Contrast(text, back), 4.5) << std::hex << text << " on " << back;
        if (skin == 14) {
            Shot(L"tooltip-darkroyale");
        }
    }
    RegDeleteValueW(key, L"SkinID");
    RegCloseKey(key);
}

} // namespace
