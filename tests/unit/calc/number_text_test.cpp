// Tests of reading and writing number texts: the listed edge cases, strtod agreement, fuzzing.
#include "calc/number_text.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace trigora::calc;

constexpr double kInf = std::numeric_limits<double>::infinity();

uint64_t Bits(double x) {
    return std::bit_cast<uint64_t>(x);
}

TEST(FoldFullWidth, FoldsFullWidthFormsAndKeepsOtherCharacters) {
    struct Case {
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"１２．５", "12.5"},
        {"＋－ｅＥ", "+-eE"},
        {"\xA1\xA1", " "}, // ideographic space
        {"\xA1\xAB", "~"},
        {"\xA1\xEE\xA1\xEF", "**"},
        {"中", "中"},                             // other two-byte characters stay
        {"\xA3\xA0\xA3\xFF", "\xA3\xA0\xA3\xFF"}, // trail bytes outside A1..FE stay
        {"1\xB0", "1"},                           // a lone lead byte ends the walk
        {"\x80", ""},
        {"\xFF"
         "1",
         "\xFF"
         "1"},                        // 0xFF takes the next byte as its trail
        {"\xB0\xA3\xB1", "\xB0\xA3"}, // pairs are taken from the left: B0 A3, then a lone B1
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FoldFullWidth(c.in), c.out) << c.in;
    }
}

TEST(ParseNumber, ReadsTheNumberAtTheStartOfTheText) {
    struct Case {
        std::string text;
        double value;
    };
    const Case cases[] = {
        {"", 0},
        {"abc", 0},
        {" -2e3", -2000},
        {"1d2", 100},
        {"1D-2", 0.01},
        {"1E+2", 100},
        {"1e", 1},
        {"1e+", 1},
        {"1ex", 1},
        {".5", 0.5},
        {"5.", 5},
        {"+.5e1", 5},
        {".", 0},
        {"-", 0},
        {"- 5", 0},
        {"１２．５", 12.5},
        {"－３", -3},
        {"１ｅ２", 100},
        {"\xA1\xA1"
         "8",
         8}, // the ideographic space is white space after folding
        {"\t\n\v\f\r 7", 7},
        {"3.5abc", 3.5},
        {"1.2.3", 1.2},
        {"0x10", 0},
        {"1,5", 1},
        {"\xB0\xA3\xB1", 0},
        {"\xFF"
         "1",
         0},
        {"00012.50", 12.5},
        {"1e999", kInf},
        {"-1e999", -kInf},
        {"1e-999", 0},
        {"1e99999999999999999999", kInf},
        {"1.7976931348623157e308", std::numeric_limits<double>::max()},
        {"1.7976931348623159e308", kInf},
        {"4.9406564584124654e-324", std::numeric_limits<double>::denorm_min()},
        {"2.4703282292062327e-324", 0},
        {"2.4703282292062328e-324", std::numeric_limits<double>::denorm_min()},
        {"2.2250738585072011e-308", 2.2250738585072011e-308}, // just below the smallest normal
        {"0.1", 0.1},
        {"9007199254740993", 9007199254740992.0}, // halfway, ties to even
        {"9007199254740995", 9007199254740996.0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Bits(ParseNumber(c.text)), Bits(c.value)) << '"' << c.text << '"';
    }
    EXPECT_EQ(Bits(ParseNumber("-0")), Bits(-0.0));
}

TEST(ParseNumber, DigitsBeyondEightHundredStillDecideAHalfway) {
    // 1 + 2^-53 is halfway between 1 and the next double: exactly half rounds to even (1), any
    // non-zero digit far behind it rounds up.
    const std::string half = "1.00000000000000011102230246251565404236316680908203125";
    EXPECT_EQ(ParseNumber(half), 1.0);
    EXPECT_EQ(ParseNumber(half + std::string(1000, '0')), 1.0);
    EXPECT_EQ(ParseNumber(half + std::string(1000, '0') + "1"), std::nextafter(1.0, 2.0));
    std::string below = "1.00000000000000011102230246251565404236316680908203124" + std::string(1000, '9');
    EXPECT_EQ(ParseNumber(below), 1.0);
}

