// Tests of the generated icon file: its exact layout, and a picture that is really drawn and reads at 16
// x 16.
#include "generated_file.h"
#include "shell/icon_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <set>
#include <span>
#include <string>

namespace trigora {
namespace {

constexpr std::size_t kFileBytes = 4286;
constexpr std::size_t kPixelsAt = 22 + 40;
constexpr std::size_t kMaskAt = kPixelsAt + 4096;
constexpr int kSide = 32;

struct Rgb {
    int r, g, b;
};

class IconResource : public testing::Test {
  protected:
    void SetUp() override {
        data_ = test::ReadGeneratedFile("trigora.ico");
        ASSERT_EQ(data_.size(), kFileBytes);
    }

    unsigned Byte(std::size_t at) const { return static_cast<unsigned char>(data_[at]); }
    unsigned Le16(std::size_t at) const { return Byte(at) | Byte(at + 1) << 8; }
    std::uint32_t Le32(std::size_t at) const {
        return Le16(at) | static_cast<std::uint32_t>(Le16(at + 2)) << 16;
    }

    // x to the right, y downwards from the top-left corner; the file keeps its rows bottom-up.
    Rgb Pixel(int x, int y) const {
        const std::size_t at = kPixelsAt + (static_cast<std::size_t>(kSide - 1 - y) * kSide + x) * 4;
        return {static_cast<int>(Byte(at + 2)), static_cast<int>(Byte(at + 1)), static_cast<int>(Byte(at))};
    }

    std::span<const std::uint8_t> Bytes() const {
        return {reinterpret_cast<const std::uint8_t*>(data_.data()), data_.size()};
    }

    std::string data_;
};

bool WhiteIsh(Rgb c) {
    return std::min({c.r, c.g, c.b}) >= 225;
}
bool RedIsh(Rgb c) {
    return c.r >= 150 && c.r - std::max(c.g, c.b) >= 90;
}
bool Dark(Rgb c) {
    return std::max({c.r, c.g, c.b}) <= 80;
}
int Luma(Rgb c) {
    return (c.r * 299 + c.g * 587 + c.b * 114) / 1000;
}

TEST_F(IconResource, DirectoryEntry) {
    EXPECT_EQ(Le16(0), 0u);  // reserved
    EXPECT_EQ(Le16(2), 1u);  // an icon, not a cursor
    EXPECT_EQ(Le16(4), 1u);  // one image
    EXPECT_EQ(Byte(6), 32u); // width
    EXPECT_EQ(Byte(7), 32u); // height
    EXPECT_EQ(Byte(8), 0u);  // colour count
    EXPECT_EQ(Byte(9), 0u);  // reserved
    EXPECT_EQ(Le16(10), 1u); // planes
    EXPECT_EQ(Le16(12), 32u);
    EXPECT_EQ(Le32(14), 4264u);
    EXPECT_EQ(Le32(18), 22u);
}

TEST_F(IconResource, BitmapHeader) {
    EXPECT_EQ(Le32(22), 40u);
    EXPECT_EQ(Le32(26), 32u);
    EXPECT_EQ(Le32(30), 64u); // colour image and mask
    EXPECT_EQ(Le16(34), 1u);
    EXPECT_EQ(Le16(36), 32u);
    EXPECT_EQ(Le32(38), 0u); // BI_RGB
    EXPECT_EQ(Le32(42), 4096u);
}

TEST_F(IconResource, OpaqueEverywhereAndMaskEmpty) {
    for (std::size_t at = kPixelsAt + 3; at < kMaskAt; at += 4) {
        ASSERT_EQ(Byte(at), 255u) << "alpha of pixel " << (at - kPixelsAt) / 4;
    }
    for (std::size_t at = kMaskAt; at < kFileBytes; ++at) {
        ASSERT_EQ(Byte(at), 0u) << "mask byte " << at - kMaskAt;
    }
}

TEST_F(IconResource, TheTrayTakesIt32By32AtTheFirstAttempt) {
    const std::vector<IconImage> candidates = TrayIconCandidates(Bytes());
    ASSERT_EQ(candidates.size(), 1u);
    EXPECT_EQ(candidates[0].width, 32);
    EXPECT_EQ(candidates[0].height, 32);
    EXPECT_EQ(candidates[0].bytes.data(), Bytes().data() + 22);
    EXPECT_EQ(candidates[0].bytes.size(), 4264u);
}

TEST_F(IconResource, WhiteHubAtTheCentre) {
    for (int y = 15; y <= 16; ++y) {
        for (int x = 15; x <= 16; ++x) {
            EXPECT_TRUE(WhiteIsh(Pixel(x, y))) << x << "," << y;
        }
    }
}

TEST_F(IconResource, RedNeedleReachesOutOfTheHub) {
    double reach = 0;
    int tipY = 0;
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            const double r = std::hypot(x + 0.5 - 16, y + 0.5 - 16);
            if (RedIsh(Pixel(x, y)) && r > reach) {
                reach = r;
                tipY = y;
            }
        }
    }
    EXPECT_GE(reach, 8.0);  // a needle, not a red dot
    EXPECT_LE(reach, 13.0); // and it stays on the dial
    // The pointer stands up, as on a gauge: rows stored top-down would turn it to point down.
    EXPECT_LT(tipY, 16);
}

