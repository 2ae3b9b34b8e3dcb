// Pop-up menus: items become owner-drawn while a menu is open, and menu windows get the border and alpha.
#include <windows.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine.h"

namespace pelk {
namespace {

using trigora::skin::Rgb;

struct MenuItem {
    HMENU menu = nullptr;
    UINT pos = 0;
    std::wstring text;
    UINT type = 0; // the item's own type, restored when the menu closes
    ULONG_PTR data = 0;
    bool separator = false;
};

struct MenuRecord {
    HBRUSH background = nullptr;
    DWORD backgroundMask = 0;
    std::vector<std::unique_ptr<MenuItem>> items;
};

struct Menus {
    std::map<HMENU, MenuRecord> open;
    std::unordered_set<const MenuItem*> items;
};

Menus& TheMenus() {
    static Menus menus;
    return menus;
}

constexpr int kCheckColumn = 22;
// A quarter of 255, rounded up.
constexpr int kLeastMenuAlpha = 64;
constexpr int kSeparatorHeight = 7;

void Restore(HMENU menu, MenuRecord& rec) {
    for (auto& item : rec.items) {
        MENUITEMINFOW mii{};
        mii.cbSize = sizeof(mii);
        mii.fMask = MIIM_DATA;
        // Only an item still carrying our mark goes back; the program may have changed the menu.
        if (IsMenu(menu) && GetMenuItemInfoW(menu, item->pos, TRUE, &mii) &&
            mii.dwItemData == reinterpret_cast<ULONG_PTR>(item.get())) {
            mii.fMask = MIIM_FTYPE | MIIM_DATA;
            mii.fType = item->type;
            mii.dwItemData = item->data;
            SetMenuItemInfoW(menu, item->pos, TRUE, &mii);
        }
        TheMenus().items.erase(item.get());
    }
    if (IsMenu(menu)) {
        MENUINFO mi{};
        mi.cbSize = sizeof(mi);
        mi.fMask = MIM_BACKGROUND;
        mi.hbrBack = rec.background;
        SetMenuInfo(menu, &mi);
    }
}

void RestoreAll() {
    auto& open = TheMenus().open;
    for (auto& [menu, rec] : open) {
        Restore(menu, rec);
    }
    open.clear();
}

void Convert(HMENU menu) {
    auto& menus = TheMenus();
    if (auto it = menus.open.find(menu); it != menus.open.end()) {
        Restore(menu, it->second);
        menus.open.erase(it);
    }
    MenuRecord rec;
    MENUINFO mi{};
    mi.cbSize = sizeof(mi);
    mi.fMask = MIM_BACKGROUND;
    if (GetMenuInfo(menu, &mi)) {
        rec.background = mi.hbrBack;
    }
    int count = GetMenuItemCount(menu);
    for (int pos = 0; pos < count; ++pos) {
        MENUITEMINFOW mii{};
        mii.cbSize = sizeof(mii);
        mii.fMask = MIIM_FTYPE | MIIM_DATA | MIIM_STRING | MIIM_BITMAP;
        if (!GetMenuItemInfoW(menu, static_cast<UINT>(pos), TRUE, &mii)) {
            continue;
        }
        // Items that draw themselves or show a bitmap keep their own look.
        if ((mii.fType & (MFT_OWNERDRAW | MFT_BITMAP)) != 0 || mii.hbmpItem != nullptr) {
            continue;
        }
        auto item = std::make_unique<MenuItem>();
        item->menu = menu;
        item->pos = static_cast<UINT>(pos);
        item->type = mii.fType;
        item->data = mii.dwItemData;
        item->separator = (mii.fType & MFT_SEPARATOR) != 0;
        if (!item->separator && mii.cch > 0) {
            item->text.assign(mii.cch + 1, L'\0');
            mii.dwTypeData = item->text.data();
            mii.cch += 1;
            mii.fMask = MIIM_STRING;
            if (GetMenuItemInfoW(menu, static_cast<UINT>(pos), TRUE, &mii)) {
                item->text.resize(mii.cch);
            } else {
                item->text.clear();
            }
        }
        MENUITEMINFOW set{};
        set.cbSize = sizeof(set);
        set.fMask = MIIM_FTYPE | MIIM_DATA;
        set.fType = item->type | MFT_OWNERDRAW;
        set.dwItemData = reinterpret_cast<ULONG_PTR>(item.get());
        if (SetMenuItemInfoW(menu, static_cast<UINT>(pos), TRUE, &set)) {
            menus.items.insert(item.get());
            rec.items.push_back(std::move(item));
        }
    }
    mi.fMask = MIM_BACKGROUND;
    mi.hbrBack = CurrentLook()->MenuBrush();
    SetMenuInfo(menu, &mi);
    menus.open[menu] = std::move(rec);
}

const MenuItem* Ours(ULONG_PTR data) {
    auto* item = reinterpret_cast<const MenuItem*>(data);
    return TheMenus().items.count(item) != 0 ? item : nullptr;
}

void SplitLabel(const std::wstring& text, std::wstring* label, std::wstring* accel) {
    auto tab = text.find(L'\t');
    *label = text.substr(0, tab);
    *accel = tab == std::wstring::npos ? std::wstring() : text.substr(tab + 1);
}

SIZE Extent(HDC dc, const std::wstring& text) {
    RECT r{0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_SINGLELINE | DT_CALCRECT);
    return {r.right - r.left, r.bottom - r.top};
}

void Measure(MEASUREITEMSTRUCT* mis, const MenuItem& item) {
    const Look& look = *CurrentLook();
    if (item.separator) {
        mis->itemWidth = 10;
        mis->itemHeight = kSeparatorHeight;
        return;
    }
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, look.MenuFont());
    std::wstring label, accel;
    SplitLabel(item.text, &label, &accel);
    SIZE l = Extent(dc, label);
    SIZE a = Extent(dc, accel);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    mis->itemWidth = static_cast<UINT>(kCheckColumn + l.cx + (accel.empty() ? 0 : 24 + a.cx) + 12);
    mis->itemHeight = static_cast<UINT>(std::max<int>(look.skin().metrics.menuItemHeight, l.cy + 6));
}

void Draw(const DRAWITEMSTRUCT* dis, const MenuItem& item) {
    const Look& look = *CurrentLook();
    const auto& m = look.skin().menu;
    HDC dc = dis->hDC;
    RECT r = dis->rcItem;
    if (item.separator) {
        FillColour(dc, r, m.background);
        int y = (r.top + r.bottom) / 2;
        FillColour(dc, {r.left + 4, y, r.right - 4, y + 1}, m.separator);
        return;
    }
    bool selected = (dis->itemState & ODS_SELECTED) != 0;
    bool disabled = (dis->itemState & (ODS_GRAYED | ODS_DISABLED)) != 0;
    FillColour(dc, r, selected ? m.selectedBackground : m.background);
    if ((dis->itemState & ODS_CHECKED) != 0) {
        RECT box{r.left, r.top, r.left + kCheckColumn, r.bottom};
        if (!look.DrawImageCentred(dc, m.checkMark, box)) {
            RECT dot{box.left + 8, (r.top + r.bottom) / 2 - 3, box.left + 14, (r.top + r.bottom) / 2 + 3};
            FillColour(dc, dot, selected ? m.selectedText : m.text);
        }
    }
    Rgb colour = disabled ? m.disabledText : (selected ? m.selectedText : m.text);
    std::wstring label, accel;
    SplitLabel(item.text, &label, &accel);
    HGDIOBJ old = SelectObject(dc, look.MenuFont());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, Colour(colour));
    UINT prefix = (dis->itemState & ODS_NOACCEL) != 0 ? DT_HIDEPREFIX : 0;
    RECT tr{r.left + kCheckColumn, r.top, r.right - 12, r.bottom};
    DrawTextW(dc, label.c_str(), static_cast<int>(label.size()), &tr,
              DT_SINGLELINE | DT_VCENTER | DT_LEFT | prefix);
    if (!accel.empty()) {
        DrawTextW(dc, accel.c_str(), static_cast<int>(accel.size()), &tr,
                  DT_SINGLELINE | DT_VCENTER | DT_RIGHT);
    }
    SelectObject(dc, old);
}