TEST(ParseNumber, NeverFailsOnAnyBytes) {
    std::mt19937_64 random(7);
    for (int i = 0; i < 200000; ++i) {
        std::string text(random() % 24, '\0');
        for (char& c : text) {
            // Favour the bytes that matter: digits, signs, points, exponent letters, lead bytes.
            static const char kAlphabet[] = "0123456789+-.eEdD \xA3\xA1\xB1\xAE\x80\xFF";
            c = random() % 3 == 0 ? static_cast<char>(random())
                                  : kAlphabet[random() % (sizeof kAlphabet - 1)];
        }
        const double v = ParseNumber(text);
        EXPECT_FALSE(std::isnan(v)) << text;
    }
    std::string bytes(65536, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(random());
    }
    EXPECT_FALSE(std::isnan(ParseNumber(bytes)));

    // A 64 KiB run of one byte between a prefix and a suffix.
    auto Long = [](const char* prefix, char fill, const char* suffix) {
        std::string s(prefix);
        s.append(65536, fill);
        s.append(suffix);
        return s;
    };
    EXPECT_EQ(ParseNumber(Long("1", '0', "")), kInf);
    EXPECT_EQ(ParseNumber(Long("", '9', "")), kInf);
    EXPECT_EQ(ParseNumber(Long("0.", '0', "1")), 0.0);
    EXPECT_EQ(ParseNumber(Long("", '0', "5")), 5.0);
    EXPECT_EQ(ParseNumber(Long("1", '0', "e-65536")), 1.0);
    EXPECT_EQ(ParseNumber(Long("", '9', "e-99999999")), 0.0);
    EXPECT_EQ(ParseNumber(Long("", '\xA3', "")), 0.0);
    EXPECT_EQ(ParseNumber(Long("", ' ', "42")), 42.0);
}

// A random text in the grammar that ParseNumber and strtod share (no d/D exponents, no
// full-width forms, no hexadecimal, inf or nan).
std::string RandomNumericText(std::mt19937_64& random) {
    auto digits = [&](size_t n) {
        std::string s;
        for (size_t i = 0; i < n; ++i) {
            s.push_back(static_cast<char>('0' + random() % 10));
        }
        return s;
    };
    std::string text;
    if (random() % 4 == 0) {
        text += " \t"[random() % 2];
    }
    if (random() % 3 == 0) {
        text += "+-"[random() % 2];
    }
    const size_t lengths[] = {0, 1, 2, 5, 15, 16, 17, 19, 25, 40, 120, 790, 810};
    size_t whole = lengths[random() % std::size(lengths)];
    size_t fraction = random() % 2 == 0 ? 0 : lengths[random() % std::size(lengths)];
    if (whole + fraction == 0) {
        whole = 1;
    }
    text += digits(whole);
    if (fraction != 0 || random() % 4 == 0) {
        text += '.';
        text += digits(fraction);
    }
    if (random() % 2 == 0) {
        text += "eE"[random() % 2];
        if (random() % 2 == 0) {
            text += "+-"[random() % 2];
        }
        text += std::to_string(random() % 360);
    }
    if (random() % 4 == 0) {
        text += "z1";
    }
    return text;
}

TEST(ParseNumber, AgreesWithStrtodBitForBit) {
    std::mt19937_64 random(11);
    for (int i = 0; i < 200000; ++i) {
        const std::string text = RandomNumericText(random);
        ASSERT_EQ(Bits(ParseNumber(text)), Bits(std::strtod(text.c_str(), nullptr))) << text;
    }
}

