// Trigora's entry point: the program's windows and routines, handed to the shell.
#include "about/description_window.h"
#include "calc/main_window.h"
#include "shell/app.h"

namespace {

const trigora::WindowTable* const kTables[] = {
    &trigora::MainWindow,
    &trigora::DescriptionWindow,
};

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    trigora::Program program;
    program.mainWindow = &trigora::MainWindow;
    program.tables = kTables;
    program.exitRoutine = trigora::ReleaseGlobals;
    return trigora::RunProgram(program);
}
