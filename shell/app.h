// The application shell: start-up, the event loop and its quit rule, the exit clean-up, fatal errors.
#pragma once

#include "shell/handles.h"
#include "shell/window.h"
#include "shell/window_table.h"

#include <windows.h>

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace trigora {

using ExitRoutine = void (*)();
using InitRoutine = void (*)();

// What the program gives the shell to start with.
struct Program {
    const WindowTable* mainWindow = nullptr;
    std::span<const WindowTable* const> tables; // every window of the program, main window included
    InitRoutine firstInit = nullptr;
    InitRoutine secondInit = nullptr;
    ExitRoutine exitRoutine = nullptr;
};

// Runs the whole program: start-up, the event loop, the exit clean-up. Returns the exit code.
int RunProgram(const Program& program);

// Start-up's first step: the program folder as working directory, the hidden application window.
// RunProgram does it; the shell's own tests call it alone.
void InitialiseShell();

void RegisterExitRoutine(ExitRoutine routine);

// Builds a window from its table (or brings its open instance to the front). The owner, when
// given, must still exist; a window without a taskbar button and without owner is owned by the
// hidden application window, as is every modal window.
bool LoadWindow(const WindowTable& table, Window* owner = nullptr, bool modal = false);

// The open instance of a window, or nullptr.
Window* OpenInstance(const WindowTable& table);

void RunEventLoop();
[[noreturn]] void EndProgram(int exitCode);
[[noreturn]] void FatalError(std::string_view message);

// FatalError naming the exception being handled; only for use inside a catch block.
[[noreturn]] void FatalErrorForCurrentException() noexcept;

// Every entry from Windows into the program's code (start-up and the event loop, window and
// control procedures, hooks, enumeration callbacks) runs its work through this. No C++ exception
// may cross into the system's code, and none may end the process with any code but FatalError's:
// an allocation that fails anywhere ends the program through the error box and -1.
template <typename F>
auto Guarded(F&& work) noexcept -> decltype(work()) {
    try {
        return work();
    } catch (...) {
        FatalErrorForCurrentException();
    }
}

HINSTANCE ProgramInstance();
HWND ApplicationWindow();
const std::wstring& ProgramFolder();

// The program's one global value that owns storage; ReleaseGlobals frees it.
std::string& GlobalValue();
void ReleaseGlobals();

// Libraries loaded on demand for declared library functions; the exit clean-up unloads them.
std::vector<OwnedModule>& LoadedLibraries();
void ReleaseLoadedLibraries();

// Loads a stored byte block (RCDATA) of the executable; empty when it is not there.
std::span<const char> StoredBlock(int resourceId);

} // namespace trigora
