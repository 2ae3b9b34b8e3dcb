// The painter behind the skin sources: every pixel from 4x4 coverage samples, composited in order.
#include "skin_paint.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace trigora::skintool {
namespace {

constexpr int kSub = 4; // subsamples per axis

struct Canvas {
    unsigned w, h;
    std::vector<Rgba> px;
    Canvas(unsigned w_, unsigned h_) : w(w_), h(h_), px(std::size_t{w_} * h_) {}
    // Lays colour over a pixel with the given coverage (straight-alpha "over").
    void Blend(unsigned x, unsigned y, const Rgba& c, double coverage) {
        const double sa = c.a * std::clamp(coverage, 0.0, 1.0);
        if (sa <= 0) {
            return;
        }
        Rgba& d = px[std::size_t{y} * w + x];
        const double oa = sa + d.a * (1 - sa);
        d.r = (c.r * sa + d.r * d.a * (1 - sa)) / oa;
        d.g = (c.g * sa + d.g * d.a * (1 - sa)) / oa;
        d.b = (c.b * sa + d.b * d.a * (1 - sa)) / oa;
        d.a = oa;
    }
};

using Inside = std::function<bool(double, double)>;

// Coverage of a pixel by a region given as a point test.
double Coverage(const Inside& in, unsigned x, unsigned y) {
    int n = 0;
    for (int j = 0; j < kSub; ++j) {
        for (int i = 0; i < kSub; ++i) {
            n += in(x + (i + 0.5) / kSub, y + (j + 0.5) / kSub);
        }
    }
    return double(n) / (kSub * kSub);
}

// The recipe's shape, inset by d pixels.
Inside ShapeTest(const Recipe& r, double d) {
    const double x0 = d, y0 = d, x1 = r.width - d, y1 = r.height - d;
    const double rad = std::max(0.0, r.radius - d);
    switch (r.shape) {
    case Shape::None:
        return [](double, double) { return false; };
    case Shape::Ellipse:
        return [=](double x, double y) {
            const double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2, ax = (x1 - x0) / 2, ay = (y1 - y0) / 2;
            if (ax <= 0 || ay <= 0) {
                return false;
            }
            const double u = (x - cx) / ax, v = (y - cy) / ay;
            return u * u + v * v <= 1.0;
        };
    case Shape::Rect:
        return [=](double x, double y) { return x >= x0 && x < x1 && y >= y0 && y < y1; };
    case Shape::Rounded:
        break;
    }
    const Corners k = r.corners;
    const bool tl = k == Corners::All || k == Corners::Top || k == Corners::Left;
    const bool tr = k == Corners::All || k == Corners::Top || k == Corners::Right;
    const bool bl = k == Corners::All || k == Corners::Bottom || k == Corners::Left;
    const bool br = k == Corners::All || k == Corners::Bottom || k == Corners::Right;
    return [=](double x, double y) {
        if (x < x0 || x >= x1 || y < y0 || y >= y1) {
            return false;
        }
        auto corner = [&](bool on, double cx, double cy) {
            const double dx = x - cx, dy = y - cy;
            return !on || dx * dx + dy * dy <= rad * rad;
        };
        if (x < x0 + rad && y < y0 + rad) {
            return corner(tl, x0 + rad, y0 + rad);
        }
        if (x > x1 - rad && y < y0 + rad) {
            return corner(tr, x1 - rad, y0 + rad);
        }
        if (x < x0 + rad && y > y1 - rad) {
            return corner(bl, x0 + rad, y1 - rad);
        }
        if (x > x1 - rad && y > y1 - rad) {
            return corner(br, x1 - rad, y1 - rad);
        }
        return true;
    };
}

Rgba Gradient(const std::vector<Rgba>& stops, double t) {
    if (stops.empty()) {
        return {};
    }
    if (stops.size() == 1) {
        return stops[0];
    }
    t = std::clamp(t, 0.0, 1.0) * double(stops.size() - 1);
    const std::size_t i = std::min(stops.size() - 2, static_cast<std::size_t>(t));
    return Mix(stops[i], stops[i + 1], t - double(i));
}

// A small integer hash, so textures are the same on every build.
double Hash(unsigned x, unsigned y, unsigned seed) {
    std::uint32_t h = x * 374761393u + y * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return (h & 0xFFFFFF) / double(0xFFFFFF);
}

double PatternAlpha(const Recipe& r, unsigned x, unsigned y) {
    const double s = std::max(1.0, r.patternScale);
    switch (r.pattern) {
    case Pattern::None:
        return 0;
    case Pattern::Noise:
        return Hash(x, y, r.seed);
    case Pattern::Brushed: // long horizontal streaks, as on brushed metal
        return 0.6 * Hash(static_cast<unsigned>(x / (s * 6)), y, r.seed) + 0.4 * Hash(x, y, r.seed + 7);
    case Pattern::Stripes:
        return std::fmod(x + y, 2 * s) < s ? 1.0 : 0.0;
    case Pattern::Checker:
        return (static_cast<unsigned>(x / s) + static_cast<unsigned>(y / s)) % 2 ? 1.0 : 0.0;
    case Pattern::Blocks: { // bricks with mortar lines
        const unsigned row = static_cast<unsigned>(y / s);
        const double off = (row % 2) ? s : 0;
        const bool mortarY = std::fmod(y, s) < 1;
        const bool mortarX = std::fmod(x + off, 2 * s) < 1;
        return (mortarX || mortarY) ? 1.0
                                    : 0.25 * Hash(static_cast<unsigned>((x + off) / (2 * s)), row, r.seed);
    }
    case Pattern::Scanlines:
        return std::fmod(y, s) < 1 ? 1.0 : 0.0;
    }
    return 0;
}

double SegmentDistance(double px, double py, double ax, double ay, double bx, double by) {
    const double vx = bx - ax, vy = by - ay;
    const double len2 = vx * vx + vy * vy;
    double t = len2 > 0 ? ((px - ax) * vx + (py - ay) * vy) / len2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    const double dx = px - (ax + t * vx), dy = py - (ay + t * vy);
    return std::sqrt(dx * dx + dy * dy);
}

// The glyph as a point test in image pixels, centred in the image.
Inside GlyphTest(const Recipe& r, double dx, double dy) {
    const double s = r.glyphSize;
    const double ox = (r.width - s) / 2 + dx, oy = (r.height - s) / 2 + dy;
    const double t = r.glyphThickness / 2;
    struct Seg {
        double ax, ay, bx, by;
    };
    auto strokes = [=](std::vector<Seg> segs) -> Inside {
        return [=](double x, double y) {
            const double u = x - ox, v = y - oy;
            for (const Seg& g : segs) {
                if (SegmentDistance(u, v, g.ax * s, g.ay * s, g.bx * s, g.by * s) <= t) {
                    return true;
                }
            }
            return false;
        };
    };
    auto box = [=](double x0, double y0, double x1, double y1, double topExtra) {
        return std::vector<Seg>{{x0, y0, x1, y0},
                                {x0, y0 + topExtra, x1, y0 + topExtra},
                                {x1, y0, x1, y1},
                                {x1, y1, x0, y1},
                                {x0, y1, x0, y0}};
    };
    switch (r.glyph) {
    case Glyph::None:
        return [](double, double) { return false; };
    case Glyph::Close:
        return strokes({{0.1, 0.1, 0.9, 0.9}, {0.9, 0.1, 0.1, 0.9}});
    case Glyph::Minimize:
        return strokes({{0.12, 0.82, 0.88, 0.82}});
    case Glyph::Maximize:
        return strokes(box(0.1, 0.1, 0.9, 0.9, 0.12));
    case Glyph::Restore: {
        std::vector<Seg> a = box(0.1, 0.34, 0.66, 0.9, 0.1);
        const std::vector<Seg> b = {{0.34, 0.1, 0.9, 0.1},
                                    {0.34, 0.2, 0.9, 0.2},
                                    {0.9, 0.1, 0.9, 0.66},
                                    {0.9, 0.66, 0.66, 0.66},
                                    {0.34, 0.1, 0.34, 0.34}};
        a.insert(a.end(), b.begin(), b.end());
        return strokes(a);
    }
    case Glyph::Check:
        return strokes({{0.1, 0.52, 0.38, 0.8}, {0.38, 0.8, 0.9, 0.18}});
    case Glyph::Grip:
        return strokes({{0.25, 0.2, 0.25, 0.8}, {0.5, 0.2, 0.5, 0.8}, {0.75, 0.2, 0.75, 0.8}});
    case Glyph::Plus:
        return strokes({{0.5, 0.1, 0.5, 0.9}, {0.1, 0.5, 0.9, 0.5}});
    case Glyph::Dot:
        return [=](double x, double y) {
            const double u = x - ox - s / 2, v = y - oy - s / 2;
            return u * u + v * v <= s * s / 4;
        };
    case Glyph::ArrowDown:
        return [=](double x, double y) {
            const double u = (x - ox) / s, v = (y - oy) / s;
            // triangle (0.1,0.3) (0.9,0.3) (0.5,0.75)
            if (v < 0.3 || v > 0.75) {
                return false;
            }
            const double half = 0.4 * (0.75 - v) / 0.45;
            return std::fabs(u - 0.5) <= half;
        };
    }
    return [](double, double) { return false; };
}

} // namespace

