// Skinned controls: colour answers for children, and the self-painted buttons, sliders, lists and bars.
#include <windows.h>
// commctrl.h needs the types of windows.h first.
#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine.h"
#include "skin_contrast.h"

namespace pelk {
namespace {

using trigora::skin::ButtonState;
using trigora::skin::Image;
using trigora::skin::PartState;
using trigora::skin::Rgb;

bool ClassIs(HWND hwnd, const wchar_t* name) {
    wchar_t buf[64];
    return hwnd != nullptr && GetClassNameW(hwnd, buf, 64) > 0 && lstrcmpiW(buf, name) == 0;
}

LRESULT Colours(HDC dc, Rgb text, Rgb back, HBRUSH brush) {
    SetTextColor(dc, Colour(text));
    SetBkColor(dc, Colour(back));
    return reinterpret_cast<LRESULT>(brush);
}

std::wstring TextOf(HWND hwnd) {
    int len = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<std::size_t>(len > 0 ? len + 1 : 1), L'\0');
    int got = GetWindowTextW(hwnd, text.data(), len + 1);
    text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
    return text;
}

HFONT FontOf(HWND hwnd) {
    auto font = reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
    return font != nullptr ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

class FontIn {
  public:
    FontIn(HDC dc, HFONT font) : dc_(dc), old_(SelectObject(dc, font)) {}
    FontIn(const FontIn&) = delete;
    FontIn& operator=(const FontIn&) = delete;
    ~FontIn() { SelectObject(dc_, old_); }

  private:
    HDC dc_;
    HGDIOBJ old_;
};

UINT PrefixFlags(HWND hwnd) {
    auto ui = static_cast<UINT>(SendMessageW(hwnd, WM_QUERYUISTATE, 0, 0));
    return (ui & UISF_HIDEACCEL) != 0 ? DT_HIDEPREFIX : 0;
}

bool ShowsFocus(HWND hwnd) {
    auto ui = static_cast<UINT>(SendMessageW(hwnd, WM_QUERYUISTATE, 0, 0));
    return GetFocus() == hwnd && (ui & UISF_HIDEFOCUS) == 0;
}

void DrawLabel(HDC dc, HWND hwnd, const std::wstring& text, RECT r, Rgb colour, UINT flags) {
    FontIn font(dc, FontOf(hwnd));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, Colour(colour));
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, flags | PrefixFlags(hwnd));
}