TEST(ParseNumber, AgreesWithStrtodAtHalfwayPoints) {
    // The exact halfway point between two doubles (written out in full by printing it as a long
    // double) and the texts just above and below it are the hardest cases for rounding.
    std::mt19937_64 random(13);
    char buffer[1200];
    for (int i = 0; i < 20000; ++i) {
        const double x = std::bit_cast<double>(random() & 0x7FEFFFFFFFFFFFFFull);
        const long double mid = (static_cast<long double>(x) + std::nextafter(x, kInf)) / 2;
        std::snprintf(buffer, sizeof buffer, "%.1100Le", mid);
        std::string exact = buffer;
        const size_t e = exact.find('e');
        std::string mantissa = exact.substr(0, e);
        const std::string exponent = exact.substr(e);
        while (mantissa.back() == '0') {
            mantissa.pop_back();
        }
        std::string below = mantissa;
        below.back() = static_cast<char>(below.back() - 1); // the last digit of an exact half is 5
        for (const std::string& text :
             {mantissa + exponent, mantissa + "0001" + exponent, below + "9999" + exponent}) {
            ASSERT_EQ(Bits(ParseNumber(text)), Bits(std::strtod(text.c_str(), nullptr))) << text;
        }
    }
}

TEST(FormatNumber, WritesThirteenSignificantDigitsWithThreeDigitExponents) {
    struct Case {
        double x;
        const char* text;
    };
    const Case cases[] = {
        {0.5, "0.5"},
        {100, "100"},
        {1.0 / 3, "0.3333333333333"},
        {0.0001, "0.0001"},
        {0.00001, "1e-005"},
        {2.5e-5, "2.5e-005"},
        {1234567890123, "1234567890123"},
        {9999999999999.5, "1e+013"}, // the rounding carries into the exponent
        {9999999999999.4, "9999999999999"},
        {1e13, "1e+013"},
        {1e-07, "1e-007"},
        {123456789012345, "1.234567890123e+014"},
        {1000000000000.5, "1000000000001"}, // an exact half rounds away from zero
        {-1000000000000.5, "-1000000000001"},
        {0.00012345678901234, "0.0001234567890123"},
        {-1.5, "-1.5"},
        {-0.0, "0"},
        {0.0, "0"},
        {1e100, "1e+100"},
        {1.5e-300, "1.5e-300"},
        {3.1415926535, "3.1415926535"},
        {57.295779514719953, "57.29577951472"},
        {std::numeric_limits<double>::max(), "1.797693134862e+308"},
        {std::numeric_limits<double>::min(), "2.225073858507e-308"},
        {std::numeric_limits<double>::denorm_min(), "4.940656458412e-324"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatNumber(c.x), c.text) << c.text;
    }
}

TEST(FormatResult, WritesTheMessagesForInfinitiesAndNaN) {
    EXPECT_EQ(FormatResult(kInf), "无穷数...！");
    EXPECT_EQ(FormatResult(-kInf), "无穷数...！");
    EXPECT_EQ(FormatResult(std::numeric_limits<double>::quiet_NaN()), "超出定义");
    EXPECT_EQ(FormatResult(-2.5), "-2.5");
    EXPECT_EQ(FormatNumber(kInf), "无穷数...！");
}

// |x| rounded to 13 significant digits, half away from zero, from glibc's exact decimal
// expansion: the digits, then "e" and the exponent, a text strtod reads.
std::string RoundedTo13Digits(double x) {
    static char buffer[1200];
    std::snprintf(buffer, sizeof buffer, "%.1100e", std::fabs(x));
    std::string digits = std::string(1, buffer[0]) + std::string(buffer + 2, 13); // 14 digits
    int exponent = std::atoi(std::strchr(buffer, 'e') + 1);
    const bool up = digits[13] >= '5'; // the expansion is exact: a 5 is at least half
    digits.pop_back();
    if (up) {
        int i = 12;
        while (i >= 0 && digits[i] == '9') {
            digits[i--] = '0';
        }
        if (i < 0) {
            digits.insert(digits.begin(), '1');
            digits.pop_back();
            ++exponent;
        } else {
            ++digits[i];
        }
    }
    return digits + "e" + std::to_string(exponent - 12);
}

