// The window layer: builds windows from their tables, delivers their events, tears them down.
#include "shell/window_layer.h"

#include "shell/app.h"
#include "shell/handles.h"
#include "shell/startup_trace.h"
#include "shell/text.h"
#include "shell/tray.h"

#include <commctrl.h>
#include <uxtheme.h>
#include <windowsx.h>

#include <algorithm>
#include <cstring>
#include <optional>

namespace trigora {

namespace {

constexpr wchar_t kWindowClass[] = L"TrigoraWindow";
constexpr wchar_t kLabelClass[] = L"TrigoraLabel";
constexpr int kControlIdBase = 1000; // control id = base + table index
constexpr int kMenuIdBase = 0x8000;  // menu item id = base + menu entry index
constexpr UINT_PTR kSubclassId = 0x7472; // "tr"
// Layer-private: a combo box (by table index) shows its confirmed item again.
constexpr UINT kReselectMessage = WM_APP + 0x310;

COLORREF ToColorRef(const Colour& c) {
    return c.systemFace ? GetSysColor(COLOR_BTNFACE) : RGB(c.rgb.r, c.rgb.g, c.rgb.b);
}

bool SameFont(const Font& a, const Font& b) {
    if (a.IsDefault() || b.IsDefault()) {
        return a.IsDefault() == b.IsDefault();
    }
    return std::strcmp(a.face, b.face) == 0 && a.height == b.height && a.bold == b.bold &&
           a.underline == b.underline;
}

// Every live window, and those destroyed while an event was running (freed once it returns).
std::vector<std::unique_ptr<Window>>& LiveWindows() {
    static std::vector<std::unique_ptr<Window>> live;
    return live;
}
std::vector<std::unique_ptr<Window>>& Graveyard() {
    static std::vector<std::unique_ptr<Window>> dead;
    return dead;
}
int& DispatchDepth() {
    static int depth = 0;
    return depth;
}

UINT TaskbarCreatedMessage() {
    static const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
    return message;
}

// Runs one operation; windows destroyed meanwhile are freed only when the outermost one returns,
// so no operation ever runs on a freed window.
template <typename F>
auto Dispatch(F&& f) {
    struct Depth {
        Depth() { ++DispatchDepth(); }
        ~Depth() {
            if (--DispatchDepth() == 0) {
                Graveyard().clear();
            }
        }
    } depth;
    return f();
}

} // namespace

struct Window::Control {
    const ControlEntry& entry;
    int index;
    HWND hwnd = nullptr;
    OwnedBrush background;
    std::wstring tip; // the control's own tooltip text (SetTip)
    // A combo box: whether its list is dropped, and the item last picked and confirmed (or set
    // by the program), which the field goes back to when a browse is not confirmed.
    bool dropped = false;
    int confirmed = -1;
    HWND parent = nullptr; // the window or the group box that holds it
};

struct Window::Resources {
    std::vector<std::pair<Font, OwnedFont>> fonts;
    OwnedBrush background;
    OwnedMenu menuBar;
    OwnedWindow tooltip;  // one for every control with tipWhenCut
    std::wstring tipShown; // the text the tooltip shows, kept alive while it shows it

