// Recolouring a whole skin by hue, saturation and brightness (what SkinH_AdjustHSV asks for).
#pragma once

#include "skin_model.h"

namespace trigora::skin {

// hue: degrees turned around the colour wheel, -180..180.
// saturation, brightness: percent change, -100..100; -100 gives grey or black, +100 doubles
// saturation or lifts every channel all the way to white. Out-of-range values are clamped.
// (0, 0, 0) returns the skin unchanged, bit for bit. Alpha is never touched.
Skin AdjustSkinHsv(const Skin& skin, int hue, int saturation, int brightness);

// The same adjustment for one colour; the skin version applies it to every colour and pixel.
Rgb AdjustHsv(Rgb colour, int hue, int saturation, int brightness);

} // namespace trigora::skin