Rgba FromRgb(skin::Rgb c, double alpha) {
    return {c.r / 255.0, c.g / 255.0, c.b / 255.0, alpha};
}

Rgba Mix(const Rgba& a, const Rgba& b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

skin::Image Paint(const Recipe& r) {
    Canvas cv(r.width, r.height);
    const Inside outer = ShapeTest(r, 0);
    const Inside inner = ShapeTest(r, r.borderWidth);
    const Inside inner2 = ShapeTest(r, r.borderWidth + 1);
    const Inside glyph = GlyphTest(r, 0, 0);
    const Inside glyphShadow = GlyphTest(r, 1, 1);
    const Rgba white{1, 1, 1, 1};
    const double glossEnd = r.glossSplit > 0 ? r.glossSplit : 0.55;

    for (unsigned y = 0; y < r.height; ++y) {
        for (unsigned x = 0; x < r.width; ++x) {
            const double cOuter = Coverage(outer, x, y);
            if (cOuter > 0) {
                const double t = r.horizontal ? (x + 0.5) / r.width : (y + 0.5) / r.height;
                cv.Blend(x, y, Gradient(r.fill, t), cOuter);
                if (r.pattern != Pattern::None) {
                    cv.Blend(x, y, r.patternColour, cOuter * PatternAlpha(r, x, y));
                }
                if (r.gloss > 0) {
                    const double fy = (y + 0.5) / r.height;
                    double g = 0;
                    if (r.glossSplit > 0) {
                        g = fy < glossEnd ? r.gloss * (1.0 - 0.5 * fy / glossEnd) : 0;
                    } else {
                        g = fy < glossEnd ? r.gloss * (1.0 - fy / glossEnd) : 0;
                    }
                    const double cIn = Coverage(inner, x, y);
                    cv.Blend(x, y, white, g * cIn);
                }
                if (r.highlight.a > 0) {
                    cv.Blend(x, y, r.highlight, Coverage(inner, x, y) - Coverage(inner2, x, y));
                }
                if (r.border.a > 0) {
                    cv.Blend(x, y, r.border, cOuter - Coverage(inner, x, y));
                }
            }
            if (r.glyph != Glyph::None) {
                if (r.glyphShadow.a > 0) {
                    cv.Blend(x, y, r.glyphShadow, Coverage(glyphShadow, x, y));
                }
                cv.Blend(x, y, r.glyphColour, Coverage(glyph, x, y));
            }
        }
    }

    skin::Image img = skin::MakeImage(r.width, r.height, r.margins);
    auto byte = [](double v) {
        return static_cast<std::uint8_t>(std::clamp(std::lround(v * 255), 0L, 255L));
    };
    for (std::size_t i = 0; i < cv.px.size(); ++i) {
        const Rgba& p = cv.px[i];
        img.pixels[i] = p.a <= 0 ? 0 : skin::MakePixel(byte(p.r), byte(p.g), byte(p.b), byte(p.a));
    }
    return img;
}

} // namespace trigora::skintool
