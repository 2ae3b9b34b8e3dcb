// The main window: conversions, function values and inverse functions, and the tray menu.
#pragma once

#include "shell/window_table.h"

namespace trigora {

extern const WindowTable MainWindow;

} // namespace trigora
