// The application shell: start-up in its fixed order, the event loop, the exit clean-up, fatal errors.
#include "shell/app.h"

#include "shell/handles.h"
#include "shell/startup_trace.h"
#include "shell/text.h"
#include "shell/window_layer.h"

#include <commctrl.h>

#include <float.h>

#include <cstring>
#include <exception>
#include <new>
#include <vector>

namespace trigora {

namespace {

struct ShellState {
    HINSTANCE instance = nullptr;
    std::wstring programFolder;
    std::span<const WindowTable* const> tables;
    ExitRoutine exitRoutine = nullptr;
    bool loopEntered = false;
    bool exiting = false;
    int exitCode = 0;
    OwnedWindow applicationWindow;
    std::string globalValue;
};

ShellState& Shell() {
    static ShellState state;
    return state;
}

constexpr wchar_t kApplicationClass[] = L"TrigoraApplication";

// The folder of the executable, up to its last backslash (included for a drive root).
std::wstring FindProgramFolder() {
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) {
            return {};
        }
        if (n < path.size()) {
            std::wstring full(path.data(), n);
            size_t slash = full.find_last_of(L'\\');
            if (slash == std::wstring::npos) {
                return {};
            }
            // "C:" alone names the current directory of drive C, not its root: a program in a
            // drive root keeps the backslash.
            return full.substr(0, slash > 0 && full[slash - 1] == L':' ? slash + 1 : slash);
        }
        path.resize(path.size() * 2);
    }
}

// A zero-sized tool window that is never shown: it owns the windows that have no taskbar button.
HWND CreateApplicationWindow(HINSTANCE instance) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = instance;
    wc.lpszClassName = kApplicationClass;
    RegisterClassExW(&wc);
    return CreateWindowExW(WS_EX_TOOLWINDOW, kApplicationClass, L"Trigora", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                           instance, nullptr);
}

// A table that cannot be built from is as good as unreadable.
std::string CheckTable(const WindowTable& table) {
    for (size_t i = 0; i < table.controls.size(); ++i) {
        const ControlEntry& c = table.controls[i];
        if (c.name == nullptr || c.name[0] == '\0') {
            return "控件没有名称";
        }
        for (size_t j = 0; j < i; ++j) {
            if (std::strcmp(table.controls[j].name, c.name) == 0) {
                return std::string("控件名称重复：") + c.name;
            }
        }
        if (c.container != nullptr) {
            bool found = false;
            for (const ControlEntry& other : table.controls) {
                if (std::strcmp(other.name, c.container) == 0 && other.kind == ControlKind::GroupBox &&
                    &other != &c) {
                    found = true;
                }
            }
            if (!found) {
                return std::string("控件的容器不是本窗口的分组框：") + c.name;
            }
        }
    }
    for (size_t i = 0; i < table.menus.size(); ++i) {
        if (table.menus[i].level != 0 && (i == 0 || table.menus[i].level > table.menus[i - 1].level + 1)) {
            return "菜单层次无效";
        }
    }
    return {};
}

// Extended precision for intermediates, round to nearest, every exception masked: a division by
// zero gives an infinity and an invalid operation a NaN, never a trap. The SSE unit that does the
// program's double arithmetic gets the same rounding and masks.
void ResetFloatingPoint() {
    _fpreset();
    unsigned int current = 0;
    _controlfp_s(&current, _PC_64 | _RC_NEAR | _MCW_EM, _MCW_PC | _MCW_RC | _MCW_EM);
    unsigned int mxcsr = 0x1F80; // all exceptions masked, round to nearest
    asm volatile("ldmxcsr %0" : : "m"(mxcsr));
}

// Exit clean-up. It may be entered twice (EndProgram, then process teardown); the routine runs once.
void ExitCleanUp() {
    ShellState& s = Shell();
    s.exiting = true;
    DestroyAllWindowsSilently();
    if (ExitRoutine routine = s.exitRoutine) {
        s.exitRoutine = nullptr;
        routine();
    }
    ReleaseLoadedLibraries();
    s.applicationWindow.Reset();
}

