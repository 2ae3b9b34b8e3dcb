// Engine state, the creation hook on the UI thread and the subclass procedure every skinned window runs.
#include <windows.h>

#include <cwchar>
#include <memory>
#include <unordered_map>
#include <vector>

#include "engine.h"
#include "skin_contrast.h"
#include "skin_hsv.h"
#include "trace.h"

namespace pelk {
namespace {

// The one-shot timer SettleOnScreen sets on a window; its id keeps clear of the program's own.
constexpr UINT_PTR kSettleTimer = 0x5045;

struct Engine {
    DWORD thread = 0;
    HHOOK hook = nullptr;
    HMODULE module = nullptr;
    std::optional<trigora::skin::Skin> base;
    std::unique_ptr<Look> look;
    int hue = 0, saturation = 0, brightness = 0;
    int menuAlpha = 255;
    bool aero = false;
    AeroParams aeroParams;
    std::unordered_map<HWND, std::shared_ptr<Skinned>> windows;
};

Engine& TheEngine() {
    static Engine engine;
    return engine;
}

std::shared_ptr<Skinned> Find(HWND hwnd) {
    auto& windows = TheEngine().windows;
    auto it = windows.find(hwnd);
    return it == windows.end() ? nullptr : it->second;
}

// Which part a window is, or nothing for windows the engine leaves alone.
std::optional<Kind> Classify(HWND hwnd, LONG style, HWND parent) {
    if (parent == HWND_MESSAGE) {
        return std::nullopt;
    }
    wchar_t cls[64];
    if (GetClassNameW(hwnd, cls, 64) == 0) {
        return std::nullopt;
    }
    auto is = [&](const wchar_t* name) { return lstrcmpiW(cls, name) == 0; };
    if (is(L"#32768")) {
        return Kind::Menu;
    }
    if (is(L"ComboLBox")) {
        if ((style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) != 0) {
            return std::nullopt;
        }
        return Kind::ComboList;
    }
    if ((style & WS_CHILD) != 0) {
        if (is(L"Button")) {
            switch (style & BS_TYPEMASK) {
            case BS_PUSHBUTTON:
            case BS_DEFPUSHBUTTON:
                return Kind::PushButton;
            case BS_CHECKBOX:
            case BS_AUTOCHECKBOX:
            case BS_3STATE:
            case BS_AUTO3STATE:
            case BS_RADIOBUTTON:
            case BS_AUTORADIOBUTTON:
                return Kind::CheckBox;
            case BS_GROUPBOX:
                return Kind::GroupBox;
            default:
                return std::nullopt; // owner-drawn and user buttons draw themselves
            }
        }
        if (is(L"Edit")) {
            return Kind::Edit;
        }
        if (is(L"ComboBox")) {
            if ((style & 3) == CBS_SIMPLE || (style & (CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE)) != 0) {
                return std::nullopt;
            }
            return Kind::Combo;
        }
        if (is(L"msctls_trackbar32")) {
            return Kind::Slider;
        }
        if (is(L"msctls_statusbar32")) {
            return Kind::StatusBar;
        }
        return std::nullopt;
    }
    if (is(L"IME") || is(L"MSCTFIME UI") || is(L"tooltips_class32") || is(L"PelkShadow")) {
        return std::nullopt;
    }
    if ((style & WS_CAPTION) == WS_CAPTION) {
        return Kind::Frame;
    }
    return Kind::Container;
}

LRESULT CALLBACK SkinProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

void StayLoaded() {
    static bool pinned = false;
    HMODULE self = nullptr;
    if (!pinned && GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                                      reinterpret_cast<LPCWSTR>(&StayLoaded), &self)) {
        pinned = true;
    }
}

void Subclass(HWND hwnd, Kind kind) {
    auto& windows = TheEngine().windows;
    if (windows.count(hwnd) != 0) {
        return;
    }
    auto rec = std::make_shared<Skinned>();
    rec->hwnd = hwnd;
    rec->kind = kind;
    rec->active = GetActiveWindow() == hwnd;
    windows[hwnd] = rec;
    rec->old = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SkinProc)));
    if (rec->old == nullptr) {
        windows.erase(hwnd);
    } else if (kind == Kind::Frame) {
        PrepareFrame(hwnd);
    }
}

void SubclassIfSkinnable(HWND hwnd) {
    auto kind = Classify(hwnd, static_cast<LONG>(GetWindowLongW(hwnd, GWL_STYLE)), GetParent(hwnd));
    if (kind) {
        Subclass(hwnd, *kind);
    }
}

