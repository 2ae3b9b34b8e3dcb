// The skin settings window's table and handlers: what the user picks goes to the engine at once,
// and "保存设置退出" stores it for the next start.
#include "skins/skin_settings_window.h"

#include "shell/app.h"
#include "shell/text.h"
#include "shell/window.h"
#include "skins/catalogue.h"
#include "skins/settings_registry.h"
#include "skins/skin_engine.h"
#include "skins/skin_look.h"

#include <array>
#include <string>
#include <vector>

namespace trigora {

namespace {

using skins::SettingsInForce;
using skins::SkinSettings;

constexpr const char* kList = "组合框1";
constexpr const char* kShadowBox = "选择框_设置窗体阴影";
constexpr const char* kStatusBar = "状态条1";
constexpr const char* kStatusText = "皮肤设置>参数调整";
constexpr const char* kNoticeCaption = "温馨提示";
constexpr const char* kAeroSliders[7] = {"AERO_1", "AERO_2", "AERO_3", "AERO_4",
                                         "AERO_5", "AERO_6", "AERO_7"};

void Notice(Window& w, const char* text) {
    MessageBoxW(w.Handle(), Wide(text).c_str(), Wide(kNoticeCaption).c_str(), MB_OK | MB_ICONINFORMATION);
}

// What the controls hold now, as settings; a list without a pick keeps the skin in force.
SkinSettings SettingsFromControls(const Window& w) {
    SkinSettings s = SettingsInForce();
    int picked = w.Selection(kList);
    if (picked >= 0 && picked < skins::kCatalogueSize) {
        s.skinId = picked;
    }
    s.hue = w.Position("SD");
    s.saturation = w.Position("BHD");
    s.brightness = w.Position("LD");
    s.menuAlpha = w.Position("CDTM");
    s.aero = w.Checked(kShadowBox) ? 1 : 0;
    for (size_t i = 0; i < 7; ++i) {
        s.aeroValues[i] = w.Position(kAeroSliders[i]);
    }
    return s;
}

void ShowSettings(Window& w, const SkinSettings& s) {
    std::vector<std::string> names;
    for (const skins::CatalogueEntry& entry : skins::kCatalogue) {
        names.emplace_back(entry.name);
    }
    w.SetItems(kList, names); // list position = catalogue index: the list is never sorted
    w.SetSelection(kList, s.skinId);
    w.SetPosition("SD", s.hue);
    w.SetPosition("BHD", s.saturation);
    w.SetPosition("LD", s.brightness);
    w.SetPosition("CDTM", s.menuAlpha);
    w.SetChecked(kShadowBox, s.aero != 0);
    for (size_t i = 0; i < 7; ++i) {
        w.SetPosition(kAeroSliders[i], s.aeroValues[i]);
    }
}

void OnCreated(Window& w) {
    ShowSettings(w, SettingsInForce());
    w.SetPaneText(kStatusBar, 0, kStatusText);
    // The check box stands in for the title of 分组框_设置Aero, across its top edge. The group box
    // comes first in the table and so lies above it; raise the check box, or the frame hides it.
    SetWindowPos(w.ControlHandle(kShadowBox), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void OnSkinPicked(Window& w) {
    int picked = w.Selection(kList);
    if (picked == skins::kNoSkin) {
        // The engine cannot take a skin off again: the choice shows from the next start on, but it
        // is the choice in force, so the window shows it when it opens again and saving keeps it.
        SettingsInForce().skinId = picked;
        Notice(w, "您没有选择皮肤，下次登录系统生效。");
        return;
    }
    if (skins::HasStoredFile(picked)) {
        skins::ApplySkinChoice(picked);
        SettingsInForce().skinId = picked;
    }
}

// Sliders act only when the left button is let go: the slider holds the mouse during a drag, so
// the release comes here even off the slider; keyboard and wheel moves pass by.
bool OnHsvReleased(Window& w, const MouseArgs&) {
    SkinSettings s = SettingsFromControls(w);
    skins::HsvArguments hsv = skins::HsvArgumentsOf(s);
    skins::SkinH_AdjustHSV(hsv.hue, hsv.saturation, hsv.brightness);
    SettingsInForce().hue = s.hue;
    SettingsInForce().saturation = s.saturation;
    SettingsInForce().brightness = s.brightness;
    return true;
}

bool OnMenuAlphaReleased(Window& w, const MouseArgs&) {
    SkinSettings s = SettingsFromControls(w);
    skins::SkinH_SetMenuAlpha(skins::MenuAlphaArgumentOf(s));
    SettingsInForce().menuAlpha = s.menuAlpha;
    return true;
}

bool OnAeroReleased(Window& w, const MouseArgs&) {
    SkinSettings s = SettingsFromControls(w);
    auto a = skins::AeroArgumentsOf(s);
    skins::SkinH_AdjustAero(a[0], a[1], a[2], a[3], a[4], a[5], a[6]);
    SettingsInForce().aeroValues = s.aeroValues;
    return true;
}

void OnShadowClicked(Window& w) {
    SkinSettings s = SettingsFromControls(w);
    skins::SkinH_SetAero(skins::AeroSwitchArgumentOf(s));
    SettingsInForce().aero = s.aero;
    Notice(w, s.aero != 0 ? "系统已经成功设置窗体阴影！" : "系统已经成功取消窗体阴影！");
}

// A context menu just beside the pointer, where the button was let go.
bool OnRightButtonReleased(Window& w, const MouseArgs& at) {
    POINT screen{at.x, at.y};
    ClientToScreen(w.Handle(), &screen);
    int chosen = w.TrackMenu("测试", screen, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON);
    w.DeliverMenuSelection(chosen);
    return true;
}

void OnSaveAndClose(Window& w) {
    skins::SaveSkinSettings(SettingsFromControls(w)); // a failed write is not reported
    w.Close();
}

// ---- The table ------------------------------------------------------------------------------

constexpr const char* OnWindow = nullptr;

constexpr ControlEntry Group(const char* name, Rect r, const char* title) {
    return ControlEntry{
        .name = name, .kind = ControlKind::GroupBox, .container = OnWindow, .rect = r, .text = title};
}

constexpr ControlEntry Label(const char* name, const char* in, Rect r, const char* text,
                             HAlign align = HAlign::Left) {
    ControlEntry e{.name = name, .kind = ControlKind::Label, .container = in, .rect = r, .text = text};
    e.label.align = align;
    return e;
}

constexpr ControlEntry Slider(const char* name, const char* in, Rect r, int maximum, int position,
                              Ticks ticks, MouseOperation released) {
    ControlEntry e{.name = name, .kind = ControlKind::Slider, .container = in, .rect = r, .focusable = true};
    e.slider = {.orientation = Orientation::Horizontal,
                .ticks = ticks,
                .tickFrequency = 1,
                .pageSize = 5,
                .lineSize = 1,
                .minimum = 0,
                .maximum = maximum,
                .position = position};
    e.events.leftButtonReleased = released;
    return e;
}

constexpr ControlEntry HsvSlider(const char* name, Rect r, int maximum, int position) {
    return Slider(name, "分组框_色调", r, maximum, position, Ticks::None, OnHsvReleased);
}

// The Aero sliders show a tick below the track at every unit.
constexpr ControlEntry AeroSlider(const char* name, Rect r, int maximum) {
    return Slider(name, "分组框_设置Aero", r, maximum, 0, Ticks::BelowOrRight, OnAeroReleased);
}

constexpr ControlEntry kSkinList = [] {
    ControlEntry e{.name = kList,
                   .kind = ControlKind::ComboBox,
                   .container = "分组框9",
                   .rect = {97, 30, 202, 20},
                   .focusable = true};
    e.combo.style = ComboStyle::DropDown;
    e.combo.sorted = false;
    e.events.listItemSelected = OnSkinPicked;
    return e;
}();

constexpr ControlEntry kShadowCheckBox = [] {
    ControlEntry e{.name = kShadowBox,
                   .kind = ControlKind::CheckBox,
                   .container = OnWindow,
                   .rect = {378, 7, 128, 24},
                   .text = "设置Aero特效",
                   .focusable = true};
    e.check.checked = false;
    e.events.clicked = OnShadowClicked;
    return e;
}();

constexpr StatusPane kPanes[] = {{.width = -1, .style = PaneStyle::Plain, .text = ""}};

constexpr ControlEntry kStatus = [] {
    ControlEntry e{
        .name = kStatusBar, .kind = ControlKind::StatusBar, .container = OnWindow, .rect = {0, 305, 684, 20}};
    e.status.docking = Docking::Bottom;
    e.status.sizeGrip = false;
    e.status.panes = kPanes;
    return e;
}();

constexpr const char* G9 = "分组框9";
constexpr const char* GHue = "分组框_色调";
constexpr const char* GMenu = "分组框_菜单";
constexpr const char* GAero = "分组框_设置Aero";

// In table order, which is the stacking order (earlier lies on top).
constexpr ControlEntry kControls[] = {
    Group(G9, {11, 11, 328, 76}, ""),
    Label("标签1", G9, {15, 28, 80, 24}, "软件界面选择", HAlign::Right),
    kSkinList,
    Group(GHue, {11, 101, 328, 136}, "色调,饱和度,亮度"),
    Label("标签4", GHue, {24, 32, 32, 16}, "色调:"),
    HsvSlider("SD", {80, 24, 232, 32}, 360, 180),
    Label("标签2", GHue, {24, 64, 40, 24}, "饱和度:"),
    HsvSlider("BHD", {80, 60, 232, 32}, 200, 100),
    Label("标签3", GHue, {24, 100, 56, 24}, "亮度:"),
    HsvSlider("LD", {80, 96, 232, 32}, 200, 100),
    Group(GMenu, {11, 255, 328, 56}, "菜单"),
    Label("标签12", GMenu, {25, 20, 48, 24}, "透明度:"),
    Slider("CDTM", GMenu, {79, 20, 233, 24}, 255, 255, Ticks::None, OnMenuAlphaReleased),
    Group(GAero, {350, 11, 328, 300}, ""),
    kShadowCheckBox,
    Label("标签5", GAero, {17, 27, 60, 24}, "透明度:", HAlign::Right),
    AeroSlider("AERO_1", {82, 27, 233, 24}, 255),
    Label("标签8", GAero, {17, 65, 60, 24}, "阴影亮度:", HAlign::Right),
    AeroSlider("AERO_2", {82, 65, 233, 24}, 255),
    Label("标签7", GAero, {17, 103, 60, 24}, "阴影锐度:", HAlign::Right),
    AeroSlider("AERO_3", {82, 103, 233, 24}, 12),
    Label("标签6", GAero, {17, 141, 60, 24}, "阴影大小:", HAlign::Right),
    AeroSlider("AERO_4", {82, 141, 233, 24}, 18),
    Label("标签9", GAero, {17, 179, 60, 24}, "红色分量:", HAlign::Right),
    AeroSlider("AERO_5", {82, 179, 233, 24}, 255),
    Label("标签10", GAero, {17, 217, 60, 24}, "绿色分量:", HAlign::Right),
    AeroSlider("AERO_6", {82, 217, 233, 24}, 255),
    Label("标签11", GAero, {17, 257, 60, 24}, "蓝色分量:", HAlign::Right),
    AeroSlider("AERO_7", {82, 257, 233, 24}, 255),
    kStatus,
};

constexpr MenuEntry kMenus[] = {
    {.caption = "测试", .level = 0, .hidden = true},
    {.caption = "显示菜单透明度", .level = 1},
    {.caption = "选择时效果", .level = 1, .checked = true},
    {.caption = "-", .level = 1},
    {.caption = "禁止时效果", .level = 1, .disabled = true},
    {.caption = "-", .level = 1},
    {.caption = "保存设置退出", .level = 1, .selected = OnSaveAndClose},
};

constexpr WindowRecord kRecord{
    .caption = "",
    .outer = {0, 0, 695, 373},
    .placement = Placement::Centred,
    .border = Border::FixedSingle,
    .captionButtons = true,
    .minimiseBox = false,
    .maximiseBox = false,
    .escCloses = true,
    .taskbarButton = true,
    .events = {.created = OnCreated, .rightButtonReleased = OnRightButtonReleased},
};

} // namespace

const WindowTable SkinSettingsWindow{kRecord, kControls, kMenus};

void OpenSkinSettings(Window& mainWindow) {
    LoadWindow(SkinSettingsWindow, &mainWindow, false);
}

} // namespace trigora