    HFONT FontFor(const Font& font) {
        if (font.IsDefault()) {
            return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
        }
        for (auto& [f, owned] : fonts) {
            if (SameFont(f, font)) {
                return owned.Get();
            }
        }
        startup::Part part("fonts made");
        HFONT h = CreateFontW(-font.height, 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, FALSE,
                              font.underline ? TRUE : FALSE, FALSE, GB2312_CHARSET, OUT_DEFAULT_PRECIS,
                              CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                              Wide(font.face).c_str());
        fonts.emplace_back(font, OwnedFont(h));
        return h;
    }
};

Window::Window(const WindowTable& table) : table_(table), res_(std::make_unique<Resources>()) {}

Window::~Window() = default;

const Window::Control& Window::Find(std::string_view name) const {
    for (const auto& c : controls_) {
        if (name == c->entry.name) {
            return *c;
        }
    }
    FatalError("窗口中没有控件 " + std::string(name));
}

Window::Control& Window::Find(std::string_view name) {
    return const_cast<Control&>(static_cast<const Window&>(*this).Find(name));
}

HWND Window::ControlHandle(std::string_view control) const {
    return Find(control).hwnd;
}

std::string Window::Text(std::string_view control) const {
    HWND h = Find(control).hwnd;
    int n = GetWindowTextLengthW(h);
    std::wstring buffer(static_cast<size_t>(n) + 1, L'\0');
    int got = GetWindowTextW(h, buffer.data(), n + 1);
    buffer.resize(static_cast<size_t>(std::max(got, 0)));
    return Gbk(buffer);
}

void Window::SetText(std::string_view control, std::string_view text) {
    const Control& c = Find(control);
    if (c.entry.kind == ControlKind::StatusBar) {
        SetPaneText(control, 0, text);
        return;
    }
    SetWindowTextW(c.hwnd, Wide(text).c_str());
    if (c.entry.tipWhenCut) {
        HideTip();
    }
}

// A tooltip that shows while the text beneath it changes would go on showing the old one.
void Window::HideTip() {
    HWND tooltip = res_->tooltip.Get();
    if (tooltip != nullptr && IsWindowVisible(tooltip)) {
        SendMessageW(tooltip, TTM_POP, 0, 0);
    }
}

void Window::SetTip(std::string_view control, std::string_view text) {
    Find(control).tip = Wide(text);
    HideTip();
}

bool Window::Checked(std::string_view control) const {
    return SendMessageW(Find(control).hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Window::SetChecked(std::string_view control, bool checked) {
    SendMessageW(Find(control).hwnd, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

int Window::Position(std::string_view control) const {
    return static_cast<int>(SendMessageW(Find(control).hwnd, TBM_GETPOS, 0, 0));
}

void Window::SetPosition(std::string_view control, int position) {
    SendMessageW(Find(control).hwnd, TBM_SETPOS, TRUE, position);
}

int Window::Selection(std::string_view control) const {
    return static_cast<int>(SendMessageW(Find(control).hwnd, CB_GETCURSEL, 0, 0));
}

void Window::SetSelection(std::string_view control, int index) {
    Control& c = Find(control);
    c.confirmed = index;
    SendMessageW(c.hwnd, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void Window::SetItems(std::string_view control, const std::vector<std::string>& items) {
    HWND h = Find(control).hwnd;
    SendMessageW(h, CB_RESETCONTENT, 0, 0);
    for (const auto& item : items) {
        SendMessageW(h, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(item).c_str()));
    }
}

void Window::SetPaneText(std::string_view statusBar, int pane, std::string_view text) {
    const Control& c = Find(statusBar);
    int style = 0;
    if (pane >= 0 && static_cast<size_t>(pane) < c.entry.status.panes.size()) {
        switch (c.entry.status.panes[static_cast<size_t>(pane)].style) {
        case PaneStyle::Plain:
            break;
        case PaneStyle::NoBorder:
            style = SBT_NOBORDERS;
            break;
        case PaneStyle::Raised:
            style = SBT_POPOUT;
            break;
        }
    }
    SendMessageW(c.hwnd, SB_SETTEXTW, static_cast<WPARAM>(pane | style),
                 reinterpret_cast<LPARAM>(Wide(text).c_str()));
}

void Window::Close() {
    PostMessageW(hwnd_, WM_CLOSE, 0, 0);
}

void Window::ShowRestoredAndActive() {
    ShowWindow(hwnd_, IsIconic(hwnd_) ? SW_RESTORE : SW_SHOW);
    SetForegroundWindow(hwnd_);
}

void Window::Hide() {
    ShowWindow(hwnd_, SW_HIDE);
}

bool Window::IsMinimised() const {
    return IsIconic(hwnd_) != 0;
}

bool Window::IsVisible() const {
    return IsWindowVisible(hwnd_) != 0;
}

TrayIcon& Window::Tray() {
    if (!tray_) {
        tray_ = std::make_unique<TrayIcon>(hwnd_);
    }
    return *tray_;
}

int Window::TrackMenu(std::string_view topMenu, POINT at, UINT alignFlags) {
    const auto& menus = table_.menus;
    size_t top = menus.size();
    for (size_t i = 0; i < menus.size(); ++i) {
        if (menus[i].level == 0 && topMenu == menus[i].caption) {
            top = i;
            break;
        }
    }
    if (top == menus.size()) {
        return -1;
    }
    OwnedMenu popup(CreatePopupMenu());
    for (size_t i = top + 1; i < menus.size() && menus[i].level > 0; ++i) {
        const MenuEntry& m = menus[i];
        if (std::strcmp(m.caption, "-") == 0) {
            AppendMenuW(popup.Get(), MF_SEPARATOR, 0, nullptr);
            continue;
        }
        UINT flags = MF_STRING | (m.disabled ? MF_GRAYED : 0) | (m.checked ? MF_CHECKED : 0);
        AppendMenuW(popup.Get(), flags, kMenuIdBase + i, Wide(m.caption).c_str());
    }
    UINT chosen = static_cast<UINT>(TrackPopupMenuEx(popup.Get(), alignFlags | TPM_RETURNCMD | TPM_NONOTIFY,
                                                     at.x, at.y, hwnd_, nullptr));
    // Without this the menu of a window that is not in the foreground does not close properly
    // the next time (the classic tray-menu rule).
    PostMessageW(hwnd_, WM_NULL, 0, 0);
    popup.Reset();
    if (chosen < kMenuIdBase || chosen >= kMenuIdBase + menus.size()) {
        return -1;
    }
    return static_cast<int>(chosen - kMenuIdBase);
}

void Window::DeliverMenuSelection(int entryIndex) {
    if (entryIndex < 0 || static_cast<size_t>(entryIndex) >= table_.menus.size()) {
        return;
    }
    if (Operation op = table_.menus[static_cast<size_t>(entryIndex)].selected) {
        Dispatch([&] { op(*this); });
    }
}

// ---------------------------------------------------------------------------------------------

namespace {

Window* WindowOf(HWND hwnd) {
    return reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

int KeyState() {
    int keys = 0;
    if (GetKeyState(VK_CONTROL) < 0) {
        keys |= 1;
    }
    if (GetKeyState(VK_SHIFT) < 0) {
        keys |= 2;
    }
    if (GetKeyState(VK_MENU) < 0) {
        keys |= 4;
    }
    return keys;
}

MouseArgs MouseArgsOf(LPARAM lp) {
    return {GET_X_LPARAM(lp), GET_Y_LPARAM(lp), KeyState()};
}

// The operation bound to a mouse message, or null.
template <typename Events>
MouseOperation MouseOperationFor(const Events& events, UINT msg) {
    switch (msg) {
    case WM_LBUTTONDOWN:
        return events.leftButtonPressed;
    case WM_LBUTTONUP:
        return events.leftButtonReleased;
    case WM_RBUTTONDOWN:
        return events.rightButtonPressed;
    case WM_RBUTTONUP:
        return events.rightButtonReleased;
    default:
        return nullptr;
    }
}

DWORD WindowStyle(const WindowRecord& r) {
    DWORD style = WS_POPUP | WS_CLIPCHILDREN;
    bool hasCaption = r.caption[0] != '\0' || r.captionButtons;
    switch (r.border) {
    case Border::None:
        break;
    case Border::Resizable:
    case Border::ResizableTool:
    case Border::ResizableClientEdge:
        style |= WS_THICKFRAME;
        break;
    case Border::FixedSingle:
    case Border::FixedTool:
    case Border::FixedClientEdge:
        style |= WS_BORDER | WS_DLGFRAME;
        break;
    }
    if (hasCaption) {
        style |= WS_CAPTION;
    }
    if (r.captionButtons) {
        style |= WS_SYSMENU;
    }
    if (r.minimiseBox) {
        style |= WS_MINIMIZEBOX;
    }
    if (r.maximiseBox) {
        style |= WS_MAXIMIZEBOX;
    }
    return style;
}

DWORD WindowExStyle(const WindowRecord& r) {
    DWORD ex = WS_EX_CONTROLPARENT;
    if (r.border == Border::ResizableTool || r.border == Border::FixedTool) {
        ex |= WS_EX_TOOLWINDOW;
    }
    if (r.border == Border::ResizableClientEdge || r.border == Border::FixedClientEdge) {
        ex |= WS_EX_CLIENTEDGE;
    }
    if (r.border == Border::FixedSingle || r.border == Border::FixedClientEdge) {
        ex |= WS_EX_WINDOWEDGE;
    }
    if (r.alwaysOnTop) {
        ex |= WS_EX_TOPMOST;
    }
    if (r.taskbarButton) {
        ex |= WS_EX_APPWINDOW;
    }
    return ex;
}

void ApplyEdge(EdgeStyle edge, DWORD& style, DWORD& ex) {
    switch (edge) {
    case EdgeStyle::None:
        break;
    case EdgeStyle::Sunken:
        ex |= WS_EX_CLIENTEDGE;
        break;
    case EdgeStyle::Raised:
        ex |= WS_EX_DLGMODALFRAME;
        break;
    case EdgeStyle::ShallowSunken:
        ex |= WS_EX_STATICEDGE;
        break;
    case EdgeStyle::Frame:
    case EdgeStyle::ThinSingle:
        style |= WS_BORDER;
        break;
    }
}

struct Creation {
    const wchar_t* className;
    DWORD style;
    DWORD ex;
    int height;
};

Creation CreationOf(const ControlEntry& e) {
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
    DWORD ex = 0;
    if (e.focusable) {
        style |= WS_TABSTOP;
    }
    if (!e.enabled) {
        style |= WS_DISABLED;
    }
    switch (e.kind) {
    case ControlKind::Edit: {
        const EditProps& p = e.edit;
        ApplyEdge(p.border, style, ex);
        if (p.multiLine) {
            style |= ES_MULTILINE | ES_AUTOVSCROLL;
            if (p.scrollBars == ScrollBars::Vertical || p.scrollBars == ScrollBars::Both) {
                style |= WS_VSCROLL;
            }
            if (p.scrollBars == ScrollBars::Horizontal || p.scrollBars == ScrollBars::Both) {
                style |= WS_HSCROLL | ES_AUTOHSCROLL;
            }
        } else {
            style |= ES_AUTOHSCROLL;
        }
        style |= p.align == HAlign::Centre ? ES_CENTER : p.align == HAlign::Right ? ES_RIGHT : ES_LEFT;
        if (p.input == InputMode::ReadOnly) {
            style |= ES_READONLY;
        } else if (p.input == InputMode::Password) {
            style |= ES_PASSWORD;
        }
        if (p.letterCase == LetterCase::Lower) {
            style |= ES_LOWERCASE;
        } else if (p.letterCase == LetterCase::Upper) {
            style |= ES_UPPERCASE;
        }
        if (!p.hideSelection) {
            style |= ES_NOHIDESEL;
        }
        return {WC_EDITW, style, ex, e.rect.height};
    }
    case ControlKind::Label:
        ApplyEdge(e.label.border == EdgeStyle::Raised ? EdgeStyle::None : e.label.border, style, ex);
        return {kLabelClass, style, ex, e.rect.height};
    case ControlKind::GroupBox:
        style |= BS_GROUPBOX;
        style |= e.group.titleAlign == HAlign::Centre  ? BS_CENTER
                 : e.group.titleAlign == HAlign::Right ? BS_RIGHT
                                                       : BS_LEFT;
        style &= ~static_cast<DWORD>(WS_TABSTOP);
        return {WC_BUTTONW, style, WS_EX_CONTROLPARENT, e.rect.height};
    case ControlKind::PushButton:
        style |= e.button.defaultButton ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
        style |= e.button.align == HAlign::Left ? BS_LEFT : e.button.align == HAlign::Right ? BS_RIGHT : BS_CENTER;
        style |= e.button.valign == VAlign::Top      ? BS_TOP
                 : e.button.valign == VAlign::Bottom ? BS_BOTTOM
                                                     : BS_VCENTER;
        return {WC_BUTTONW, style, ex, e.rect.height};
    case ControlKind::CheckBox:
        style |= BS_AUTOCHECKBOX;
        return {WC_BUTTONW, style, ex, e.rect.height};
    case ControlKind::ComboBox: {
        const ComboBoxProps& p = e.combo;
        style |= WS_VSCROLL | CBS_AUTOHSCROLL;
        style |= p.style == ComboStyle::Simple         ? CBS_SIMPLE
                 : p.style == ComboStyle::DropDownList ? CBS_DROPDOWNLIST
                                                       : CBS_DROPDOWN;
        if (p.sorted) {
            style |= CBS_SORT;
        }
        // The height given to a combo box includes its list, which is at least 160 pixels high.
        int height = p.style == ComboStyle::Simple ? e.rect.height : e.rect.height + 160;
        return {WC_COMBOBOXW, style, ex, height};
    }
    case ControlKind::Slider: {
        const SliderProps& p = e.slider;
        bool vertical = p.orientation == Orientation::Vertical;
        style |= vertical ? TBS_VERT : TBS_HORZ;
        switch (p.ticks) {
        case Ticks::None:
            style |= TBS_NOTICKS;
            break;
        case Ticks::AboveOrLeft:
            style |= TBS_AUTOTICKS | (vertical ? TBS_LEFT : TBS_TOP);
            break;
        case Ticks::BelowOrRight:
            style |= TBS_AUTOTICKS | (vertical ? TBS_RIGHT : TBS_BOTTOM);
            break;
        case Ticks::Both:
            style |= TBS_AUTOTICKS | TBS_BOTH;
            break;
        }
        return {TRACKBAR_CLASSW, style, ex, e.rect.height};
    }
    case ControlKind::StatusBar: {
        const StatusBarProps& p = e.status;
        style &= ~static_cast<DWORD>(WS_TABSTOP);
        style |= p.docking == Docking::Top ? CCS_TOP
                 : p.docking == Docking::Free ? (CCS_NOPARENTALIGN | CCS_NORESIZE)
                                              : CCS_BOTTOM;
        if (p.sizeGrip) {
            style |= SBARS_SIZEGRIP;
        }
        return {STATUSCLASSNAMEW, style, ex, e.rect.height};
    }
    }
    return {kLabelClass, style, ex, e.rect.height};
}

} // namespace

// ---------------------------------------------------------------------------------------------

std::wstring TextOf(HWND hwnd) {
    int n = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    int got = GetWindowTextW(hwnd, text.data(), n + 1);
    text.resize(static_cast<size_t>(std::max(got, 0)));
    return text;
}

// The room an edit box or label has for its text: an edit box's formatting rectangle, a label's
// rectangle inside its raised frame.
RECT TextRoom(HWND control, const ControlEntry& e) {
    RECT room{};
    if (e.kind == ControlKind::Edit) {
        SendMessageW(control, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&room));
    } else {
        GetClientRect(control, &room);
        if (e.label.border == EdgeStyle::Raised) {
            InflateRect(&room, -1, -1);
        }
    }
    return room;
}

// Whether the control's text, in its own font, is wider than its room.
bool TextIsCut(HWND control, const ControlEntry& e) {
    std::wstring text = TextOf(control);
    if (text.empty()) {
        return false;
    }
    RECT room = TextRoom(control, e);
    HDC dc = GetDC(control);
    auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    HGDIOBJ old = SelectObject(dc, font != nullptr ? font : GetStockObject(DEFAULT_GUI_FONT));
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return size.cx > room.right - room.left;
}

// The mark of a cut text in an edit box that is not focused: an ellipsis after the last
// character that shows whole, over what follows, so that "8.9793184" never passes for the whole
// of "8.979318433952e-011". The box shows its text from the start while it is not focused. Drawn
// in the colours the box itself was painted with, asked the way the box asks for them, so a
// skin's answer holds for the mark too.
void DrawCutMark(HWND edit, const ControlEntry& e) {
    constexpr wchar_t kMark[] = L"\u2026";
    std::wstring text = TextOf(edit);
    RECT room = TextRoom(edit, e);
    HDC dc = GetDC(edit);
    HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(edit, WM_GETFONT, 0, 0)));
    auto brush = reinterpret_cast<HBRUSH>(
        SendMessageW(GetParent(edit), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(edit)));
    SIZE mark{};
    GetTextExtentPoint32W(dc, kMark, 1, &mark);
    // How many characters show whole in front of the mark, and where they end.
    std::vector<int> ends(text.size() + 1, 0);
    int fit = 0;
    SIZE all{};
    GetTextExtentExPointW(dc, text.c_str(), static_cast<int>(text.size()),
                          std::max(0, static_cast<int>(room.right - room.left - mark.cx - 1)), &fit, ends.data(), &all);
    RECT cover = room;
    cover.left = room.left + (fit > 0 ? ends[static_cast<size_t>(fit - 1)] : 0);
    FillRect(dc, &cover, brush != nullptr ? brush : GetSysColorBrush(COLOR_WINDOW));
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, kMark, 1, &cover, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, oldFont);
    ReleaseDC(edit, dc);
}

// The layer's private side of Window: creation, message handling, destruction.
class WindowLayer {
  public:
    static void RegisterClasses();
    static Window* Build(const WindowTable& table, HWND owner);
    static void DeliverStart(Window& w);
    static void DisableOthersFor(Window& w);
    static bool Alive(const Window* w);
    static LRESULT CALLBACK WindowProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK LabelProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK ControlProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    static const char* PaintName(Window& w, HWND control);

  private:
    static LRESULT LabelMessage(HWND, UINT, WPARAM, LPARAM);
    static LRESULT Handle(Window& w, UINT msg, WPARAM wp, LPARAM lp);
    static void CreateControls(Window& w);
    static void CreateTooltip(Window& w);
    static bool ChildrenInTableOrder(const Window& w);
    static LRESULT OnTooltipNotify(Window& w, NMHDR& hdr);
    static LRESULT EditMessage(Window& w, Window::Control& c, UINT msg, WPARAM wp, LPARAM lp);
    static Window::Control* ControlByHandle(Window& w, HWND h);
    static LRESULT ColourFor(Window& w, HDC dc, HWND control);
    static void OnCommand(Window& w, WPARAM wp, LPARAM lp);
    static Operation OnComboNotice(Window& w, Window::Control& c, int code);
    static void ConfirmFocusedList(Window& w);
    static void Reselect(Window& w, size_t index);
    static void OnDestroy(Window& w);
    static void OnNcDestroy(Window& w);
    static void HandFocus(Window& w);
    static bool RequestClose(Window& w);
};


// Painting while starting, summed by what is painted: what the first show costs, kind by kind.
class PaintPart {
  public:
    PaintPart(Window& w, HWND control, UINT msg) {
        // Only the outermost: a control's paint erases its background inside it.
        if (startup::Starting() && !painting && (msg == WM_PAINT || msg == WM_NCPAINT || msg == WM_ERASEBKGND)) {
            painting = true;
            part_.emplace(WindowLayer::PaintName(w, control));
        }
    }
    ~PaintPart() {
        if (part_) {
            part_.reset();
            painting = false;
        }
    }
    PaintPart(const PaintPart&) = delete;
    PaintPart& operator=(const PaintPart&) = delete;

  private:
    static inline bool painting = false;
    std::optional<startup::Part> part_;
};

// The names of the parts by kind of control: made (CreateWindowEx) and painted.
static const char* KindPart(ControlKind kind, bool paint) {
    switch (kind) {
    case ControlKind::Edit:
        return paint ? "paint: edit boxes" : "create: edit boxes";
    case ControlKind::Label:
        return paint ? "paint: labels" : "create: labels";
    case ControlKind::GroupBox:
        return paint ? "paint: group boxes" : "create: group boxes";
    case ControlKind::PushButton:
        return paint ? "paint: push buttons" : "create: push buttons";
    case ControlKind::CheckBox:
        return paint ? "paint: check boxes" : "create: check boxes";
    case ControlKind::ComboBox:
        return paint ? "paint: combo boxes" : "create: combo boxes";
    case ControlKind::Slider:
        return paint ? "paint: sliders" : "create: sliders";
    case ControlKind::StatusBar:
        return paint ? "paint: status bars" : "create: status bars";
    }
    return paint ? "paint: other windows" : "create: other windows";
}

const char* WindowLayer::PaintName(Window& w, HWND control) {
    const Window::Control* c = control != nullptr ? ControlByHandle(w, control) : nullptr;
    if (c == nullptr) {
        return control == nullptr ? "paint: main window's own messages" : "paint: other windows";
    }
    return KindPart(c->entry.kind, true);
}

bool WindowLayer::Alive(const Window* w) {
    for (const auto& live : LiveWindows()) {
        if (live.get() == w) {
            return w->hwnd_ != nullptr;
        }
    }
    return false;
}

void WindowLayer::RegisterClasses() {
    static bool registered = false;
    if (registered) {
        return;
    }
    registered = true;
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = ProgramInstance();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hIcon = LoadIconW(ProgramInstance(), MAKEINTRESOURCEW(1));
    wc.lpszClassName = kWindowClass;
    wc.style = CS_DBLCLKS;
    RegisterClassExW(&wc);

    WNDCLASSEXW lc{};
    lc.cbSize = sizeof(lc);
    lc.lpfnWndProc = LabelProc;
    lc.hInstance = ProgramInstance();
    lc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    lc.lpszClassName = kLabelClass;
    lc.style = CS_HREDRAW | CS_VREDRAW;
    lc.cbWndExtra = sizeof(LONG_PTR) * 2; // font, control entry
    RegisterClassExW(&lc);
}

Window* WindowLayer::Build(const WindowTable& table, HWND owner) {
    RegisterClasses();
    startup::Mark("window classes registered, common controls");
    const WindowRecord& r = table.window;
    auto owned = std::unique_ptr<Window>(new Window(table));
    Window* w = owned.get();
    LiveWindows().push_back(std::move(owned));

    int left = r.outer.left;
    int top = r.outer.top;
    if (r.placement == Placement::Centred) {
        left = (GetSystemMetrics(SM_CXSCREEN) - r.outer.width) / 2;
        top = (GetSystemMetrics(SM_CYSCREEN) - r.outer.height) / 2;
    }
    HWND hwnd = CreateWindowExW(WindowExStyle(r), kWindowClass, Wide(r.caption).c_str(), WindowStyle(r), left, top,
                                r.outer.width, r.outer.height, owner, nullptr, ProgramInstance(), w);
    if (hwnd == nullptr) {
        std::erase_if(LiveWindows(), [w](const auto& p) { return p.get() == w; });
        return nullptr;
    }
    startup::Mark("main window created");
    if (!r.movable) {
        DeleteMenu(GetSystemMenu(hwnd, FALSE), SC_MOVE, MF_BYCOMMAND);
    }
    if (r.icon != 0) {
        HICON icon = LoadIconW(ProgramInstance(), MAKEINTRESOURCEW(r.icon));
        SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    }
    if (!r.background.systemFace) {
        w->res_->background.Reset(CreateSolidBrush(ToColorRef(r.background)));
    }
    // A menu bar only for top-level menus that are not hidden.
    for (size_t i = 0; i < table.menus.size(); ++i) {
        const MenuEntry& m = table.menus[i];
        if (m.level != 0 || m.hidden) {
            continue;
        }
        if (!w->res_->menuBar) {
            w->res_->menuBar.Reset(CreateMenu());
        }
        HMENU sub = CreatePopupMenu();
        for (size_t j = i + 1; j < table.menus.size() && table.menus[j].level > 0; ++j) {
            const MenuEntry& item = table.menus[j];
            if (std::strcmp(item.caption, "-") == 0) {
                AppendMenuW(sub, MF_SEPARATOR, 0, nullptr);
            } else {
                AppendMenuW(sub, MF_STRING | (item.disabled ? MF_GRAYED : 0) | (item.checked ? MF_CHECKED : 0),
                            kMenuIdBase + j, Wide(item.caption).c_str());
            }
        }
        AppendMenuW(w->res_->menuBar.Get(), MF_POPUP | (m.disabled ? MF_GRAYED : 0),
                    reinterpret_cast<UINT_PTR>(sub), Wide(m.caption).c_str());
    }
    if (w->res_->menuBar) {
        SetMenu(hwnd, w->res_->menuBar.Get());
    }
    startup::Mark("window icon, menus, brush");
    CreateControls(*w);
    return w;
}

void WindowLayer::CreateControls(Window& w) {
    const auto& entries = w.table_.controls;
    w.controls_.reserve(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        w.controls_.push_back(std::make_unique<Window::Control>(Window::Control{entries[i], static_cast<int>(i), nullptr, {}, {}}));
    }
    // Containers must exist before what they hold; create in passes, then restack in table order.
    size_t created = 0;
    for (size_t pass = 0; created < entries.size() && pass <= entries.size(); ++pass) {
        for (auto& c : w.controls_) {
            if (c->hwnd != nullptr) {
                continue;
            }
            const ControlEntry& e = c->entry;
            HWND parent = w.hwnd_;
            if (e.container != nullptr) {
                auto it = std::find_if(w.controls_.begin(), w.controls_.end(),
                                       [&](const auto& o) { return std::strcmp(o->entry.name, e.container) == 0; });
                if (it == w.controls_.end() || (*it)->hwnd == nullptr) {
                    continue;
                }
                parent = (*it)->hwnd;
            }
            Creation k = CreationOf(e);
            std::wstring text = Wide(e.kind == ControlKind::Edit ? std::string_view{} : std::string_view{e.text});
            startup::Part part(KindPart(e.kind, false));
            c->hwnd = CreateWindowExW(k.ex, k.className, text.c_str(), k.style, e.rect.left, e.rect.top, e.rect.width,
                                      k.height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kControlIdBase + c->index)),
                                      ProgramInstance(), nullptr);
            if (c->hwnd == nullptr) {
                FatalError(std::string("无法创建控件 ") + e.name);
            }
            ++created;
            c->parent = parent;
            SetWindowSubclass(c->hwnd, ControlProc, kSubclassId, reinterpret_cast<DWORD_PTR>(&w));
            Font font = fonts::Gui;
            switch (e.kind) {
            case ControlKind::Edit:
                font = e.edit.font;
                break;
            case ControlKind::Label:
                font = e.label.font;
                SetWindowLongPtrW(c->hwnd, sizeof(LONG_PTR), reinterpret_cast<LONG_PTR>(&e));
                break;
            case ControlKind::GroupBox:
                font = e.group.font;
                break;
            case ControlKind::PushButton:
                font = e.button.font;
                break;
            case ControlKind::CheckBox:
                font = e.check.font;
                break;
            case ControlKind::StatusBar:
                font = e.status.font;
                break;
            default:
                break;
            }
            SendMessageW(c->hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(w.res_->FontFor(font)), FALSE);
            switch (e.kind) {
            case ControlKind::Edit: {
                SendMessageW(c->hwnd, EM_SETLIMITTEXT, static_cast<WPARAM>(e.edit.maxLength), 0);
                if (e.edit.input == InputMode::Password) {
                    SendMessageW(c->hwnd, EM_SETPASSWORDCHAR, static_cast<WPARAM>(e.edit.passwordChar), 0);
                }
                std::string content = e.edit.content;
                if (e.edit.contentResource != 0) {
                    auto block = StoredBlock(e.edit.contentResource);
                    content.assign(block.begin(), block.end());
                }
                SetWindowTextW(c->hwnd, Wide(content).c_str());
                c->background.Reset(CreateSolidBrush(ToColorRef(e.edit.background)));
                break;
            }
            case ControlKind::Label:
                if (!e.label.background.systemFace) {
                    c->background.Reset(CreateSolidBrush(ToColorRef(e.label.background)));
                }
                break;
            case ControlKind::CheckBox:
                SendMessageW(c->hwnd, BM_SETCHECK, e.check.checked ? BST_CHECKED : BST_UNCHECKED, 0);
                if (!e.check.background.systemFace) {
                    c->background.Reset(CreateSolidBrush(ToColorRef(e.check.background)));
                }
                break;
            case ControlKind::ComboBox:
                for (const char* item : e.combo.items) {
                    SendMessageW(c->hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(item).c_str()));
                }
                SendMessageW(c->hwnd, CB_SETCURSEL, static_cast<WPARAM>(e.combo.selected), 0);
                c->background.Reset(CreateSolidBrush(ToColorRef(e.combo.background)));
                break;
            case ControlKind::Slider: {
                const SliderProps& p = e.slider;
                SendMessageW(c->hwnd, TBM_SETRANGEMIN, FALSE, p.minimum);
                SendMessageW(c->hwnd, TBM_SETRANGEMAX, FALSE, p.maximum);
                SendMessageW(c->hwnd, TBM_SETTICFREQ, static_cast<WPARAM>(p.tickFrequency), 0);
                SendMessageW(c->hwnd, TBM_SETPAGESIZE, 0, p.pageSize);
                SendMessageW(c->hwnd, TBM_SETLINESIZE, 0, p.lineSize);
                SendMessageW(c->hwnd, TBM_SETPOS, TRUE, p.position);
                break;
            }
            case ControlKind::StatusBar: {
                const StatusBarProps& p = e.status;
                std::vector<int> rights;
                int x = 0;
                for (const StatusPane& pane : p.panes) {
                    if (pane.width < 0) {
                        rights.push_back(-1);
                    } else {
                        x += pane.width;
                        rights.push_back(x);
                    }
                }
                if (rights.empty()) {
                    rights.push_back(-1);
                }
                SendMessageW(c->hwnd, SB_SETPARTS, rights.size(), reinterpret_cast<LPARAM>(rights.data()));
                for (size_t i = 0; i < p.panes.size(); ++i) {
                    w.SetPaneText(e.name, static_cast<int>(i), p.panes[i].text);
                }
                if (!p.background.systemFace) {
                    SendMessageW(c->hwnd, SB_SETBKCOLOR, 0, static_cast<LPARAM>(ToColorRef(p.background)));
                }
                break;
            }
            default:
                break;
            }
        }
    }
    if (created < entries.size()) {
        FatalError("窗口表中的控件容器无效");
    }
    startup::Mark("controls created, fonts and contents set");
    // Earlier in the table lies on top: put each at the bottom of its siblings in table order.
    // A window created after its siblings goes below them, so creating in table order mostly
    // leaves them so already, and moving each of them would only cost time.
    if (!ChildrenInTableOrder(w)) {
        for (auto& c : w.controls_) {
            SetWindowPos(c->hwnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOREDRAW);
        }
    }
    for (auto& c : w.controls_) {
        if (c->entry.visible) {
            ShowWindow(c->hwnd, SW_SHOWNA);
        }
    }
    startup::Mark("controls stacked and shown");
    CreateTooltip(w);
    startup::Mark("tooltip made");
}

