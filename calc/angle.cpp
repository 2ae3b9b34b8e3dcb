// Angle conversions and the trigonometric values the main window shows.
#include "calc/angle.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

#include "calc/elementary.h"
#include "calc/number_text.h"

namespace trigora::calc {

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

} // namespace

// The conversions are written as the calculator always wrote them, and their results stay
// bit for bit what they were. With doubles alone (no extended exponent range) a product or sum
// on the way can overflow although the result fits: then the same steps run on a quarter of the
// input. Dividing by four and multiplying back are exact at these magnitudes, so every step
// rounds as it would with an unbounded exponent, and the last one overflows only when the
// result itself does.
constexpr double kQuarter = 0.25;

double DegreesToRadians(double degrees) {
    const double radians = degrees * ANGLE_PI / 180;
    if (std::isinf(radians) && std::isfinite(degrees)) {
        return degrees * kQuarter * ANGLE_PI / 180 * 4;
    }
    return radians;
}

double RadiansToDegrees(double radians) {
    const double degrees = radians * 180 / ANGLE_PI;
    if (std::isinf(degrees) && std::isfinite(radians)) {
        return radians * kQuarter * 180 / ANGLE_PI * 4;
    }
    return degrees;
}

double DmsToDegrees(double degrees, double minutes, double seconds) {
    const double total = degrees + minutes / 60 + seconds / 3600;
    if (std::isinf(total) && std::isfinite(degrees) && std::isfinite(minutes) && std::isfinite(seconds)) {
        return (degrees * kQuarter + minutes * kQuarter / 60 + seconds * kQuarter / 3600) * 4;
    }
    return total;
}

Result MakeResult(double value) {
    return {value, FormatResult(value)};
}

Dms DegreesToDms(double degrees) {
    const std::optional<int32_t> whole = WholePartTowardZero(degrees);
    if (!whole) {
        return {MakeResult(kNaN), MakeResult(kNaN), MakeResult(kNaN)};
    }
    int64_t d = *whole;
    const double rest = degrees - *whole;
    // |rest| < 1, so the minutes always fit.
    int64_t m = *WholePartTowardZero(rest * 60);
    double s = RoundToPlaces(rest * 3600 - static_cast<int32_t>(m) * 60.0, 9);
    // A residue of the other sign is left over only when a whole part was snapped to the next
    // whole number; it lies below the snap's 1e-12 and is not worth showing.
    if ((degrees > 0 && s < 0) || (degrees < 0 && s > 0)) {
        s = 0;
    }
    const int sign = degrees < 0 ? -1 : 1;
    if (std::fabs(s) >= 60) {
        s -= 60 * sign;
        m += sign;
    }
    if (m * sign >= 60) {
        m -= 60 * sign;
        d += sign;
    }
    if (d > INT32_MAX || d < INT32_MIN) {
        return {MakeResult(kNaN), MakeResult(kNaN), MakeResult(kNaN)};
    }
    return {MakeResult(static_cast<int32_t>(d)), MakeResult(static_cast<int32_t>(m)), MakeResult(s)};
}

FunctionResults FunctionValues(double radians) {
    const double s = AccurateSin(radians);
    const double c = AccurateCos(radians);
    // NaN compares false, so a NaN angle gives NaN quotients ("超出定义"), not the infinite message.
    const double tg = std::fabs(c) < NEAR_ZERO ? kInfinity : s / c;
    const double ctg = std::fabs(s) < NEAR_ZERO ? kInfinity : c / s;
    return {MakeResult(s), MakeResult(c), MakeResult(tg), MakeResult(ctg)};
}

InverseResults InverseValues(double v) {
    double arcsin = kNaN;
    double arccos = kNaN;
    double arctg = 0;
    double arcctg = ANGLE_HALF_PI;
    if (std::isnan(v)) {
        arctg = kNaN;
        arcctg = kNaN;
    } else if (std::fabs(v) < NEAR_ZERO) {
        arcsin = 0;
        arccos = ANGLE_HALF_PI;
    } else {
        if (v >= -1 && v <= 1) {
            if (v == 1 || v == -1) {
                arcsin = v * ANGLE_HALF_PI;
            } else {
                arcsin = AccurateAtan(v / AccurateSqrt(1 - v * v));
            }
            arccos = ANGLE_HALF_PI - arcsin;
        }
        arctg = AccurateAtan(v);
        arcctg = ANGLE_HALF_PI - arctg;
        // Beyond v of about 2.2e10 the arctangent passes the ten-decimal quarter turn and the
        // difference drops to zero or below, out of (0, pi). There the angle is the arctangent of
        // 1/v, right to every digit shown, and 0 for an infinite v. Everywhere else the difference
        // stays the value shown: negative v only lift it towards ANGLE_HALF_PI + pi/2, below pi.
        if (!(arcctg > 0)) {
            arcctg = AccurateAtan(1 / v);
        }
    }
    return {MakeResult(arcsin), MakeResult(arccos), MakeResult(arctg), MakeResult(arcctg)};
}

std::string AngleInEveryUnit(double radians) {
    if (!std::isfinite(radians)) {
        return {};
    }
    const double degrees = RadiansToDegrees(radians);
    std::string text = FormatNumber(radians) + " 弧度\r\n";
    if (!std::isfinite(degrees)) {
        return text + FormatResult(degrees);
    }
    text += FormatNumber(degrees) + "°\r\n";
    const Dms dms = DegreesToDms(degrees);
    if (std::isnan(dms.degrees.value)) {
        return text + std::string(kUndefinedMessage);
    }
    // DegreesToDms gives every part the angle's sign; written in one line the sign goes first.
    const bool negative = dms.degrees.value < 0 || dms.minutes.value < 0 || dms.seconds.value < 0;
    return text + (negative ? "-" : "") + FormatNumber(std::fabs(dms.degrees.value)) + "°" +
           FormatNumber(std::fabs(dms.minutes.value)) + "′" + FormatNumber(std::fabs(dms.seconds.value)) + "″";
}

} // namespace trigora::calc