// Owner-drawn items lose the system's mnemonic handling; the engine answers for them.
bool MenuChar(HMENU menu, wchar_t ch, LRESULT* result) {
    auto it = TheMenus().open.find(menu);
    if (it == TheMenus().open.end()) {
        return false;
    }
    wchar_t want = static_cast<wchar_t>(reinterpret_cast<UINT_PTR>(CharUpperW(reinterpret_cast<LPWSTR>(ch))));
    for (const auto& item : it->second.items) {
        auto amp = item->text.find(L'&');
        while (amp != std::wstring::npos && amp + 1 < item->text.size() && item->text[amp + 1] == L'&') {
            amp = item->text.find(L'&', amp + 2);
        }
        if (amp == std::wstring::npos || amp + 1 >= item->text.size()) {
            continue;
        }
        wchar_t key = static_cast<wchar_t>(reinterpret_cast<UINT_PTR>(
            CharUpperW(reinterpret_cast<LPWSTR>(static_cast<UINT_PTR>(item->text[amp + 1])))));
        if (key == want) {
            *result = MAKELRESULT(item->pos, MNC_EXECUTE);
            return true;
        }
    }
    return false;
}

} // namespace

void RestoreAllMenus() {
    RestoreAll();
}

bool MenuOwnerMessage(Skinned& w, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
    switch (msg) {
    case WM_INITMENUPOPUP:
        *result = CallOld(w, msg, wp, lp);
        if (HIWORD(lp) == 0 && IsMenu(reinterpret_cast<HMENU>(wp))) { // the system menu keeps its own look
            Convert(reinterpret_cast<HMENU>(wp));
        }
        return true;
    case WM_MEASUREITEM: {
        auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
        if (mis->CtlType == ODT_MENU) {
            if (const MenuItem* item = Ours(mis->itemData)) {
                Measure(mis, *item);
                *result = TRUE;
                return true;
            }
        }
        return false;
    }
    case WM_DRAWITEM: {
        auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
        if (dis->CtlType == ODT_MENU) {
            if (const MenuItem* item = Ours(dis->itemData)) {
                Draw(dis, *item);
                *result = TRUE;
                return true;
            }
        }
        return false;
    }
    case WM_MENUCHAR:
        return MenuChar(reinterpret_cast<HMENU>(lp), static_cast<wchar_t>(LOWORD(wp)), result);
    case WM_EXITMENULOOP:
        RestoreAll();
        return false;
    default:
        return false;
    }
}

