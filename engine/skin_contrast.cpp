// Contrast by the WCAG formula, and lightness moved in HSL so a colour stays the colour it was.
#include "skin_contrast.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <unordered_map>
#include <vector>

namespace trigora::skin {
namespace {

double Linear(std::uint8_t channel) {
    // Asked for thousands of times whenever a skin or its colours change.
    static const std::array<double, 256> table = [] {
        std::array<double, 256> t{};
        for (std::size_t i = 0; i < t.size(); ++i) {
            double c = static_cast<double>(i) / 255.0;
            t[i] = c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        }
        return t;
    }();
    return table[channel];
}

struct Hsl {
    double h; // 0..6, sextants of the colour wheel
    double s;
    double l;
};

Hsl ToHsl(Rgb c) {
    double r = c.r / 255.0, g = c.g / 255.0, b = c.b / 255.0;
    double mx = std::max({r, g, b}), mn = std::min({r, g, b});
    double l = (mx + mn) / 2;
    double d = mx - mn;
    if (d <= 0) {
        return {0, 0, l};
    }
    double s = d / (1 - std::fabs(2 * l - 1));
    double h = mx == r ? std::fmod((g - b) / d + 6, 6) : mx == g ? (b - r) / d + 2 : (r - g) / d + 4;
    return {h, std::min(s, 1.0), l};
}

std::uint8_t Byte(double v) {
    return static_cast<std::uint8_t>(std::clamp(std::lround(v * 255.0), 0L, 255L));
}

Rgb FromHsl(const Hsl& c) {
    double chroma = (1 - std::fabs(2 * c.l - 1)) * c.s;
    double x = chroma * (1 - std::fabs(std::fmod(c.h, 2) - 1));
    double r = 0, g = 0, b = 0;
    switch (static_cast<int>(c.h) % 6) {
    case 0: r = chroma; g = x; break;
    case 1: r = x; g = chroma; break;
    case 2: g = chroma; b = x; break;
    case 3: g = x; b = chroma; break;
    case 4: r = x; b = chroma; break;
    default: r = chroma; b = x; break;
    }
    double m = c.l - chroma / 2;
    return {Byte(r + m), Byte(g + m), Byte(b + m)};
}

double WorstRatio(Rgb text, std::span<const Rgb> backgrounds) {
    double worst = 21;
    for (Rgb b : backgrounds) {
        worst = std::min(worst, ContrastRatio(text, b));
    }
    return worst;
}

Rgb Over(Pixel p, Rgb under) {
    unsigned a = PixelA(p);
    auto mix = [a](unsigned top, unsigned bottom) {
        return static_cast<std::uint8_t>((top * a + bottom * (255 - a) + 127) / 255);
    };
    return {mix(PixelR(p), under.r), mix(PixelG(p), under.g), mix(PixelB(p), under.b)};
}

} // namespace

double RelativeLuminance(Rgb c) {
    return 0.2126 * Linear(c.r) + 0.7152 * Linear(c.g) + 0.0722 * Linear(c.b);
}

double ContrastRatio(Rgb a, Rgb b) {
    double la = RelativeLuminance(a), lb = RelativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

Rgb ReadableOn(Rgb text, std::span<const Rgb> backgrounds, double minimum) {
    if (backgrounds.empty() || WorstRatio(text, backgrounds) >= minimum) {
        return text;
    }
    // Walk the lightness from the colour's own towards black and towards white, in steps finer
    // than a channel value, and take the nearer of the first that pass. Each step is checked as
    // the whole-number colour that will be drawn, so rounding can never land below the minimum.
    const Hsl own = ToHsl(text);
    constexpr int kSteps = 1024;
    Rgb best = text;
    double bestWorst = WorstRatio(text, backgrounds);
    double bestDistance = 2;
    for (int direction : {-1, 1}) {
        for (int i = 1; i <= kSteps; ++i) {
            double l = own.l + direction * static_cast<double>(i) / kSteps;
            if (l < 0 || l > 1) {
                break;
            }
            Rgb candidate = FromHsl({own.h, own.s, l});
            double worst = WorstRatio(candidate, backgrounds);
            double distance = static_cast<double>(i) / kSteps;
            if (worst >= minimum) {
                if (bestWorst < minimum || distance < bestDistance) {
                    best = candidate;
                    bestWorst = worst;
                    bestDistance = distance;
                }
                break;
            }
            if (bestWorst < minimum && worst > bestWorst) {
                best = candidate; // none passes yet: keep the best seen
                bestWorst = worst;
            }
        }
    }
    return best;
}

Rgb ReadableOn(Rgb text, Rgb background, double minimum) {
    return ReadableOn(text, std::span<const Rgb>(&background, 1), minimum);
}

Rgb ProgramColourOn(Rgb text, Rgb background) {
    Rgb aimed = ReadableOn(text, background, kProgramTextAim);
    if (ContrastRatio(aimed, background) >= kProgramTextAim) {
        return aimed;
    }
    return ReadableOn(text, background, kReadableContrast);
}

void SeparateSelection(Rgb& text, Rgb& bar) {
    text = ReadableOn(text, bar, kSelectionContrast);
    if (ContrastRatio(text, bar) < kSelectionContrast) {
        bar = ReadableOn(bar, text, kSelectionContrast);
    }
}

namespace {

// Where a line of text lies on an image: the middle half of the height of its nine-grid centre.
// The shading a bar or a button has at its top and bottom lies above and below the words.
struct Band {
    std::uint32_t x0, x1, y0, y1;
};

Band TextBand(const Image& image) {
    Band b{image.margins.left, image.width - image.margins.right, image.margins.top,
           image.height - image.margins.bottom};
    if (b.x0 >= b.x1) {
        b.x0 = 0;
        b.x1 = image.width;
    }
    if (b.y0 >= b.y1) {
        b.y0 = 0;
        b.y1 = image.height;
    }
    std::uint32_t quarter = (b.y1 - b.y0) / 4;
    b.y0 += quarter;
    b.y1 -= quarter;
    return b;
}

bool Usable(const Image& image) {
    return !image.Empty() && image.Valid();
}

} // namespace

Spread CentreSpread(const Image& image, Rgb under) {
    if (!Usable(image)) {
        return {under, under};
    }
    const Band band = TextBand(image);
    std::vector<std::pair<double, Rgb>> seen;
    for (std::uint32_t y = band.y0; y < band.y1; ++y) {
        for (std::uint32_t x = band.x0; x < band.x1; ++x) {
            Rgb c = Over(image.At(x, y), under);
            seen.emplace_back(RelativeLuminance(c), c);
        }
    }
    auto byLuminance = [](const auto& a, const auto& b) { return a.first < b.first; };
    std::sort(seen.begin(), seen.end(), byLuminance);
    return {seen.front().second, seen.back().second};
}

void ReadableOnImages(Rgb& text, std::span<Image* const> images, Rgb under, double minimum) {
    // The text is made readable on the band's middle colour; a gradient or a highlight can still
    // come too close to it, and those pixels are moved away in lightness, hue kept, so the words
    // read everywhere on the part while it keeps its look.
    std::vector<std::pair<double, Rgb>> seen;
    for (const Image* image : images) {
        if (!Usable(*image)) {
            continue;
        }
        const Band band = TextBand(*image);
        for (std::uint32_t y = band.y0; y < band.y1; ++y) {
            for (std::uint32_t x = band.x0; x < band.x1; ++x) {
                Rgb c = Over(image->At(x, y), under);
                seen.emplace_back(RelativeLuminance(c), c);
            }
        }
    }
    if (seen.empty()) {
        text = ReadableOn(text, under, minimum);
        return;
    }
    auto middle = seen.begin() + static_cast<std::ptrdiff_t>(seen.size() / 2);
    std::nth_element(seen.begin(), middle, seen.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    text = ReadableOn(text, middle->second, minimum);
    std::unordered_map<std::uint32_t, Pixel> moved; // parts use few colours
    for (Image* image : images) {
        if (!Usable(*image)) {
            continue;
        }
        const Band band = TextBand(*image);
        for (std::uint32_t y = band.y0; y < band.y1; ++y) {
            for (std::uint32_t x = band.x0; x < band.x1; ++x) {
                Pixel& p = image->At(x, y);
                Rgb c = Over(p, under);
                if (ContrastRatio(c, text) < minimum) {
                    auto [it, fresh] = moved.try_emplace(ToColorRef(c));
                    if (fresh) {
                        Rgb away = ReadableOn(c, text, minimum);
                        it->second = MakePixel(away.r, away.g, away.b);
                    }
                    p = it->second;
                }
            }
        }
    }
}

void KeepTextReadable(Skin& s) {
    auto onColour = [](Rgb& text, Rgb back) { text = ReadableOn(text, back); };

    onColour(s.text, s.face);
    onColour(s.checkBox.text, s.face);
    onColour(s.groupBox.title, s.face);
    onColour(s.edit.text, s.edit.background);
    SeparateSelection(s.edit.selectionText, s.edit.selectionBackground);
    onColour(s.list.text, s.list.background);
    SeparateSelection(s.list.selectionText, s.list.selectionBackground);
    onColour(s.combo.text, s.combo.face);
    onColour(s.statusBar.text, s.statusBar.face);
    onColour(s.menu.text, s.menu.background);
    SeparateSelection(s.menu.selectedText, s.menu.selectedBackground);
    // A push button shows its text on each state's face but the disabled one.
    Image* const faces[] = {&Pick(s.button.face, ButtonState::Normal), &Pick(s.button.face, ButtonState::Hot),
                            &Pick(s.button.face, ButtonState::Pressed),
                            &Pick(s.button.face, ButtonState::Default)};
    ReadableOnImages(s.button.text, faces, s.face, kReadableContrast);
    Image* const active[] = {&s.captionActive.bar};
    ReadableOnImages(s.captionActive.text, active, s.face, kReadableContrast);
    Image* const inactive[] = {&s.captionInactive.bar};
    ReadableOnImages(s.captionInactive.text, inactive, s.face, kReadableContrast);
}

} // namespace trigora::skin
