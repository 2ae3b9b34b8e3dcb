// The saved look put in force at start-up, and the skin choice shared with the settings window.
#include "skins/skin_look.h"

#include "shell/startup_trace.h"
#include "skins/catalogue.h"
#include "skins/settings_registry.h"
#include "skins/skin_engine.h"
#include "skins/skin_files.h"

namespace trigora::skins {

bool ApplySkinChoice(int index) {
    if (!HasStoredFile(index)) {
        return false;
    }
    // Attached whatever the write gave: a file held by another program may still be a good one,
    // and the engine checks what it reads and refuses a damaged file without touching anything.
    bool written = WriteSkinFile(index);
    startup::Mark("skin file written");
    bool attached = SkinH_Attach() != 0;
    startup::Mark("skin attached");
    return written && attached;
}

SkinSettings& SettingsInForce() {
    static SkinSettings settings;
    return settings;
}

void ApplySavedLook() {
    PrepareEngineFiles();
    startup::Mark("engine library placed");
    SkinSettings saved = LoadSkinSettings();
    SettingsInForce() = saved;
    startup::Mark("skin settings read");
    ApplySkinChoice(saved.skinId);
    HsvArguments hsv = HsvArgumentsOf(saved);
    SkinH_AdjustHSV(hsv.hue, hsv.saturation, hsv.brightness);
    startup::Mark("hue, saturation, brightness set");
    SkinH_SetMenuAlpha(MenuAlphaArgumentOf(saved));
    SkinH_SetAero(AeroSwitchArgumentOf(saved));
    auto a = AeroArgumentsOf(saved);
    SkinH_AdjustAero(a[0], a[1], a[2], a[3], a[4], a[5], a[6]);
    startup::Mark("menu alpha and shadow set");
}

} // namespace trigora::skins