// Whether the controls of every container lie from the top down in table order.
bool WindowLayer::ChildrenInTableOrder(const Window& w) {
    std::vector<HWND> parents{w.hwnd_};
    for (const auto& c : w.controls_) {
        if (c->entry.kind == ControlKind::GroupBox) {
            parents.push_back(c->hwnd);
        }
    }
    for (HWND parent : parents) {
        HWND next = GetWindow(parent, GW_CHILD);
        for (const auto& c : w.controls_) {
            if (c->parent != parent) {
                continue;
            }
            if (next != c->hwnd) {
                return false;
            }
            next = GetWindow(next, GW_HWNDNEXT);
        }
        if (next != nullptr) {
            return false;
        }
    }
    return true;
}

void WindowLayer::CreateTooltip(Window& w) {
    bool wanted = std::any_of(w.controls_.begin(), w.controls_.end(), [](const auto& c) { return c->entry.tipWhenCut; });
    if (!wanted) {
        return;
    }
    // Always shown, also while the window is not active: the main window stays on top of others.
    w.res_->tooltip.Reset(CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, w.hwnd_, nullptr,
                                          ProgramInstance(), nullptr));
    HWND tooltip = w.res_->tooltip.Get();
    if (tooltip == nullptr) {
        return; // the values stay whole in their boxes; only the help to read them is missing
    }
    SendMessageW(tooltip, WM_SETFONT, reinterpret_cast<WPARAM>(w.res_->FontFor(fonts::Gui)), FALSE);
    SendMessageW(tooltip, TTM_SETMAXTIPWIDTH, 0, 600); // lets a text of several lines break at its line ends
    // The whole value as soon as the pointer rests, and long enough to read the longest.
    SendMessageW(tooltip, TTM_SETDELAYTIME, TTDT_INITIAL, MAKELPARAM(100, 0));
    SendMessageW(tooltip, TTM_SETDELAYTIME, TTDT_AUTOPOP, MAKELPARAM(30000, 0));
    for (auto& c : w.controls_) {
        if (!c->entry.tipWhenCut) {
            continue;
        }
        TTTOOLINFOW ti{};
        ti.cbSize = sizeof(ti);
        ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        ti.hwnd = w.hwnd_;
        ti.uId = reinterpret_cast<UINT_PTR>(c->hwnd);
        ti.lpszText = LPSTR_TEXTCALLBACKW; // decided when it is about to show (OnTooltipNotify)
        SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    }
}

