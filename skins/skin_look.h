// Putting skin settings in force through the engine: the skin choice, and the whole look at start-up.
#pragma once

#include "skins/skin_settings.h"

namespace trigora::skins {

// 0 to 28: writes the entry's stored file over the current skin file, then SkinH_Attach whatever
// the write gave (true when both succeeded). 29, "不使用皮肤", and anything else: attaches nothing and gives false.
bool ApplySkinChoice(int index);

// The settings the engine was last given: what the settings window shows when it opens.
SkinSettings& SettingsInForce();

// The program's first initialisation routine: engine library written, settings read, the saved
// skin written and attached, then hue, saturation and brightness, menu transparency and the shadow.
// It runs before any window is built, so the engine's creation hook dresses every one of them.
void ApplySavedLook();

} // namespace trigora::skins
