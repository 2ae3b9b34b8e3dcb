// Trigora's entry point: the program's windows and routines, handed to the shell.
#include "about/description_window.h"
#include "calc/main_window.h"
#include "shell/app.h"
#include "shell/startup_trace.h"
#include "skins/skin_look.h"
#include "skins/skin_settings_window.h"

#include <windows.h>

#include <ntsecapi.h>

extern "C" void* __stack_chk_guard; // the stack protector's canary, in its runtime library

namespace {

const trigora::WindowTable* const kTables[] = {
    &trigora::MainWindow,
    &trigora::DescriptionWindow,
    &trigora::SkinSettingsWindow,
};

// The canary the stack protector checks, drawn from the system's random source before the runtime
// starts. The runtime leaves a canary that is already set alone; its own way to one opens a
// cryptographic provider, which Wine loads and sets up at every start. Nothing of ours that checks
// the canary is running yet, and this function has none of its own.
__attribute__((no_stack_protector)) void SeedStackGuard() {
    if (__stack_chk_guard == nullptr) {
        RtlGenRandom(&__stack_chk_guard, sizeof __stack_chk_guard);
    }
}

// The loader calls this once the libraries the program imports are loaded and initialised, before
// the C and C++ runtime starts: the first moment any code of ours runs.
__attribute__((no_stack_protector)) void NTAPI LibrariesLoaded(PVOID, DWORD reason, PVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        SeedStackGuard();
        trigora::startup::Mark("process started, imported libraries loaded");
    }
}

// Between the runtime's own callbacks (.CRT$XLA ... .CRT$XLZ, in name order).
__attribute__((section(".CRT$XLY"), used)) PIMAGE_TLS_CALLBACK gLibrariesLoaded = LibrariesLoaded;

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    trigora::startup::Mark("C and C++ runtime started");
    trigora::Program program;
    program.mainWindow = &trigora::MainWindow;
    program.tables = kTables;
    // The saved look goes on before the first window is built, so every window wears it.
    program.firstInit = trigora::skins::ApplySavedLook;
    program.secondInit = nullptr;
    program.exitRoutine = trigora::ReleaseGlobals;
    return trigora::RunProgram(program);
}