LRESULT WindowLayer::OnTooltipNotify(Window& w, NMHDR& hdr) {
    if (hdr.code != TTN_GETDISPINFOW) {
        return 0;
    }
    auto& info = reinterpret_cast<NMTTDISPINFOW&>(hdr);
    Window::Control* c = ControlByHandle(w, reinterpret_cast<HWND>(hdr.idFrom));
    std::wstring& shown = w.res_->tipShown;
    shown.clear();
    if (c != nullptr) {
        if (!c->tip.empty()) {
            shown = c->tip;
        } else if (TextIsCut(c->hwnd, c->entry)) {
            shown = TextOf(c->hwnd);
        }
    }
    // An empty text shows no tooltip at all: a text that fits needs none.
    info.szText[0] = L'\0';
    info.hinst = nullptr;
    info.lpszText = shown.data();
    // Skinned like the window: the face and text colours that the window's colour answer gives
    // (a skin answers it in place of the program's plain black on the system face). Without a
    // skin the tooltip keeps the system's own colours.
    HWND tooltip = w.res_->tooltip.Get();
    HDC dc = GetDC(tooltip);
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    SendMessageW(w.hwnd_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(tooltip));
    COLORREF text = GetTextColor(dc);
    COLORREF back = GetBkColor(dc);
    ReleaseDC(tooltip, dc);
    if (text != RGB(0, 0, 0) || back != GetSysColor(COLOR_BTNFACE)) {
        SetWindowTheme(tooltip, L"", L""); // a themed tooltip ignores the colours it is given
        SendMessageW(tooltip, TTM_SETTIPBKCOLOR, back, 0);
        SendMessageW(tooltip, TTM_SETTIPTEXTCOLOR, text, 0);
    }
    // Its window text is what it shows, so automation reads what the user reads.
    SetWindowTextW(tooltip, shown.c_str());
    return 0;
}

