// The end-to-end driver: starts Trigora.exe and looks at it from outside, through window messages.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace driver {

// Paths of the build, found from the test executable's own place (build/wintests/).
std::wstring BuildFolder();
std::wstring TrigoraExe();

// How to start Trigora: which copy of the executable (empty: the build's), in which working
// directory (empty: its own folder), and whether to wait for the main window to show.
struct StartOptions {
    std::wstring exe;
    std::wstring workingDirectory;
    bool waitForMain = true;
};

// A running Trigora, ended (killed if need be) when the object goes.
class Trigora {
  public:
    // Starts the program in `workingDirectory` (empty: its own folder) and waits until its main
    // window is visible and the program idle.
    explicit Trigora(const std::wstring& workingDirectory = L"");
    explicit Trigora(const StartOptions& options);
    ~Trigora();
    Trigora(const Trigora&) = delete;
    Trigora& operator=(const Trigora&) = delete;

    HWND Main() const { return main_; }
    HANDLE Process() const { return process_.hProcess; }
    DWORD ProcessId() const { return process_.dwProcessId; }
    bool Started() const { return main_ != nullptr; }

    // Waits for the process to end; its exit code, or STILL_ACTIVE on time-out.
    DWORD WaitForExit(DWORD milliseconds = 10000);
    // The process's current directory, read from its process parameters.
    std::wstring CurrentDirectory() const;
    // Waits until the program has handled everything sent so far.
    void Settle() const;

  private:
    PROCESS_INFORMATION process_{};
    HWND main_ = nullptr;
};

// A control of a window by its table order (1 first): its id is 1000 + order - 1.
HWND ControlByOrder(HWND window, int order);
std::wstring Text(HWND hwnd);
std::string TextUtf8(HWND hwnd);
void SetText(HWND hwnd, const std::wstring& text);
// Types a text as a user does: one character message after another, each handled before the next.
void Type(HWND edit, const std::wstring& text);
// Clears an edit box the way a user does: select all, delete.
void ClearByKeys(HWND edit);
std::wstring ClassName(HWND hwnd);

// Rectangle of a control in the client coordinates of `reference`.
RECT RectIn(HWND control, HWND reference);

// Top-level windows of a process, visible or not.
std::vector<HWND> TopLevelWindows(DWORD processId);
HWND FindTopLevel(DWORD processId, const std::wstring& caption, DWORD waitMs = 5000);

// The open pop-up menu's window (class #32768), waited for; nullptr when none shows in time.
HWND OpenPopupMenu(DWORD waitMs = 3000);

// Real mouse input at a screen point; false when the pointer could not be put there.
bool ClickAt(POINT screen, bool right = false, int clicks = 1);
// Real mouse drag with the left button: pressed at the first point, moved through the others,
// released at the last.
bool DragThrough(const std::vector<POINT>& screenPoints);
// Real pointer move, no button.
bool MovePointer(POINT screen);
// Saves a picture of the whole screen (a PNG, for looking at) through ImageMagick.
bool SaveScreenshot(const std::wstring& unixPath);
// A copy of part of the screen, read once, to look at many pixels of.
struct ScreenCopy {
    RECT area{}; // screen coordinates
    std::vector<COLORREF> pixels;
    COLORREF At(int x, int y) const {
        return pixels[static_cast<size_t>(y - area.top) * (area.right - area.left) + (x - area.left)];
    }
};
ScreenCopy CopyScreen(const RECT& area);
// The colour on the screen at a point.
COLORREF ScreenPixel(POINT screen);
// Real key presses, in xdotool's names ("Down Down Return"), to whatever has the focus.
bool PressKeys(const std::wstring& keys);
// A point of the window whose hit test gives `hit` (HTCLOSE, HTCAPTION, ...), scanning its frame.
bool FindHitPoint(HWND window, LRESULT hit, POINT& out);

// Waits until `condition` holds or the time is up; true when it held.
template <typename F>
bool WaitUntil(F condition, DWORD milliseconds = 5000) {
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > milliseconds) {
            return false;
        }
        Sleep(20);
    }
    return true;
}

// What processes write with OutputDebugString, gathered while the object lives (the system-wide
// monitor's buffer and events: one monitor at a time).
class DebugOutput {
  public:
    DebugOutput();
    ~DebugOutput();
    DebugOutput(const DebugOutput&) = delete;
    DebugOutput& operator=(const DebugOutput&) = delete;
    bool Listening() const { return thread_ != nullptr; }
    // Every line a process has written so far.
    std::vector<std::string> Of(DWORD processId) const;

  private:
    static DWORD WINAPI Run(LPVOID self);
    HANDLE mapping_ = nullptr, bufferReady_ = nullptr, dataReady_ = nullptr, stop_ = nullptr, thread_ = nullptr;
    const char* view_ = nullptr;
    mutable CRITICAL_SECTION lock_;
    std::vector<std::pair<DWORD, std::string>> lines_;
};

// A file of the system folder, and the per-user folder the engine falls back to.
std::wstring SystemFile(const wchar_t* leaf);
std::wstring PerUserFolder();

// A visible message box of the process, waited for; nullptr when none shows in time.
HWND MessageBoxOf(DWORD processId, DWORD waitMs = 5000);
// The same, with that caption.
HWND MessageBoxOf(DWORD processId, const std::wstring& caption, DWORD waitMs = 5000);

// The dropped list of a drop-down box of the process, waited for; nullptr when none shows in time.
HWND DroppedListOf(DWORD processId, DWORD waitMs = 5000);

// Leaves a registry key readable (and deletable) by everyone but writable by no one.
bool CloseKeyToWriting(HKEY key);

std::string Utf8(const std::wstring& w);
std::wstring FromUtf8(const std::string& s);

} // namespace driver
