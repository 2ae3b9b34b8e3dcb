// Recolouring: the identity is exact, and known colours move where the colour wheel says.
#include "skin_hsv.h"
#include "skin_parts.h"

#include <gtest/gtest.h>

namespace trigora::skin {
namespace {

Skin ColourfulSkin() {
    Skin s;
    int n = 0;
    for (const ColourSlot& c : ColourSlots()) {
        c.get(s) = {static_cast<std::uint8_t>(n * 37), static_cast<std::uint8_t>(n * 91),
                    static_cast<std::uint8_t>(n * 13)};
        ++n;
    }
    for (const ImageSlot& slot : ImageSlots()) {
        Image img = MakeImage(4, 4);
        for (std::size_t i = 0; i < img.pixels.size(); ++i) {
            img.pixels[i] = static_cast<Pixel>(0x9E3779B9u * (i + 1) * (n + 1));
        }
        slot.get(s) = img;
        ++n;
    }
    return s;
}

TEST(SkinHsv, ZeroChangeIsExactlyTheIdentity) {
    const Skin s = ColourfulSkin();
    EXPECT_TRUE(AdjustSkinHsv(s, 0, 0, 0) == s);
}

TEST(SkinHsv, KnownColoursMoveAsExpected) {
    struct Case {
        Rgb in;
        int h, s, v;
        Rgb out;
    };
    const Case cases[] = {
        {{255, 0, 0}, 120, 0, 0, {0, 255, 0}},
        {{255, 0, 0}, -120, 0, 0, {0, 0, 255}},
        {{255, 0, 0}, 180, 0, 0, {0, 255, 255}},
        {{0, 128, 255}, 360, 0, 0, {0, 128, 255}}, // clamped to 180: a half turn
        {{200, 100, 50}, 0, -100, 0, {200, 200, 200}},
        {{10, 20, 30}, 0, 0, -100, {0, 0, 0}},
        {{10, 20, 30}, 0, 0, 100, {255, 255, 255}},
        {{0, 0, 0}, 0, 0, 50, {128, 128, 128}},
        {{128, 128, 128}, 90, 100, 0, {128, 128, 128}}, // grey has no hue to turn
    };
    for (const Case& c : cases) {
        const Rgb got = AdjustHsv(c.in, c.h, c.s, c.v);
        if (c.h == 360) {
            EXPECT_EQ(got, AdjustHsv(c.in, 180, 0, 0));
            continue;
        }
        EXPECT_EQ(got, c.out) << int(c.in.r) << "," << int(c.in.g) << "," << int(c.in.b) << " by " << c.h
                              << "/" << c.s << "/" << c.v << " gave " << int(got.r) << "," << int(got.g)
                              << "," << int(got.b);
    }
}

TEST(SkinHsv, TurnsEveryColourAndPixelButKeepsAlpha) {
    Skin s = ColourfulSkin();
    s.face = {255, 0, 0};
    s.menu.checkMark.pixels[0] = MakePixel(255, 0, 0, 77);
    const Skin t = AdjustSkinHsv(s, 120, 0, 0);
    EXPECT_EQ(t.face, (Rgb{0, 255, 0}));
    EXPECT_EQ(t.menu.checkMark.pixels[0], MakePixel(0, 255, 0, 77));
    for (const ImageSlot& slot : ImageSlots()) {
        const Image& a = slot.get(s);
        const Image& b = slot.get(const_cast<Skin&>(t));
        ASSERT_EQ(a.pixels.size(), b.pixels.size());
        for (std::size_t i = 0; i < a.pixels.size(); ++i) {
            ASSERT_EQ(PixelA(a.pixels[i]), PixelA(b.pixels[i]));
            const Rgb want =
                AdjustHsv({PixelR(a.pixels[i]), PixelG(a.pixels[i]), PixelB(a.pixels[i])}, 120, 0, 0);
            ASSERT_EQ(want, (Rgb{PixelR(b.pixels[i]), PixelG(b.pixels[i]), PixelB(b.pixels[i])}));
        }
    }
}

} // namespace
} // namespace trigora::skin
