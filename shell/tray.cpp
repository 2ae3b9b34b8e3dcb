// The tray icon record of a window, and its hidden menus popped up from the icon.
#include "shell/tray.h"

#include "shell/icon_file.h"
#include "shell/text.h"
#include "shell/tray_tip.h"
#include "shell/window.h"

#include <shellapi.h>
#include <windowsx.h>

#include <cstring>

namespace trigora {

namespace {

// The first and smallest form of the record: icon, tip and notification only, no balloon tips.
// Its window and icon handles are pointer-sized, so it is 88 bytes on 32-bit Windows and 104 on
// 64-bit Windows (the handles aligned to 8), which is what each shell expects of the original form.
constexpr DWORD kRecordSize = NOTIFYICONDATAA_V1_SIZE;
static_assert(kRecordSize == (sizeof(void*) == 8 ? 104 : 88), "the record is the original form");

HICON MakeIcon(std::span<const unsigned char> file) {
    if (file.empty()) {
        return nullptr;
    }
    for (const IconImage& image : TrayIconCandidates(file)) {
        HICON icon = CreateIconFromResourceEx(const_cast<PBYTE>(image.bytes.data()),
                                              static_cast<DWORD>(image.bytes.size()), TRUE, 0x00030000,
                                              image.width, image.height, LR_DEFAULTCOLOR);
        if (icon != nullptr) {
            return icon;
        }
    }
    return nullptr;
}

} // namespace

int TrayActionOf(UINT mouseMessage) {
    switch (mouseMessage) {
    case WM_LBUTTONUP:
        return 1;
    case WM_LBUTTONDBLCLK:
        return 2;
    case WM_RBUTTONUP:
    case WM_CONTEXTMENU:
        return 3;
    default:
        return 0;
    }
}

TrayIcon::~TrayIcon() {
    if (icon_) {
        Notify(NIM_DELETE);
    }
}

bool TrayIcon::Notify(DWORD action) {
    // The ANSI record carries the GBK tip as it is; its tip field is 64 bytes.
    NOTIFYICONDATAA data{};
    data.cbSize = kRecordSize;
    data.hWnd = owner_;
    data.uID = kTrayIconId;
    data.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
    data.uCallbackMessage = kTrayMessage;
    data.hIcon = icon_.Get();
    std::memcpy(data.szTip, tip_.data(), tip_.size());
    data.szTip[tip_.size()] = '\0';
    return Shell_NotifyIconA(action, &data) != 0;
}

void TrayIcon::Set(std::span<const unsigned char> iconFile, std::string_view tip) {
    OwnedIcon next(MakeIcon(iconFile));
    bool had = static_cast<bool>(icon_);
    if (!had && !next) {
        return;
    }
    if (had && !next) {
        Notify(NIM_DELETE);
        icon_.Reset();
        return;
    }
    tip_ = CutTrayTip(tip);
    icon_ = std::move(next); // the old handle, if any, is destroyed here
    // The record keeps its icon whatever the notification area answers.
    Notify(had ? NIM_MODIFY : NIM_ADD);
}

void TrayIcon::Restore() {
    if (icon_) {
        Notify(NIM_ADD);
    }
}

bool SetTrayIcon(Window& owner, std::span<const unsigned char> iconFile, std::string_view tip) {
    TrayIcon& tray = owner.Tray();
    tray.Set(iconFile, tip);
    return tray.HasIcon();
}

void PopupTrayMenu(Window& window, std::string_view topMenu) {
    bool belongs = false;
    for (const MenuEntry& m : window.Table().menus) {
        if (m.level == 0 && topMenu == m.caption) {
            belongs = true;
        }
    }
    if (!belongs) {
        return;
    }
    // A tray menu only closes when the user clicks elsewhere if its window is in the foreground.
    SetForegroundWindow(window.Handle());
    POINT pointer{};
    GetCursorPos(&pointer);
    // Right edge 5 pixels left of the pointer, top edge 5 pixels above it.
    POINT at{pointer.x - 5, pointer.y - 5};
    int chosen = window.TrackMenu(topMenu, at, TPM_RIGHTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON);
    window.DeliverMenuSelection(chosen);
}

} // namespace trigora