TEST(FormatNumber, RoundTripsToTheValueRoundedToThirteenDigits) {
    std::mt19937_64 random(17);
    std::vector<double> cases;
    for (int i = 0; i < 60000; ++i) {
        cases.push_back(std::bit_cast<double>(random() & 0x7FEFFFFFFFFFFFFFull));
    }
    // Exact halves, where the direction of rounding shows.
    for (int i = 0; i < 10000; ++i) {
        const uint64_t q = 1000000000000ull + random() % 9000000000000ull;
        cases.push_back(static_cast<double>(q) + 0.5);
        cases.push_back(static_cast<double>(q * 10 + 5) * 1024);
    }
    for (double x : cases) {
        if (x == 0) {
            continue;
        }
        const double rounded = std::strtod(RoundedTo13Digits(x).c_str(), nullptr);
        ASSERT_EQ(Bits(ParseNumber(FormatNumber(x))), Bits(rounded)) << FormatNumber(x);
        ASSERT_EQ(Bits(ParseNumber(FormatNumber(-x))), Bits(-rounded)) << FormatNumber(-x);
    }
}

TEST(RoundToPlaces, RoundsHalfAwayFromZeroAfterTheNudge) {
    struct Case {
        double x;
        int places;
        double result;
    };
    const Case cases[] = {
        {2.5, 0, 3},
        {-2.5, 0, -3},
        {2.4, 0, 2},
        {1.005, 2, 1.01}, // 1.005 * 100 is 100.49999999999999; the nudge lifts it
        {1234.5, -2, 1200},
        {1250, -2, 1300},
        {-1250, -2, -1300},
        {0.4999999999995, 0, 1},
        {0.499999999998, 0, 0},
        {123.456, 2, 123.46},
        {59.9999999997, 9, 60},
        {0.3, -1, 0},
        {0, 5, 0},
        {1e300, 400, 1e300}, // more places than a double holds: unchanged
        {5, -400, 0},
        {kInf, 2, kInf},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RoundToPlaces(c.x, c.places), c.result) << c.x << " to " << c.places;
    }
    EXPECT_TRUE(std::isnan(RoundToPlaces(std::numeric_limits<double>::quiet_NaN(), 1)));
}

TEST(WholePart, SnapsWithinATrillionthOfTheNextWholeNumber) {
    struct Case {
        double x;
        std::optional<int32_t> towardZero;
        std::optional<int32_t> down;
    };
    const Case cases[] = {
        {2.9999999999995, 3, 3},
        {4.9999999999, 4, 4}, // 0.9999999999 is not above the threshold
        {-0.5, 0, -1},
        {-7.8, -7, -8},
        {-2.0000000000005, -2, -3},
        {-0.9999999999995, -1, -1},
        {2147483647.0, INT32_MAX, INT32_MAX},
        {2147483648.0, std::nullopt, std::nullopt},
        {-2147483648.0, INT32_MIN, INT32_MIN},
        {-2147483648.5, INT32_MIN, std::nullopt},
        {1e300, std::nullopt, std::nullopt},
        {kInf, std::nullopt, std::nullopt},
        {-kInf, std::nullopt, std::nullopt},
        {std::numeric_limits<double>::quiet_NaN(), std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WholePartTowardZero(c.x), c.towardZero) << c.x;
        EXPECT_EQ(WholePartDown(c.x), c.down) << c.x;
    }
    EXPECT_EQ(NearWholeSnap(-0.9999999999995), -1);
    EXPECT_EQ(NearWholeSnap(0.5), 0.5);
    EXPECT_EQ(NearWholeSnap(2.9999999999995), 3);
}

TEST(PowerOfTen, IsCorrectlyRoundedAcrossTheRange) {
    for (int n = -330; n <= 320; ++n) {
        const std::string text = "1e" + std::to_string(n);
        EXPECT_EQ(Bits(PowerOfTen(n)), Bits(std::strtod(text.c_str(), nullptr))) << n;
    }
}

} // namespace
