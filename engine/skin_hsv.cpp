// Hue, saturation and brightness changes applied to every colour and image pixel of a skin.
#include "skin_hsv.h"

#include "skin_parts.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

namespace trigora::skin {
namespace {

struct Adjust {
    double hueTurn; // degrees, 0..360
    double satFactor;
    double bright; // -1..1
};

std::uint8_t ToByte(double v) {
    return static_cast<std::uint8_t>(std::clamp(std::lround(v * 255.0), 0L, 255L));
}

Rgb Apply(Rgb c, const Adjust& a) {
    double r = c.r / 255.0;
    double g = c.g / 255.0;
    double b = c.b / 255.0;
    double mx = std::max({r, g, b});
    double mn = std::min({r, g, b});
    double v = mx;
    double d = mx - mn;
    double s = mx > 0 ? d / mx : 0.0;
    double h = 0.0;
    if (d > 0) {
        if (mx == r) {
            h = 60.0 * std::fmod((g - b) / d + 6.0, 6.0);
        } else if (mx == g) {
            h = 60.0 * ((b - r) / d + 2.0);
        } else {
            h = 60.0 * ((r - g) / d + 4.0);
        }
    }
    h = std::fmod(h + a.hueTurn, 360.0);
    s = std::clamp(s * a.satFactor, 0.0, 1.0);

    // HSV back to RGB
    double cc = v * s;
    double hp = h / 60.0;
    double x = cc * (1.0 - std::fabs(std::fmod(hp, 2.0) - 1.0));
    double r1 = 0;
    double g1 = 0;
    double b1 = 0;
    switch (static_cast<int>(hp) % 6) {
    case 0:
        r1 = cc;
        g1 = x;
        break;
    case 1:
        r1 = x;
        g1 = cc;
        break;
    case 2:
        g1 = cc;
        b1 = x;
        break;
    case 3:
        g1 = x;
        b1 = cc;
        break;
    case 4:
        r1 = x;
        b1 = cc;
        break;
    default:
        r1 = cc;
        b1 = x;
        break;
    }
    double m = v - cc;
    r = r1 + m;
    g = g1 + m;
    b = b1 + m;

    // Brightness moves every channel towards white or black, so even black lightens.
    if (a.bright > 0) {
        r += (1.0 - r) * a.bright;
        g += (1.0 - g) * a.bright;
        b += (1.0 - b) * a.bright;
    } else if (a.bright < 0) {
        r *= 1.0 + a.bright;
        g *= 1.0 + a.bright;
        b *= 1.0 + a.bright;
    }
    return {ToByte(r), ToByte(g), ToByte(b)};
}

Adjust MakeAdjust(int hue, int saturation, int brightness) {
    hue = std::clamp(hue, -180, 180);
    saturation = std::clamp(saturation, -100, 100);
    brightness = std::clamp(brightness, -100, 100);
    return {static_cast<double>((hue + 360) % 360), 1.0 + saturation / 100.0, brightness / 100.0};
}

} // namespace

Rgb AdjustHsv(Rgb colour, int hue, int saturation, int brightness) {
    if (hue == 0 && saturation == 0 && brightness == 0) {
        return colour;
    }
    return Apply(colour, MakeAdjust(hue, saturation, brightness));
}

Skin AdjustSkinHsv(const Skin& skin, int hue, int saturation, int brightness) {
    Skin out = skin;
    if (hue == 0 && saturation == 0 && brightness == 0) {
        return out;
    }
    const Adjust a = MakeAdjust(hue, saturation, brightness);
    for (const ColourSlot& slot : ColourSlots()) {
        Rgb& c = slot.get(out);
        c = Apply(c, a);
    }
    // Skins use few distinct colours (gradients, anti-aliased edges), so a cache pays off.
    std::unordered_map<Pixel, Pixel> cache;
    for (const ImageSlot& slot : ImageSlots()) {
        for (Pixel& p : slot.get(out).pixels) {
            const Pixel rgb = p & 0x00FFFFFFu;
            auto it = cache.find(rgb);
            if (it == cache.end()) {
                Rgb c = Apply({PixelR(p), PixelG(p), PixelB(p)}, a);
                it = cache.emplace(rgb, MakePixel(c.r, c.g, c.b, 0) & 0x00FFFFFFu).first;
            }
            p = (p & 0xFF000000u) | it->second;
        }
    }
    return out;
}

} // namespace trigora::skin