TEST_F(IconResource, DarkDialWithGraduationMarks) {
    int dark = 0;
    int inside = 0;
    int lightOnRim = 0;
    int darkOnRim = 0;
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            const double r = std::hypot(x + 0.5 - 16, y + 0.5 - 16);
            const Rgb c = Pixel(x, y);
            if (r >= 4 && r <= 9) {
                ++inside;
                dark += Dark(c) ? 1 : 0;
            }
            // The ring where the marks stand: light marks between dark gaps.
            if (r >= 10 && r <= 11.5) {
                lightOnRim += Luma(c) >= 150 ? 1 : 0;
                darkOnRim += Dark(c) ? 1 : 0;
            }
        }
    }
    EXPECT_GE(dark, inside * 3 / 4) << "the dial around the hub is mostly dark";
    EXPECT_GE(lightOnRim, 8);
    EXPECT_GE(darkOnRim, 8);
}

TEST_F(IconResource, RoundedLightGreyTile) {
    // Beside the dial, halfway along each edge: light and grey.
    for (const auto& [x, y] : {std::pair{2, 16}, std::pair{29, 16}, std::pair{16, 2}, std::pair{16, 29}}) {
        const Rgb c = Pixel(x, y);
        EXPECT_GE(std::min({c.r, c.g, c.b}), 180) << x << "," << y;
        EXPECT_LE(std::max({c.r, c.g, c.b}), 245) << x << "," << y;
        EXPECT_LE(std::max({c.r, c.g, c.b}) - std::min({c.r, c.g, c.b}), 16) << x << "," << y;
    }
    // The corners are cut off by the rounding, all four alike: the corner pixel is neither the tile
    // nor the tile's own outermost edge halfway along.
    const Rgb corner = Pixel(0, 0);
    for (const Rgb other : {Pixel(2, 16), Pixel(0, 16), Pixel(16, 0)}) {
        EXPECT_GE(std::abs(corner.r - other.r) + std::abs(corner.g - other.g) + std::abs(corner.b - other.b),
                  30);
    }
    for (const auto& [x, y] : {std::pair{31, 0}, std::pair{0, 31}, std::pair{31, 31}}) {
        const Rgb c = Pixel(x, y);
        EXPECT_EQ(c.r, corner.r);
        EXPECT_EQ(c.g, corner.g);
        EXPECT_EQ(c.b, corner.b);
    }
}

TEST_F(IconResource, EdgesAreAntiAliased) {
    // Hard-edged drawing in eight colours would give a handful; coverage gives many in-between shades.
    std::set<int> colours;
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            const Rgb c = Pixel(x, y);
            colours.insert(c.r << 16 | c.g << 8 | c.b);
        }
    }
    EXPECT_GE(colours.size(), 60u);
}

TEST_F(IconResource, StillReadsWhenHalvedForTheTray) {
    // A 2 x 2 box filter, as a notification area scaling 32 to 16 does at least.
    auto half = [this](int hx, int hy) {
        Rgb sum{0, 0, 0};
        for (int dy = 0; dy < 2; ++dy) {
            for (int dx = 0; dx < 2; ++dx) {
                const Rgb c = Pixel(2 * hx + dx, 2 * hy + dy);
                sum = {sum.r + c.r, sum.g + c.g, sum.b + c.b};
            }
        }
        return Rgb{sum.r / 4, sum.g / 4, sum.b / 4};
    };
    int red = 0;
    int dark = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            red += RedIsh(half(x, y)) ? 1 : 0;
            dark += Dark(half(x, y)) ? 1 : 0;
        }
    }
    EXPECT_GE(red, 3) << "the needle survives";
    EXPECT_GE(dark, 40) << "the dial survives";
    EXPECT_GE(Luma(half(7, 7)), 200) << "the hub survives";
}

} // namespace
} // namespace trigora