void Forget(Skinned& w) {
    ShadowDestroy(w);
    if (GetWindowLongPtrW(w.hwnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&SkinProc)) {
        SetWindowLongPtrW(w.hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(w.old));
    }
    w.dead = true;
    TheEngine().windows.erase(w.hwnd);
}

bool Dispatch(Skinned& w, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
    switch (w.kind) {
    case Kind::Frame:
        return MenuOwnerMessage(w, msg, wp, lp, result) || FrameMessage(w, msg, wp, lp, result) ||
               ContainerMessage(w, msg, wp, lp, result);
    case Kind::Container:
        return MenuOwnerMessage(w, msg, wp, lp, result) || ContainerMessage(w, msg, wp, lp, result);
    case Kind::GroupBox:
    case Kind::Combo:
        return ContainerMessage(w, msg, wp, lp, result) || ControlMessage(w, msg, wp, lp, result);
    case Kind::Menu:
        return MenuWindowMessage(w, msg, wp, lp, result);
    default:
        return ControlMessage(w, msg, wp, lp, result);
    }
}

LRESULT CALLBACK SkinProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    // The record is held for the whole call: the window may be destroyed inside it.
    std::shared_ptr<Skinned> rec = Find(hwnd);
    if (!rec) {
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    if (!rec->overlaid && GetWindowLongPtrW(hwnd, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(&SkinProc)) {
        // Someone subclassed the window over the engine and will call this procedure as long as
        // the window lives; it cannot be taken out of that chain, so the library must stay.
        rec->overlaid = true;
        StayLoaded();
    }
    if (msg == WM_NCDESTROY) {
        WNDPROC old = rec->old;
        Forget(*rec);
        return CallWindowProcW(old, hwnd, msg, wp, lp);
    }
    LRESULT result = 0;
    bool handled = false;
    try {
        handled = CurrentLook() != nullptr && Dispatch(*rec, msg, wp, lp, &result);
    } catch (...) {
        // No exception may cross into the system; this message is simply left unskinned.
        if (rec->dead) {
            return 0;
        }
    }
    if (!handled) {
        result = CallWindowProcW(rec->old, hwnd, msg, wp, lp);
    }
    if (msg == WM_WINDOWPOSCHANGED && !rec->dead && CurrentLook() != nullptr) {
        try {
            ShadowsSeeWindow(hwnd); // the shadows' copies of the screen may hold this window
        } catch (...) {
            // Out of memory: the shadows stay as they are.
        }
    }
    return result;
}

LRESULT CALLBACK CbtProc(int code, WPARAM wp, LPARAM lp) {
    if (code == HCBT_CREATEWND && CurrentLook() != nullptr) {
        try {
            auto* cbt = reinterpret_cast<CBT_CREATEWNDW*>(lp);
            HWND hwnd = reinterpret_cast<HWND>(wp);
            auto kind = Classify(hwnd, cbt->lpcs->style, cbt->lpcs->hwndParent);
            if (kind) {
                Subclass(hwnd, *kind);
            }
        } catch (...) {
            // Out of memory: this window simply stays unskinned.
        }
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

BOOL CALLBACK SubclassChild(HWND hwnd, LPARAM) {
    SubclassIfSkinnable(hwnd);
    return TRUE;
}

BOOL CALLBACK SubclassTopLevel(HWND hwnd, LPARAM) {
    SubclassIfSkinnable(hwnd);
    EnumChildWindows(hwnd, &SubclassChild, 0);
    return TRUE;
}

BOOL CALLBACK RedrawTopLevel(HWND hwnd, LPARAM) {
    RedrawWindow(hwnd, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    return TRUE;
}

void RedrawAll() {
    Engine& e = TheEngine();
    if (e.thread != 0) {
        EnumThreadWindows(e.thread, &RedrawTopLevel, 0);
    }
    ShadowRefreshAll();
}

// The file's skin under the user's hue, saturation and brightness. Any of those can take a text
// colour close to what it is drawn on, so the texts are brought back to a readable contrast.
trigora::skin::Skin AdjustedSkin(const Engine& e) {
    trigora::skin::Skin skin = trigora::skin::AdjustSkinHsv(*e.base, e.hue, e.saturation, e.brightness);
    TraceMark("engine: skin recoloured (HSV)");
    trigora::skin::KeepTextReadable(skin);
    TraceMark("engine: texts made readable");
    return skin;
}

std::unique_ptr<Look> MakeLook(const Engine& e) {
    auto look = std::make_unique<Look>(AdjustedSkin(e));
    TraceMark("engine: brushes, fonts and bitmaps made");
    return look;
}

// Replaces the look in force; the old one is released only after every window has repainted.
void Relook() {
    Engine& e = TheEngine();
    if (!e.base) {
        return;
    }
    std::unique_ptr<Look> old = std::move(e.look);
    e.look = MakeLook(e);
    RedrawAll();
    TraceMark("engine: every window redrawn");
}

} // namespace

const Look* CurrentLook() {
    return TheEngine().look.get();
}

void AttachSkin(trigora::skin::Skin skin) {
    Engine& e = TheEngine();
    e.base = std::move(skin);
    if (e.hook == nullptr) {
        e.thread = GetCurrentThreadId();
        e.hook = SetWindowsHookExW(WH_CBT, &CbtProc, nullptr, e.thread);
        e.look = MakeLook(e);
        EnumThreadWindows(e.thread, &SubclassTopLevel, 0);
        TraceMark("engine: hooked, windows subclassed");
        RedrawAll();
        TraceMark("engine: every window redrawn");
        return;
    }
    Relook();
}

void AdjustHsv(int hue, int saturation, int brightness) {
    Engine& e = TheEngine();
    // Start-up gives the saved values right after the attach, most often the ones in force (no
    // change at all): recolouring the skin and remaking its bitmaps would give the same look.
    if (e.look != nullptr && hue == e.hue && saturation == e.saturation && brightness == e.brightness) {
        return;
    }
    e.hue = hue;
    e.saturation = saturation;
    e.brightness = brightness;
    Relook();
}

void SetMenuAlpha(int alpha) {
    TheEngine().menuAlpha = alpha < 0 ? 0 : (alpha > 255 ? 255 : alpha);
}
int MenuAlpha() {
    return TheEngine().menuAlpha;
}

void SetAero(bool on) {
    TheEngine().aero = on;
    ShadowRefreshAll();
}
bool AeroOn() {
    return TheEngine().aero;
}

void AdjustAero(const AeroParams& params) {
    TheEngine().aeroParams = params;
    ShadowRefreshAll();
}
const AeroParams& Aero() {
    return TheEngine().aeroParams;
}

HMODULE EngineModule() {
    return TheEngine().module;
}
void SetEngineModule(HMODULE module) {
    TheEngine().module = module;
}

std::vector<std::shared_ptr<Skinned>> SkinnedWindows() {
    std::vector<std::shared_ptr<Skinned>> all;
    for (auto& [hwnd, rec] : TheEngine().windows) {
        all.push_back(rec);
    }
    return all;
}

LRESULT CallOld(Skinned& w, UINT msg, WPARAM wp, LPARAM lp) {
    return CallWindowProcW(w.old, w.hwnd, msg, wp, lp);
}

void PaintNow(Skinned& w) {
    if (w.dead || CurrentLook() == nullptr || !IsWindowVisible(w.hwnd)) {
        return;
    }
    HDC dc = GetDCEx(w.hwnd, nullptr, DCX_CACHE | DCX_CLIPCHILDREN | DCX_CLIPSIBLINGS);
    if (dc == nullptr) {
        return;
    }
    WindowDc owner(w.hwnd, dc);
    PaintControl(w, dc);
    SettleOnScreen(w.hwnd);
}

void Detach() {
    Engine& e = TheEngine();
    if (e.hook != nullptr) {
        UnhookWindowsHookEx(e.hook);
        e.hook = nullptr;
    }
    RestoreAllMenus();
    ShadowDestroyAll();
    for (auto& w : SkinnedWindows()) {
        KillTimer(w->hwnd, kSettleTimer);
        if (GetWindowLongPtrW(w->hwnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&SkinProc)) {
            SetWindowLongPtrW(w->hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(w->old));
        }
        w->dead = true;
    }
    e.windows.clear();
    e.look.reset();
    e.base.reset();
    e.thread = 0;
}

namespace {
void CALLBACK Settled(HWND hwnd, UINT, UINT_PTR id, DWORD) {
    KillTimer(hwnd, id);
}
} // namespace

void SettleOnScreen(HWND hwnd) {
    // Wine copies a window's drawing to the screen when its thread next handles a message, and
    // not twice within a short while; drawing done between messages (a pressed caption button,
    // a button lit by the pointer) would wait for the next mouse move. A short one-shot timer
    // is that next message.
    if (IsWine()) {
        SetTimer(hwnd, kSettleTimer, 60, &Settled);
    }
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
    wchar_t path[MAX_PATH];
    UINT n = GetSystemDirectoryW(path, MAX_PATH);
    size_t leaf = wcslen(name);
    if (n == 0 || n + 1 + leaf >= MAX_PATH) {
        return nullptr;
    }
    path[n] = L'\\';
    wmemcpy(path + n + 1, name, leaf + 1);
    return LoadLibraryW(path);
}

bool IsWine() {
    static const bool wine = [] {
        HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
    }();
    return wine;
}

} // namespace pelk
