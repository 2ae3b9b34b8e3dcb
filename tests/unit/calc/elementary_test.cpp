// Tests of our sine, cosine, arctangent and square root: hard arguments, huge arguments, agreement with libm.
#include "calc/elementary.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

namespace {

using namespace trigora::calc;

constexpr double kInf = std::numeric_limits<double>::infinity();

// Distance in units in the last place of the expected value.
double UlpDistance(double actual, double expected) {
    const double ulp = std::fabs(std::nextafter(expected, kInf) - expected);
    return std::fabs(actual - expected) / ulp;
}

TEST(Elementary, KnownHardValues) {
    struct Case {
        double (*f)(double);
        double x;
        double expected; // correctly rounded
    };
    const Case cases[] = {
        {AccurateSin, 3.141592653589793, 1.2246467991473532e-16}, // nearest double to pi
        {AccurateCos, 1.5707963267948966, 6.123233995736766e-17},
        {AccurateSin, 1e22, -0.8522008497671888},
        {AccurateCos, 1e22, 0.52321478539513899},
        {AccurateSin, 3.1415926535, 8.979318433952318e-11},
        {AccurateCos, 1.57079632675, 4.489659216976159e-11},
        {AccurateSin, -3.1415926535, -8.979318433952318e-11},
        {AccurateSin, 0.0, 0.0},
        {AccurateCos, 0.0, 1.0},
        {AccurateSin, 1e-300, 1e-300},
        {AccurateAtan, 1.0, 0.7853981633974483},
        {AccurateAtan, -1e300, -1.5707963267948966},
        {AccurateSqrt, 2.0, 1.4142135623730951},
        {AccurateSqrt, 0.75, 0.8660254037844386},
    };
    for (const Case& c : cases) {
        EXPECT_LE(UlpDistance(c.f(c.x), c.expected), 0.5) << c.x;
    }
    // Sign of zero survives.
    EXPECT_TRUE(std::signbit(AccurateSin(-0.0)));
    EXPECT_TRUE(std::signbit(AccurateAtan(-0.0)));
}

TEST(Elementary, NonFiniteArguments) {
    for (double x : {kInf, -kInf, std::numeric_limits<double>::quiet_NaN()}) {
        EXPECT_TRUE(std::isnan(AccurateSin(x))) << x;
        EXPECT_TRUE(std::isnan(AccurateCos(x))) << x;
    }
    EXPECT_EQ(AccurateAtan(kInf), 1.5707963267948966);
    EXPECT_EQ(AccurateAtan(-kInf), -1.5707963267948966);
    EXPECT_TRUE(std::isnan(AccurateAtan(std::numeric_limits<double>::quiet_NaN())));
    EXPECT_TRUE(std::isnan(AccurateSqrt(-1.0)));
    EXPECT_EQ(AccurateSqrt(kInf), kInf);
}

// glibc's sin, cos and atan are within one ulp, usually correctly rounded: ours may differ
// from them by at most one ulp anywhere (bench/ulp_error measures against a finer reference).
TEST(Elementary, WithinOneUlpOfLibmAcrossTheRange) {
    std::mt19937_64 random(23);
    for (int i = 0; i < 300000; ++i) {
        double x = 0;
        switch (i % 3) {
        case 0: // any finite double
            x = std::bit_cast<double>(random() & 0xFFEFFFFFFFFFFFFFull);
            break;
        case 1: // typed angles
            x = std::ldexp(static_cast<double>(random() >> 11), -53) * 2000 - 1000;
            break;
        default: // near multiples of pi/2, where the reduction cancels most bits
            x = std::nextafter(static_cast<double>(random() % 100000) * 1.5707963267948966,
                               (random() & 1) != 0 ? kInf : -kInf);
            break;
        }
        ASSERT_LE(UlpDistance(AccurateSin(x), std::sin(x)), 1.0) << std::hexfloat << x;
        ASSERT_LE(UlpDistance(AccurateCos(x), std::cos(x)), 1.0) << std::hexfloat << x;
        ASSERT_LE(UlpDistance(AccurateAtan(x), std::atan(x)), 1.0) << std::hexfloat << x;
        if (x >= 0) {
            ASSERT_EQ(AccurateSqrt(x), std::sqrt(x)) << std::hexfloat << x;
        }
    }
}

} // namespace
