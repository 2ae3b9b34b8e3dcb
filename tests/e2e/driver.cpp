// The end-to-end driver: process start and end, finding controls, typing, reading, real mouse input.
#include "driver.h"

#include <winternl.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

namespace driver {

namespace {

constexpr wchar_t kWindowClass[] = L"TrigoraWindow";

struct FindMain {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindMainProc(HWND hwnd, LPARAM lp) {
    auto* f = reinterpret_cast<FindMain*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    wchar_t cls[64] = {};
    GetClassNameW(hwnd, cls, 64);
    wchar_t caption[64] = {};
    GetWindowTextW(hwnd, caption, 64);
    if (pid == f->pid && lstrcmpW(cls, kWindowClass) == 0 && lstrcmpW(caption, L"Trigora1.0") == 0 &&
        IsWindowVisible(hwnd)) {
        f->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

struct FindChild {
    int id;
    HWND found;
};

BOOL CALLBACK FindChildProc(HWND hwnd, LPARAM lp) {
    auto* f = reinterpret_cast<FindChild*>(lp);
    wchar_t cls[64] = {};
    GetClassNameW(hwnd, cls, 64);
    // The edit field inside a combo box has an id of its own (1001); it is not a table control.
    HWND parent = GetParent(hwnd);
    wchar_t parentCls[64] = {};
    GetClassNameW(parent, parentCls, 64);
    if (lstrcmpiW(parentCls, L"ComboBox") == 0) {
        return TRUE;
    }
    if (GetDlgCtrlID(hwnd) == f->id) {
        f->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

struct TopLevels {
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK TopLevelProc(HWND hwnd, LPARAM lp) {
    auto* t = reinterpret_cast<TopLevels*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == t->pid) {
        t->found.push_back(hwnd);
    }
    return TRUE;
}

} // namespace

std::string Utf8(const std::wstring& w) {
    if (w.empty()) {
        return {};
    }
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring FromUtf8(const std::string& s) {
    if (s.empty()) {
        return {};
    }
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n);
    return out;
}

bool CloseKeyToWriting(HKEY key) {
    SECURITY_DESCRIPTOR sd;
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    alignas(DWORD) BYTE aclBytes[256];
    auto* acl = reinterpret_cast<PACL>(aclBytes);
    InitializeAcl(acl, sizeof aclBytes, ACL_REVISION);
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
    AddAccessAllowedAce(acl, ACL_REVISION, KEY_READ | DELETE | WRITE_DAC, everyone);
    SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE);
    bool closed = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &sd) == ERROR_SUCCESS;
    FreeSid(everyone);
    return closed;
}

std::wstring SystemFile(const wchar_t* leaf) {
    wchar_t dir[MAX_PATH] = {};
    GetSystemDirectoryW(dir, MAX_PATH);
    return std::wstring(dir) + L"\\" + leaf;
}

std::wstring PerUserFolder() {
    wchar_t local[MAX_PATH] = {};
    GetEnvironmentVariableW(L"LOCALAPPDATA", local, MAX_PATH);
    return std::wstring(local) + L"\\Trigora";
}

namespace {

// The first visible top-level window of the process that `matches`, waited for.
template <typename Match> HWND VisibleTopLevel(DWORD processId, Match matches, DWORD waitMs) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND h : TopLevelWindows(processId)) {
                if (IsWindowVisible(h) && matches(h)) {
                    found = h;
                    return true;
                }
            }
            return false;
        },
        waitMs);
    return found;
}

HWND VisibleTopLevelOfClass(DWORD processId, const wchar_t* className, DWORD waitMs) {
    return VisibleTopLevel(
        processId, [&](HWND h) { return ClassName(h) == className; }, waitMs);
}

} // namespace

HWND MessageBoxOf(DWORD processId, DWORD waitMs) {
    return VisibleTopLevelOfClass(processId, L"#32770", waitMs);
}

HWND MessageBoxOf(DWORD processId, const std::wstring& caption, DWORD waitMs) {
    return VisibleTopLevel(
        processId, [&](HWND h) { return ClassName(h) == L"#32770" && Text(h) == caption; }, waitMs);
}

HWND DroppedListOf(DWORD processId, DWORD waitMs) {
    return VisibleTopLevelOfClass(processId, L"ComboLBox", waitMs);
}

std::wstring BuildFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p(path);
    p = p.substr(0, p.find_last_of(L'\\')); // build\wintests
    return p.substr(0, p.find_last_of(L'\\')); // build
}