void PaintPushButton(Skinned& w, HDC target) {
    const Look& look = *CurrentLook();
    const auto& s = look.skin();
    RECT rc;
    GetClientRect(w.hwnd, &rc);
    Buffer buffer(target, rc);
    HDC dc = buffer.dc();
    FillColour(dc, rc, s.face);

    LONG style = static_cast<LONG>(GetWindowLongW(w.hwnd, GWL_STYLE));
    bool enabled = IsWindowEnabled(w.hwnd) != FALSE;
    bool pushed = (SendMessageW(w.hwnd, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0;
    ButtonState state = ButtonState::Normal;
    if (!enabled) {
        state = ButtonState::Disabled;
    } else if (pushed) {
        state = ButtonState::Pressed;
    } else if (w.hot) {
        state = ButtonState::Hot;
    } else if ((style & BS_TYPEMASK) == BS_DEFPUSHBUTTON || GetFocus() == w.hwnd) {
        state = ButtonState::Default;
    }
    if (!look.DrawImage(dc, Pick(s.button.face, state), rc) &&
        !look.DrawImage(dc, Pick(s.button.face, ButtonState::Normal), rc)) {
        FrameColour(dc, rc, s.button.text);
    }
    RECT tr = rc;
    InflateRect(&tr, -4, -2);
    if (pushed) {
        OffsetRect(&tr, 1, 1);
    }
    UINT flags = DT_CENTER | ((style & BS_MULTILINE) != 0 ? DT_WORDBREAK : DT_SINGLELINE | DT_VCENTER);
    DrawLabel(dc, w.hwnd, TextOf(w.hwnd), tr, enabled ? s.button.text : s.button.disabledText, flags);
    if (ShowsFocus(w.hwnd)) {
        RECT fr = rc;
        InflateRect(&fr, -3, -3);
        SetTextColor(dc, Colour(s.button.text));
        DrawFocusRect(dc, &fr);
    }
}

void PaintCheckBox(Skinned& w, HDC target) {
    const Look& look = *CurrentLook();
    const auto& s = look.skin();
    RECT rc;
    GetClientRect(w.hwnd, &rc);
    Buffer buffer(target, rc);
    HDC dc = buffer.dc();
    FillColour(dc, rc, s.face);

    bool checked = SendMessageW(w.hwnd, BM_GETCHECK, 0, 0) != BST_UNCHECKED;
    std::size_t hot = w.hot ? 1 : 0;
    const Image& box = checked ? s.checkBox.checked[hot] : s.checkBox.unchecked[hot];
    int bw = box.Empty() ? 13 : static_cast<int>(box.width);
    int bh = box.Empty() ? 13 : static_cast<int>(box.height);
    RECT br{rc.left, rc.top + (rc.bottom - rc.top - bh) / 2, 0, 0};
    br.right = br.left + bw;
    br.bottom = br.top + bh;
    if (!look.DrawImage(dc, box, br)) {
        FrameColour(dc, br, s.checkBox.text);
        if (checked) {
            RECT mark = br;
            InflateRect(&mark, -3, -3);
            FillColour(dc, mark, s.checkBox.text);
        }
    }
    bool enabled = IsWindowEnabled(w.hwnd) != FALSE;
    LONG style = static_cast<LONG>(GetWindowLongW(w.hwnd, GWL_STYLE));
    RECT tr{br.right + 4, rc.top, rc.right, rc.bottom};
    UINT flags = DT_LEFT | ((style & BS_MULTILINE) != 0 ? DT_WORDBREAK : DT_SINGLELINE | DT_VCENTER);
    std::wstring text = TextOf(w.hwnd);
    DrawLabel(dc, w.hwnd, text, tr, enabled ? s.checkBox.text : s.disabledText, flags);
    if (ShowsFocus(w.hwnd) && !text.empty()) {
        RECT fr = tr;
        FontIn font(dc, FontOf(w.hwnd));
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &fr, flags | DT_CALCRECT);
        OffsetRect(&fr, 0, (rc.bottom - rc.top - (fr.bottom - fr.top)) / 2 - fr.top);
        InflateRect(&fr, 1, 1);
        DrawFocusRect(dc, &fr);
    }
}

BOOL CALLBACK ExcludeChild(HWND child, LPARAM lp) {
    auto* ctx = reinterpret_cast<std::pair<HWND, HDC>*>(lp);
    if (GetParent(child) == ctx->first && IsWindowVisible(child)) {
        RECT r;
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, ctx->first, reinterpret_cast<POINT*>(&r), 2);
        ExcludeClipRect(ctx->second, r.left, r.top, r.right, r.bottom);
    }
    return TRUE;
}

void PaintGroupBox(Skinned& w, HDC target) {
    const Look& look = *CurrentLook();
    const auto& s = look.skin();
    // The group box holds controls of its own; never paint over them.
    std::pair<HWND, HDC> ctx{w.hwnd, target};
    EnumChildWindows(w.hwnd, &ExcludeChild, reinterpret_cast<LPARAM>(&ctx));
    // Nor over a sibling laid across it (a check box standing in for the title).
    RECT mine;
    GetWindowRect(w.hwnd, &mine);
    for (HWND sib = GetWindow(w.hwnd, GW_HWNDFIRST); sib != nullptr; sib = GetWindow(sib, GW_HWNDNEXT)) {
        RECT r, overlap;
        if (sib != w.hwnd && IsWindowVisible(sib) && GetWindowRect(sib, &r) &&
            IntersectRect(&overlap, &r, &mine)) {
            MapWindowPoints(nullptr, w.hwnd, reinterpret_cast<POINT*>(&overlap), 2);
            ExcludeClipRect(target, overlap.left, overlap.top, overlap.right, overlap.bottom);
        }
    }
    RECT rc;
    GetClientRect(w.hwnd, &rc);
    Buffer buffer(target, rc);
    HDC dc = buffer.dc();
    FillColour(dc, rc, s.face);

    std::wstring text = TextOf(w.hwnd);
    FontIn font(dc, FontOf(w.hwnd));
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    int th = tm.tmHeight;
    RECT frame{rc.left, rc.top + th / 2, rc.right, rc.bottom};
    FrameColour(dc, frame, s.groupBox.frame);
    if (!text.empty()) {
        RECT tr{rc.left + 8, rc.top, rc.right - 8, rc.top + th};
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &tr,
                  DT_SINGLELINE | DT_LEFT | DT_CALCRECT);
        tr.right = std::min(tr.right, rc.right - 8);
        RECT back{tr.left - 2, tr.top, tr.right + 2, tr.bottom};
        FillColour(dc, back, s.face);
        DrawLabel(dc, w.hwnd, text, tr, s.groupBox.title, DT_SINGLELINE | DT_LEFT | DT_END_ELLIPSIS);
    }
}

