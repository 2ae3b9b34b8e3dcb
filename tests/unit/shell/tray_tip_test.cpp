// Tests of the tray tip cut at 62 bytes, walked as GBK.
#include "shell/tray_tip.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace trigora {
namespace {

const std::string kHan = "中"; // D6 D0 in GBK: its trail byte is above 0x80 too

std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) {
        out += s;
    }
    return out;
}

struct TipCase {
    const char* name;
    std::string text;
    std::string expected;
};

void PrintTo(const TipCase& c, std::ostream* os) {
    *os << c.name;
}

class TrayTip : public testing::TestWithParam<TipCase> {};

TEST_P(TrayTip, Cut) {
    const std::string cut = CutTrayTip(GetParam().text);
    EXPECT_EQ(cut, GetParam().expected);
    EXPECT_LE(cut.size(), kTrayTipMaxBytes);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TrayTip,
    testing::Values(
        TipCase{"Empty", "", ""}, TipCase{"ProgramTip", "Kest_Trigora1.0", "Kest_Trigora1.0"},
        TipCase{"Bytes61", std::string(61, 'a'), std::string(61, 'a')},
        TipCase{"Bytes62", std::string(62, 'a'), std::string(62, 'a')},
        TipCase{"Bytes63", std::string(63, 'a'), std::string(62, 'a')},
        // The 62nd byte leads a character: the whole character goes.
        TipCase{"LeadByteAt62", std::string(61, 'a') + kHan + "b", std::string(61, 'a')},
        TipCase{"CharacterEndsAt62", std::string(60, 'a') + kHan + "b", std::string(60, 'a') + kHan},
        // The 62nd byte is a trail byte above 0x80: it must not be taken for a lead byte.
        TipCase{"TrailByteAt62", Repeat(kHan, 31) + "b", Repeat(kHan, 31)},
        TipCase{"AllChineseOdd", std::string("a").append(Repeat(kHan, 40)),
                std::string("a").append(Repeat(kHan, 30))},
        // 0x80 and 0xFF stand alone in code page 936.
        TipCase{"SingleByte80At62", std::string(61, 'a') + "\x80" + "b", std::string(61, 'a') + "\x80"},
        TipCase{"SingleByteFFAt62", std::string(61, 'a') + "\xFF" + "b", std::string(61, 'a') + "\xFF"}),
    [](const testing::TestParamInfo<TipCase>& info) { return std::string(info.param.name); });

} // namespace
} // namespace trigora
