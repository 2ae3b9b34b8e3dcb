// Readable text: the contrast formula, lightness moved with the hue kept, and every text of the 29
// stored skins readable under hue, saturation and brightness changes.
#include "skin_contrast.h"
#include "skin_hsv.h"
#include "skin_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace trigora::skin {
namespace {

std::string Show(Rgb c) {
    char text[32];
    std::snprintf(text, sizeof text, "rgb(%d,%d,%d)", c.r, c.g, c.b);
    return text;
}

// Hue in degrees; only meaningful for a colour that has one.
double HueOf(Rgb c) {
    double r = c.r, g = c.g, b = c.b;
    double mx = std::max({r, g, b}), mn = std::min({r, g, b}), d = mx - mn;
    double h = mx == r ? std::fmod((g - b) / d + 6, 6) : mx == g ? (b - r) / d + 2 : (r - g) / d + 4;
    return h * 60;
}

double HueDistance(double a, double b) {
    double d = std::fabs(a - b);
    return std::min(d, 360 - d);
}

TEST(Contrast, RatiosOfKnownPairs) {
    struct Case {
        Rgb a, b;
        double ratio;
    };
    const Case cases[] = {
        {{0, 0, 0}, {255, 255, 255}, 21.0},
        {{255, 255, 255}, {0, 0, 0}, 21.0}, // either way round
        {{119, 119, 119}, {119, 119, 119}, 1.0},
        {{255, 0, 0}, {255, 255, 255}, 4.00},  // the program's red fails on white
        {{0, 0, 255}, {255, 255, 255}, 8.59},
        {{0, 0, 255}, {0, 0, 0}, 2.44},        // and its blue on black
        {{128, 0, 0}, {32, 32, 32}, 1.49},     // its dark red on a dark face
        {{118, 118, 118}, {255, 255, 255}, 4.54},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(ContrastRatio(c.a, c.b), c.ratio, 0.01) << Show(c.a) << " on " << Show(c.b);
    }
}

// The program's own colours on faces from white to black and saturated ones.
TEST(Contrast, ProgramColoursReachTheMinimumKeepingTheirHue) {
    const Rgb colours[] = {{255, 0, 0}, {0, 0, 255}, {128, 0, 0}, {144, 0, 255}};
    const Rgb faces[] = {{255, 255, 255}, {236, 233, 216}, {128, 128, 128}, {64, 64, 64}, {24, 24, 32},
                         {0, 0, 0},       {0, 0, 255},     {255, 0, 0},     {212, 175, 55}, {50, 205, 50}};
    for (Rgb colour : colours) {
        for (Rgb face : faces) {
            for (double minimum : {3.0, kReadableContrast}) {
                Rgb got = ReadableOn(colour, face, minimum);
                SCOPED_TRACE(Show(colour) + " on " + Show(face) + " gave " + Show(got));
                EXPECT_GE(ContrastRatio(got, face), minimum);
                if (ContrastRatio(colour, face) >= minimum) {
                    EXPECT_EQ(got, colour) << "already readable: left alone";
                } else if (got != Rgb{0, 0, 0} && got != Rgb{255, 255, 255}) {
                    EXPECT_LE(HueDistance(HueOf(got), HueOf(colour)), 3.0) << "the hue is kept";
                }
            }
        }
    }
}

TEST(Contrast, TheProgramsColoursAimHigherAndSettleForTheMinimumKeepingTheirHue) {
    struct Case {
        Rgb colour, face;
        double atLeast;
    };
    const Case cases[] = {
        {{255, 0, 0}, {255, 255, 255}, kProgramTextAim},  // red on white: a darker red
        {{0, 0, 255}, {24, 24, 32}, kProgramTextAim},     // blue on a dark face: a lighter blue
        {{255, 0, 0}, {118, 118, 118}, kReadableContrast}, // mid grey: 5.5 only in black, so 4.5 in red
        {{128, 0, 0}, {128, 128, 128}, kReadableContrast},
    };
    for (const Case& c : cases) {
        Rgb got = ProgramColourOn(c.colour, c.face);
        SCOPED_TRACE(Show(c.colour) + " on " + Show(c.face) + " gave " + Show(got));
        EXPECT_GE(ContrastRatio(got, c.face), c.atLeast);
        EXPECT_NE(got, (Rgb{0, 0, 0}));
        EXPECT_NE(got, (Rgb{255, 255, 255}));
        EXPECT_LE(HueDistance(HueOf(got), HueOf(c.colour)), 3.0);
    }
}

TEST(Contrast, ASelectionBarOfMiddleLightnessMovesAwayFromItsText) {
    struct Case {
        Rgb text, bar;
    };
    const Case cases[] = {
        {{255, 255, 255}, {122, 134, 150}}, // white on slate: no text colour gets there alone
        {{40, 40, 40}, {212, 175, 55}},     // dark on gold
        {{255, 255, 255}, {50, 205, 50}},   // white on lime
        {{255, 255, 255}, {0, 0, 128}},     // already far apart: left alone
    };
    for (const Case& c : cases) {
        Rgb text = c.text, bar = c.bar;
        SeparateSelection(text, bar);
        SCOPED_TRACE(Show(c.text) + " on " + Show(c.bar) + " became " + Show(text) + " on " + Show(bar));
        EXPECT_GE(ContrastRatio(text, bar), kSelectionContrast);
        if (ContrastRatio(c.text, c.bar) >= kSelectionContrast) {
            EXPECT_EQ(text, c.text);
            EXPECT_EQ(bar, c.bar);
        } else if (bar != c.bar && bar != Rgb{0, 0, 0} && bar != Rgb{255, 255, 255}) {
            EXPECT_LE(HueDistance(HueOf(bar), HueOf(c.bar)), 4.0) << "the bar keeps its hue";
        }
    }
}

TEST(Contrast, TheSideOfTheBackgroundTheTextIsOnIsKeptWhereThatIsEnough) {
    // Blue on a dark face is already the lighter of the two: it is lifted, not drowned in black.
    Rgb lifted = ReadableOn({0, 0, 255}, Rgb{20, 20, 20});
    EXPECT_GT(RelativeLuminance(lifted), RelativeLuminance({0, 0, 255}));
    EXPECT_GT(lifted.b, lifted.r);
    // Red on white is the darker: it darkens just enough and stays a clear red.
    Rgb darkened = ReadableOn({255, 0, 0}, Rgb{255, 255, 255});
    EXPECT_LT(RelativeLuminance(darkened), RelativeLuminance({255, 0, 0}));
    EXPECT_GE(darkened.r, 200);
    EXPECT_EQ(darkened.g, 0);
    EXPECT_EQ(darkened.b, 0);
}

TEST(Contrast, AgainstSeveralBackgroundsTheWorstCounts) {
    const Rgb gradient[] = {{200, 200, 200}, {255, 255, 255}};
    Rgb got = ReadableOn({255, 0, 0}, gradient);
    for (Rgb back : gradient) {
        EXPECT_GE(ContrastRatio(got, back), kReadableContrast) << Show(got) << " on " << Show(back);
    }
    // From black to white no colour reaches 4.5 against both: the best compromise, never worse.
    const Rgb impossible[] = {{0, 0, 0}, {255, 255, 255}};
    Rgb best = ReadableOn({0, 0, 255}, impossible);
    auto worst = [&](Rgb c) { return std::min(ContrastRatio(c, impossible[0]), ContrastRatio(c, impossible[1])); };
    EXPECT_GE(worst(best), worst({0, 0, 255}));
    EXPECT_GT(worst(best), 4.0);
}

TEST(Contrast, CentreSpreadLooksInsideTheMarginsAndThroughTransparency) {
    // A white frame of margin 1 around a centre of dark grey and one transparent pixel over red.
    Image image = MakeImage(4, 3, {1, 1, 1, 1});
    std::fill(image.pixels.begin(), image.pixels.end(), MakePixel(255, 255, 255));
    image.At(1, 1) = MakePixel(40, 40, 40);
    image.At(2, 1) = MakePixel(0, 0, 0, 0);
    Spread spread = CentreSpread(image, {255, 0, 0});
    EXPECT_EQ(spread.darkest, (Rgb{40, 40, 40}));
    EXPECT_EQ(spread.lightest, (Rgb{255, 0, 0})) << "the frame's white is not where text lies";
    Spread empty = CentreSpread(Image{}, {1, 2, 3});
    EXPECT_EQ(empty.darkest, (Rgb{1, 2, 3}));
    EXPECT_EQ(empty.lightest, (Rgb{1, 2, 3}));
}

TEST(Contrast, TextOnAGradientReadsEverywhereAndTheImageKeepsItsEdgesAndHues) {
    // Rows from black to white, tinted blue, inside a 2-pixel red border.
    Image image = MakeImage(8, 20, {2, 2, 2, 2});
    for (std::uint32_t y = 0; y < image.height; ++y) {
        for (std::uint32_t x = 0; x < image.width; ++x) {
            auto v = static_cast<std::uint8_t>(y * 215 / (image.height - 1));
            bool border = x < 2 || y < 2 || x >= image.width - 2 || y >= image.height - 2;
            image.At(x, y) = border ? MakePixel(255, 0, 0) : MakePixel(v, v, static_cast<std::uint8_t>(v + 40));
        }
    }
    const Image before = image;
    Rgb text{0, 0, 0};
    Image* const images[] = {&image};
    ReadableOnImages(text, images, {255, 255, 255});
    Spread spread = CentreSpread(image, {255, 255, 255});
    EXPECT_GE(ContrastRatio(text, spread.darkest), kReadableContrast)
        << Show(text) << " on " << Show(spread.darkest);
    EXPECT_GE(ContrastRatio(text, spread.lightest), kReadableContrast)
        << Show(text) << " on " << Show(spread.lightest);
    int toned = 0;
    for (std::uint32_t y = 0; y < image.height; ++y) {
        for (std::uint32_t x = 0; x < image.width; ++x) {
            bool inBand = x >= 2 && x < 6 && y >= 6 && y < 14; // the centre's middle half
            Pixel was = before.At(x, y), now = image.At(x, y);
            if (!inBand) {
                EXPECT_EQ(now, was) << x << "," << y << ": only where the words go is toned";
            } else if (now != was) {
                ++toned;
                Rgb c{PixelR(now), PixelG(now), PixelB(now)};
                if (c != Rgb{0, 0, 0} && c != Rgb{255, 255, 255}) {
                    EXPECT_LE(HueDistance(HueOf(c), HueOf({PixelR(was), PixelG(was), PixelB(was)})), 4.0);
                }
            }
        }
    }
    EXPECT_GT(toned, 0) << "the gradient had rows too close to any one text colour";
}

std::vector<std::uint8_t> StoredSkin(int index) {
    char leaf[24];
    std::snprintf(leaf, sizeof leaf, "/%02d.she", index);
    std::ifstream in(std::string(TRIGORA_SKIN_DIR) + leaf, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every text pair the engine draws, as it draws them, after the user's colour changes.
TEST(Contrast, EveryTextOfEveryStoredSkinIsReadableUnderColourChanges) {
    struct Setting {
        int hue, saturation, brightness;
    };
    const Setting settings[] = {{0, 0, 0},    {180, 0, 0},   {-90, 0, 0},   {60, 100, 0}, {0, -100, 0},
                                {0, 0, 100},  {0, 0, -100},  {0, 0, 60},    {0, 0, -60},  {120, 100, 50},
                                {-150, 50, -50}};
    const Rgb programColours[] = {{255, 0, 0}, {0, 0, 255}, {128, 0, 0}, {144, 0, 255}};
    double lowest = 21;
    for (int index = 0; index < 29; ++index) {
        SkinResult read = ReadSkinFile(StoredSkin(index));
        ASSERT_TRUE(read.skin) << index << ": " << read.error;
        for (const Setting& st : settings) {
            Skin s = AdjustSkinHsv(*read.skin, st.hue, st.saturation, st.brightness);
            KeepTextReadable(s);
            SCOPED_TRACE(std::to_string(index) + " " + s.name + " at " + std::to_string(st.hue) + "/" +
                         std::to_string(st.saturation) + "/" + std::to_string(st.brightness));
            struct Pair {
                const char* what;
                Rgb text, back;
                double minimum = kReadableContrast;
            };
            std::vector<Pair> pairs = {
                {"text", s.text, s.face},
                {"check box", s.checkBox.text, s.face},
                {"group title", s.groupBox.title, s.face},
                {"edit", s.edit.text, s.edit.background},
                {"edit selection", s.edit.selectionText, s.edit.selectionBackground, kSelectionContrast},
                {"list", s.list.text, s.list.background},
                {"list selection", s.list.selectionText, s.list.selectionBackground, kSelectionContrast},
                {"combo", s.combo.text, s.combo.face},
                {"status bar", s.statusBar.text, s.statusBar.face},
                {"menu", s.menu.text, s.menu.background},
                {"menu selection", s.menu.selectedText, s.menu.selectedBackground, kSelectionContrast},
            };
            for (const Image& face : s.button.face) {
                if (&face == &Pick(s.button.face, ButtonState::Disabled)) {
                    continue;
                }
                Spread spread = CentreSpread(face, s.face);
                pairs.push_back({"button, darkest", s.button.text, spread.darkest});
                pairs.push_back({"button, lightest", s.button.text, spread.lightest});
            }
            for (const CaptionLook* caption : {&s.captionActive, &s.captionInactive}) {
                Spread spread = CentreSpread(caption->bar, s.face);
                pairs.push_back({"caption, darkest", caption->text, spread.darkest});
                pairs.push_back({"caption, lightest", caption->text, spread.lightest});
            }
            for (Rgb colour : programColours) {
                pairs.push_back({"program colour on the face", ProgramColourOn(colour, s.face), s.face});
                pairs.push_back(
                    {"program colour in a box", ProgramColourOn(colour, s.edit.background), s.edit.background});
            }
            for (const Pair& p : pairs) {
                double ratio = ContrastRatio(p.text, p.back);
                lowest = std::min(lowest, ratio);
                EXPECT_GE(ratio, p.minimum)
                    << p.what << ": " << Show(p.text) << " on " << Show(p.back);
            }
        }
    }
    std::printf("lowest contrast over the 29 skins and %zu colour settings: %.2f\n", std::size(settings),
                lowest);
}

} // namespace
} // namespace trigora::skin
