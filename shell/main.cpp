// Trigora's entry point: the program's windows and routines, handed to the shell.
#include "about/description_window.h"
#include "calc/main_window.h"
#include "shell/app.h"
#include "skins/skin_look.h"
#include "skins/skin_settings_window.h"

namespace {

const trigora::WindowTable* const kTables[] = {
    &trigora::MainWindow,
    &trigora::DescriptionWindow,
    &trigora::SkinSettingsWindow,
};

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    trigora::Program program;
    program.mainWindow = &trigora::MainWindow;
    program.tables = kTables;
    // The saved look goes on before the first window is built, so every window wears it.
    program.firstInit = trigora::skins::ApplySavedLook;
    program.secondInit = nullptr;
    program.exitRoutine = trigora::ReleaseGlobals;
    return trigora::RunProgram(program);
}
