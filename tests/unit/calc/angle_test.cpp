// Tests of the angle conversions, the function values and the inverse functions with their messages.
#include "calc/angle.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "calc/number_text.h"

namespace {

using namespace trigora::calc;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
const std::string kInfinite = "无穷数...！";
const std::string kUndefined = "超出定义";

TEST(Angle, ConstantsAndConversions) {
    EXPECT_EQ(std::bit_cast<uint64_t>(ANGLE_PI), 0x400921FB54411744ull);
    EXPECT_EQ(ANGLE_HALF_PI, ANGLE_PI / 2);
    EXPECT_EQ(DegreesToRadians(180), ANGLE_PI);
    EXPECT_EQ(DegreesToRadians(90), ANGLE_HALF_PI);
    EXPECT_EQ(FormatNumber(DegreesToRadians(180)), "3.1415926535");
    // 180 / ANGLE_PI, not 180 / pi (57.29577951308).
    EXPECT_EQ(FormatNumber(RadiansToDegrees(1)), "57.29577951472");
    EXPECT_EQ(DmsToDegrees(30, 30, 0), 30.5);
    EXPECT_EQ(DmsToDegrees(-10, -15, -45), -10.2625);
}

TEST(Angle, ConversionsDoNotOverflowOnTheWayToAFiniteResult) {
    constexpr double kMax = std::numeric_limits<double>::max();
    struct Case {
        double in;
        const char* radians;  // DegreesToRadians(in)
        const char* degrees;  // RadiansToDegrees(in)
    };
    const Case cases[] = {
        {1e308, "1.745329251944e+306", "无穷数...！"},
        {-1e308, "-1.745329251944e+306", "无穷数...！"},
        {kMax, "3.137566414295e+306", "无穷数...！"},
        {5.8e307, "1.012290966128e+306", "无穷数...！"},
        {2e306, "3.490658503889e+304", "1.145915590294e+308"},
        {-2e306, "-3.490658503889e+304", "-1.145915590294e+308"},
        {3.1e306, "5.410520681028e+304", "1.776169164956e+308"},
        {3.2e306, "5.585053606222e+304", "无穷数...！"}, // beyond the double range: truly infinite
        // Finite all the way, as before.
        {5e307, "8.726646259722e+305", "无穷数...！"},
        {1e306, "1.745329251944e+304", "5.729577951472e+307"},
        {kInf, "无穷数...！", "无穷数...！"},
        {-kInf, "无穷数...！", "无穷数...！"},
        {kNaN, "超出定义", "超出定义"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatResult(DegreesToRadians(c.in)), c.radians) << c.in;
        EXPECT_EQ(FormatResult(RadiansToDegrees(c.in)), c.degrees) << c.in;
    }

    struct Dms {
        double d, m, s;
        const char* degrees;
    };
    const Dms dms[] = {
        // D + M / 60 overflows, the seconds bring the sum back into range.
        {kMax, 6e305, -7.2e307, "1.797593134862e+308"},
        {-kMax, -6e305, 7.2e307, "-1.797593134862e+308"},
        {1e308, 1e308, 0, "1.016666666667e+308"},
        {kMax, kMax, 0, "无穷数...！"},
        {kMax, kMax, -kMax, "无穷数...！"},
        {kMax, 0, kInf, "无穷数...！"},
        {kInf, -kInf, 0, "超出定义"},
    };
    for (const Dms& c : dms) {
        EXPECT_EQ(FormatResult(DmsToDegrees(c.d, c.m, c.s)), c.degrees) << c.d << " " << c.m << " " << c.s;
    }

    // Wherever the plain formulas stay finite the results are theirs, bit for bit.
    for (double x : {1e308 / 3.2, -5.7e307, 1e300, 30.0, -45.5, 1e-300, 1.0000000000000002}) {
        EXPECT_EQ(DegreesToRadians(x), x * ANGLE_PI / 180) << x;
    }
    for (double x : {9.9e305, -9.9e305, 1e300, 1.0, -0.5, 1e-300}) {
        EXPECT_EQ(RadiansToDegrees(x), x * 180 / ANGLE_PI) << x;
    }
    EXPECT_EQ(DmsToDegrees(1.7e308, 6e306, 0), 1.7e308 + 6e306 / 60);
}

TEST(Angle, DegreesToDmsCarriesAndKeepsOneSign) {
    struct Case {
        double degrees;
        const char* d;
        const char* m;
        const char* s;
    };
    const Case cases[] = {
        {30.5, "30", "30", "0"},
        {-30.5, "-30", "-30", "0"},
        {10.2625, "10", "15", "45"},
        {-10.2625, "-10", "-15", "-45"},
        {-0.5, "0", "-30", "0"}, // no "-0"
        {0, "0", "0", "0"},
        {RadiansToDegrees(1), "57", "17", "44.806252992"},
        // Seconds that round to 60 carry into the minutes.
        {DmsToDegrees(10, 29, 59.9999999997), "10", "30", "0"},
        {DmsToDegrees(-10, -29, -59.9999999997), "-10", "-30", "0"},
        // Just below a whole degree: the snap makes it the whole degree, with no stray residue.
        {29.9999999999995, "30", "0", "0"},
        {-29.9999999999995, "-30", "0", "0"},
        {2147483647.5, "2147483647", "30", "0"},
        {-2147483648.25, "-2147483648", "-15", "0"},
        {2147483648.0, "超出定义", "超出定义", "超出定义"},
        {-2147483649.0, "超出定义", "超出定义", "超出定义"},
        {1e300, "超出定义", "超出定义", "超出定义"},
        {kInf, "超出定义", "超出定义", "超出定义"},
        {kNaN, "超出定义", "超出定义", "超出定义"},
    };
    for (const Case& c : cases) {
        const Dms dms = DegreesToDms(c.degrees);
        EXPECT_EQ(dms.degrees.text, c.d) << c.degrees;
        EXPECT_EQ(dms.minutes.text, c.m) << c.degrees;
        EXPECT_EQ(dms.seconds.text, c.s) << c.degrees;
    }
}

TEST(Angle, DegreesToDmsNeverShowsSixty) {
    // Sweep seconds just below a whole minute over many angles.
    for (int d = -400; d <= 400; d += 7) {
        for (int m = 0; m < 60; m += 3) {
            const int sign = d < 0 ? -1 : 1;
            const double angle = DmsToDegrees(d, sign * m, sign * 59.99999999996);
            const Dms dms = DegreesToDms(angle);
            EXPECT_LT(std::fabs(dms.seconds.value), 60) << angle;
            EXPECT_LT(std::fabs(dms.minutes.value), 60) << angle;
            EXPECT_FALSE(dms.seconds.value * sign < 0 || dms.minutes.value * sign < 0) << angle;
        }
    }
}

TEST(Angle, FunctionValuesOfTheConvertedAngles) {
    struct Case {
        double degrees;
        const char* sin;
        const char* cos;
        const char* tg;
        const char* ctg;
    };
    const Case cases[] = {
        {30, "0.499999999987", "0.8660254037919", "0.5773502691697", "1.732050807629"},
        {180, "8.979318433952e-011", "-1", "-8.979318433952e-011", "无穷数...！"},
        {90, "1", "4.489659216976e-011", "无穷数...！", "4.489659216976e-011"},
        {0, "0", "1", "0", "无穷数...！"},
        {-45.5, "-0.7132504491383", "0.700909264316", "-1.017607392926", "-0.9826972631603"},
        {kInf, "超出定义", "超出定义", "超出定义", "超出定义"}, // what a typed 1e999 becomes
    };
    for (const Case& c : cases) {
        const FunctionResults f = FunctionValues(DegreesToRadians(c.degrees));
        EXPECT_EQ(f.sin.text, c.sin) << c.degrees;
        EXPECT_EQ(f.cos.text, c.cos) << c.degrees;
        EXPECT_EQ(f.tg.text, c.tg) << c.degrees;
        EXPECT_EQ(f.ctg.text, c.ctg) << c.degrees;
    }
    EXPECT_EQ(FunctionValues(kNaN).tg.text, kUndefined);
    // The zero test is |value| < NEAR_ZERO, on either side of zero.
    EXPECT_NE(FunctionValues(NEAR_ZERO * 1.01).ctg.text, kInfinite);
    EXPECT_EQ(FunctionValues(NEAR_ZERO * 0.99).ctg.text, kInfinite);
    EXPECT_EQ(FunctionValues(-NEAR_ZERO * 0.99).ctg.text, kInfinite);
    EXPECT_NE(FunctionValues(ANGLE_HALF_PI + 1.01 * NEAR_ZERO).tg.text, kInfinite);
    EXPECT_EQ(FunctionValues(ANGLE_HALF_PI + 0.99 * NEAR_ZERO).tg.text, kInfinite);
}

TEST(Angle, InverseValues) {
    struct Case {
        double v;
        const char* arcsin;
        const char* arccos;
        const char* arctg;
        const char* arcctg;
    };
    const Case cases[] = {
        {2, "超出定义", "超出定义", "1.107148717794", "0.4636476089559"},
        {-1.5, "超出定义", "超出定义", "-0.9827937232473", "2.553590049997"},
        {0.5, "0.5235987755983", "1.047197551152", "0.4636476090008", "1.107148717749"},
        {-1, "-1.57079632675", "3.1415926535", "-0.7853981633974", "2.356194490147"},
        {1, "1.57079632675", "0", "0.7853981633974", "0.7853981633526"},
        {0, "0", "1.57079632675", "0", "1.57079632675"},
        {5e-8, "0", "1.57079632675", "0", "1.57079632675"}, // inside the zero band
        {-5e-8, "0", "1.57079632675", "0", "1.57079632675"},
        {1.0000000000000002, "超出定义", "超出定义", "0.7853981633974", "0.7853981633526"},
        {kInf, "超出定义", "超出定义", "1.570796326795", "0"},
        {kNaN, "超出定义", "超出定义", "超出定义", "超出定义"},
    };
    for (const Case& c : cases) {
        const InverseResults r = InverseValues(c.v);
        EXPECT_EQ(r.arcsin.text, c.arcsin) << c.v;
        EXPECT_EQ(r.arccos.text, c.arccos) << c.v;
        EXPECT_EQ(r.arctg.text, c.arctg) << c.v;
        EXPECT_EQ(r.arcctg.text, c.arcctg) << c.v;
    }
    // Exactly ANGLE_HALF_PI, not merely the same 13 digits.
    EXPECT_EQ(InverseValues(0).arccos.value, ANGLE_HALF_PI);
    EXPECT_EQ(InverseValues(0).arcctg.value, ANGLE_HALF_PI);
    // Outside the band the formulas apply: -1e-7 itself is not zero.
    EXPECT_NE(InverseValues(-NEAR_ZERO).arcsin.value, 0);
    // Full-width digits read the same.
    EXPECT_EQ(InverseValues(ParseNumber("０．５")).arccos.text, InverseValues(0.5).arccos.text);
}

TEST(Angle, ArcctgStaysBetweenZeroAndPiForHugeValues) {
    constexpr double kMax = std::numeric_limits<double>::max();
    // Where ANGLE_HALF_PI - atan(v) would drop to zero or below (v beyond about 2.227e10): the
    // angle whose cotangent is v, to the digits shown.
    struct Case {
        double v;
        const char* arcctg;
    };
    const Case cases[] = {
        {3e10, "3.333333333333e-011"}, {2.3e10, "4.347826086957e-011"}, {1e11, "1e-011"},
        {1e15, "1e-015"},             {1e300, "1e-300"},              {kMax, "5.562684646268e-309"},
    };
    for (const Case& c : cases) {
        const InverseResults r = InverseValues(c.v);
        EXPECT_EQ(r.arcctg.text, c.arcctg) << c.v;
        EXPECT_GT(r.arcctg.value, 0) << c.v;
    }
    EXPECT_EQ(InverseValues(kInf).arcctg.value, 0);
    // Below the switch the difference itself is shown, unchanged.
    for (double v : {2.2e10, 1e10, 12345.0, -1e11, -1e300, -kMax}) {
        EXPECT_EQ(InverseValues(v).arcctg.value, ANGLE_HALF_PI - InverseValues(v).arctg.value) << v;
    }
    // The negative side approaches ANGLE_HALF_PI + pi/2 and stays below pi.
    EXPECT_LT(InverseValues(-kInf).arcctg.value, 3.141592653589793);
    EXPECT_GT(InverseValues(-kInf).arcctg.value, ANGLE_PI);
}

TEST(Angle, AngleInEveryUnitForTheInverseTooltips) {
    struct Case {
        double radians;
        const char* text;
    };
    const Case cases[] = {
        {InverseValues(0.5).arcsin.value, "0.5235987755983 弧度\r\n30.00000000086°\r\n30°0′3.087e-006″"},
        {InverseValues(-0.5).arcsin.value, "-0.5235987755983 弧度\r\n-30.00000000086°\r\n-30°0′3.087e-006″"},
        {InverseValues(1).arctg.value, "0.7853981633974 弧度\r\n45.00000000129°\r\n45°0′4.63e-006″"},
        {InverseValues(2).arcctg.value, "0.4636476089559 弧度\r\n26.56505117526°\r\n26°33′54.184230954″"},
        {InverseValues(-1).arccos.value, "3.1415926535 弧度\r\n180°\r\n180°0′0″"},
        {InverseValues(1e11).arcctg.value, "1e-011 弧度\r\n5.729577951472e-010°\r\n0°0′2.063e-006″"},
        {0, "0 弧度\r\n0°\r\n0°0′0″"},
        // Beyond 32-bit whole degrees there is no D°M′S″ to give.
        {1e10, "10000000000 弧度\r\n572957795147.2°\r\n超出定义"},
        {kInf, ""},
        {kNaN, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AngleInEveryUnit(c.radians), c.text) << c.radians;
    }
}

TEST(Angle, ResultTextIsAlwaysTheFormattedValue) {
    for (double v : {-3.0, -1.0, -0.25, 0.0, 1e-8, 0.75, 1.0, 40.0, kInf}) {
        const InverseResults r = InverseValues(v);
        for (const Result* x : {&r.arcsin, &r.arccos, &r.arctg, &r.arcctg}) {
            EXPECT_EQ(x->text, FormatResult(x->value)) << v;
        }
        const FunctionResults f = FunctionValues(v);
        for (const Result* x : {&f.sin, &f.cos, &f.tg, &f.ctg}) {
            EXPECT_EQ(x->text, FormatResult(x->value)) << v;
        }
    }
}

} // namespace