bool MenuWindowMessage(Skinned& w, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
    const Look& look = *CurrentLook();
    const auto& m = look.skin().menu;
    switch (msg) {
    case WM_CREATE:
        *result = CallOld(w, msg, wp, lp);
        if (MenuAlpha() < 255) {
            // Never less than a quarter opaque, whatever the setting: a menu at 0 cannot be seen,
            // and the tray menu is the only way back to a hidden program.
            const int alpha = std::max(MenuAlpha(), kLeastMenuAlpha);
            SetWindowLongW(w.hwnd, GWL_EXSTYLE, GetWindowLongW(w.hwnd, GWL_EXSTYLE) | WS_EX_LAYERED);
            SetLayeredWindowAttributes(w.hwnd, 0, static_cast<BYTE>(alpha), LWA_ALPHA);
        }
        return true;
    case WM_ERASEBKGND: {
        RECT rc;
        GetClientRect(w.hwnd, &rc);
        FillRect(reinterpret_cast<HDC>(wp), &rc, look.MenuBrush());
        *result = 1;
        return true;
    }
    case WM_PAINT:
    case WM_NCPAINT:
    case WM_PRINTCLIENT: {
        *result = CallOld(w, msg, wp, lp);
        if (w.dead) {
            return true;
        }
        // The menu's own 3-D edge is replaced by a flat border in the skin's colour.
        HDC dc = GetWindowDC(w.hwnd);
        if (dc != nullptr) {
            WindowDc owner(w.hwnd, dc);
            RECT wr;
            GetWindowRect(w.hwnd, &wr);
            RECT all{0, 0, wr.right - wr.left, wr.bottom - wr.top};
            FrameColour(dc, all, m.border);
            InflateRect(&all, -1, -1);
            FrameColour(dc, all, m.background);
        }
        return true;
    }
    default:
        return false;
    }
}

} // namespace pelk
