// The tray icon of a window and the pop-up of a window's hidden top-level menu from it.
#pragma once

#include "shell/handles.h"

#include <windows.h>

#include <span>
#include <string>
#include <string_view>

namespace trigora {

class Window;

// Layer-private window messages live in a range of their own, away from the application's.
inline constexpr UINT kTrayMessage = WM_APP + 0x301;
inline constexpr UINT kTrayIconId = 100;

// The tray event's argument for a mouse message of the notification area; 0 for the ones that
// deliver nothing.
int TrayActionOf(UINT mouseMessage);

// A window's tray icon record: it owns the icon handle and keeps it whatever the notification
// area answers.
class TrayIcon {
  public:
    explicit TrayIcon(HWND owner) : owner_(owner) {}
    ~TrayIcon();
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // Places, replaces or removes the icon: empty bytes, or bytes no icon can be made of, remove it.
    void Set(std::span<const unsigned char> iconFile, std::string_view tip);
    // The taskbar was created again (Explorer restarted): put the icon back.
    void Restore();
    bool HasIcon() const { return static_cast<bool>(icon_); }
    HICON Icon() const { return icon_.Get(); }

  private:
    bool Notify(DWORD action);
    HWND owner_;
    OwnedIcon icon_;
    std::string tip_;
};

bool SetTrayIcon(Window& owner, std::span<const unsigned char> iconFile, std::string_view tip = {});
void PopupTrayMenu(Window& window, std::string_view topMenu);

} // namespace trigora