std::wstring TrigoraExe() {
    return BuildFolder() + L"\\Trigora.exe";
}

Trigora::Trigora(const std::wstring& workingDirectory) : Trigora(StartOptions{L"", workingDirectory, true}) {}

Trigora::Trigora(const StartOptions& options) {
    std::wstring exe = options.exe.empty() ? TrigoraExe() : options.exe;
    const std::wstring& workingDirectory = options.workingDirectory;
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        workingDirectory.empty() ? nullptr : workingDirectory.c_str(), &si, &process_)) {
        return;
    }
    WaitForInputIdle(process_.hProcess, 20000);
    if (!options.waitForMain) {
        return;
    }
    FindMain f{process_.dwProcessId, nullptr};
    WaitUntil(
        [&] {
            EnumWindows(FindMainProc, reinterpret_cast<LPARAM>(&f));
            return f.found != nullptr;
        },
        30000);
    main_ = f.found;
    Settle();
}

Trigora::~Trigora() {
    if (process_.hProcess != nullptr) {
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_.hProcess, 99);
            WaitForSingleObject(process_.hProcess, 5000);
        }
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
    }
}

DWORD Trigora::WaitForExit(DWORD milliseconds) {
    if (WaitForSingleObject(process_.hProcess, milliseconds) != WAIT_OBJECT_0) {
        return STILL_ACTIVE;
    }
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
}

void Trigora::Settle() const {
    if (main_ != nullptr) {
        DWORD_PTR result = 0;
        SendMessageTimeoutW(main_, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result);
    }
}

std::wstring Trigora::CurrentDirectory() const {
    // The driver and Trigora are built for the same architecture, so the layouts are this build's:
    // PEB+0x10 (64-bit: +0x20) -> RTL_USER_PROCESS_PARAMETERS, whose CurrentDirectory.DosPath
    // follows four ULONGs, ConsoleHandle, ConsoleFlags (padded to a pointer) and the three
    // standard handles: +0x24 (64-bit: +0x38).
    constexpr size_t kParametersInPeb = offsetof(PEB, ProcessParameters);
    constexpr size_t kCurrentDirectoryInParameters = 4 * sizeof(ULONG) + 5 * sizeof(void*);
    static_assert(kParametersInPeb == (sizeof(void*) == 8 ? 0x20 : 0x10));
    static_assert(kCurrentDirectoryInParameters == (sizeof(void*) == 8 ? 0x38 : 0x24));
    using QueryFn = LONG(WINAPI*)(HANDLE, int, PVOID, ULONG, PULONG);
    auto query = reinterpret_cast<QueryFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION info{};
    ULONG got = 0;
    if (query == nullptr || query(process_.hProcess, 0, &info, sizeof(info), &got) != 0) {
        return {};
    }
    auto peb = reinterpret_cast<const char*>(info.PebBaseAddress);
    const char* params = nullptr;
    SIZE_T read = 0;
    if (!ReadProcessMemory(process_.hProcess, peb + kParametersInPeb, &params, sizeof(params), &read)) {
        return {};
    }
    UNICODE_STRING dir{};
    if (!ReadProcessMemory(process_.hProcess, params + kCurrentDirectoryInParameters, &dir, sizeof(dir), &read)) {
        return {};
    }
    std::wstring out(dir.Length / sizeof(wchar_t), L'\0');
    if (!ReadProcessMemory(process_.hProcess, dir.Buffer, out.data(), dir.Length, &read)) {
        return {};
    }
    return out;
}

HWND ControlByOrder(HWND window, int order) {
    FindChild f{1000 + order - 1, nullptr};
    EnumChildWindows(window, FindChildProc, reinterpret_cast<LPARAM>(&f));
    return f.found;
}

std::wstring Text(HWND hwnd) {
    DWORD_PTR length = 0;
    SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 5000, &length);
    std::wstring text(length + 1, L'\0');
    DWORD_PTR got = 0;
    SendMessageTimeoutW(hwnd, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()), SMTO_NORMAL, 5000, &got);
    text.resize(got);
    return text;
}

std::string TextUtf8(HWND hwnd) {
    return Utf8(Text(hwnd));
}

void SetText(HWND hwnd, const std::wstring& text) {
    SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void Type(HWND edit, const std::wstring& text) {
    SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(-1), -1); // caret at the end
    for (wchar_t ch : text) {
        SendMessageW(edit, WM_CHAR, ch, 1);
    }
}