Window::Control* WindowLayer::ControlByHandle(Window& w, HWND h) {
    for (auto& c : w.controls_) {
        if (c->hwnd == h) {
            return c.get();
        }
    }
    // The edit field and list of a combo box are its children.
    HWND parent = h != nullptr ? GetParent(h) : nullptr;
    for (auto& c : w.controls_) {
        if (c->hwnd == parent && c->entry.kind == ControlKind::ComboBox) {
            return c.get();
        }
    }
    return nullptr;
}

void WindowLayer::DeliverStart(Window& w) {
    const WindowEvents& ev = w.table_.window.events;
    w.building_ = false;
    if (ev.created != nullptr) {
        Dispatch([&] { ev.created(w); });
    }
    startup::Mark("created operation (the tray icon)");
    if (!Alive(&w)) {
        return;
    }
    if (ev.positionChanged != nullptr) {
        Dispatch([&] { ev.positionChanged(w); });
    }
    if (!Alive(&w)) {
        return;
    }
    if (ev.sizeChanged != nullptr) {
        Dispatch([&] { ev.sizeChanged(w); });
    }
    if (!Alive(&w) || !w.table_.window.visible) {
        return;
    }
    int show = SW_SHOWNORMAL;
    if (w.table_.window.placement == Placement::Minimised) {
        show = SW_SHOWMINIMIZED;
    } else if (w.table_.window.placement == Placement::Maximised) {
        show = SW_SHOWMAXIMIZED;
    }
    startup::Mark("position and size operations");
    ShowWindow(w.hwnd_, show);
    startup::Mark("window shown");
    UpdateWindow(w.hwnd_);
    startup::Mark("first paint");
}

