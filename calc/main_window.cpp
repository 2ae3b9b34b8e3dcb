// The main window: its table, and the handlers that join the boxes to the angle maths.
#include "calc/main_window.h"

#include "about/description_window.h"
#include "calc/angle.h"
#include "calc/number_text.h"
#include "resources/resource_ids.h"
#include "shell/app.h"
#include "shell/tray.h"
#include "skins/skin_settings_window.h"

#include <array>
#include <cmath>
#include <string>

namespace trigora {

namespace {

using namespace calc;

constexpr const char* kTrayTip = "Kest_Trigora1.0";
constexpr const char* kDegreeSign = "°";

// ---- Handlers -------------------------------------------------------------------------------

// The four function rows: argument labels and values, for an angle in radians shown in degrees.
struct FunctionRow {
    const char* argument;
    const char* value;
};
constexpr std::array<FunctionRow, 4> kFunctionRows{{
    {"标签6", "编辑框3"},   // sin
    {"标签13", "编辑框4"},  // cos
    {"标签16", "编辑框9"},  // tg
    {"标签19", "编辑框10"}, // ctg
}};

void ShowFunctionValues(Window& w, double degrees, double radians) {
    FunctionResults f = FunctionValues(radians);
    const std::array<const Result*, 4> values{&f.sin, &f.cos, &f.tg, &f.ctg};
    // A number of degrees carries its sign; a message stands alone.
    std::string argument = std::isfinite(degrees) ? FormatNumber(degrees) + kDegreeSign : FormatResult(degrees);
    for (size_t i = 0; i < kFunctionRows.size(); ++i) {
        w.SetText(kFunctionRows[i].argument, argument);
        w.SetText(kFunctionRows[i].value, values[i]->text);
    }
}

void ClearFunctionValues(Window& w) {
    for (const FunctionRow& row : kFunctionRows) {
        w.SetText(row.argument, "");
        w.SetText(row.value, "");
    }
}

bool IsEmpty(const Window& w, const char* box) {
    return w.Text(box).empty();
}

// Row 1: decimal degrees to radians.
void OnDegreesChanged(Window& w) {
    if (IsEmpty(w, "编辑框1")) {
        w.SetText("编辑框2", "");
        ClearFunctionValues(w);
        return;
    }
    double degrees = ParseNumber(w.Text("编辑框1"));
    double radians = DegreesToRadians(degrees);
    w.SetText("编辑框2", MakeResult(radians).text);
    ShowFunctionValues(w, degrees, radians);
}

// Row 2: radians to degrees, minutes and seconds.
void OnRadiansChanged(Window& w) {
    if (IsEmpty(w, "编辑框5")) {
        for (const char* box : {"编辑框6", "编辑框7", "编辑框8"}) {
            w.SetText(box, "");
        }
        ClearFunctionValues(w);
        return;
    }
    double radians = ParseNumber(w.Text("编辑框5"));
    double degrees = RadiansToDegrees(radians);
    Dms dms = DegreesToDms(degrees);
    w.SetText("编辑框6", dms.degrees.text);
    w.SetText("编辑框7", dms.minutes.text);
    w.SetText("编辑框8", dms.seconds.text);
    ShowFunctionValues(w, degrees, radians);
}

// Row 3: degrees, minutes and seconds to decimal degrees and radians; each of the three boxes
// runs it.
void OnDmsChanged(Window& w) {
    if (IsEmpty(w, "编辑框16") && IsEmpty(w, "编辑框17") && IsEmpty(w, "编辑框18")) {
        w.SetText("编辑框20", "");
        w.SetText("编辑框19", "");
        ClearFunctionValues(w);
        return;
    }
    double degrees =
        DmsToDegrees(ParseNumber(w.Text("编辑框16")), ParseNumber(w.Text("编辑框17")), ParseNumber(w.Text("编辑框18")));
    double radians = DegreesToRadians(degrees);
    w.SetText("编辑框20", MakeResult(degrees).text);
    w.SetText("编辑框19", MakeResult(radians).text);
    ShowFunctionValues(w, degrees, radians);
}

// The inverse rows: argument labels and results, in radians.
struct InverseRow {
    const char* argument;
    const char* value;
};
constexpr std::array<InverseRow, 4> kInverseRows{{
    {"标签28", "编辑框14"}, // arcsin
    {"标签27", "编辑框13"}, // arccos
    {"标签26", "编辑框12"}, // arctg
    {"标签25", "编辑框11"}, // arcctg
}};

void OnInverseValueChanged(Window& w) {
    std::string typed = w.Text("编辑框22");
    if (typed.empty()) {
        for (const InverseRow& row : kInverseRows) {
            w.SetText(row.argument, "");
            w.SetText(row.value, "");
            w.SetTip(row.value, "");
        }
        return;
    }
    double v = ParseNumber(typed);
    InverseResults r = InverseValues(v);
    const std::array<const Result*, 4> values{&r.arcsin, &r.arccos, &r.arctg, &r.arcctg};
    std::string argument = FormatResult(v);
    for (size_t i = 0; i < kInverseRows.size(); ++i) {
        w.SetText(kInverseRows[i].argument, argument);
        w.SetText(kInverseRows[i].value, values[i]->text);
        // The boxes keep radians; the pointer on one shows the angle in degrees as well.
        w.SetTip(kInverseRows[i].value, AngleInEveryUnit(values[i]->value));
    }
}

// Clear all data: every input box (whose handlers then clear their rows), every result box and
// every argument label, so the window shows no number at all.
void OnClearAll(Window& w) {
    for (const char* box : {"编辑框1", "编辑框5", "编辑框16", "编辑框17", "编辑框18", "编辑框22"}) {
        w.SetText(box, "");
    }
    for (const char* box : {"编辑框2", "编辑框6", "编辑框7", "编辑框8", "编辑框20", "编辑框19", "编辑框3",
                            "编辑框4", "编辑框9", "编辑框10", "编辑框14", "编辑框13", "编辑框12", "编辑框11",
                            "标签6", "标签13", "标签16", "标签19", "标签28", "标签27", "标签26", "标签25"}) {
        w.SetText(box, "");
    }
    for (const InverseRow& row : kInverseRows) {
        w.SetTip(row.value, "");
    }
}

void OnOpenDescription(Window& w) {
    LoadWindow(DescriptionWindow, &w, false);
}

void OnExitProgram(Window&) {
    EndProgram(0);
}

std::span<const unsigned char> StoredIconFile() {
    auto block = StoredBlock(IDR_ICON_FILE);
    return {reinterpret_cast<const unsigned char*>(block.data()), block.size()};
}

void OnCreated(Window& w) {
    SetTrayIcon(w, StoredIconFile(), kTrayTip);
}

// Minimising hides the window into the tray: it has no taskbar button to come back by.
void OnPositionChanged(Window& w) {
    if (w.IsMinimised() && w.IsVisible()) {
        w.Hide();
    }
}

void OnTray(Window& w, int action) {
    switch (action) {
    case 2:
        w.ShowRestoredAndActive();
        break;
    case 3:
        PopupTrayMenu(w, "托盘菜单");
        break;
    default:
        break;
    }
}

void OnShowMainWindow(Window& w) {
    w.ShowRestoredAndActive();
}

// ---- The table ------------------------------------------------------------------------------

constexpr Colour kRed = colours::Red;
constexpr Colour kBlack = colours::Black;
constexpr Colour kBlue = colours::Blue;

constexpr ControlEntry InputBox(const char* name, const char* in, Rect r, Operation changed, EdgeStyle border = EdgeStyle::Sunken) {
    ControlEntry e{.name = name, .kind = ControlKind::Edit, .container = in, .rect = r, .focusable = true};
    e.events.contentChanged = changed;
    e.edit.border = border;
    return e;
}

constexpr ControlEntry HiddenBox(const char* name, const char* in, Rect r) {
    ControlEntry e{.name = name, .kind = ControlKind::Edit, .container = in, .rect = r, .visible = false, .focusable = true};
    return e;
}

// A result: the whole value stays in the box (a copy takes all 13 digits) even where the box is
// too narrow to show it; then a mark says so and the pointer shows it whole.
constexpr ControlEntry ResultBox(const char* name, const char* in, Rect r) {
    ControlEntry e{.name = name, .kind = ControlKind::Edit, .container = in, .rect = r, .focusable = true,
                   .tipWhenCut = true};
    e.edit.border = EdgeStyle::ShallowSunken;
    e.edit.text = kRed;
    e.edit.align = HAlign::Centre;
    e.edit.selectAllOnFocus = true;
    return e;
}

constexpr ControlEntry Label(const char* name, const char* in, Rect r, const char* text, Colour colour = kBlack,
                             Font font = fonts::Gui) {
    ControlEntry e{.name = name, .kind = ControlKind::Label, .container = in, .rect = r, .text = text};
    e.label.text = colour;
    e.label.font = font;
    return e;
}

// "=" between a row's parts: red, bold 12-pixel 宋体.
constexpr ControlEntry EqualsSign(const char* name, const char* in, Rect r) {
    return Label(name, in, r, "=", kRed, fonts::SongBold);
}

// A function's name: bold underlined 12-pixel 宋体.
constexpr ControlEntry FunctionName(const char* name, const char* in, Rect r, const char* text, Colour colour) {
    return Label(name, in, r, text, colour, fonts::SongBoldUnderlined);
}

// The argument of a function row, written at run time: dark red in a raised frame.
constexpr ControlEntry ArgumentLabel(const char* name, const char* in, Rect r) {
    ControlEntry e = Label(name, in, r, "", colours::DarkRed);
    e.label.border = EdgeStyle::Raised;
    e.tipWhenCut = true;
    return e;
}

constexpr ControlEntry Group(const char* name, const char* in, Rect r, const char* title) {
    return ControlEntry{.name = name, .kind = ControlKind::GroupBox, .container = in, .rect = r, .text = title};
}

constexpr ControlEntry Button(const char* name, const char* in, Rect r, const char* caption, Operation clicked) {
    ControlEntry e{.name = name, .kind = ControlKind::PushButton, .container = in, .rect = r, .text = caption,
                   .focusable = true};
    e.events.clicked = clicked;
    return e;
}

constexpr const char* G1 = "分组框1";
constexpr const char* G2 = "分组框2";
constexpr const char* G3 = "分组框3";
constexpr const char* G4 = "分组框4";
constexpr const char* OnWindow = nullptr;

// In table order: the order is the stacking order (earlier lies on top) and the tab order.
constexpr ControlEntry kControls[] = {
    /* 1 */ ResultBox("编辑框14", G4, {125, 11, 64, 16}),
    /* 2 */ ResultBox("编辑框13", G4, {125, 34, 64, 16}),
    /* 3 */ ResultBox("编辑框12", G4, {125, 57, 64, 16}),
    /* 4 */ ResultBox("编辑框11", G4, {125, 81, 64, 16}),
    /* 5 */ EqualsSign("标签24", G4, {115, 81, 5, 16}),
    /* 6 */ EqualsSign("标签23", G4, {115, 57, 5, 16}),
    /* 7 */ EqualsSign("标签22", G4, {115, 34, 5, 16}),
    /* 8 */ EqualsSign("标签21", G4, {115, 11, 5, 16}),
    /* 9 */ ArgumentLabel("标签28", G4, {53, 11, 60, 16}),
    /* 10 */ FunctionName("标签29", G4, {8, 11, 43, 16}, "arcsin", kBlack),
    /* 11 */ FunctionName("标签30", G4, {8, 34, 43, 16}, "arccos", kBlue),
    /* 12 */ ArgumentLabel("标签27", G4, {53, 34, 60, 16}),
    /* 13 */ FunctionName("标签31", G4, {13, 57, 35, 16}, "arctg", kBlack),
    /* 14 */ ArgumentLabel("标签26", G4, {53, 57, 60, 16}),
    /* 15 */ FunctionName("标签32", G4, {8, 81, 43, 16}, "arcctg", kBlue),
    /* 16 */ ArgumentLabel("标签25", G4, {53, 81, 60, 16}),
    /* 17 */ Group("分组框4", G2, {201, 7, 196, 102}, ""),
    /* 18 */ Label("标签40", G3, {3, 12, 90, 16}, "反函数待求值：", colours::Violet, fonts::SongBold),
    /* 19 */ InputBox("编辑框22", G3, {97, 10, 50, 20}, OnInverseValueChanged, EdgeStyle::ThinSingle),
    /* 20 */ Group("分组框3", G2, {5, 102, 152, 35}, ""),
    /* 21 */ Button("按钮2", G2, {282, 113, 57, 24}, "程序说明", OnOpenDescription),
    /* 22 */ Button("按钮1", G2, {161, 113, 119, 24}, "清除所有数据重计算", OnClearAll),
    /* 23 */ Button("按钮3", G2, {341, 113, 57, 24}, "退出程序", OnExitProgram),
    /* 24 */ HiddenBox("编辑框21", G1, {341, 101, 20, 20}),
    /* 25 */ Label("标签39", G1, {377, 68, 24, 20}, "弧度"),
    /* 26 */ EqualsSign("标签37", G1, {270, 68, 7, 20}),
    /* 27 */ ResultBox("编辑框19", G1, {280, 68, 95, 20}),
    /* 28 */ ResultBox("编辑框20", OnWindow, {173, 68, 80, 20}),
    /* 29 */ Label("标签38", OnWindow, {258, 68, 11, 20}, "度"),
    /* 30 */ EqualsSign("标签36", G1, {158, 68, 8, 20}),
    /* 31 */ [] {
        ControlEntry e = InputBox("编辑框16", G1, {5, 68, 35, 20}, OnDmsChanged);
        e.tag = "35";
        return e;
    }(),
    /* 32 */ Label("标签33", G1, {42, 68, 12, 20}, "度"),
    /* 33 */ [] {
        ControlEntry e = InputBox("编辑框17", G1, {55, 68, 35, 20}, OnDmsChanged);
        e.tag = "35";
        return e;
    }(),
    /* 34 */ Label("标签34", G1, {93, 68, 12, 20}, "分"),
    /* 35 */ InputBox("编辑框18", G1, {106, 68, 35, 20}, OnDmsChanged),
    /* 36 */ Label("标签35", G1, {143, 68, 12, 20}, "秒"),
    /* 37 */ HiddenBox("编辑框15", G1, {341, 95, 20, 20}),
    /* 38 */ ResultBox("编辑框10", G2, {103, 86, 64, 16}),
    /* 39 */ EqualsSign("标签18", G2, {92, 86, 5, 16}),
    /* 40 */ ArgumentLabel("标签19", G2, {29, 86, 60, 16}),
    /* 41 */ FunctionName("标签20", G2, {5, 86, 23, 16}, "ctg", kBlue),
    /* 42 */ ResultBox("编辑框9", G2, {103, 62, 64, 16}),
    /* 43 */ EqualsSign("标签15", G2, {92, 62, 5, 16}),
    /* 44 */ ArgumentLabel("标签16", G2, {29, 62, 60, 16}),
    /* 45 */ FunctionName("标签17", G2, {10, 62, 15, 16}, "tg", kBlack),
    /* 46 */ ResultBox("编辑框4", G2, {103, 39, 64, 16}),
    /* 47 */ EqualsSign("标签12", G2, {92, 39, 5, 16}),
    /* 48 */ ArgumentLabel("标签13", G2, {29, 39, 60, 16}),
    /* 49 */ FunctionName("标签14", G2, {5, 39, 20, 16}, "cos", kBlue),
    /* 50 */ ResultBox("编辑框3", G2, {103, 16, 64, 16}),
    /* 51 */ EqualsSign("标签11", G2, {92, 16, 5, 16}),
    /* 52 */ ArgumentLabel("标签6", G2, {29, 16, 60, 16}),
    /* 53 */ FunctionName("标签5", G2, {5, 16, 20, 16}, "sin", kBlack),
    /* 54 */ InputBox("编辑框5", G1, {5, 41, 95, 20}, OnRadiansChanged),
    /* 55 */ Label("标签4", G1, {104, 41, 24, 20}, "弧度"),
    /* 56 */ EqualsSign("标签7", G1, {132, 41, 8, 20}),
    /* 57 */ ResultBox("编辑框6", G1, {143, 41, 50, 20}),
    /* 58 */ Label("标签8", G1, {197, 41, 15, 20}, "度"),
    /* 59 */ ResultBox("编辑框7", G1, {212, 41, 50, 20}),
    /* 60 */ Label("标签9", G1, {266, 41, 12, 20}, "分"),
    /* 61 */ ResultBox("编辑框8", G1, {280, 41, 50, 20}),
    /* 62 */ Label("标签10", G1, {333, 41, 15, 20}, "秒"),
    /* 63 */ Label("标签3", G1, {266, 15, 26, 20}, "弧度"),
    /* 64 */ ResultBox("编辑框2", G1, {143, 15, 120, 20}),
    /* 65 */ EqualsSign("标签2", G1, {132, 15, 5, 20}),
    /* 66 */ Label("标签1", G1, {108, 15, 24, 20}, "度"),
    /* 67 */ InputBox("编辑框1", G1, {5, 15, 95, 20}, OnDegreesChanged),
    /* 68 */ Group("分组框2", OnWindow, {3, 98, 405, 142}, "对应弧度与角度的函数值"),
    /* 69 */ Group("分组框1", OnWindow, {3, 1, 405, 95}, "弧度与角度转换"),
};

constexpr MenuEntry kMenus[] = {
    {.caption = "托盘菜单", .level = 0, .hidden = true},
    {.caption = "显示主窗口", .level = 1, .selected = OnShowMainWindow},
    {.caption = "-", .level = 1},
    {.caption = "皮肤", .level = 1, .selected = OpenSkinSettings},
    {.caption = "-", .level = 1},
    {.caption = "退出", .level = 1, .selected = OnExitProgram},
};

constexpr WindowRecord kRecord{
    .caption = "Trigora1.0",
    .outer = {50, 50, 416, 275},
    .placement = Placement::Centred,
    .border = Border::FixedSingle,
    .captionButtons = true,
    .minimiseBox = true,
    .maximiseBox = false,
    .escCloses = false,
    .taskbarButton = false,
    .alwaysOnTop = true,
    .icon = IDI_TRIGORA,
    .events = {.created = OnCreated, .positionChanged = OnPositionChanged, .tray = OnTray},
};

} // namespace

const WindowTable MainWindow{kRecord, kControls, kMenus};

} // namespace trigora