void ClearByKeys(HWND edit) {
    SendMessageW(edit, EM_SETSEL, 0, -1);
    SendMessageW(edit, WM_CHAR, VK_BACK, 1);
}

std::wstring ClassName(HWND hwnd) {
    wchar_t cls[128] = {};
    GetClassNameW(hwnd, cls, 128);
    return cls;
}

RECT RectIn(HWND control, HWND reference) {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(HWND_DESKTOP, reference, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::vector<HWND> TopLevelWindows(DWORD processId) {
    TopLevels t{processId, {}};
    EnumWindows(TopLevelProc, reinterpret_cast<LPARAM>(&t));
    return t.found;
}

HWND FindTopLevel(DWORD processId, const std::wstring& caption, DWORD waitMs) {
    return VisibleTopLevel(
        processId, [&](HWND h) { return Text(h) == caption; }, waitMs);
}

namespace {

// Runs xdotool with these arguments. Wine starts Unix programs too, but gives no waitable handle
// for them; callers wait for the effect they expect.
bool Xdotool(const std::wstring& arguments) {
    std::wstring command = L"Z:\\usr\\bin\\xdotool " + arguments;
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        fprintf(stderr, "xdotool could not be started (error %lu)\n", GetLastError());
        return false;
    }
    if (pi.hProcess != nullptr) {
        CloseHandle(pi.hProcess);
    }
    if (pi.hThread != nullptr) {
        CloseHandle(pi.hThread);
    }
    return true;
}

} // namespace

HWND OpenPopupMenu(DWORD waitMs) {
    HWND menu = nullptr;
    WaitUntil(
        [&] {
            menu = FindWindowW(L"#32768", nullptr);
            return menu != nullptr && IsWindowVisible(menu);
        },
        waitMs);
    return menu != nullptr && IsWindowVisible(menu) ? menu : nullptr;
}

bool ClickAt(POINT screen, bool right, int clicks) {
    // Real input at the X server: Wine's own SetCursorPos is not reliably warped to the X pointer,
    // so a click by SendInput can land where the X pointer still is. Without a window manager the
    // virtual desktop covers the X screen from its origin: screen coordinates are X coordinates.
    if (!Xdotool(L"mousemove " + std::to_wstring(screen.x) + L" " + std::to_wstring(screen.y) + L" click --repeat " +
                 std::to_wstring(clicks) + L" " + (right ? L"3" : L"1"))) {
        return false;
    }
    bool arrived = WaitUntil(
        [&] {
            POINT now{};
            GetCursorPos(&now);
            return now.x == screen.x && now.y == screen.y;
        },
        5000);
    Sleep(300 * clicks); // the clicks follow the move
    return arrived;
}

bool DragThrough(const std::vector<POINT>& points) {
    if (points.empty()) {
        return false;
    }
    auto at = [](POINT p) { return std::to_wstring(p.x) + L" " + std::to_wstring(p.y); };
    std::wstring arguments = L"mousemove " + at(points.front()) + L" sleep 0.2 mousedown 1";
    for (size_t i = 1; i < points.size(); ++i) {
        arguments += L" sleep 0.2 mousemove " + at(points[i]);
    }
    arguments += L" sleep 0.2 mouseup 1";
    if (!Xdotool(arguments)) {
        return false;
    }
    POINT last = points.back();
    bool arrived = WaitUntil(
        [&] {
            POINT now{};
            GetCursorPos(&now);
            return now.x == last.x && now.y == last.y;
        },
        5000);
    Sleep(500); // the release follows the last move
    return arrived;
}

bool MovePointer(POINT screen) {
    if (!Xdotool(L"mousemove " + std::to_wstring(screen.x) + L" " + std::to_wstring(screen.y))) {
        return false;
    }
    return WaitUntil(
        [&] {
            POINT now{};
            GetCursorPos(&now);
            return now.x == screen.x && now.y == screen.y;
        },
        5000);
}

bool SaveScreenshot(const std::wstring& unixPath) {
    wchar_t display[64] = {};
    if (GetEnvironmentVariableW(L"DISPLAY", display, 64) == 0) {
        return false;
    }
    std::wstring command =
        L"Z:\\usr\\bin\\import -window root -display " + std::wstring(display) + L" " + unixPath;
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        return false;
    }
    if (pi.hProcess != nullptr) {
        CloseHandle(pi.hProcess);
    }
    if (pi.hThread != nullptr) {
        CloseHandle(pi.hThread);
    }
    Sleep(1500); // no handle to wait on: give ImageMagick its time
    return true;
}

