// The settings' names, domains and defaults, the value paths, and the engine's arguments.
#include "skins/skin_settings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace trigora::skins {
namespace {

TEST(SkinSettings, DefaultsAreTheWindowsInitialPositions) {
    SkinSettings s;
    EXPECT_EQ(s.skinId, 0);
    EXPECT_EQ(s.hue, 180);
    EXPECT_EQ(s.saturation, 100);
    EXPECT_EQ(s.brightness, 100);
    EXPECT_EQ(s.menuAlpha, 255);
    EXPECT_EQ(s.aero, 0);
    // The value table's fallbacks are what a missing value reads as; they must agree.
    for (std::size_t i = 0; i < kSettingCount; ++i) {
        EXPECT_EQ(ValueOf(s, i), kSettingValues[i].fallback) << kSettingValues[i].name;
    }
}

TEST(SkinSettings, EachValueAddressesItsOwnField) {
    SkinSettings s;
    for (std::size_t i = 0; i < kSettingCount; ++i) {
        ValueOf(s, i) = static_cast<std::int32_t>(1000 + i);
    }
    EXPECT_EQ(s.skinId, 1000);
    EXPECT_EQ(s.hue, 1001);
    EXPECT_EQ(s.saturation, 1002);
    EXPECT_EQ(s.brightness, 1003);
    EXPECT_EQ(s.menuAlpha, 1004);
    EXPECT_EQ(s.aero, 1005);
    for (std::size_t k = 0; k < 7; ++k) {
        EXPECT_EQ(s.aeroValues[k], static_cast<std::int32_t>(1006 + k));
    }
}

struct DomainCase {
    const char* name;
    std::int32_t minimum, maximum;
};

TEST(SkinSettings, ValuesAreClampedIntoTheirDomains) {
    const DomainCase cases[kSettingCount] = {
        {"SkinID", 0, 29},  {"SDID", 0, 360},  {"BHDID", 0, 200}, {"LDID", 0, 200}, {"CDTMID", 0, 255},
        {"Aero特效", 0, 1}, {"Aero1", 0, 255}, {"Aero2", 0, 255}, {"Aero3", 0, 12}, {"Aero4", 0, 18},
        {"Aero5", 0, 255},  {"Aero6", 0, 255}, {"Aero7", 0, 255},
    };
    for (std::size_t i = 0; i < kSettingCount; ++i) {
        const DomainCase& c = cases[i];
        SCOPED_TRACE(c.name);
        EXPECT_STREQ(kSettingValues[i].name, c.name);
        EXPECT_EQ(ClampToDomain(i, -5), c.minimum);
        EXPECT_EQ(ClampToDomain(i, 999), std::min(999, c.maximum));
        EXPECT_EQ(ClampToDomain(i, c.minimum), c.minimum);
        EXPECT_EQ(ClampToDomain(i, c.maximum), c.maximum);
        // A REG_DWORD of 0xFFFFFFFF read as unsigned must not wrap into the domain.
        EXPECT_EQ(ClampToDomain(i, 0xFFFFFFFFll), c.maximum);
        EXPECT_EQ(ClampToDomain(i, std::numeric_limits<std::int32_t>::min()), c.minimum);
    }
}

TEST(ValuePath, IsTheKeyAndTheNameAndSplitsBackAtTheLastBackslash) {
    EXPECT_EQ(ValuePath(0), "Software\\Microsoft\\Vornel\\Trigora\\SkinID");
    for (std::size_t i = 0; i < kSettingCount; ++i) {
        KeyAndValue split = SplitValuePath(ValuePath(i));
        EXPECT_EQ(split.key, kSettingsKey);
        EXPECT_EQ(split.value, kSettingValues[i].name);
    }
}

struct SplitCase {
    const char* path;
    const char* key;
    const char* value;
};

TEST(ValuePath, SplitCases) {
    const SplitCase cases[] = {
        {"A\\B\\C", "A\\B", "C"},
        {"Name", "", "Name"},
        {"Key\\", "Key", ""},
        {"\\Name", "", "Name"},
        {"", "", ""},
        // 0x81 0x5C is one GBK character whose second byte is a backslash: not a separator.
        {"Key\\\x81\x5C", "Key", "\x81\x5C"},
        {"Key\\A\x81\x5C"
         "B",
         "Key",
         "A\x81\x5C"
         "B"},
    };
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(c.path);
        KeyAndValue split = SplitValuePath(c.path);
        EXPECT_EQ(split.key, c.key);
        EXPECT_EQ(split.value, c.value);
    }
}

struct CutCase {
    double number;
    std::int32_t stored;
};

TEST(CutTowardZero, Cases) {
    const double inf = std::numeric_limits<double>::infinity();
    const CutCase cases[] = {
        {0.0, 0},
        {-0.0, 0},
        {7.9, 7},
        {-7.9, -7},
        {180.0, 180},
        {0.999999, 0},
        {-0.5, 0},
        {2147483647.0, 2147483647},
        {2147483647.9, 2147483647},
        {3e10, 2147483647},
        {-3e10, std::numeric_limits<std::int32_t>::min()},
        {inf, 2147483647},
        {-inf, std::numeric_limits<std::int32_t>::min()},
        {std::nan(""), 0},
    };
    for (const CutCase& c : cases) {
        EXPECT_EQ(CutTowardZero(c.number), c.stored) << c.number;
    }
}

TEST(EngineArguments, FollowTheSliders) {
    SkinSettings s;
    EXPECT_EQ(HsvArgumentsOf(s), (HsvArguments{0, 0, 0})); // the skin as drawn
    s.hue = 0;
    s.saturation = 200;
    s.brightness = 37;
    EXPECT_EQ(HsvArgumentsOf(s), (HsvArguments{-180, 100, -63}));
    s.hue = 360;
    s.saturation = 0;
    EXPECT_EQ(HsvArgumentsOf(s), (HsvArguments{180, -100, -63}));
    s.menuAlpha = 128;
    EXPECT_EQ(MenuAlphaArgumentOf(s), 128);
    EXPECT_EQ(AeroSwitchArgumentOf(s), 0);
    s.aero = 1;
    EXPECT_EQ(AeroSwitchArgumentOf(s), 1);
    s.aeroValues = {10, 20, 3, 4, 50, 60, 70};
    EXPECT_EQ(AeroArgumentsOf(s), (std::array<int, 7>{10, 20, 3, 4, 50, 60, 70}));
}

} // namespace
} // namespace trigora::skins
