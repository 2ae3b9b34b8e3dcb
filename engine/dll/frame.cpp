// Non-client painting of top-level windows: frame, caption bar, icon, title and caption buttons.
#include <windows.h>
#include <windowsx.h>

#include "engine.h"

namespace pelk {
namespace {

using trigora::skin::CaptionButtonKind;
using trigora::skin::PartState;

// Undocumented messages of themed Windows that paint the caption and frame outside WM_NCPAINT.
constexpr UINT kUahDrawCaption = 0x00AE;
constexpr UINT kUahDrawFrame = 0x00AF;

// Caption buttons sit closer together than this; the system menu icon starts within kIconSearch.
constexpr int kButtonGapLimit = 16;
constexpr int kIconSearch = 48;

bool IsCaptionButton(int hit) {
    return hit == HTCLOSE || hit == HTMINBUTTON || hit == HTMAXBUTTON;
}

LRESULT SystemHitTest(HWND hwnd, int x, int y) {
    return DefWindowProcW(hwnd, WM_NCHITTEST, 0, MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
}

// The caption buttons are found where the system's own hit-testing puts them, so what is drawn
// and what answers a click can never disagree.
FrameGeometry Measure(HWND hwnd) {
    FrameGeometry g;
    RECT wr;
    GetWindowRect(hwnd, &wr);
    g.size = {wr.right - wr.left, wr.bottom - wr.top};
    g.style = static_cast<LONG>(GetWindowLongW(hwnd, GWL_STYLE));
    RECT cr;
    GetClientRect(hwnd, &cr);
    POINT origin{0, 0};
    ClientToScreen(hwnd, &origin);
    g.client = {origin.x - wr.left, origin.y - wr.top, origin.x - wr.left + cr.right,
                origin.y - wr.top + cr.bottom};
    int border = g.client.left;
    int captionBottom = g.client.top;
    MENUBARINFO mbi{};
    mbi.cbSize = sizeof(mbi);
    if (GetMenu(hwnd) != nullptr && GetMenuBarInfo(hwnd, OBJID_MENU, 0, &mbi)) {
        captionBottom = mbi.rcBar.top - wr.top;
    }
    g.caption = {0, 0, g.size.cx, captionBottom};

    // Hit-testing is not cheap under Wine, so the scans stop as soon as the buttons (from the
    // right) and the system menu icon (from the left) lie behind them.
    int y = wr.top + (border + captionBottom) / 2;
    int hitNow = 0;
    for (int x = wr.right - 1; x >= wr.left + g.size.cx / 3 && g.buttonCount < 4; --x) {
        int hit = static_cast<int>(SystemHitTest(hwnd, x, y));
        if (IsCaptionButton(hit)) {
            if (hit != hitNow) {
                g.buttons[g.buttonCount++] = {hit, {x - wr.left, border, x - wr.left + 1, captionBottom}};
            } else {
                g.buttons[g.buttonCount - 1].rect.left = x - wr.left;
            }
        } else if (hit == HTCAPTION && g.buttonCount > 0 &&
                   g.buttons[g.buttonCount - 1].rect.left - (x - wr.left) > kButtonGapLimit) {
            break;
        }
        hitNow = hit;
    }
    for (int x = wr.left; x < wr.left + g.size.cx / 3; ++x) {
        if (SystemHitTest(hwnd, x, y) == HTSYSMENU) {
            if (g.icon.right == 0) {
                g.icon = {x - wr.left, border, x - wr.left + 1, captionBottom};
            } else {
                g.icon.right = x - wr.left + 1;
            }
        } else if (g.icon.right != 0 || x - wr.left > kIconSearch) {
            break;
        }
    }
    return g;
}

const FrameGeometry& Geometry(Skinned& w) {
    RECT wr;
    GetWindowRect(w.hwnd, &wr);
    LONG style = static_cast<LONG>(GetWindowLongW(w.hwnd, GWL_STYLE));
    if (!w.geometry || w.geometry->size.cx != wr.right - wr.left ||
        w.geometry->size.cy != wr.bottom - wr.top || w.geometry->style != style) {
        w.geometry = Measure(w.hwnd);
    }
    return *w.geometry;
}

HICON SmallIcon(HWND hwnd) {
    auto icon = reinterpret_cast<HICON>(SendMessageW(hwnd, WM_GETICON, ICON_SMALL, 0));
    if (icon == nullptr) {
        icon = reinterpret_cast<HICON>(GetClassLongPtrW(hwnd, GCLP_HICONSM));
    }
    if (icon == nullptr) {
        icon = reinterpret_cast<HICON>(SendMessageW(hwnd, WM_GETICON, ICON_BIG, 0));
    }
    if (icon == nullptr) {
        icon = reinterpret_cast<HICON>(GetClassLongPtrW(hwnd, GCLP_HICON));
    }
    return icon;
}

CaptionButtonKind KindOf(HWND hwnd, int hit) {
    switch (hit) {
    case HTCLOSE:
        return CaptionButtonKind::Close;
    case HTMINBUTTON:
        return CaptionButtonKind::Minimize;
    default:
        return IsZoomed(hwnd) ? CaptionButtonKind::Restore : CaptionButtonKind::Maximize;
    }
}

bool ButtonEnabled(LONG style, int hit) {
    if (hit == HTMINBUTTON) {
        return (style & WS_MINIMIZEBOX) != 0;
    }
    if (hit == HTMAXBUTTON) {
        return (style & WS_MAXIMIZEBOX) != 0;
    }
    return true;
}

void DrawFrame(Skinned& w, HDC dc, const FrameGeometry& g) {
    const Look& look = *CurrentLook();
    const auto& s = look.skin();
    RECT all{0, 0, g.size.cx, g.size.cy};
    const auto& frameImage = w.active ? s.frame.active : s.frame.inactive;
    if (!look.DrawImage(dc, frameImage, all)) {
        FillColour(dc, all, s.face);
    }
    const auto& cap = w.active ? s.captionActive : s.captionInactive;
    if (!look.DrawImage(dc, cap.bar, g.caption)) {
        FillColour(dc, g.caption, s.face);
    }

    int border = g.client.left;
    RECT band{border, border, g.size.cx - border, g.caption.bottom};
    int textLeft = band.left + 4;
    if ((g.style & WS_SYSMENU) != 0 && g.icon.right > g.icon.left) {
        if (HICON icon = SmallIcon(w.hwnd)) {
            int size = GetSystemMetrics(SM_CXSMICON);
            int x = g.icon.left + (g.icon.right - g.icon.left - size) / 2;
            int y = band.top + (band.bottom - band.top - size) / 2;
            DrawIconEx(dc, x, y, icon, size, size, 0, nullptr, DI_NORMAL);
        }
        textLeft = g.icon.right + 4;
    }
    int textRight = band.right - 4;
    for (int i = 0; i < g.buttonCount; ++i) {
        const CaptionButton& b = g.buttons[i];
        textRight = std::min<int>(textRight, b.rect.left - 4);
        PartState state = PartState::Normal;
        if (w.pressedHit == b.hit && w.pressedInside) {
            state = PartState::Pressed;
        } else if (w.hotHit == b.hit || w.pressedHit == b.hit) {
            state = PartState::Hot;
        }
        BYTE alpha = ButtonEnabled(g.style, b.hit) ? 255 : 96;
        look.DrawImageCentred(dc, s.CaptionButton(KindOf(w.hwnd, b.hit), state), b.rect, alpha);
    }

    wchar_t title[512];
    int len = GetWindowTextW(w.hwnd, title, 512);
    if (len > 0 && textRight > textLeft) {
        RECT tr{textLeft, band.top, textRight, band.bottom};
        HGDIOBJ oldFont = SelectObject(dc, look.CaptionFont());
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, Colour(cap.text));
        DrawTextW(dc, title, len, &tr, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_END_ELLIPSIS | DT_NOPREFIX);
        SelectObject(dc, oldFont);
    }
}

void PaintNonClient(Skinned& w) {
    if (w.dead || CurrentLook() == nullptr || IsIconic(w.hwnd) || !IsWindowVisible(w.hwnd)) {
        return;
    }
    const FrameGeometry& g = Geometry(w);
    HDC dc = GetWindowDC(w.hwnd);
    if (dc == nullptr) {
        return;
    }
    WindowDc owner(w.hwnd, dc);
    ExcludeClipRect(dc, g.client.left, g.client.top, g.client.right, g.client.bottom);
    RECT wr;
    GetWindowRect(w.hwnd, &wr);
    MENUBARINFO mbi{};
    mbi.cbSize = sizeof(mbi);
    if (GetMenu(w.hwnd) != nullptr && GetMenuBarInfo(w.hwnd, OBJID_MENU, 0, &mbi)) {
        ExcludeClipRect(dc, mbi.rcBar.left - wr.left, mbi.rcBar.top - wr.top, mbi.rcBar.right - wr.left,
                        mbi.rcBar.bottom - wr.top);
    }
    {
        Buffer buffer(dc, {0, 0, g.size.cx, g.size.cy});
        DrawFrame(w, buffer.dc(), g);
    }
    SettleOnScreen(w.hwnd);
}

// Where the pointer was when the message was made. Under Wine, lParam of a button message made by
// SendInput without a move can be stale, and the live pointer may be ahead of the message.
POINT PointerNow() {
    DWORD pos = GetMessagePos();
    return {GET_X_LPARAM(pos), GET_Y_LPARAM(pos)};
}

int HitAt(HWND hwnd, POINT screen) {
    return static_cast<int>(SystemHitTest(hwnd, screen.x, screen.y));
}

void PressButton(Skinned& w, int hit) {
    w.pressedHit = hit;
    w.pressedInside = true;
    SetCapture(w.hwnd);
    PaintNonClient(w);
}

// Mouse released after a press on a caption button: the button's command if still over it.
void ReleaseButton(Skinned& w, POINT screen) {
    int hit = w.pressedHit;
    bool inside = HitAt(w.hwnd, screen) == hit;
    w.pressedHit = 0;
    w.pressedInside = false;
    ReleaseCapture();
    PaintNonClient(w);
    if (!inside) {
        return;
    }
    WPARAM command = SC_CLOSE;
    if (hit == HTMINBUTTON) {
        command = SC_MINIMIZE;
    } else if (hit == HTMAXBUTTON) {
        command = IsZoomed(w.hwnd) ? SC_RESTORE : SC_MAXIMIZE;
    }
    HWND hwnd = w.hwnd; // the command may destroy the window and its record
    SendMessageW(hwnd, WM_SYSCOMMAND, command, MAKELPARAM(screen.x, screen.y));
}

// Wine and Windows draw the caption themselves, not through WM_NCPAINT, after these.
bool RedrawsCaption(UINT msg) {
    switch (msg) {
    case WM_SETTEXT:
    case WM_SETICON:
    case WM_ENABLE:
    case WM_STYLECHANGED:
    case WM_EXITMENULOOP:
    case WM_SYSCOMMAND:
    case WM_NCLBUTTONUP:
    case WM_NCRBUTTONDOWN:
    case WM_NCRBUTTONUP:
    case WM_EXITSIZEMOVE:
    case WM_ACTIVATE:
    case WM_SHOWWINDOW:
    case WM_SETTINGCHANGE:
    case WM_THEMECHANGED:
        return true;
    default:
        return false;
    }
}

} // namespace

void ForgetFrameGeometry(Skinned& w) {
    w.geometry.reset();
}

void PrepareFrame(HWND hwnd) {
    if (IsWine()) {
        return;
    }
    // Where the desktop composites frames itself, it ignores WM_NCPAINT unless told not to.
    using SetAttribute = HRESULT(WINAPI*)(HWND, DWORD, LPCVOID, DWORD);
    static const SetAttribute set = [] {
        HMODULE dwm = LoadSystemLibrary(L"dwmapi.dll");
        return dwm != nullptr ? reinterpret_cast<SetAttribute>(
                                    reinterpret_cast<void*>(GetProcAddress(dwm, "DwmSetWindowAttribute")))
                              : nullptr;
    }();
    if (set != nullptr) {
        const DWORD kNcRenderingPolicy = 2, kDisabled = 1;
        set(hwnd, kNcRenderingPolicy, &kDisabled, sizeof(kDisabled));
    }
}
void PaintFrame(Skinned& w) {
    PaintNonClient(w);
}

bool FrameMessage(Skinned& w, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
    switch (msg) {
    case WM_NCPAINT: {
        if (GetMenu(w.hwnd) != nullptr ||
            (GetWindowLongW(w.hwnd, GWL_STYLE) & (WS_VSCROLL | WS_HSCROLL)) != 0) {
            CallOld(w, msg, wp, lp);
        }
        PaintNonClient(w);
        *result = 0;
        return true;
    }
    case WM_PRINT:
        if ((lp & PRF_NONCLIENT) != 0 && IsWindowVisible(w.hwnd) && !IsIconic(w.hwnd)) {
            const FrameGeometry& g = Geometry(w);
            auto dc = reinterpret_cast<HDC>(wp);
            int saved = SaveDC(dc);
            ExcludeClipRect(dc, g.client.left, g.client.top, g.client.right, g.client.bottom);
            DrawFrame(w, dc, g);
            RestoreDC(dc, saved);
            // The client part follows at its place inside the frame, as the system would print it.
            POINT org;
            OffsetViewportOrgEx(dc, g.client.left, g.client.top, &org);
            *result = CallOld(w, msg, wp, lp & ~PRF_NONCLIENT);
            SetViewportOrgEx(dc, org.x, org.y, nullptr);
            return true;
        }
        return false;
    case kUahDrawCaption:
    case kUahDrawFrame:
        // Themed Windows draws its own caption with these; the skin's stays.
        *result = 0;
        return true;
    case WM_NCACTIVATE:
        w.active = wp != 0;
        // -1: let the system do its bookkeeping without painting its own caption over ours.
        *result = CallOld(w, msg, wp, -1);
        PaintNonClient(w);
        return true;
    case WM_ERASEBKGND: {
        RECT rc;
        GetClientRect(w.hwnd, &rc);
        FillRect(reinterpret_cast<HDC>(wp), &rc, CurrentLook()->FaceBrush());
        *result = 1;
        return true;
    }
    case WM_NCMOUSEMOVE: {
        int hot = IsCaptionButton(static_cast<int>(wp)) ? static_cast<int>(wp) : 0;
        if (!w.ncLeaveTracked) {
            TRACKMOUSEEVENT tme{sizeof(tme), TME_LEAVE | TME_NONCLIENT, w.hwnd, 0};
            w.ncLeaveTracked = TrackMouseEvent(&tme) != FALSE;
        }
        if (hot != w.hotHit) {
            w.hotHit = hot;
            PaintNonClient(w);
        }
        return false;
    }
    case WM_NCMOUSELEAVE:
        w.ncLeaveTracked = false;
        if (w.hotHit != 0) {
            w.hotHit = 0;
            PaintNonClient(w);
        }
        return false;
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
        if (IsCaptionButton(static_cast<int>(wp))) {
            if (ButtonEnabled(static_cast<LONG>(GetWindowLongW(w.hwnd, GWL_STYLE)), static_cast<int>(wp))) {
                PressButton(w, static_cast<int>(wp));
            }
            *result = 0;
            return true;
        }
        *result = CallOld(w, msg, wp, lp);
        PaintNonClient(w);
        return true;
    case WM_MOUSEMOVE:
        if (w.pressedHit != 0) {
            POINT pt = PointerNow();
            bool inside = HitAt(w.hwnd, pt) == w.pressedHit;
            if (inside != w.pressedInside) {
                w.pressedInside = inside;
                PaintNonClient(w);
            }
            *result = 0;
            return true;
        }
        return false;
    case WM_LBUTTONUP:
        if (w.pressedHit != 0) {
            ReleaseButton(w, PointerNow());
            *result = 0;
            return true;
        }
        return false;
    case WM_CAPTURECHANGED:
        if (w.pressedHit != 0 && reinterpret_cast<HWND>(lp) != w.hwnd) {
            w.pressedHit = 0;
            w.pressedInside = false;
            PaintNonClient(w);
        }
        return false;
    case WM_WINDOWPOSCHANGED:
        *result = CallOld(w, msg, wp, lp);
        ShadowFollow(w);
        return true;
    default:
        if (RedrawsCaption(msg)) {
            *result = CallOld(w, msg, wp, lp);
            if (msg == WM_STYLECHANGED || msg == WM_SETTINGCHANGE || msg == WM_THEMECHANGED) {
                ForgetFrameGeometry(w); // the caption's metrics may have changed
            }
            PaintNonClient(w);
            if (msg == WM_SHOWWINDOW || msg == WM_EXITSIZEMOVE) {
                ShadowFollow(w);
            }
            return true;
        }
        return false;
    }
}

} // namespace pelk
