// The window layer's interface to the shell: loading, the live instances, silent teardown.
#pragma once

#include "shell/window.h"

#include <cstddef>

namespace trigora {

bool LayerLoadWindow(const WindowTable& table, Window* owner, bool modal);
Window* LayerOpenInstance(const WindowTable& table);
Window* ProgramWindowOf(HWND hwnd);
size_t LiveWindowCount();
// The exit clean-up: every window goes, and none of its events is delivered.
void DestroyAllWindowsSilently();

// Called by the layer whenever a window of the program has been destroyed (the quit rule).
void WindowDestroyed();

} // namespace trigora