void WindowLayer::DisableOthersFor(Window& w) {
    w.modal_ = true;
    for (const auto& other : LiveWindows()) {
        if (other.get() == &w || other->hwnd_ == nullptr) {
            continue;
        }
        bool wasEnabled = IsWindowEnabled(other->hwnd_) != 0;
        w.disabledByModal_.emplace_back(other->hwnd_, wasEnabled);
        EnableWindow(other->hwnd_, FALSE);
    }
}

void WindowLayer::HandFocus(Window& w) {
    if (w.focusOnDeactivate_ != nullptr && IsChild(w.hwnd_, w.focusOnDeactivate_) &&
        IsWindowVisible(w.focusOnDeactivate_) && IsWindowEnabled(w.focusOnDeactivate_)) {
        SetFocus(w.focusOnDeactivate_);
        return;
    }
    for (auto it = w.controls_.rbegin(); it != w.controls_.rend(); ++it) {
        const auto& c = *it;
        if (c->entry.focusable && IsWindowVisible(c->hwnd) && IsWindowEnabled(c->hwnd)) {
            SetFocus(c->hwnd);
            return;
        }
    }
}

bool WindowLayer::RequestClose(Window& w) {
    if (w.closing_) {
        return false;
    }
    if (CloseOperation op = w.table_.window.events.closeRequested) {
        bool allowed = Dispatch([&] { return op(w); });
        if (!allowed || !Alive(&w)) {
            return false;
        }
    }
    w.closing_ = true;
    DestroyWindow(w.hwnd_);
    return true;
}

LRESULT WindowLayer::ColourFor(Window& w, HDC dc, HWND control) {
    Window::Control* c = ControlByHandle(w, control);
    COLORREF text = RGB(0, 0, 0);
    COLORREF back = GetSysColor(COLOR_BTNFACE);
    HBRUSH brush = GetSysColorBrush(COLOR_BTNFACE);
    if (c != nullptr) {
        const ControlEntry& e = c->entry;
        switch (e.kind) {
        case ControlKind::Edit:
            text = ToColorRef(e.edit.text);
            back = ToColorRef(e.edit.background);
            break;
        case ControlKind::Label:
            text = ToColorRef(e.label.text);
            back = ToColorRef(e.label.background);
            break;
        case ControlKind::GroupBox:
            text = ToColorRef(e.group.text);
            break;
        case ControlKind::CheckBox:
            text = ToColorRef(e.check.text);
            back = ToColorRef(e.check.background);
            break;
        case ControlKind::ComboBox:
            text = ToColorRef(e.combo.text);
            back = ToColorRef(e.combo.background);
            break;
        default:
            break;
        }
        if (c->background) {
            brush = c->background.Get();
        }
    }
    SetTextColor(dc, text);
    SetBkColor(dc, back);
    return reinterpret_cast<LRESULT>(brush);
}

// Only a confirmed pick is a pick: an item clicked in the dropped list or the list closed with
// Enter. The arrow keys on a closed list only browse (Wine reports each step as ended with OK, as
// if picked), Esc, a click elsewhere and the focus leaving cancel, and an unconfirmed item in the
// field goes back to the confirmed one, so what shows is what is in force.
Operation WindowLayer::OnComboNotice(Window& w, Window::Control& c, int code) {
    switch (code) {
    case CBN_DROPDOWN:
        c.dropped = true;
        // An editable list highlights the first item its field's text begins, which need not be
        // the one in the field ("QQ2009" lights "QQ2009_宽_底边"); once it is down, the
        // confirmed item is highlighted again.
        PostMessageW(w.hwnd_, kReselectMessage, static_cast<WPARAM>(c.index), 0);
        return nullptr;
    case CBN_CLOSEUP:
        c.dropped = false;
        return nullptr;
    case CBN_SELENDOK:
        if (!c.dropped) {
            return nullptr;
        }
        c.confirmed = static_cast<int>(SendMessageW(c.hwnd, CB_GETCURSEL, 0, 0));
        return c.entry.events.listItemSelected;
    case CBN_SELENDCANCEL:
    case CBN_KILLFOCUS:
        PostMessageW(w.hwnd_, kReselectMessage, static_cast<WPARAM>(c.index), 0);
        return nullptr;
    case CBN_EDITCHANGE:
        return c.entry.events.contentChanged;
    default:
        return nullptr;
    }
}

// Enter on a closed list confirms the item its field shows.
void WindowLayer::ConfirmFocusedList(Window& w) {
    HWND focus = GetFocus();
    for (auto& c : w.controls_) {
        if (c->entry.kind == ControlKind::ComboBox && focus != nullptr &&
            (focus == c->hwnd || IsChild(c->hwnd, focus)) && !c->dropped) {
            int shown = static_cast<int>(SendMessageW(c->hwnd, CB_GETCURSEL, 0, 0));
            if (shown >= 0 && c->entry.events.listItemSelected != nullptr) {
                c->confirmed = shown;
                Operation op = c->entry.events.listItemSelected;
                Dispatch([&] { op(w); });
            }
            return;
        }
    }
}

void WindowLayer::Reselect(Window& w, size_t index) {
    if (index >= w.controls_.size()) {
        return;
    }
    Window::Control& c = *w.controls_[index];
    if (c.confirmed >= 0 && SendMessageW(c.hwnd, CB_GETCURSEL, 0, 0) != c.confirmed) {
        SendMessageW(c.hwnd, CB_SETCURSEL, static_cast<WPARAM>(c.confirmed), 0);
    }
}

void WindowLayer::OnCommand(Window& w, WPARAM wp, LPARAM lp) {
    int id = LOWORD(wp);
    int code = HIWORD(wp);
    HWND from = reinterpret_cast<HWND>(lp);
    if (from == nullptr) {
        if (id >= kMenuIdBase && static_cast<size_t>(id - kMenuIdBase) < w.table_.menus.size()) {
            w.DeliverMenuSelection(id - kMenuIdBase);
        } else if (id == IDCANCEL && w.table_.window.escCloses) {
            RequestClose(w);
        } else if (id == IDOK && !w.building_ && !w.silent_) {
            ConfirmFocusedList(w);
        }
        return;
    }
    int index = id - kControlIdBase;
    if (index < 0 || static_cast<size_t>(index) >= w.controls_.size() || w.building_ || w.silent_) {
        return;
    }
    const ControlEntry& e = w.controls_[static_cast<size_t>(index)]->entry;
    Operation op = nullptr;
    switch (e.kind) {
    case ControlKind::Edit:
        if (code == EN_CHANGE) {
            op = e.events.contentChanged;
            if (e.tipWhenCut) {
                w.HideTip();
            }
        }
        break;
    case ControlKind::PushButton:
    case ControlKind::CheckBox:
        if (code == BN_CLICKED) {
            op = e.events.clicked;
        }
        break;
    case ControlKind::ComboBox:
        op = OnComboNotice(w, *w.controls_[static_cast<size_t>(index)], code);
        break;
    default:
        break;
    }
    if (op != nullptr) {
        Dispatch([&] { op(w); });
    }
}