// Esc is the window's to decide: it closes a window whose table says so and does nothing in the
// others. A combo box with its list open keeps Esc to close the list.
bool HandleEscape(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || msg.wParam != VK_ESCAPE) {
        return false;
    }
    HWND root = GetAncestor(msg.hwnd, GA_ROOT);
    Window* w = ProgramWindowOf(root);
    if (w == nullptr) {
        return false;
    }
    for (HWND h = msg.hwnd; h != nullptr && h != root; h = GetParent(h)) {
        wchar_t cls[32] = {};
        GetClassNameW(h, cls, 32);
        if (lstrcmpiW(cls, WC_COMBOBOXW) == 0 && SendMessageW(h, CB_GETDROPPEDSTATE, 0, 0)) {
            return false;
        }
    }
    if (w->Table().window.escCloses) {
        w->Close();
    }
    return true;
}

// Enter moves the focus only where a table asks for it.
bool HandleEnter(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || msg.wParam != VK_RETURN) {
        return false;
    }
    Window* w = ProgramWindowOf(GetAncestor(msg.hwnd, GA_ROOT));
    if (w == nullptr || !w->Table().window.enterMovesFocus) {
        return false;
    }
    HWND next = GetNextDlgTabItem(w->Handle(), GetFocus(), FALSE);
    if (next != nullptr) {
        SetFocus(next);
    }
    return true;
}

} // namespace

// Libraries loaded for declared library functions; unloaded by the exit clean-up.
std::vector<OwnedModule>& LoadedLibraries() {
    static std::vector<OwnedModule> libraries;
    return libraries;
}

void ReleaseLoadedLibraries() {
    LoadedLibraries().clear();
}

HINSTANCE ProgramInstance() {
    if (Shell().instance == nullptr) {
        Shell().instance = GetModuleHandleW(nullptr);
    }
    return Shell().instance;
}

HWND ApplicationWindow() {
    return Shell().applicationWindow.Get();
}

const std::wstring& ProgramFolder() {
    return Shell().programFolder;
}

std::string& GlobalValue() {
    return Shell().globalValue;
}

void ReleaseGlobals() {
    std::string().swap(Shell().globalValue);
}

void RegisterExitRoutine(ExitRoutine routine) {
    Shell().exitRoutine = routine;
}

bool LoadWindow(const WindowTable& table, Window* owner, bool modal) {
    return LayerLoadWindow(table, owner, modal);
}

Window* OpenInstance(const WindowTable& table) {
    return LayerOpenInstance(table);
}

std::span<const char> StoredBlock(int resourceId) {
    HRSRC found = FindResourceW(ProgramInstance(), MAKEINTRESOURCEW(resourceId), MAKEINTRESOURCEW(10) /*RT_RCDATA*/);
    if (found == nullptr) {
        return {};
    }
    HGLOBAL loaded = LoadResource(ProgramInstance(), found);
    DWORD size = SizeofResource(ProgramInstance(), found);
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (data == nullptr) {
        return {};
    }
    return {static_cast<const char*>(data), size};
}

void WindowDestroyed() {
    ShellState& s = Shell();
    if (!s.exiting && s.loopEntered && LiveWindowCount() == 0) {
        PostQuitMessage(0);
    }
}

