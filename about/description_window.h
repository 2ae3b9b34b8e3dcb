// The description window: a read-only text on the origin of the radian.
#pragma once

#include "shell/window_table.h"

namespace trigora {

extern const WindowTable DescriptionWindow;

} // namespace trigora