void WindowLayer::OnDestroy(Window& w) {
    w.closing_ = true;
    if (!w.silent_) {
        if (Operation op = w.table_.window.events.aboutToBeDestroyed) {
            Dispatch([&] { op(w); });
        }
    }
    if (w.modal_) {
        for (auto [hwnd, wasEnabled] : w.disabledByModal_) {
            if (IsWindow(hwnd)) {
                EnableWindow(hwnd, wasEnabled ? TRUE : FALSE);
            }
        }
        w.disabledByModal_.clear();
    }
    SetMenu(w.hwnd_, nullptr);
    w.res_->menuBar.Reset();
    // The tooltip is owned by the window, and the system destroys owned windows first.
    if (!IsWindow(w.res_->tooltip.Get())) {
        w.res_->tooltip.Release();
    }
    w.res_->tooltip.Reset();
    w.tray_.reset(); // removes the icon from the notification area at once
}

void WindowLayer::OnNcDestroy(Window& w) {
    SetWindowLongPtrW(w.hwnd_, GWLP_USERDATA, 0);
    w.hwnd_ = nullptr;
    auto& live = LiveWindows();
    auto it = std::find_if(live.begin(), live.end(), [&](const auto& p) { return p.get() == &w; });
    if (it != live.end()) {
        std::unique_ptr<Window> dead = std::move(*it);
        live.erase(it);
        if (DispatchDepth() > 0) {
            Graveyard().push_back(std::move(dead));
        }
    }
    WindowDestroyed();
}

LRESULT WindowLayer::Handle(Window& w, UINT msg, WPARAM wp, LPARAM lp) {
    const WindowEvents& ev = w.table_.window.events;
    PaintPart paint(w, nullptr, msg);
    bool quiet = w.building_ || w.silent_;
    switch (msg) {
    case WM_COMMAND:
        OnCommand(w, wp, lp);
        return 0;
    case WM_NOTIFY:
        if (auto* hdr = reinterpret_cast<NMHDR*>(lp); hdr != nullptr && w.res_->tooltip &&
                                                     hdr->hwndFrom == w.res_->tooltip.Get()) {
            return OnTooltipNotify(w, *hdr);
        }
        break;
    case kReselectMessage:
        Reselect(w, static_cast<size_t>(wp));
        return 0;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
        return ColourFor(w, reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp));
    case WM_ERASEBKGND: {
        RECT rc;
        GetClientRect(w.hwnd_, &rc);
        HBRUSH brush = w.res_->background ? w.res_->background.Get() : GetSysColorBrush(COLOR_BTNFACE);
        FillRect(reinterpret_cast<HDC>(wp), &rc, brush);
        return 1;
    }
    case WM_MOVE:
        if (!quiet && ev.positionChanged != nullptr) {
            Dispatch([&] { ev.positionChanged(w); });
        }
        return 0;
    case WM_SIZE:
        if (!quiet && ev.sizeChanged != nullptr) {
            Dispatch([&] { ev.sizeChanged(w); });
        }
        // A docked status bar follows its window.
        for (auto& c : w.controls_) {
            if (c->entry.kind == ControlKind::StatusBar && c->entry.status.docking != Docking::Free) {
                SendMessageW(c->hwnd, WM_SIZE, 0, 0);
            }
        }
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wp) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus != nullptr && IsChild(w.hwnd_, focus)) {
                w.focusOnDeactivate_ = focus;
            }
            if (!quiet && ev.deactivated != nullptr) {
                Dispatch([&] { ev.deactivated(w); });
            }
        } else if (!quiet && ev.activated != nullptr) {
            Dispatch([&] { ev.activated(w); });
        }
        break; // the default handling gives the window the focus, which hands it on
    case WM_SETFOCUS:
        HandFocus(w);
        return 0;
    case WM_SHOWWINDOW:
        if (!quiet) {
            Operation op = wp ? ev.shown : ev.hidden;
            if (op != nullptr) {
                Dispatch([&] { op(w); });
            }
        }
        break;
    case WM_CLOSE:
        RequestClose(w);
        return 0;
    case WM_QUERYENDSESSION:
        if (!quiet && ev.closeRequested != nullptr) {
            return Dispatch([&] { return ev.closeRequested(w); }) ? TRUE : FALSE;
        }
        return TRUE;
    case WM_DESTROY:
        OnDestroy(w);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        if (!quiet) {
            if (MouseOperation op = MouseOperationFor(ev, msg)) {
                MouseArgs args = MouseArgsOf(lp);
                if (!Dispatch([&] { return op(w, args); })) {
                    return 0;
                }
            }
        }
        if (msg == WM_LBUTTONDOWN && w.table_.window.dragAnywhere) {
            ReleaseCapture();
            SendMessageW(w.hwnd_, WM_NCLBUTTONDOWN, HTCAPTION, 0);
            return 0;
        }
        break;
    case kTrayMessage:
        if (!quiet && ev.tray != nullptr && wp == kTrayIconId) {
            if (int action = TrayActionOf(static_cast<UINT>(lp))) {
                Dispatch([&] { ev.tray(w, action); });
            }
        }
        return 0;
    default:
        if (msg == TaskbarCreatedMessage() && msg != 0) {
            if (w.tray_) {
                w.tray_->Restore();
            }
            return 0;
        }
        break;
    }
    return DefWindowProcW(w.hwnd_, msg, wp, lp);
}

LRESULT CALLBACK WindowLayer::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return Guarded([&]() -> LRESULT {
        if (msg == WM_NCCREATE) {
            auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
            auto* w = static_cast<Window*>(cs->lpCreateParams);
            w->hwnd_ = hwnd;
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(w));
            return DefWindowProcW(hwnd, msg, wp, lp);
        }
        Window* w = WindowOf(hwnd);
        if (w == nullptr) {
            return DefWindowProcW(hwnd, msg, wp, lp);
        }
        if (msg == WM_NCDESTROY) {
            LRESULT r = DefWindowProcW(hwnd, msg, wp, lp);
            OnNcDestroy(*w);
            return r;
        }
        return Handle(*w, msg, wp, lp);
    });
}

LRESULT WindowLayer::EditMessage(Window&, Window::Control& c, UINT msg, WPARAM wp, LPARAM lp) {
    HWND hwnd = c.hwnd;
    const ControlEntry& e = c.entry;
    LRESULT r = DefSubclassProc(hwnd, msg, wp, lp);
    switch (msg) {
    case WM_PAINT:
        if (e.tipWhenCut && GetFocus() != hwnd && TextIsCut(hwnd, e)) {
            DrawCutMark(hwnd, e);
        }
        break;
    case WM_SETFOCUS:
        if (e.edit.selectAllOnFocus) {
            SendMessageW(hwnd, EM_SETSEL, 0, -1); // so that a copy takes the whole value
        }
        if (e.tipWhenCut) {
            InvalidateRect(hwnd, nullptr, TRUE); // the mark goes while the box has the focus
        }
        break;
    case WM_KILLFOCUS:
        if (e.tipWhenCut) {
            // Back to the start: an unfocused box shows its text from the beginning, and the mark
            // says where it is cut.
            SendMessageW(hwnd, EM_SETSEL, 0, 0);
            SendMessageW(hwnd, EM_SCROLLCARET, 0, 0);
            InvalidateRect(hwnd, nullptr, TRUE);
        }
        break;
    default:
        break;
    }
    return r;
}

