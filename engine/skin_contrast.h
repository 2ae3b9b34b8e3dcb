// Keeping text readable on whatever lies under it: the WCAG contrast ratio, and text colours
// moved in lightness only (hue and saturation kept) until they reach it.
#pragma once

#include <span>

#include "skin_model.h"

namespace trigora::skin {

// What every word and number of the program needs against its background.
inline constexpr double kReadableContrast = 4.5;

// WCAG 2 relative luminance of an sRGB colour, 0 (black) … 1 (white).
double RelativeLuminance(Rgb colour);
// (lighter + 0.05) / (darker + 0.05): 1 for equal colours, 21 for black on white.
double ContrastRatio(Rgb a, Rgb b);

// The colour of `text` with the same hue and saturation and the lightness nearest to its own that
// reaches `minimum` against every one of `backgrounds`; `text` itself when it already does. One of
// black and white always reaches 4.5 against a single background, so that never fails there; when
// no lightness reaches it against all of several, the one with the best worst ratio is given.
Rgb ReadableOn(Rgb text, std::span<const Rgb> backgrounds, double minimum = kReadableContrast);
Rgb ReadableOn(Rgb text, Rgb background, double minimum = kReadableContrast);

// A colour the program chose for its own texts (red results, blue names, dark red arguments, a
// violet title) made readable on the background it lands on. Those texts are thin bold strokes of a
// 12-pixel font whose smoothed edges never reach the full colour (an "=" has no pixel of it at
// all), so it aims above the minimum, at `kProgramTextAim`, and settles for the minimum where no
// lightness of that hue reaches the aim.
inline constexpr double kProgramTextAim = 5.5;
Rgb ProgramColourOn(Rgb text, Rgb background);

// Text on a highlight (a selected list or menu item): a bar of some mid colour behind thin strokes
// whose smoothed pixels fall well short of the text colour, so the pair is held further apart, at
// `kSelectionContrast`, and where no lightness of the text gets there the bar's own lightness
// moves away from the text, hue kept.
inline constexpr double kSelectionContrast = 8.0;
void SeparateSelection(Rgb& text, Rgb& bar);

// The darkest and the lightest colour a line of text meets on an image laid over `under` (its
// transparent parts show that colour): the middle half of the height of its nine-grid centre. An
// empty image gives `under` twice.
struct Spread {
    Rgb darkest;
    Rgb lightest;
};
Spread CentreSpread(const Image& image, Rgb under);

// Text drawn on any of these images: the text made readable on their typical colour there, then
// every pixel of that area still too close to it moved away in lightness, hue kept.
void ReadableOnImages(Rgb& text, std::span<Image* const> images, Rgb under, double minimum = kReadableContrast);

// Every text colour of a skin made readable on the face, field, bar or image it is drawn on (the
// images toned where they must be). Text of disabled parts is left as the skin has it: it is
// meant to look faint.
void KeepTextReadable(Skin& skin);

} // namespace trigora::skin
