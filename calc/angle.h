// The calculator's angle maths: conversions, function values and inverse functions, ready to show.
#pragma once

#include <string>

namespace trigora::calc {

// The half turn as the calculator has always used it: the ten-decimal 3.1415926535
// (bit pattern 0x400921FB54411744), not full-precision pi.
inline constexpr double ANGLE_PI = 3.1415926535;
inline constexpr double ANGLE_HALF_PI = 1.57079632675; // exactly ANGLE_PI / 2
// Below this a sine or cosine counts as zero for tg and ctg, and a value as zero for the inverses.
inline constexpr double NEAR_ZERO = 1e-07;

// d x ANGLE_PI / 180, r x 180 / ANGLE_PI and D + M / 60 + S / 3600. Nothing overflows on the way:
// the result is infinite only when the true result is beyond the double range.
double DegreesToRadians(double degrees);
double RadiansToDegrees(double radians);
double DmsToDegrees(double degrees, double minutes, double seconds);

// One number of a result box: `value` for tests and further maths, `text` what the box shows.
// text is always FormatResult(value): an infinity stands for "无穷数...！", a NaN for "超出定义".
struct Result {
    double value;
    std::string text;
};

Result MakeResult(double value);

struct Dms {
    Result degrees;
    Result minutes;
    Result seconds;
};

// Whole degrees and minutes toward zero, seconds rounded to 9 places and carried, so a result
// never shows 60 seconds or 60 minutes; a negative angle has all three parts negative (or zero).
// Whole degrees outside 32 bits, or an angle that is not finite, make all three "超出定义".
Dms DegreesToDms(double degrees);

struct FunctionResults {
    Result sin;
    Result cos;
    Result tg;  // "无穷数...！" when |cos| < NEAR_ZERO
    Result ctg; // "无穷数...！" when |sin| < NEAR_ZERO
};

// sin, cos, tg and ctg of an angle in radians.
FunctionResults FunctionValues(double radians);

struct InverseResults {
    Result arcsin; // "超出定义" outside [-1, 1]
    Result arccos; // "超出定义" outside [-1, 1]
    Result arctg;
    Result arcctg;
};

// The four inverse functions of v, in radians, built from the arctangent and the square root with
// the calculator's quarter turn ANGLE_HALF_PI; |v| < NEAR_ZERO counts as zero. arcctg stays in
// (0, pi) for every finite v and is 0 for an infinite one.
InverseResults InverseValues(double v);

// An angle in radians as the inverse rows' tooltips give it, one line each ("\r\n" between):
// the radians, then the same angle in degrees and in degrees, minutes and seconds, written by
// RadiansToDegrees, DegreesToDms and FormatNumber ("0.5235987755983 弧度", "30.00000000086°",
// "30°0′3.087e-006″"). A negative angle carries one minus sign, before its degrees. Empty when
// the angle is not finite.
std::string AngleInEveryUnit(double radians);

} // namespace trigora::calc