DebugOutput::DebugOutput() {
    InitializeCriticalSection(&lock_);
    mapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, L"DBWIN_BUFFER");
    bufferReady_ = CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_BUFFER_READY");
    dataReady_ = CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY");
    stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (mapping_ != nullptr) {
        view_ = static_cast<const char*>(MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, 4096));
    }
    if (view_ != nullptr && bufferReady_ != nullptr && dataReady_ != nullptr && stop_ != nullptr) {
        thread_ = CreateThread(nullptr, 0, &DebugOutput::Run, this, 0, nullptr);
    }
}

DebugOutput::~DebugOutput() {
    if (thread_ != nullptr) {
        SetEvent(stop_);
        WaitForSingleObject(thread_, 5000);
        CloseHandle(thread_);
    }
    if (view_ != nullptr) {
        UnmapViewOfFile(view_);
    }
    for (HANDLE h : {mapping_, bufferReady_, dataReady_, stop_}) {
        if (h != nullptr) {
            CloseHandle(h);
        }
    }
    DeleteCriticalSection(&lock_);
}

DWORD WINAPI DebugOutput::Run(LPVOID param) {
    auto* self = static_cast<DebugOutput*>(param);
    HANDLE waits[] = {self->dataReady_, self->stop_};
    for (;;) {
        SetEvent(self->bufferReady_);
        if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
            return 0;
        }
        DWORD pid = 0;
        std::memcpy(&pid, self->view_, sizeof pid);
        std::string text(self->view_ + sizeof pid, strnlen(self->view_ + sizeof pid, 4096 - sizeof pid));
        EnterCriticalSection(&self->lock_);
        self->lines_.emplace_back(pid, text);
        LeaveCriticalSection(&self->lock_);
    }
}

std::vector<std::string> DebugOutput::Of(DWORD processId) const {
    std::vector<std::string> mine;
    EnterCriticalSection(&lock_);
    for (const auto& [pid, text] : lines_) {
        if (pid == processId) {
            mine.push_back(text);
        }
    }
    LeaveCriticalSection(&lock_);
    return mine;
}

ScreenCopy CopyScreen(const RECT& area) {
    ScreenCopy copy;
    copy.area = area;
    const int w = area.right - area.left, h = area.bottom - area.top;
    if (w <= 0 || h <= 0) {
        return copy;
    }
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (dib != nullptr) {
        HGDIOBJ old = SelectObject(mem, dib);
        BitBlt(mem, 0, 0, w, h, screen, area.left, area.top, SRCCOPY);
        GdiFlush();
        const auto* px = static_cast<const DWORD*>(bits);
        copy.pixels.resize(static_cast<size_t>(w) * h);
        for (size_t i = 0; i < copy.pixels.size(); ++i) {
            DWORD p = px[i]; // 0x00RRGGBB
            copy.pixels[i] = RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
        }
        SelectObject(mem, old);
        DeleteObject(dib);
    }
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return copy;
}

COLORREF ScreenPixel(POINT screen) {
    HDC dc = GetDC(nullptr);
    COLORREF c = GetPixel(dc, screen.x, screen.y);
    ReleaseDC(nullptr, dc);
    return c;
}

bool PressKeys(const std::wstring& keys) {
    if (!Xdotool(L"key --delay 60 " + keys)) {
        return false;
    }
    Sleep(400);
    return true;
}

bool FindHitPoint(HWND window, LRESULT hit, POINT& out) {
    // The middle of the area that answers `hit`: its edge pixels may count for the hit test
    // but not for the button that tracks the press.
    RECT r{};
    GetWindowRect(window, &r);
    long sx = 0, sy = 0, n = 0;
    for (int y = r.top; y < r.top + 40 && y < r.bottom; ++y) {
        for (int x = r.left; x < r.right; ++x) {
            DWORD_PTR result = 0;
            SendMessageTimeoutW(window, WM_NCHITTEST, 0, MAKELPARAM(x, y), SMTO_NORMAL, 2000, &result);
            if (static_cast<LRESULT>(result) == hit) {
                sx += x;
                sy += y;
                ++n;
            }
        }
    }
    if (n == 0) {
        return false;
    }
    out = {static_cast<LONG>(sx / n), static_cast<LONG>(sy / n)};
    return true;
}

} // namespace driver