void RunEventLoop() {
    ShellState& s = Shell();
    if (LiveWindowCount() == 0) {
        return;
    }
    s.loopEntered = true;
    MSG msg;
    for (;;) {
        // Traced only: nothing posted, no input, nothing left to paint (sent messages are
        // handled by the look itself).
        if (startup::Starting() && !PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            startup::FirstIdle();
        }
        if (GetMessageW(&msg, nullptr, 0, 0) <= 0) {
            break;
        }
        if (HandleEscape(msg) || HandleEnter(msg)) {
            continue;
        }
        HWND root = msg.hwnd != nullptr ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
        if (root != nullptr && ProgramWindowOf(root) != nullptr && IsDialogMessageW(root, &msg)) {
            continue; // Tab and arrow navigation between controls
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    s.exitCode = static_cast<int>(msg.wParam);
}

void EndProgram(int exitCode) {
    ExitCleanUp();
    ExitProcess(static_cast<UINT>(exitCode));
}

namespace {

// The box must show even when memory is what ran out.
void ShowFatalBox(std::string_view message) noexcept {
    constexpr UINT kStyle = MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND;
    try {
        std::wstring text = L"程序运行时发生错误：\r\n" + Wide(message);
        MessageBoxW(nullptr, text.c_str(), L"Trigora1.0", kStyle);
    } catch (...) {
        MessageBoxW(nullptr, L"程序运行时发生错误：\r\n内存不足", L"Trigora1.0", kStyle);
    }
}

} // namespace

void FatalError(std::string_view message) {
    static bool inFatal = false;
    if (!inFatal) {
        inFatal = true;
        ShowFatalBox(message);
    }
    Shell().exitRoutine = nullptr; // after a fatal error the routine does not run
    try {
        ExitCleanUp();
    } catch (...) {
        // A failure while cleaning up after a failure changes nothing: the process ends with -1.
    }
    ExitProcess(static_cast<UINT>(-1));
}

void FatalErrorForCurrentException() noexcept {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        FatalError("内存不足");
    } catch (const std::exception& e) {
        FatalError(e.what());
    } catch (...) {
        FatalError("未知错误");
    }
}

namespace {

// Libraries loaded by bare name from now on, by the program, the skin engine or the system's own
// libraries on their behalf, come from the system folder only, never from the program's folder or
// the working directory, where anyone could have put a library of that name. The call is looked up
// because Windows 7 has it only with its loader update; without it, the working directory at least
// leaves the search order.
void RestrictLibrarySearch() {
    using SetDefaultDirectories = BOOL(WINAPI*)(DWORD);
    auto set = reinterpret_cast<SetDefaultDirectories>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    if (set == nullptr || !set(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        SetDllDirectoryW(L"");
    }
}

} // namespace

void InitialiseShell() {
    RestrictLibrarySearch();
    ShellState& s = Shell();
    s.instance = GetModuleHandleW(nullptr);
    s.programFolder = FindProgramFolder();
    SetCurrentDirectoryW(s.programFolder.c_str());
    s.applicationWindow.Reset(CreateApplicationWindow(s.instance));
    if (!s.applicationWindow) {
        FatalError("无法创建应用程序窗口");
    }
}

int RunProgram(const Program& program) {
    // Start-up before the first window and the event loop are entered from Windows too.
    return Guarded([&] {
        ShellState& s = Shell();
        // 1. Program folder as the working directory, the hidden application window, the tables.
        InitialiseShell();
        startup::Mark("shell: working folder, application window");
        s.tables = program.tables;
        if (program.mainWindow == nullptr) {
            FatalError("无法读取窗口表");
        }
        for (const WindowTable* table : program.tables) {
            std::string problem = table != nullptr ? CheckTable(*table) : "窗口表为空";
            if (!problem.empty()) {
                FatalError("无法读取窗口表：" + problem);
            }
        }
        startup::Mark("window tables checked");
        // 2. The floating-point unit.
        ResetFloatingPoint();
        // 3. The one exit routine.
        RegisterExitRoutine(program.exitRoutine);
        // 4. The program's initialisation routines.
        if (program.firstInit != nullptr) {
            program.firstInit();
        }
        if (program.secondInit != nullptr) {
            program.secondInit();
        }
        startup::Mark("initialisation routines done");
        // 5. The main window.
        if (!LoadWindow(*program.mainWindow, nullptr, false)) {
            FatalError("无法建立主窗口");
        }
        // 6. The event loop, 7. the exit clean-up.
        RunEventLoop();
        ExitCleanUp();
        return s.exitCode;
    });
}

} // namespace trigora
