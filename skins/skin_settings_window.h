// The skin settings window: skin list, hue, saturation, brightness, menu transparency and shadow.
#pragma once

#include "shell/window_table.h"

namespace trigora {

class Window;

extern const WindowTable SkinSettingsWindow;

// The tray menu's "皮肤": opens the window owned by the main window (or brings it to the front).
void OpenSkinSettings(Window& mainWindow);

} // namespace trigora
