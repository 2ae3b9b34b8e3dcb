// Drawing skin images: anti-aliased shapes, gradients, glass highlights, textures and glyphs.
#pragma once

#include "skin_model.h"

#include <string>
#include <vector>

namespace trigora::skintool {

struct Rgba {
    double r = 0, g = 0, b = 0, a = 0; // 0..1, straight alpha
};

Rgba FromRgb(skin::Rgb c, double alpha = 1.0);
Rgba Mix(const Rgba& a, const Rgba& b, double t);

enum class Shape { Rect, Rounded, Ellipse, None };
enum class Corners { All, Top, Bottom, Left, Right };
enum class Pattern { None, Noise, Brushed, Stripes, Checker, Blocks, Scanlines };
enum class Glyph { None, Close, Minimize, Maximize, Restore, Check, ArrowDown, Grip, Dot, Plus };

// One image's recipe. Every layer is optional; they are laid on in the order of the fields.
struct Recipe {
    unsigned width = 16, height = 16;
    skin::Margins margins;
    Shape shape = Shape::Rect;
    Corners corners = Corners::All;
    double radius = 0;
    std::vector<Rgba> fill;  // gradient stops, evenly spaced
    bool horizontal = false; // gradient runs left to right
    Pattern pattern = Pattern::None;
    Rgba patternColour;
    double patternScale = 4;
    double gloss = 0;      // strength of the glass highlight
    double glossSplit = 0; // 0: a soft fade; else the highlight ends sharply at this height
    Rgba highlight;        // one-pixel inner line (alpha 0 = none)
    Rgba border;           // one-pixel outer line (alpha 0 = none)
    double borderWidth = 1;
    Glyph glyph = Glyph::None;
    Rgba glyphColour;
    double glyphSize = 8; // the glyph's box, pixels
    double glyphThickness = 1.5;
    Rgba glyphShadow;  // drawn one pixel down-right when alpha > 0
    unsigned seed = 1; // for the textures
};

skin::Image Paint(const Recipe& recipe);

} // namespace trigora::skintool
