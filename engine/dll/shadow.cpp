// The soft drop shadow around skinned top-level windows: a click-through window owned by its target.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <vector>

#include "engine.h"

namespace pelk {
namespace {

constexpr wchar_t kShadowClass[] = L"PelkShadow";
constexpr UINT_PTR kCaptureTimer = 1;
// Under Wine the screen beneath is copied once the windows there have had time to repaint.
constexpr UINT kCaptureDelayMs = 80;

struct Shadow {
    HWND target = nullptr;
    RECT rect{}; // screen rectangle of the shadow window
    RECT hole{}; // the target window, relative to rect
    bool current = false;
    bool pending = false;       // hidden, waiting for its copy of the screen (Wine)
    GdiObject<HBITMAP> picture; // what the window shows under Wine: the screen with the shadow blended in
};

std::map<HWND, std::unique_ptr<Shadow>>& Shadows() {
    static std::map<HWND, std::unique_ptr<Shadow>> shadows;
    return shadows;
}

Shadow* StateOf(HWND shadow) {
    auto it = Shadows().find(shadow);
    return it == Shadows().end() ? nullptr : it->second.get();
}

int Width(const AeroParams& p) {
    return 6 + std::clamp(p.size, 0, 18);
}

// Opacity of the shadow at a point d pixels outside the target's edge, 0…255.
std::vector<BYTE> AlphaField(const AeroParams& p, int w, int h, const RECT& hole) {
    int width = Width(p);
    int offset = width / 3;
    RECT body{hole.left + offset, hole.top + offset, hole.right + offset, hole.bottom + offset};
    double peak = (255 - std::clamp(p.transparency, 0, 255)) * 0.6;
    double power = 2.0 - std::clamp(p.sharpness, 0, 12) * 0.125;
    std::vector<BYTE> alpha(static_cast<std::size_t>(w) * h, 0);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if (x >= hole.left && x < hole.right && y >= hole.top && y < hole.bottom) {
                continue;
            }
            int dx = x < body.left ? body.left - x : (x >= body.right ? x - body.right + 1 : 0);
            int dy = y < body.top ? body.top - y : (y >= body.bottom ? y - body.bottom + 1 : 0);
            double d = std::sqrt(double(dx) * dx + double(dy) * dy);
            if (d < width) {
                alpha[static_cast<std::size_t>(y) * w + x] =
                    static_cast<BYTE>(peak * std::pow(1.0 - d / width, power));
            }
        }
    }
    return alpha;
}

void ShadowColour(const AeroParams& p, int* r, int* g, int* b) {
    int k = std::clamp(p.brightness, 0, 255);
    auto lift = [k](int c) {
        c = std::clamp(c, 0, 255);
        return c + (255 - c) * k / 255;
    };
    *r = lift(p.r);
    *g = lift(p.g);
    *b = lift(p.b);
}

HBITMAP MakeDib(int w, int h, std::uint32_t** bits) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* p = nullptr;
    HBITMAP bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &p, nullptr, 0);
    *bits = static_cast<std::uint32_t*>(p);
    return bmp;
}

// Where per-pixel alpha is composited: the shadow is a premultiplied layered bitmap.
void ShowLayered(HWND shadow, Shadow& s) {
    int w = s.rect.right - s.rect.left, h = s.rect.bottom - s.rect.top;
    std::uint32_t* bits = nullptr;
    GdiObject<HBITMAP> bmp(MakeDib(w, h, &bits));
    if (bmp.get() == nullptr || bits == nullptr) {
        return;
    }
    const AeroParams& p = Aero();
    auto alpha = AlphaField(p, w, h, s.hole);
    int r, g, b;
    ShadowColour(p, &r, &g, &b);
    for (std::size_t i = 0; i < alpha.size(); ++i) {
        std::uint32_t a = alpha[i];
        bits[i] = (a << 24) | ((r * a / 255) << 16) | ((g * a / 255) << 8) | (b * a / 255);
    }
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(mem, bmp.get());
    POINT pos{s.rect.left, s.rect.top}, origin{0, 0};
    SIZE size{w, h};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    UpdateLayeredWindow(shadow, screen, &pos, &size, mem, &origin, 0, &blend, ULW_ALPHA);
    SelectObject(mem, old);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
}

