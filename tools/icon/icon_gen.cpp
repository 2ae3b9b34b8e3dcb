// Draws the program's icon (a dial with a red needle on a grey tile) and writes it as a one-image ICO file.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <vector>

namespace {

constexpr int kSide = 32;
constexpr int kSamples = 8; // per pixel and axis: coverage from 64 samples is smooth enough at 16 x 16

// Colours are mixed in linear light, so an edge half covered looks half as bright, not darker.
struct Linear {
    double r = 0;
    double g = 0;
    double b = 0;
};

double ToLinear(int c) {
    const double v = c / 255.0;
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

std::uint8_t FromLinear(double v) {
    v = std::clamp(v, 0.0, 1.0);
    const double s = v <= 0.0031308 ? v * 12.92 : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
    return static_cast<std::uint8_t>(std::lround(s * 255));
}

Linear Rgb(int r, int g, int b) {
    return {ToLinear(r), ToLinear(g), ToLinear(b)};
}

const Linear kOutside = Rgb(255, 255, 255);
const Linear kTileRim = Rgb(150, 154, 162);
const Linear kTile = Rgb(222, 224, 228);
const Linear kDialRim = Rgb(96, 104, 118);
const Linear kDial = Rgb(34, 40, 52);
const Linear kMark = Rgb(206, 210, 218);
const Linear kNeedle = Rgb(240, 36, 28);
const Linear kHub = Rgb(255, 255, 255);

constexpr double kCentre = 16.0;
constexpr double kTileRadius = 6.0;   // corner rounding of the tile
constexpr double kTileRimWidth = 1.0; // darker edge, so the tile shows on a light taskbar too
constexpr double kDialRadius = 13.0;
constexpr double kDialRimWidth = 1.0;
constexpr double kNeedleAngle = 50.0; // degrees above the rightward horizontal
constexpr double kHubRadius = 2.7;

double Length(double x, double y) {
    return std::sqrt(x * x + y * y);
}

// Signed distance to the tile: a square of the whole icon with rounded corners.
double TileDistance(double x, double y) {
    const double half = kSide / 2.0 - kTileRadius;
    const double qx = std::abs(x - kCentre) - half;
    const double qy = std::abs(y - kCentre) - half;
    return Length(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0) - kTileRadius;
}

// Whether (x, y) lies on the stroke from a to b whose half-width runs from ra at a to rb at b.
bool OnTaperedStroke(double x, double y, double ax, double ay, double bx, double by, double ra, double rb) {
    const double dx = bx - ax;
    const double dy = by - ay;
    const double t = std::clamp(((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
    return Length(x - (ax + t * dx), y - (ay + t * dy)) <= ra + (rb - ra) * t;
}

// Twelve graduation marks; the four at the quarters are longer and wider so they survive at 16 x 16.
bool OnMark(double x, double y) {
    for (int i = 0; i < 12; ++i) {
        const double a = i * std::numbers::pi / 6;
        const bool quarter = i % 3 == 0;
        const double inner = quarter ? 8.6 : 10.0;
        const double outer = 11.8;
        const double half = quarter ? 0.8 : 0.5;
        const double c = std::cos(a);
        const double s = std::sin(a);
        if (OnTaperedStroke(x, y, kCentre + inner * c, kCentre + inner * s, kCentre + outer * c,
                            kCentre + outer * s, half, half)) {
            return true;
        }
    }
    return false;
}

bool OnNeedle(double x, double y) {
    const double a = kNeedleAngle * std::numbers::pi / 180;
    const double c = std::cos(a);
    const double s = -std::sin(a); // screen rows grow downwards
    // Long pointer towards the marks, short tail on the other side of the hub.
    return OnTaperedStroke(x, y, kCentre, kCentre, kCentre + 11.2 * c, kCentre + 11.2 * s, 1.9, 0.6) ||
           OnTaperedStroke(x, y, kCentre, kCentre, kCentre - 4.8 * c, kCentre - 4.8 * s, 1.9, 1.2);
}

// The colour of the picture at one point, painted back to front.
Linear ColourAt(double x, double y) {
    const double tile = TileDistance(x, y);
    if (tile > 0) {
        return kOutside;
    }
    const double r = Length(x - kCentre, y - kCentre);
    if (r > kDialRadius) {
        return tile > -kTileRimWidth ? kTileRim : kTile;
    }
    if (r <= kHubRadius) {
        return kHub;
    }
    if (OnNeedle(x, y)) {
        return kNeedle;
    }
    if (OnMark(x, y)) {
        return kMark;
    }
    return r > kDialRadius - kDialRimWidth ? kDialRim : kDial;
}

struct Bgra {
    std::uint8_t b, g, r, a;
};

// Top row first.
std::array<Bgra, kSide * kSide> Render() {
    std::array<Bgra, kSide * kSide> pixels{};
    for (int py = 0; py < kSide; ++py) {
        for (int px = 0; px < kSide; ++px) {
            Linear sum;
            for (int sy = 0; sy < kSamples; ++sy) {
                for (int sx = 0; sx < kSamples; ++sx) {
                    const Linear c = ColourAt(px + (sx + 0.5) / kSamples, py + (sy + 0.5) / kSamples);
                    sum.r += c.r;
                    sum.g += c.g;
                    sum.b += c.b;
                }
            }
            constexpr double n = kSamples * kSamples;
            pixels[py * kSide + px] = {FromLinear(sum.b / n), FromLinear(sum.g / n), FromLinear(sum.r / n),
                                       255};
        }
    }
    return pixels;
}

void Put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// One 32 x 32, 32-bit image: directory, bitmap header, colour rows bottom-up, an all-zero mask.
std::vector<std::uint8_t> IcoFile(const std::array<Bgra, kSide * kSide>& pixels) {
    constexpr std::uint32_t kHeaderBytes = 40;
    constexpr std::uint32_t kColourBytes = kSide * kSide * 4;
    constexpr std::uint32_t kMaskBytes = kSide * 4; // 1 bit per pixel, rows padded to 4 bytes
    constexpr std::uint32_t kImageOffset = 6 + 16;

    std::vector<std::uint8_t> out;
    Put16(out, 0); // reserved
    Put16(out, 1); // icon
    Put16(out, 1); // one image
    out.push_back(kSide);
    out.push_back(kSide);
    out.push_back(0); // colour count: more than 256
    out.push_back(0); // reserved
    Put16(out, 1);    // planes
    Put16(out, 32);   // bits per pixel
    Put32(out, kHeaderBytes + kColourBytes + kMaskBytes);
    Put32(out, kImageOffset);

    Put32(out, kHeaderBytes);
    Put32(out, kSide);
    Put32(out, 2 * kSide); // colour image and mask
    Put16(out, 1);
    Put16(out, 32);
    Put32(out, 0); // BI_RGB
    Put32(out, kColourBytes);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 0);

    for (int row = kSide - 1; row >= 0; --row) {
        for (int col = 0; col < kSide; ++col) {
            const Bgra& p = pixels[row * kSide + col];
            out.insert(out.end(), {p.b, p.g, p.r, p.a});
        }
    }
    out.insert(out.end(), kMaskBytes, 0);
    return out;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: icon_gen OUTPUT.ico\n");
        return 2;
    }
    const std::vector<std::uint8_t> ico = IcoFile(Render());
    std::ofstream file(argv[1], std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(ico.data()), static_cast<std::streamsize>(ico.size()));
    file.close();
    if (!file) {
        std::fprintf(stderr, "icon_gen: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
