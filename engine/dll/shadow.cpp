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

void SetRing(HWND shadow, const Shadow& s) {
    HRGN ring = CreateRectRgn(0, 0, s.rect.right - s.rect.left, s.rect.bottom - s.rect.top);
    HRGN hole = CreateRectRgnIndirect(&s.hole);
    CombineRgn(ring, ring, hole, RGN_DIFF);
    DeleteObject(hole);
    SetWindowRgn(shadow, ring, FALSE); // the system owns the region now
}

void CaptureAndShow(HWND shadow) {
    Shadow* s = StateOf(shadow);
    if (s == nullptr || !IsWindowVisible(s->target) || IsIconic(s->target)) {
        return;
    }
    ComposeFromScreen(*s);
    SetRing(shadow, *s);
    Place(shadow, *s, SWP_SHOWWINDOW);
    InvalidateRect(shadow, nullptr, FALSE);
    UpdateWindow(shadow);
    s->current = true;
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
            KillTimer(hwnd, kCaptureTimer);
            CaptureAndShow(hwnd);
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
        Hide(w.shadow);
        SetTimer(w.shadow, kCaptureTimer, kCaptureDelayMs, nullptr);
    } else {
        ShowLayered(w.shadow, *s);
        Place(w.shadow, *s, SWP_SHOWWINDOW);
        s->current = true;
    }
}

void ShadowDestroy(Skinned& w) {
    if (w.shadow != nullptr) {
        HWND shadow = w.shadow;
        w.shadow = nullptr;
        if (IsWindow(shadow)) {
            DestroyWindow(shadow);
        }
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