LRESULT CALLBACK WindowLayer::ControlProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR ref) {
    return Guarded([&]() -> LRESULT {
        auto* w = reinterpret_cast<Window*>(ref);
        PaintPart paint(*w, hwnd, msg);
        switch (msg) {
        case WM_PAINT:
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            if (Window::Control* c = ControlByHandle(*w, hwnd); c != nullptr && c->entry.kind == ControlKind::Edit) {
                return EditMessage(*w, *c, msg, wp, lp);
            }
            break;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
            if (!w->building_ && !w->silent_) {
                if (Window::Control* c = ControlByHandle(*w, hwnd)) {
                    if (MouseOperation op = MouseOperationFor(c->entry.events, msg)) {
                        MouseArgs args = MouseArgsOf(lp);
                        if (!Dispatch([&] { return op(*w, args); })) {
                            return 0;
                        }
                    }
                    if ((msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN) && c->entry.kind == ControlKind::Edit &&
                        c->entry.edit.selectAllOnFocus && GetFocus() != hwnd) {
                        // Focused by this press, the whole value is selected. A left press would
                        // then put the caret under the pointer and undo that, so it ends here
                        // (the next one places the caret as usual); a right press goes on to the
                        // context menu, whose Copy then takes the whole value.
                        SetFocus(hwnd);
                        if (msg == WM_LBUTTONDOWN) {
                            return 0;
                        }
                    }
                }
            }
            break;
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORLISTBOX:
        case WM_HSCROLL:
        case WM_VSCROLL:
        case WM_DRAWITEM:
            // A group box holds controls of its own; their notifications belong to the window.
            if (Window::Control* c = ControlByHandle(*w, hwnd); c != nullptr && c->entry.kind == ControlKind::GroupBox) {
                return SendMessageW(w->hwnd_, msg, wp, lp);
            }
            break;
        case WM_ERASEBKGND:
            if (Window::Control* c = ControlByHandle(*w, hwnd); c != nullptr && c->entry.kind == ControlKind::GroupBox) {
                // A group box draws only its frame; as a container it must clear what it holds.
                RECT rc;
                GetClientRect(hwnd, &rc);
                auto brush = reinterpret_cast<HBRUSH>(
                    SendMessageW(w->hwnd_, WM_CTLCOLORSTATIC, wp, reinterpret_cast<LPARAM>(hwnd)));
                FillRect(reinterpret_cast<HDC>(wp), &rc, brush != nullptr ? brush : GetSysColorBrush(COLOR_BTNFACE));
                return 1;
            }
            break;
        case WM_NCDESTROY:
            RemoveWindowSubclass(hwnd, ControlProc, kSubclassId);
            break;
        default:
            break;
        }
        return DefSubclassProc(hwnd, msg, wp, lp);
    });
}

LRESULT CALLBACK WindowLayer::LabelProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return Guarded([&] { return LabelMessage(hwnd, msg, wp, lp); });
}

LRESULT WindowLayer::LabelMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_SETFONT:
        SetWindowLongPtrW(hwnd, 0, static_cast<LONG_PTR>(wp));
        if (LOWORD(lp)) {
            InvalidateRect(hwnd, nullptr, TRUE);
        }
        return 0;
    case WM_GETFONT:
        return GetWindowLongPtrW(hwnd, 0);
    case WM_SETTEXT: {
        LRESULT r = DefWindowProcW(hwnd, msg, wp, lp);
        InvalidateRect(hwnd, nullptr, TRUE);
        return r;
    }
    case WM_ERASEBKGND:
        return 1; // painted whole in WM_PAINT
    case WM_NCHITTEST: {
        // Like a static, clicks belong to what lies beneath; a label that shows its whole text in
        // a tooltip must see the pointer itself.
        const auto* entry = reinterpret_cast<const ControlEntry*>(GetWindowLongPtrW(hwnd, sizeof(LONG_PTR)));
        return entry != nullptr && entry->tipWhenCut ? HTCLIENT : HTTRANSPARENT;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT rc;
        GetClientRect(hwnd, &rc);
        // Ask the parent for colours the way a static control does, so whoever handles
        // WM_CTLCOLORSTATIC up the chain (the window, or a skin) decides them.
        HWND parent = GetParent(hwnd);
        auto brush = reinterpret_cast<HBRUSH>(
            SendMessageW(parent, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(hwnd)));
        FillRect(dc, &rc, brush != nullptr ? brush : GetSysColorBrush(COLOR_BTNFACE));
        const auto* entry = reinterpret_cast<const ControlEntry*>(GetWindowLongPtrW(hwnd, sizeof(LONG_PTR)));
        const LabelProps* props = entry != nullptr ? &entry->label : nullptr;
        if (props != nullptr && props->border == EdgeStyle::Raised) {
            DrawEdge(dc, &rc, BDR_RAISEDINNER, BF_RECT | BF_ADJUST);
        }
        int n = GetWindowTextLengthW(hwnd);
        std::wstring text(static_cast<size_t>(n) + 1, L'\0');
        GetWindowTextW(hwnd, text.data(), n + 1);
        text.resize(static_cast<size_t>(n));
        HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(GetWindowLongPtrW(hwnd, 0)));
        SetBkMode(dc, TRANSPARENT);
        UINT flags = DT_NOPREFIX;
        HAlign align = props != nullptr ? props->align : HAlign::Left;
        VAlign valign = props != nullptr ? props->valign : VAlign::Centre;
        flags |= align == HAlign::Centre ? DT_CENTER : align == HAlign::Right ? DT_RIGHT : DT_LEFT;
        if (props != nullptr && props->wordWrap) {
            flags |= DT_WORDBREAK;
        } else {
            flags |= DT_SINGLELINE;
            flags |= valign == VAlign::Top ? DT_TOP : valign == VAlign::Bottom ? DT_BOTTOM : DT_VCENTER;
            if (entry != nullptr && entry->tipWhenCut) {
                flags |= DT_END_ELLIPSIS; // a cut text says so; the tooltip holds the whole of it
            }
        }
        if (!IsWindowEnabled(hwnd)) {
            SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
        }
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc, flags);
        SelectObject(dc, oldFont);
        EndPaint(hwnd, &ps);
        return 0;
    }
    default:
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

// ---------------------------------------------------------------------------------------------

bool LayerLoadWindow(const WindowTable& table, Window* owner, bool modal) {
    if (Window* open = LayerOpenInstance(table)) {
        if (!open->closing_) {
            if (IsIconic(open->hwnd_)) {
                ShowWindow(open->hwnd_, SW_RESTORE);
            } else {
                if (!IsWindowVisible(open->hwnd_)) {
                    ShowWindow(open->hwnd_, SW_SHOW);
                }
                SetForegroundWindow(open->hwnd_);
                BringWindowToTop(open->hwnd_);
            }
            return true;
        }
        DestroyWindow(open->hwnd_); // complete the closing first
    }
    HWND ownerHandle = nullptr;
    if (modal) {
        ownerHandle = ApplicationWindow();
    } else if (owner != nullptr) {
        if (!WindowLayer::Alive(owner)) {
            return false;
        }
        ownerHandle = owner->Handle();
    } else if (!table.window.taskbarButton) {
        ownerHandle = ApplicationWindow();
    }
    Window* w = WindowLayer::Build(table, ownerHandle);
    if (w == nullptr) {
        return false;
    }
    if (modal) {
        WindowLayer::DisableOthersFor(*w);
    }
    WindowLayer::DeliverStart(*w);
    return true;
}

Window* LayerOpenInstance(const WindowTable& table) {
    for (const auto& w : LiveWindows()) {
        if (&w->Table() == &table && w->Handle() != nullptr) {
            return w.get();
        }
    }
    return nullptr;
}

size_t LiveWindowCount() {
    return LiveWindows().size();
}

void DestroyAllWindowsSilently() {
    // Copy: destroying a window removes it from the list.
    std::vector<HWND> handles;
    for (const auto& w : LiveWindows()) {
        w->silent_ = true;
        if (w->hwnd_ != nullptr) {
            handles.push_back(w->hwnd_);
        }
    }
    for (HWND h : handles) {
        if (IsWindow(h)) {
            DestroyWindow(h);
        }
    }
    LiveWindows().clear();
    if (DispatchDepth() == 0) {
        Graveyard().clear();
    }
}

Window* ProgramWindowOf(HWND hwnd) {
    for (const auto& w : LiveWindows()) {
        if (w->Handle() == hwnd) {
            return w.get();
        }
    }
    return nullptr;
}

} // namespace trigora