// Where layered alpha is not blended (Wine): copy the screen beneath and blend the shadow ourselves.
void ComposeFromScreen(Shadow& s) {
    int w = s.rect.right - s.rect.left, h = s.rect.bottom - s.rect.top;
    std::uint32_t* bits = nullptr;
    GdiObject<HBITMAP> bmp(MakeDib(w, h, &bits));
    if (bmp.get() == nullptr || bits == nullptr) {
        return;
    }
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(mem, bmp.get());
    BitBlt(mem, 0, 0, w, h, screen, s.rect.left, s.rect.top, SRCCOPY);
    SelectObject(mem, old);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    GdiFlush();

    const AeroParams& p = Aero();
    auto alpha = AlphaField(p, w, h, s.hole);
    int r, g, b;
    ShadowColour(p, &r, &g, &b);
    for (std::size_t i = 0; i < alpha.size(); ++i) {
        std::uint32_t a = alpha[i], px = bits[i];
        auto mix = [a](std::uint32_t under, int over) { return (under * (255 - a) + over * a) / 255; };
        bits[i] = (mix((px >> 16) & 0xff, r) << 16) | (mix((px >> 8) & 0xff, g) << 8) | mix(px & 0xff, b);
    }
    s.picture = std::move(bmp);
}

// The shadow sits directly above its target (it is owned, so never below it) and is shaped as a
// ring, so it never covers the window it belongs to.
void Place(HWND shadow, const Shadow& s, UINT flags) {
    HWND after = GetWindow(s.target, GW_HWNDPREV);
    if (after == shadow) {
        flags |= SWP_NOZORDER;
    }
    if (after == nullptr) {
        after = (GetWindowLongW(s.target, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0 ? HWND_TOPMOST : HWND_TOP;
    }
    SetWindowPos(shadow, after, s.rect.left, s.rect.top, s.rect.right - s.rect.left,
                 s.rect.bottom - s.rect.top, flags | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

// Under Wine a window put below another keeps its place on the X screen, and one shown again goes
// on top there: a shadow can show above a window of the program that lies over it, where nothing
// paints it (black). So there the ring also leaves out the program's windows above the shadow.
void CutOutWindowsAbove(HWND shadow, const Shadow& s, HRGN ring) {
    DWORD thread = GetCurrentThreadId();
    for (HWND h = GetWindow(shadow, GW_HWNDPREV); h != nullptr; h = GetWindow(h, GW_HWNDPREV)) {
        if (!IsWindowVisible(h) || StateOf(h) != nullptr || GetWindowThreadProcessId(h, nullptr) != thread) {
            continue;
        }
        RECT r;
        GetWindowRect(h, &r);
        OffsetRect(&r, -s.rect.left, -s.rect.top);
        HRGN above = CreateRectRgnIndirect(&r);
        CombineRgn(ring, ring, above, RGN_DIFF);
        DeleteObject(above);
    }
}

void SetRing(HWND shadow, const Shadow& s) {
    HRGN ring = CreateRectRgn(0, 0, s.rect.right - s.rect.left, s.rect.bottom - s.rect.top);
    HRGN hole = CreateRectRgnIndirect(&s.hole);
    CombineRgn(ring, ring, hole, RGN_DIFF);
    DeleteObject(hole);
    if (IsWine()) {
        CutOutWindowsAbove(shadow, s, ring);
    }
    SetWindowRgn(shadow, ring, FALSE); // the system owns the region now
}

bool Showable(const Shadow& s) {
    return IsWindowVisible(s.target) && !IsIconic(s.target);
}

// The system moves a window's owned windows, its shadow among them, above it as a group, and a
// shadow can end up above a window that lies over its own: each goes back right above its window.
void KeepShadowsOnTheirWindows() {
    std::vector<HWND> misplaced;
    for (auto& [hwnd, state] : Shadows()) {
        if (IsWindowVisible(hwnd) && GetWindow(state->target, GW_HWNDPREV) != hwnd) {
            misplaced.push_back(hwnd);
        }
    }
    for (HWND hwnd : misplaced) {
        if (Shadow* s = StateOf(hwnd)) {
            Place(hwnd, *s, SWP_NOMOVE | SWP_NOSIZE);
        }
    }
}

// The windows above the shown shadows may have changed (Wine).
void CutRingsAgain() {
    if (!IsWine()) {
        return;
    }
    std::vector<HWND> shown;
    for (auto& [hwnd, state] : Shadows()) {
        if (state->current && IsWindowVisible(hwnd)) {
            shown.push_back(hwnd);
        }
    }
    for (HWND hwnd : shown) {
        if (Shadow* s = StateOf(hwnd)) {
            SetRing(hwnd, *s);
            InvalidateRect(hwnd, nullptr, FALSE);
        }
    }
}

// Every shadow waiting for its copy takes it at once, while all of them are still hidden: Wine
// puts a window's drawing on the screen only when its thread next handles a message, so a shadow
// just shown is still black there and must not end up in another one's copy.
void CaptureAllDue() {
    std::vector<HWND> due;
    for (auto& [hwnd, state] : Shadows()) {
        if (state->pending) {
            due.push_back(hwnd);
            KillTimer(hwnd, kCaptureTimer);
        }
    }
    for (HWND hwnd : due) {
        if (Shadow* s = StateOf(hwnd); s != nullptr && Showable(*s)) {
            ComposeFromScreen(*s);
        }
    }
    for (HWND hwnd : due) {
        Shadow* s = StateOf(hwnd);
        if (s == nullptr) {
            continue;
        }
        s->pending = false;
        if (Showable(*s) && s->picture.get() != nullptr) {
            Place(hwnd, *s, 0); // in its place first: the ring depends on what lies above
            SetRing(hwnd, *s);
            Place(hwnd, *s, SWP_SHOWWINDOW | SWP_NOMOVE | SWP_NOSIZE);
            InvalidateRect(hwnd, nullptr, FALSE);
            UpdateWindow(hwnd);
            s->current = true;
        }
    }
    KeepShadowsOnTheirWindows();
    CutRingsAgain();
}

// Hides the shadow until it can copy the screen beneath again. Each new one puts off the copies
// of all that wait, so that they are taken together once the windows beneath have repainted.
void Recapture(HWND shadow) {
    Shadow* s = StateOf(shadow);
    if (s == nullptr) {
        return;
    }
    ShowWindow(shadow, SW_HIDE);
    s->current = false;
    s->pending = true;
    for (auto& [hwnd, state] : Shadows()) {
        if (state->pending) {
            SetTimer(hwnd, kCaptureTimer, kCaptureDelayMs, nullptr);
        }
    }
}

LRESULT ShadowMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_NCHITTEST:
        return HTTRANSPARENT;
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    case WM_ERASEBKGND:
        return 1;
    case WM_TIMER:
        if (wp == kCaptureTimer) {
            CaptureAllDue();
        }
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        Shadow* s = StateOf(hwnd);
        if (dc != nullptr && s != nullptr && s->picture.get() != nullptr) {
            HDC mem = CreateCompatibleDC(dc);
            HGDIOBJ old = SelectObject(mem, s->picture.get());
            BitBlt(dc, 0, 0, s->rect.right - s->rect.left, s->rect.bottom - s->rect.top, mem, 0, 0, SRCCOPY);
            SelectObject(mem, old);
            DeleteDC(mem);
        }
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_NCDESTROY:
        Shadows().erase(hwnd);
        for (auto& w : SkinnedWindows()) {
            if (w->shadow == hwnd) {
                w->shadow = nullptr;
            }
        }
        break;
    default:
        break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK ShadowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    try {
        return ShadowMessage(hwnd, msg, wp, lp);
    } catch (...) {
        return DefWindowProcW(hwnd, msg, wp, lp); // a shadow that could not be drawn stays as it was
    }
}

HINSTANCE Instance() {
    HMODULE m = EngineModule();
    return m != nullptr ? m : GetModuleHandleW(nullptr);
}

bool RegisterShadowClass() {
    static bool registered = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = &ShadowProc;
        wc.hInstance = Instance();
        wc.lpszClassName = kShadowClass;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

HWND CreateShadow(HWND target) {
    if (!RegisterShadowClass()) {
        return nullptr;
    }
    DWORD ex = WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW;
    if ((GetWindowLongW(target, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0) {
        ex |= WS_EX_TOPMOST;
    }
    HWND shadow =
        CreateWindowExW(ex, kShadowClass, L"", WS_POPUP, 0, 0, 1, 1, target, nullptr, Instance(), nullptr);
    if (shadow == nullptr) {
        return nullptr;
    }
    if (IsWine()) {
        // An opaque layered window paints like an ordinary one there and still lets clicks through.
        SetLayeredWindowAttributes(shadow, 0, 255, LWA_ALPHA);
    }
    auto state = std::make_unique<Shadow>();
    state->target = target;
    Shadows()[shadow] = std::move(state);
    return shadow;
}

void Hide(HWND shadow) {
    KillTimer(shadow, kCaptureTimer);
    ShowWindow(shadow, SW_HIDE);
    if (Shadow* s = StateOf(shadow)) {
        s->current = false;
        s->pending = false;
    }
}

HWND ShadowOf(HWND target) {
    for (auto& [hwnd, state] : Shadows()) {
        if (state->target == target) {
            return hwnd;
        }
    }
    return nullptr;
}

// Where a top-level window of the program last lay on the screen while visible, with its own
// shadow: what a shadow's copy of the screen may hold of it.
std::map<HWND, RECT>& Footprints() {
    static std::map<HWND, RECT> footprints;
    return footprints;
}

RECT FootprintNow(HWND hwnd) {
    RECT r{};
    if (!IsWindowVisible(hwnd) || IsIconic(hwnd)) {
        return r;
    }
    GetWindowRect(hwnd, &r);
    if (HWND own = ShadowOf(hwnd)) {
        Shadow* s = StateOf(own);
        if (s != nullptr && (IsWindowVisible(own) || s->pending)) {
            UnionRect(&r, &r, &s->rect);
        }
    }
    return r;
}

// Whether an area of the screen meets the part of the shadow that shows, the ring around its window.
bool MeetsRing(const Shadow& s, const RECT& area) {
    RECT in;
    if (IsRectEmpty(&area) || !IntersectRect(&in, &s.rect, &area)) {
        return false;
    }
    RECT hole = s.hole;
    OffsetRect(&hole, s.rect.left, s.rect.top);
    RECT covered;
    return !IntersectRect(&covered, &in, &hole) || !EqualRect(&covered, &in);
}

bool IsAbove(HWND upper, HWND lower) {
    for (HWND h = GetWindow(upper, GW_HWNDNEXT); h != nullptr; h = GetWindow(h, GW_HWNDNEXT)) {
        if (h == lower) {
            return true;
        }
    }
    return false;
}

// A window of the program moved from `before` to `now` (either empty when it was or is hidden).
// A shadow's copy holds what lay beneath when it was taken, the windows above it included, so
// whatever the window uncovered is out of date there; where it arrives, only a window below the
// shadow shows through it.
void RecaptureAround(HWND changed, const RECT& before, const RECT& now) {
    if (!IsWine() || EqualRect(&before, &now)) {
        return;
    }
    std::vector<HWND> stale;
    for (auto& [hwnd, state] : Shadows()) {
        const Shadow& s = *state;
        if (s.target == changed || !(s.current || s.pending) || !Showable(s)) {
            continue;
        }
        if (MeetsRing(s, before) || (MeetsRing(s, now) && !IsAbove(changed, hwnd))) {
            stale.push_back(hwnd);
        }
    }
    for (HWND hwnd : stale) {
        Recapture(hwnd);
    }
}

} // namespace

void ShadowFollow(Skinned& w) {
    if (w.kind != Kind::Frame || w.dead) {
        return;
    }
    bool want = AeroOn() && CurrentLook() != nullptr && IsWindowVisible(w.hwnd) && !IsIconic(w.hwnd);
    if (!want) {
        if (w.shadow != nullptr) {
            Hide(w.shadow);
        }
        return;
    }
    if (w.shadow == nullptr) {
        w.shadow = CreateShadow(w.hwnd);
        if (w.shadow == nullptr) {
            return;
        }
    }
    Shadow* s = StateOf(w.shadow);
    RECT tr;
    GetWindowRect(w.hwnd, &tr);
    int width = Width(Aero());
    int offset = width / 3;
    RECT rect{tr.left - width + offset, tr.top - width + offset, tr.right + width + offset,
              tr.bottom + width + offset};
    if (s->current && EqualRect(&rect, &s->rect)) {
        Place(w.shadow, *s, SWP_NOMOVE | SWP_NOSIZE);
        return;
    }
    s->rect = rect;
    s->hole = {tr.left - rect.left, tr.top - rect.top, tr.right - rect.left, tr.bottom - rect.top};
    if (IsWine()) {
        Recapture(w.shadow);
    } else {
        ShowLayered(w.shadow, *s);
        Place(w.shadow, *s, SWP_SHOWWINDOW);
        s->current = true;
    }
}

void ShadowsSeeWindow(HWND changed) {
    if ((GetWindowLongW(changed, GWL_STYLE) & WS_CHILD) != 0) {
        return;
    }
    KeepShadowsOnTheirWindows();
    CutRingsAgain();
    RECT now = FootprintNow(changed), before{};
    auto& footprints = Footprints();
    if (auto it = footprints.find(changed); it != footprints.end()) {
        before = it->second;
    }
    if (IsRectEmpty(&now)) {
        footprints.erase(changed);
    } else {
        footprints[changed] = now;
    }
    RecaptureAround(changed, before, now);
}

void ShadowDestroy(Skinned& w) {
    if (w.shadow != nullptr) {
        HWND shadow = w.shadow;
        w.shadow = nullptr;
        if (IsWindow(shadow)) {
            DestroyWindow(shadow);
        }
    }
    // A window that goes without being hidden first still leaves its place to whatever was beneath.
    auto& footprints = Footprints();
    if (auto it = footprints.find(w.hwnd); it != footprints.end()) {
        RECT before = it->second, none{};
        footprints.erase(it);
        RecaptureAround(w.hwnd, before, none);
    }
}

void ShadowDestroyAll() {
    std::vector<HWND> all;
    for (auto& [hwnd, state] : Shadows()) {
        all.push_back(hwnd);
    }
    for (HWND hwnd : all) {
        DestroyWindow(hwnd);
    }
    Footprints().clear();
    UnregisterClassW(kShadowClass, Instance());
}

void ShadowRefreshAll() {
    for (auto& w : SkinnedWindows()) {
        if (w->kind == Kind::Frame) {
            if (w->shadow != nullptr) {
                if (Shadow* s = StateOf(w->shadow)) {
                    s->current = false;
                }
            }
            ShadowFollow(*w);
        }
    }
}

} // namespace pelk