// Where the trackbar puts a value on its channel (the control's own mapping, thumb half-widths inset).
int TickPosition(const RECT& channel, const RECT& thumb, bool vertical, LONG lo, LONG hi, LONG value) {
    LONG range = hi - lo;
    int half = vertical ? (thumb.bottom - thumb.top) / 2 : (thumb.right - thumb.left) / 2;
    int width = (vertical ? channel.bottom - channel.top : channel.right - channel.left) - 2 * half - 1;
    int pos = range > 0 ? static_cast<int>(static_cast<long long>(width) * (value - lo) / range) + half : 0;
    return (vertical ? channel.top : channel.left) + pos;
}

void PaintSlider(Skinned& w, HDC target) {
    const Look& look = *CurrentLook();
    const auto& s = look.skin();
    RECT rc;
    GetClientRect(w.hwnd, &rc);
    Buffer buffer(target, rc);
    HDC dc = buffer.dc();
    FillColour(dc, rc, s.face);

    LONG style = static_cast<LONG>(GetWindowLongW(w.hwnd, GWL_STYLE));
    bool vertical = (style & TBS_VERT) != 0;
    RECT channel{}, thumb{};
    SendMessageW(w.hwnd, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
    SendMessageW(w.hwnd, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    if (vertical) {
        // The channel rectangle of a vertical trackbar comes back in horizontal orientation.
        channel = {channel.top, channel.left, channel.bottom, channel.right};
    }

    const Image& chImage = s.slider.channel;
    RECT ch = channel;
    if (!chImage.Empty()) {
        if (vertical) {
            int cx = (channel.left + channel.right) / 2;
            ch.left = cx - static_cast<int>(chImage.width) / 2;
            ch.right = ch.left + static_cast<int>(chImage.width);
        } else {
            int cy = (channel.top + channel.bottom) / 2;
            ch.top = cy - static_cast<int>(chImage.height) / 2;
            ch.bottom = ch.top + static_cast<int>(chImage.height);
        }
    }
    if (!look.DrawImage(dc, chImage, ch)) {
        FrameColour(dc, channel, s.slider.tick);
    }

    if ((style & TBS_NOTICKS) == 0 && !vertical) {
        LONG lo = static_cast<LONG>(SendMessageW(w.hwnd, TBM_GETRANGEMIN, 0, 0));
        LONG hi = static_cast<LONG>(SendMessageW(w.hwnd, TBM_GETRANGEMAX, 0, 0));
        std::vector<LONG> values{lo};
        int interior = static_cast<int>(SendMessageW(w.hwnd, TBM_GETNUMTICS, 0, 0)) - 2;
        auto* tics = reinterpret_cast<const DWORD*>(SendMessageW(w.hwnd, TBM_GETPTICS, 0, 0));
        for (int i = 0; tics != nullptr && i < interior; ++i) {
            values.push_back(static_cast<LONG>(tics[i]));
        }
        values.push_back(hi);
        bool top = (style & TBS_TOP) != 0;
        bool both = (style & TBS_BOTH) != 0;
        // A slider only as tall as its thumb has no room beside it: the ticks then go along the
        // edge, under the thumb, which is drawn over them.
        int below = std::min<int>(thumb.bottom + 1, rc.bottom - 3);
        int above = std::max<int>(thumb.top - 1, rc.top + 3);
        for (LONG v : values) {
            int x = TickPosition(channel, thumb, false, lo, hi, v);
            int len = v == lo || v == hi ? 4 : 3;
            if (!top || both) {
                FillColour(dc, {x, below, x + 1, std::min<int>(below + len, rc.bottom)}, s.slider.tick);
            }
            if (top || both) {
                FillColour(dc, {x, std::max<int>(above - len, rc.top), x + 1, above}, s.slider.tick);
            }
        }
    }

    PartState state = PartState::Normal;
    POINT pt;
    GetCursorPos(&pt);
    ScreenToClient(w.hwnd, &pt);
    if (GetCapture() == w.hwnd) {
        state = PartState::Pressed;
    } else if (w.hot && PtInRect(&thumb, pt)) {
        state = PartState::Hot;
    }
    if (!look.DrawImage(dc, Pick(s.slider.thumb, state), thumb)) {
        FillColour(dc, thumb, s.slider.tick);
    }
}

void PaintStatusBar(Skinned& w, HDC target) {
    const Look& look = *CurrentLook();
    const auto& bar = look.skin().statusBar;
    RECT rc;
    GetClientRect(w.hwnd, &rc);
    Buffer buffer(target, rc);
    HDC dc = buffer.dc();
    FillColour(dc, rc, bar.face);
    FillColour(dc, {rc.left, rc.top, rc.right, rc.top + 1}, bar.separator);

    int parts = static_cast<int>(SendMessageW(w.hwnd, SB_GETPARTS, 0, 0));
    if (parts <= 0) {
        return;
    }
    std::vector<int> edges(static_cast<std::size_t>(parts));
    SendMessageW(w.hwnd, SB_GETPARTS, static_cast<WPARAM>(parts), reinterpret_cast<LPARAM>(edges.data()));
    int left = rc.left;
    for (int i = 0; i < parts; ++i) {
        int right = edges[static_cast<std::size_t>(i)] < 0 ? rc.right : edges[static_cast<std::size_t>(i)];
        auto info = SendMessageW(w.hwnd, SB_GETTEXTLENGTHW, static_cast<WPARAM>(i), 0);
        if ((HIWORD(info) & SBT_OWNERDRAW) == 0) {
            std::wstring text(LOWORD(info) + 1u, L'\0');
            SendMessageW(w.hwnd, SB_GETTEXTW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
            text.resize(LOWORD(info));
            DrawLabel(dc, w.hwnd, text, {left + 4, rc.top + 2, right - 4, rc.bottom}, bar.text,
                      DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_END_ELLIPSIS | DT_NOPREFIX);
        }
        if (i + 1 < parts) {
            FillColour(dc, {right - 1, rc.top + 3, right, rc.bottom - 2}, bar.separator);
        }
        left = right;
    }
}

void PaintComboList(Skinned& w, HDC target) {
    const Look& look = *CurrentLook();
    const auto& list = look.skin().list;
    RECT rc;
    GetClientRect(w.hwnd, &rc);
    Buffer buffer(target, rc);
    HDC dc = buffer.dc();
    FillColour(dc, rc, list.background);
    int count = static_cast<int>(SendMessageW(w.hwnd, LB_GETCOUNT, 0, 0));
    int top = static_cast<int>(SendMessageW(w.hwnd, LB_GETTOPINDEX, 0, 0));
    int sel = static_cast<int>(SendMessageW(w.hwnd, LB_GETCURSEL, 0, 0));
    for (int i = top < 0 ? 0 : top; i < count; ++i) {
        RECT ir;
        if (SendMessageW(w.hwnd, LB_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&ir)) ==
            LB_ERR) {
            break;
        }
        if (ir.top >= rc.bottom) {
            break;
        }
        auto len = SendMessageW(w.hwnd, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
        if (len == LB_ERR) {
            continue;
        }
        std::wstring text(static_cast<std::size_t>(len) + 1, L'\0');
        len = SendMessageW(w.hwnd, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
        text.resize(len == LB_ERR ? 0 : static_cast<std::size_t>(len));
        Rgb colour = list.text;
        if (i == sel) {
            FillColour(dc, ir, list.selectionBackground);
            colour = list.selectionText;
        }
        ir.left += 2;
        DrawLabel(dc, w.hwnd, text, ir, colour, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX);
    }
}

// The combo's own painting stays for the edit field; the engine draws the border and the button over it.
void PaintCombo(Skinned& w, HDC dc) {
    const Look& look = *CurrentLook();
    const auto& combo = look.skin().combo;
    COMBOBOXINFO cbi{};
    cbi.cbSize = sizeof(cbi);
    if (!GetComboBoxInfo(w.hwnd, &cbi)) {
        return;
    }
    RECT rc;
    GetClientRect(w.hwnd, &rc);
    LONG style = static_cast<LONG>(GetWindowLongW(w.hwnd, GWL_STYLE));
    if ((style & 3) == CBS_DROPDOWNLIST) {
        RECT item = cbi.rcItem;
        bool focused = GetFocus() == w.hwnd && !SendMessageW(w.hwnd, CB_GETDROPPEDSTATE, 0, 0);
        const auto& list = look.skin().list;
        FillColour(dc, item, focused ? list.selectionBackground : combo.face);
        int sel = static_cast<int>(SendMessageW(w.hwnd, CB_GETCURSEL, 0, 0));
        if (sel >= 0) {
            auto len = SendMessageW(w.hwnd, CB_GETLBTEXTLEN, static_cast<WPARAM>(sel), 0);
            if (len != CB_ERR) {
                std::wstring text(static_cast<std::size_t>(len) + 1, L'\0');
                SendMessageW(w.hwnd, CB_GETLBTEXT, static_cast<WPARAM>(sel),
                             reinterpret_cast<LPARAM>(text.data()));
                text.resize(static_cast<std::size_t>(len));
                item.left += 2;
                DrawLabel(dc, w.hwnd, text, item, focused ? list.selectionText : combo.text,
                          DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX);
            }
        }
        ExcludeClipRect(dc, cbi.rcItem.left, cbi.rcItem.top, cbi.rcItem.right, cbi.rcItem.bottom);
    }
    // Everything around the edit field and the button: border and face.
    HRGN around = CreateRectRgnIndirect(&rc);
    HRGN inner = CreateRectRgnIndirect(&cbi.rcItem);
    HRGN button = CreateRectRgnIndirect(&cbi.rcButton);
    CombineRgn(around, around, inner, RGN_DIFF);
    CombineRgn(around, around, button, RGN_DIFF);
    HBRUSH face = CurrentLook()->ComboBrush();
    FillRgn(dc, around, face);
    DeleteObject(around);
    DeleteObject(inner);
    DeleteObject(button);
    FrameColour(dc, rc, combo.border);

    PartState state = PartState::Normal;
    if (SendMessageW(w.hwnd, CB_GETDROPPEDSTATE, 0, 0)) {
        state = PartState::Pressed;
    } else if (w.hot) {
        state = PartState::Hot;
    }
    if (!look.DrawImage(dc, Pick(combo.arrow, state), cbi.rcButton)) {
        FillColour(dc, cbi.rcButton, combo.face);
        int cx = (cbi.rcButton.left + cbi.rcButton.right) / 2;
        int cy = (cbi.rcButton.top + cbi.rcButton.bottom) / 2;
        for (int i = 0; i < 4; ++i) {
            FillColour(dc, {cx - 3 + i, cy - 1 + i, cx + 4 - i, cy + i}, combo.text);
        }
    }
}

// Border ring in the non-client area: the outer pixel in the border colour, the rest in the face.
void PaintBorderRing(HWND hwnd, Rgb border, Rgb face) {
    RECT wr, cr;
    GetWindowRect(hwnd, &wr);
    GetClientRect(hwnd, &cr);
    POINT origin{0, 0};
    ClientToScreen(hwnd, &origin);
    int left = origin.x - wr.left;
    int top = origin.y - wr.top;
    if (left <= 0 && top <= 0) {
        return;
    }
    HDC dc = GetWindowDC(hwnd);
    if (dc == nullptr) {
        return;
    }
    WindowDc owner(hwnd, dc);
    RECT all{0, 0, wr.right - wr.left, wr.bottom - wr.top};
    // Scroll bars inside the frame stay as their own procedure drew them.
    SCROLLBARINFO sbi{};
    sbi.cbSize = sizeof(sbi);
    for (LONG id : {OBJID_VSCROLL, OBJID_HSCROLL}) {
        if (GetScrollBarInfo(hwnd, id, &sbi) && (sbi.rgstate[0] & STATE_SYSTEM_INVISIBLE) == 0) {
            ExcludeClipRect(dc, sbi.rcScrollBar.left - wr.left, sbi.rcScrollBar.top - wr.top,
                            sbi.rcScrollBar.right - wr.left, sbi.rcScrollBar.bottom - wr.top);
        }
    }
    ExcludeClipRect(dc, left, top, left + cr.right, top + cr.bottom);
    FillColour(dc, all, face);
    FrameColour(dc, all, border);
}

bool SelfPainted(Kind kind) {
    switch (kind) {
    case Kind::PushButton:
    case Kind::CheckBox:
    case Kind::GroupBox:
    case Kind::Slider:
    case Kind::StatusBar:
    case Kind::ComboList:
        return true;
    default:
        return false;
    }
}

// Messages after which a control's own procedure may have drawn straight to the screen.
bool MayDrawDirectly(Kind kind, UINT msg) {
    switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
    case WM_SETTEXT:
    case WM_SETFONT:
    case WM_CAPTURECHANGED:
    case WM_UPDATEUISTATE:
        return true;
    case BM_SETSTATE:
    case BM_SETCHECK:
    case BM_SETSTYLE:
        return kind == Kind::PushButton || kind == Kind::CheckBox || kind == Kind::GroupBox;
    case LB_SETCURSEL:
    case LB_SETTOPINDEX:
    case WM_VSCROLL:
    case WM_MOUSEWHEEL:
    case WM_TIMER:
    case WM_MOUSEMOVE:
        return kind == Kind::ComboList;
    case SB_SETTEXTW:
    case SB_SETTEXTA:
    case SB_SETPARTS:
        return kind == Kind::StatusBar;
    case CB_SHOWDROPDOWN:
    case CB_SETCURSEL:
    case WM_COMMAND:
        return kind == Kind::Combo;
    default:
        return false;
    }
}

void TrackHot(Skinned& w, bool hot) {
    if (hot == w.hot) {
        return;
    }
    w.hot = hot;
    if (hot) {
        TRACKMOUSEEVENT tme{sizeof(tme), TME_LEAVE, w.hwnd, 0};
        TrackMouseEvent(&tme);
    }
    PaintNow(w);
}

} // namespace

void PaintControl(Skinned& w, HDC dc) {
    switch (w.kind) {
    case Kind::PushButton:
        PaintPushButton(w, dc);
        break;
    case Kind::CheckBox:
        PaintCheckBox(w, dc);
        break;
    case Kind::GroupBox:
        PaintGroupBox(w, dc);
        break;
    case Kind::Slider:
        PaintSlider(w, dc);
        break;
    case Kind::StatusBar:
        PaintStatusBar(w, dc);
        break;
    case Kind::ComboList:
        PaintComboList(w, dc);
        break;
    case Kind::Combo:
        PaintCombo(w, dc);
        break;
    default:
        break;
    }
}

namespace {

// The skin's answer to a colour question about a child.
LRESULT SkinColours(const Skinned& w, UINT msg, HDC dc, HWND child) {
    const Look& look = *CurrentLook();
    const auto& s = look.skin();
    switch (msg) {
    case WM_CTLCOLORSTATIC:
        if (ClassIs(child, L"Edit")) { // read-only and disabled edit boxes ask this way
            return Colours(dc, IsWindowEnabled(child) ? s.edit.text : s.disabledText, s.edit.background,
                           look.EditBrush());
        }
        return Colours(dc, IsWindowEnabled(child) ? s.text : s.disabledText, s.face, look.FaceBrush());
    case WM_CTLCOLOREDIT:
        if (w.kind == Kind::Combo || ClassIs(GetParent(child), L"ComboBox")) {
            return Colours(dc, s.combo.text, s.combo.face, look.ComboBrush());
        }
        return Colours(dc, s.edit.text, s.edit.background, look.EditBrush());
    case WM_CTLCOLORLISTBOX:
        return Colours(dc, s.list.text, s.list.background, look.ListBrush());
    default: // WM_CTLCOLORDLG, WM_CTLCOLORBTN
        return Colours(dc, s.text, s.face, look.FaceBrush());
    }
}

Rgb RgbOf(COLORREF c) {
    return {GetRValue(c), GetGValue(c), GetBValue(c)};
}

bool IsDefaultText(COLORREF c) {
    return c == RGB(0, 0, 0) || c == GetSysColor(COLOR_WINDOWTEXT) || c == GetSysColor(COLOR_BTNTEXT);
}

bool IsDefaultBack(COLORREF c) {
    return c == RGB(255, 255, 255) || c == GetSysColor(COLOR_WINDOW) || c == GetSysColor(COLOR_BTNFACE);
}

} // namespace

// The program is asked first: colours it chose on purpose (red results, a violet text) stay, and
// the skin fills in everything left at the system's plain black, white and face.
bool ContainerMessage(Skinned& w, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
    switch (msg) {
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX: {
        auto dc = reinterpret_cast<HDC>(wp);
        LRESULT theirs = CallOld(w, msg, wp, lp);
        if (w.dead) {
            *result = theirs;
            return true;
        }
        COLORREF theirText = GetTextColor(dc), theirBack = GetBkColor(dc);
        *result = SkinColours(w, msg, dc, reinterpret_cast<HWND>(lp));
        if (theirs != 0 && !IsDefaultBack(theirBack)) {
            SetBkColor(dc, theirBack);
            *result = theirs;
        }
        if (!IsDefaultText(theirText)) {
            // The program's own colour keeps its hue, but a blue or dark red meant for a light
            // face would vanish on a dark one: its lightness follows the background it lands on.
            SetTextColor(dc, Colour(trigora::skin::ProgramColourOn(RgbOf(theirText), RgbOf(GetBkColor(dc)))));
        }
        return true;
    }
    default:
        return false;
    }
}

bool ControlMessage(Skinned& w, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
    const auto& s = CurrentLook()->skin();
    if (SelfPainted(w.kind)) {
        switch (msg) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(w.hwnd, &ps);
            if (dc != nullptr) {
                PaintControl(w, dc);
            }
            EndPaint(w.hwnd, &ps);
            *result = 0;
            return true;
        }
        case WM_PRINTCLIENT:
            PaintControl(w, reinterpret_cast<HDC>(wp));
            *result = 0;
            return true;
        case WM_ERASEBKGND:
            *result = 1;
            return true;
        default:
            break;
        }
    }
    switch (w.kind) {
    case Kind::Edit:
        if (msg == WM_NCPAINT) {
            *result = CallOld(w, msg, wp, lp);
            if (!w.dead) {
                PaintBorderRing(w.hwnd, s.edit.border, s.edit.background);
            }
            return true;
        }
        return false;
    case Kind::ComboList:
        if (msg == WM_NCPAINT) {
            *result = CallOld(w, msg, wp, lp);
            if (!w.dead) {
                PaintBorderRing(w.hwnd, s.list.border, s.list.background);
            }
            return true;
        }
        break;
    case Kind::Combo:
        if (msg == WM_PAINT) {
            *result = CallOld(w, msg, wp, lp);
            PaintNow(w);
            return true;
        }
        break;
    default:
        break;
    }
    if (msg == WM_MOUSEMOVE && w.kind != Kind::StatusBar && w.kind != Kind::GroupBox) {
        TrackHot(w, true);
        if (w.kind == Kind::Slider) {
            PaintNow(w); // the thumb lights up only under the pointer
        }
    } else if (msg == WM_MOUSELEAVE) {
        TrackHot(w, false);
    }
    if (MayDrawDirectly(w.kind, msg)) {
        *result = CallOld(w, msg, wp, lp);
        PaintNow(w);
        return true;
    }
    return false;
}

} // namespace pelk
