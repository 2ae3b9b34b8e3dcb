// A live window built from its table: what operations see of a window and its controls.
#pragma once

#include "shell/window_table.h"

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace trigora {

class TrayIcon;

class Window {
  public:
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    ~Window();

    const WindowTable& Table() const { return table_; }
    HWND Handle() const { return hwnd_; }

    // Control fields, addressed by the control's name (GBK, as in the table).
    std::string Text(std::string_view control) const;
    // Setting an edit box's text delivers its content-changed event at once, nested in this call.
    void SetText(std::string_view control, std::string_view text);
    bool Checked(std::string_view control) const;
    void SetChecked(std::string_view control, bool checked);
    int Position(std::string_view control) const; // slider
    void SetPosition(std::string_view control, int position);
    int Selection(std::string_view control) const; // combo box; -1 when nothing is selected
    void SetSelection(std::string_view control, int index); // delivers nothing
    void SetItems(std::string_view control, const std::vector<std::string>& items);
    void SetPaneText(std::string_view statusBar, int pane, std::string_view text);
    HWND ControlHandle(std::string_view control) const;
    // A tooltip text of the control's own (a control with tipWhenCut): shown under the pointer
    // whether or not the control's text fits. Empty: the control's whole text, shown only while
    // it is cut.
    void SetTip(std::string_view control, std::string_view text);

    // The window itself.
    void Close(); // as the close box: close requested first, which may refuse
    void ShowRestoredAndActive();
    void Hide();
    bool IsMinimised() const;
    bool IsVisible() const;

    // The window's tray icon record (created on first use; removed with the window).
    TrayIcon& Tray();

    // The hidden top-level menu with this caption, shown as a pop-up menu at (x, y) in screen
    // coordinates; returns the chosen item's entry index, or -1 when closed without a choice.
    // Items are built from the table each time.
    int TrackMenu(std::string_view topMenu, POINT at, UINT alignFlags);
    void DeliverMenuSelection(int entryIndex);

  private:
    friend class WindowLayer;
    friend bool LayerLoadWindow(const WindowTable&, Window*, bool);
    friend void DestroyAllWindowsSilently();
    struct Control;
    Window(const WindowTable& table);

    const Control& Find(std::string_view name) const;
    Control& Find(std::string_view name);
    void HideTip();

    const WindowTable& table_;
    HWND hwnd_ = nullptr;
    std::vector<std::unique_ptr<Control>> controls_;
    std::unique_ptr<TrayIcon> tray_;
    HWND focusOnDeactivate_ = nullptr;
    bool building_ = true;
    bool closing_ = false;
    bool silent_ = false; // destroyed by the exit clean-up: no events any more
    bool modal_ = false;
    std::vector<std::pair<HWND, bool>> disabledByModal_;
    struct Resources;
    std::unique_ptr<Resources> res_;
};

} // namespace trigora
